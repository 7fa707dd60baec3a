// The small windows of the host: the message window shown around imports and the error box.
#pragma once

#include "MzFileDialog.h"
#include "MzLog.h"

#include <QLabel>

// A small frameless label centred on the screen; calls from other threads are queued to the GUI.
class QtMessageWindow : public QLabel, public MzMessageWindowView {
    Q_OBJECT
  public:
    QtMessageWindow();

    void SetText(const std::string& text) override;
    void Show() override;
    void Hide() override;
};

// "Error" boxes: application-modal and on top. A call from another thread blocks that thread only,
// until the box has been closed on the GUI thread.
class QtErrorBox : public QObject, public MzErrorBoxView {
    Q_OBJECT
  public:
    void Show(const std::string& text) override;

  private:
    void Exec(const QString& text);
};

// The file-open dialog for scripts; a call from another thread blocks that thread only.
class QtFileDialog : public QObject, public MzFileDialogView {
    Q_OBJECT
  public:
    std::string Open(const std::string& qtFilter, const std::string& defaultSuffix,
                     const std::string& startPath) override;

  private:
    std::string Exec(const QString& filter, const QString& suffix, const QString& start);
};
