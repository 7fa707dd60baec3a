// One running program per mascot folder. The first start holds a lock file and listens on a local
// socket named after the folder; a later start for the same folder finds the lock, asks the first
// one to bring its script log forward, and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QtSingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit QtSingleInstance(const QString& folder);

    // True when this process is the folder's first instance and now listens for later ones.
    bool Claim();
    // Asks the running instance to show its script log; false when it cannot be reached.
    bool NotifyRunning() const;

  signals:
    // A later start asked for the script log (GUI thread).
    void ShowRequested();

  private:
    void Accept();

    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer m_server;
};
