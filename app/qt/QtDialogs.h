// The small windows of the host: the message window shown around imports and the error box.
#pragma once

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
