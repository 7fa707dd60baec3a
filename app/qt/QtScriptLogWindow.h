// The script-log window "スクリプトログ": a read-only plain-text view filling a resizable window.
// Hidden until shown from the menu; closing only hides it, and it keeps receiving entries.
#pragma once

#include "MzLog.h"

#include <QPlainTextEdit>

class QtScriptLogWindow : public QPlainTextEdit, public MzScriptLogView {
    Q_OBJECT
  public:
    QtScriptLogWindow();

    void ShowAndRaise();
    // Also writes every appended entry to stderr (for tests and terminals).
    void SetEchoToStderr(bool echo) { m_echoToStderr = echo; }

    // MzScriptLogView, called by the dialog thread: each call is forwarded to the GUI thread in order.
    void SetEnabled(bool enabled) override;
    void RemoveLeadingLines(std::size_t lineCount) override;
    void Append(std::string_view text) override;
    void ScrollToEnd() override;

  private:
    bool m_echoToStderr = false;
};
