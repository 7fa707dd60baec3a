#include "FakeReportViews.h"
#include "MzLogRing.h"
#include "MzScriptLogText.h"
#include "MzUtf8.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::size_t CountOf(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

TEST(MzLog, LineFeedsBecomeCrLfOnce) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"one\ntwo", "one\r\ntwo"},
        {"one\r\ntwo\n", "one\r\ntwo\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"cr\ralone", "cr\ralone"},
    };
    for (const Case& c : cases) {
        ScopedReportViews views;
        MzLog("%s", c.text);
        EXPECT_EQ(views.Flushed(), c.shown) << c.text;
    }
}

TEST(MzLog, EntriesWithoutLogWindowAreDropped) {
    MzSetScriptLogView(nullptr);
    MzLog("lost\n");
    ScopedReportViews views;
    MzLog("kept\n");
    EXPECT_EQ(views.Flushed(), "kept\r\n");
}

TEST(MzLog, LongTextIsCutToWholeCharacters) {
    ScopedReportViews views;
    std::string ascii(2000, 'x');
    MzLog("%s", ascii.c_str());
    EXPECT_EQ(views.Flushed(), std::string(1024, 'x'));

    ScopedReportViews wide;
    std::string japanese;
    for (int i = 0; i < 1100; ++i)
        japanese += "あ";
    MzLog("%s", japanese.c_str());
    const std::string& shown = wide.Flushed();
    EXPECT_EQ(MzUtf8Length(shown), 1024u);
    EXPECT_EQ(shown.size(), 1024u * 3);
}

TEST(MzLog, FullRingKeepsFirst126AndMarksTheLoss) {
    ScopedReportViews views;
    for (int i = 0; i < 200; ++i)
        MzLog("line %d\n", i);
    const std::string& shown = views.Flushed();
    EXPECT_EQ(CountOf(shown, "\r\n"), 127u);
    EXPECT_NE(shown.find("line 125\r\n"), std::string::npos);
    EXPECT_EQ(shown.find("line 126\r\n"), std::string::npos);
    EXPECT_TRUE(shown.ends_with("line 125\r\nLog message buffer over. [LOG MESSAGE LOST]\r\n"));

    MzLog("after drain\n");
    EXPECT_TRUE(views.Flushed().ends_with("[LOG MESSAGE LOST]\r\nafter drain\r\n"));
}

TEST(MzLog, FlushDisablesTheViewAndScrollsOncePerBurst) {
    ScopedReportViews views;
    MzFlushScriptLog();
    EXPECT_EQ(views.log.enableChanges, 0);
    EXPECT_EQ(views.log.scrolls, 0);
    for (int i = 0; i < 5; ++i)
        MzLog("x\n");
    MzFlushScriptLog();
    EXPECT_EQ(views.log.enableChanges, 2);
    EXPECT_TRUE(views.log.enabled);
    EXPECT_EQ(views.log.scrolls, 1);
}

// Lines of exactly `width` characters including their CR LF.
std::string Lines(std::size_t count, std::size_t width, char fill = 'a') {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::string(width - 2, fill) + "\r\n";
    return text;
}

TEST(MzScriptLogText, FullViewLosesItsOldestWholeLines) {
    FakeScriptLogView view;
    MzScriptLogText text;
    text.Append(Lines(160, 100), view);
    ASSERT_EQ(text.Length(), 16000u);

    std::string entry = std::string(998, 'b') + "\r\n";
    text.Append(entry, view);
    // 17000 characters must get below 16384: at least 617, that is 7 lines of 100.
    EXPECT_EQ(view.removedLines, 7u);
    EXPECT_EQ(text.Length(), 16300u);
    EXPECT_EQ(view.text, text.Text());
    EXPECT_TRUE(view.text.ends_with(entry));
}

TEST(MzScriptLogText, TextJustBelowTheLimitStays) {
    FakeScriptLogView view;
    MzScriptLogText text;
    text.Append(Lines(163, 100), view);
    text.Append(std::string(83, 'c'), view);
    EXPECT_EQ(text.Length(), 16383u);
    EXPECT_EQ(view.removedLines, 0u);
    text.Append("d", view);
    EXPECT_EQ(view.removedLines, 1u);
    EXPECT_EQ(text.Length(), 16284u);
}

TEST(MzScriptLogText, ViewWithoutLineEndsMakesRoomForTheEntry) {
    FakeScriptLogView view;
    MzScriptLogText text;
    for (int i = 0; i < 16; ++i)
        text.Append(std::string(1000, 'a'), view);
    text.Append(std::string(1000, 'b'), view);
    EXPECT_EQ(view.text, std::string(1000, 'b'));
    EXPECT_EQ(text.Length(), 1000u);
}

TEST(MzScriptLogText, EntryLongerThanTheViewKeepsItsLastLines) {
    FakeScriptLogView view;
    MzScriptLogText text;
    text.Append(Lines(200, 100, 'e'), view);
    EXPECT_EQ(text.Length(), 16300u);
    EXPECT_EQ(view.text, Lines(163, 100, 'e'));
}

TEST(MzScriptLogText, CountsCharactersNotBytes) {
    FakeScriptLogView view;
    MzScriptLogText text;
    std::string line;
    for (int i = 0; i < 98; ++i)
        line += "あ";
    line += "\r\n";
    for (int i = 0; i < 163; ++i)
        text.Append(line, view);
    EXPECT_EQ(text.Length(), 16300u);
    EXPECT_EQ(view.removedLines, 0u);
}

