#include "QtScriptLogWindow.h"

#include "QtGuiThread.h"

#include <QScrollBar>
#include <QTextBlock>
#include <cstdio>

QtScriptLogWindow::QtScriptLogWindow() {
    setWindowTitle(QStringLiteral("スクリプトログ"));
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    resize(512, 200);
    move(0, 0);
}

void QtScriptLogWindow::ShowAndRaise() {
    show();
    raise();
    activateWindow();
}

void QtScriptLogWindow::SetEnabled(bool enabled) {
    QtOnGuiThread(this, [this, enabled] { setUpdatesEnabled(enabled); });
}

void QtScriptLogWindow::RemoveLeadingLines(std::size_t lineCount) {
    QtOnGuiThread(this, [this, lineCount] {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::Start);
        int blocks = static_cast<int>(std::min<std::size_t>(lineCount, INT_MAX));
        // Fewer complete lines than asked for: the unfinished last line goes too.
        if (!cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, blocks)) {
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    });
}

void QtScriptLogWindow::Append(std::string_view text) {
    if (m_echoToStderr) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    // Line ends arrive as CR LF; the view breaks lines on the line feed alone.
    QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    qtext.remove(QLatin1Char('\r'));
    QtOnGuiThread(this, [this, qtext] {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(qtext);
    });
}

void QtScriptLogWindow::ScrollToEnd() {
    QtOnGuiThread(this, [this] { verticalScrollBar()->setValue(verticalScrollBar()->maximum()); });
}
