// The Qt script-log window as the log flush drives it, on Qt's offscreen platform.
#include "QtScriptLogWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <thread>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "mz_host_qt_tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

} // namespace

TEST(QtScriptLogWindowTest, AppendsAndRemovesWholeLeadingLines) {
    App();
    struct Step {
        const char* append;
        std::size_t remove;
        const char* text;
    };
    const Step steps[] = {
        {"one\r\ntwo\r\n", 0, "one\ntwo\n"}, // CR LF shown as line breaks
        {"three", 0, "one\ntwo\nthree"},     // an unfinished line
        {"", 1, "two\nthree"},
        {" more\r\n", 0, "two\nthree more\n"},
        {"", 2, ""}, // both complete lines
        {"a\r\nb", 0, "a\nb"},
        {"", 5, ""}, // more than there are: the unfinished line goes too
    };
    QtScriptLogWindow log;
    for (const Step& s : steps) {
        if (*s.append) log.Append(s.append);
        if (s.remove) log.RemoveLeadingLines(s.remove);
        EXPECT_EQ(log.toPlainText().toStdString(), s.text);
    }
}

TEST(QtScriptLogWindowTest, CallsFromAnotherThreadArriveInOrderAndScrollToEnd) {
    QApplication& app = App();
    QtScriptLogWindow log;
    log.resize(300, 100);
    std::thread dialogThread([&] {
        log.SetEnabled(false);
        for (int i = 0; i < 200; ++i)
            log.Append("line " + std::to_string(i) + "\r\n");
        log.RemoveLeadingLines(100);
        log.ScrollToEnd();
        log.SetEnabled(true);
    });
    dialogThread.join();
    EXPECT_TRUE(log.toPlainText().isEmpty()); // nothing applied before the GUI thread runs
    app.processEvents();
    QString text = log.toPlainText();
    EXPECT_TRUE(text.startsWith("line 100\n"));
    EXPECT_TRUE(text.endsWith("line 199\n"));
    EXPECT_EQ(log.verticalScrollBar()->value(), log.verticalScrollBar()->maximum());
    EXPECT_FALSE(log.isVisible()); // hidden until shown from the menu
}