TEST(MzErrorBox, ShowsTagAndMessageCutTo126Characters) {
    ScopedReportViews views;
    MzErrorBox("ERROR", "ファイルの読み込みに失敗しました(%s)", "a.dae");
    std::string longTag(200, 't');
    std::string longMessage;
    for (int i = 0; i < 200; ++i)
        longMessage += "あ";
    MzErrorBox(longTag.c_str(), "%s", longMessage.c_str());

    ASSERT_EQ(views.errorBox.shown.size(), 2u);
    EXPECT_EQ(views.errorBox.shown[0], "ERROR : ファイルの読み込みに失敗しました(a.dae)");
    const std::string& cut = views.errorBox.shown[1];
    EXPECT_EQ(cut.substr(0, 129), std::string(126, 't') + " : ");
    EXPECT_EQ(MzUtf8Length(cut.substr(129)), 126u);
    EXPECT_EQ(views.Flushed(), "") << "error boxes are not logged";
}

TEST(MzErrorBox, ATextShownLatelyIsLoggedWithItsRepeatCountInstead) {
    ScopedReportViews views;
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame)
        MzErrorBox("ERROR", "スクリプトファイルの実行に失敗しました。(%s)", "cannot open the file");
    MzErrorBox("ERROR", "%s", "another text");
    std::string stderrText = testing::internal::GetCapturedStderr();

    ASSERT_EQ(views.errorBox.shown.size(), 2u);
    EXPECT_EQ(views.errorBox.shown[1], "ERROR : another text");
    EXPECT_EQ(CountOf(stderrText, "cannot open the file"), 1u) << stderrText;
    const std::string& log = views.Flushed();
    EXPECT_EQ(CountOf(log, "(cannot open the file) (repeated 2 times)\r\n"), 1u) << log;
    EXPECT_EQ(CountOf(log, "(cannot open the file) (repeated 3 times)\r\n"), 1u) << log;

    ScopedReportViews freshWindow;
    MzErrorBox("ERROR", "%s", "another text");
    EXPECT_EQ(freshWindow.errorBox.shown.size(), 1u);
}

TEST(MzErrorBox, WithoutViewGoesToStderrOnly) {
    MzSetErrorBoxView(nullptr);
    testing::internal::CaptureStderr();
    MzErrorBox("WARNING", "リファレンスデバイスモードで起動します。");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING : リファレンスデバイスモードで起動します。\n");
}

TEST(MzD3DErrorName, NamesKnownCodes) {
    EXPECT_STREQ(MzD3DErrorName(0), "No error.");
    EXPECT_STREQ(MzD3DErrorName(0x8876017C), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_STREQ(MzD3DErrorName(0x8876086A), "D3DERR_NOTAVAILABLE");
    EXPECT_STREQ(MzD3DErrorName(0x8876086C), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(MzD3DErrorName(0x88760B59), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(MzD3DErrorName(0x88760868), "Unrecognized error value.");
}

class FakeMessageWindow : public MzMessageWindowView {
  public:
    void SetText(const std::string& text) override { calls.push_back("text:" + text); }
    void Show() override { calls.push_back("show"); }
    void Hide() override { calls.push_back("hide"); }
    std::vector<std::string> calls;
};

TEST(MzMessageWindow, ShowsAndHidesOnlyOnChange) {
    MzSetMessageText("ignored without window");
    MzShowMessageWindow();
    FakeMessageWindow window;
    MzSetMessageWindowView(&window);
    MzHideMessageWindow();
    MzSetMessageText("モデルの読込中(%s)\n", "a.dae");
    MzShowMessageWindow();
    MzShowMessageWindow();
    MzHideMessageWindow();
    MzHideMessageWindow();
    MzSetMessageWindowView(nullptr);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"text:モデルの読込中(a.dae)\n", "show", "hide"}));
}

// Keeps every appended entry, untrimmed.
class StreamView : public FakeScriptLogView {
  public:
    void Append(std::string_view appended) override { stream.emplace_back(appended); }
    std::vector<std::string> stream;
};

// Two threads log while a third flushes: every entry arrives once and in its writer's order, and
// entries go missing only where a loss marker stands.
TEST(MzLogThreads, WritersAndFlushingReaderLoseNothingUnmarked) {
    ScopedReportViews views;
    StreamView stream;
    MzSetScriptLogView(&stream);
    constexpr int kPerWriter = 20000;
    std::atomic<int> writersDone{0};
    auto writer = [&](char name) {
        for (int i = 0; i < kPerWriter; ++i)
            MzLog("%c%d\n", name, i);
        ++writersDone;
    };
    std::thread reader([&] {
        while (writersDone.load() < 2)
            MzFlushScriptLog();
        MzFlushScriptLog();
    });
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    reader.join();

    int last[2] = {-1, -1};
    bool lossSince[2] = {false, false};
    int received = 0;
    for (const std::string& entry : stream.stream) {
        if (entry == MzLogRing::kOverflowEntry) {
            lossSince[0] = lossSince[1] = true;
            continue;
        }
        ASSERT_TRUE(entry.ends_with("\r\n")) << entry;
        int writerIndex = entry[0] - 'a';
        ASSERT_TRUE(writerIndex == 0 || writerIndex == 1) << entry;
        int number = std::stoi(entry.substr(1));
        ASSERT_GT(number, last[writerIndex]) << entry;
        if (number != last[writerIndex] + 1) {
            ASSERT_TRUE(lossSince[writerIndex]) << entry;
        }
        last[writerIndex] = number;
        lossSince[writerIndex] = false;
        ++received;
    }
    EXPECT_GT(received, 0);
}

} // namespace
