// The toolkit-free host: frame clock, tick and frame order, menu commands, script menu items.
#include "FakeReportViews.h"
#include "MainApp.h"
#include "MenuResource.h"
#include "MzFileDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class FakeEngine : public MzAppEngine {
  public:
    bool LoadConfig() override { return true; }
    std::string AppName() const override { return "Test"; }
    bool StartGraphics(const MzScreenRect&) override { return Log("start", startOk); }
    bool RunStartupScript() override { return Log("script", scriptOk); }
    bool ResetGraphics(const MzScreenRect& client) override {
        resetClient = client;
        return Log("reset", resetOk);
    }
    void SampleInput() override { calls.push_back("input"); }
    void UpdateActors(std::uint32_t ms) override { calls.push_back("actors " + std::to_string(ms)); }
    void Render() override { calls.push_back("render"); }
    std::vector<MzScreenRect> BuildWindowRegion() override {
        calls.push_back("region");
        return region;
    }
    void Present() override { calls.push_back("present"); }
    void CollectGarbage() override { calls.push_back("gc"); }
    void EndGraphics() override { calls.push_back("end"); }
    void SetPaused(bool value) override { paused = value; }

    bool Log(const char* name, bool ok) {
        calls.push_back(name);
        return ok;
    }

    Calls calls;
    bool startOk = true, scriptOk = true, resetOk = true, paused = false;
    std::vector<MzScreenRect> region{{10, 20, 30, 40}};
    MzScreenRect resetClient;
};

class FakeHost : public MzHost {
  public:
    explicit FakeHost(Calls& calls) : calls(calls) {}
    MzScreenRect WorkArea() const override { return workArea; }
    void MoveTo(const MzScreenRect& r) override { calls.push_back("move " + std::to_string(r.width)); }
    void SetShape(std::vector<MzScreenRect> rects) override {
        shape = rects;
        calls.push_back("shape");
    }
    void Show() override { calls.push_back("show"); }
    void SetTopmost(bool on) override { topmost = on; }
    void Raise() override {}
    void ShowScriptLog() override { calls.push_back("log"); }

    Calls& calls;
    MzScreenRect workArea{0, 0, 800, 600};
    std::vector<MzScreenRect> shape;
    bool topmost = false;
};

std::uint32_t g_now = 0;
std::uint32_t FakeNow() {
    return g_now;
}

class MainAppTest : public ::testing::Test {
  protected:
    MainAppTest() : host(engine.calls) {
        g_now = 1000;
        app.timeSource = FakeNow;
        app.OnSize(800, 600);
        app.Start(&host);
        app.InitFrameCycle();
        engine.calls.clear();
    }
    // One tick at `now`, returning what it did.
    Calls TickAt(std::uint32_t now) {
        g_now = now;
        engine.calls.clear();
        app.Update();
        return engine.calls;
    }

    ScopedReportViews views;
    FakeEngine engine;
    FakeHost host;
    MainApp app{engine};
};

} // namespace

TEST(MzFrameClockTest, FramesOnlyAfterMoreThan16MsAndAdvanceAtMost200) {
    struct Step {
        std::uint32_t now;
        std::optional<std::uint32_t> frame;
    };
    const Step steps[] = {
        {100, std::nullopt}, // starts the clock
        {112, std::nullopt}, {116, std::nullopt},
        {117, 17},                      // 16 ms is not enough, 17 is
        {129, std::nullopt}, {139, 22}, // 12 ms nothing, 22 ms one frame
        {2000, 200},                    // long stall clamped
        {0xFFFFFFF0u, 200},  {5, 21},   // wraps like a 32-bit counter
    };
    MzFrameClock clock;
    for (const Step& s : steps)
        EXPECT_EQ(clock.Tick(s.now), s.frame) << "at " << s.now;
}

TEST_F(MainAppTest, FirstTickRunsStartupScriptThenFramesInOrder) {
    EXPECT_EQ(TickAt(1000), (Calls{"script", "gc"}));
    EXPECT_EQ(TickAt(1017),
              (Calls{"input", "actors 17", "render", "region", "shape", "present", "show", "gc"}));
    EXPECT_EQ(host.shape, engine.region);
    // Shown once only; a tick within 16 ms only collects garbage.
    EXPECT_EQ(TickAt(1027), (Calls{"gc"}));
    EXPECT_EQ(TickAt(1040), (Calls{"input", "actors 23", "render", "region", "shape", "present", "gc"}));
}

TEST_F(MainAppTest, FailingStartupScriptStopsBeforeAnyFrame) {
    engine.scriptOk = false;
    EXPECT_EQ(TickAt(1000), (Calls{"script"}));
    EXPECT_TRUE(app.quit);
    EXPECT_TRUE(app.failed) << "the exit status tells the failure";
}

TEST_F(MainAppTest, DeactivationReleasesTheButtonsSoTheFrameSeesTheRelease) {
    using Button = MzMouseState::Button;
    // (held and sampled before, pressed and not sampled yet): what the next two samples see.
    for (bool sampledBefore : {true, false}) {
        app.OnButton(Button::kLeft, true);
        app.OnButton(Button::kMiddle, true);
        if (sampledBefore) app.mouse.SampleButton(Button::kLeft), app.mouse.SampleButton(Button::kMiddle);
        app.OnActivate(false);
        for (Button b : {Button::kLeft, Button::kMiddle}) {
            EXPECT_EQ(app.mouse.SampleButton(b), !sampledBefore) << b << " first sample";
            EXPECT_FALSE(app.mouse.SampleButton(b)) << b << " released";
        }
        EXPECT_TRUE(app.mouse.active) << "the mouse stays enabled";
    }
}

TEST_F(MainAppTest, NothingRunsUntilRunningAndGraphicsReady) {
    app.running = false;
    EXPECT_TRUE(TickAt(1000).empty());
    app.running = true;
    app.EndFrameCycle();
    EXPECT_TRUE(TickAt(1100).empty());
}

TEST_F(MainAppTest, SizeChangeResetsOnNextTickAndWorkAreaChangeMovesWindow) {
    TickAt(1000);
    host.workArea = {0, 0, 1024, 700};
    Calls frame = TickAt(1020);
    EXPECT_EQ(frame[1], "move 1024");
    app.OnSize(1024, 700); // the host's resize arrives on the GUI thread
    Calls next = TickAt(1040);
    EXPECT_EQ(next.front(), "reset");
    EXPECT_EQ(engine.resetClient, (MzScreenRect{0, 0, 1024, 700}));
    EXPECT_EQ(TickAt(1060).front(), "input"); // consumed

    app.OnSize(900, 700);
    engine.resetOk = false;
    EXPECT_EQ(TickAt(1080), (Calls{"reset"}));
    EXPECT_TRUE(app.quit);
}

TEST_F(MainAppTest, FixedCommandsToggleStateAndCheckMarks) {
    MzPopupMenu& menu = app.PopupMenu();
    EXPECT_TRUE(menu.IsChecked(mz::menu::kTopmost));
    EXPECT_TRUE(host.topmost);
    EXPECT_FALSE(menu.IsChecked(mz::menu::kPause));

    struct Case {
        int command;
        bool topmost, paused;
    };
    const Case cases[] = {
        {mz::menu::kPause, true, true},
        {mz::menu::kPause, true, false},
        {mz::menu::kTopmost, false, false},
        {mz::menu::kTopmost, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(app.Command(c.command));
        EXPECT_EQ(menu.IsChecked(mz::menu::kTopmost), c.topmost);
        EXPECT_EQ(host.topmost, c.topmost);
        EXPECT_EQ(menu.IsChecked(mz::menu::kPause), c.paused);
        EXPECT_EQ(engine.paused, c.paused);
        EXPECT_EQ(app.Paused(), c.paused);
    }
    EXPECT_TRUE(app.Command(mz::menu::kShowScriptLog));
    EXPECT_EQ(engine.calls.back(), "log");
    EXPECT_FALSE(app.Command(12345));
    EXPECT_FALSE(app.quit);
    EXPECT_TRUE(app.Command(mz::menu::kExit));
    EXPECT_TRUE(app.quit);
}

TEST_F(MainAppTest, ScriptItemRunsOnTheApplicationThreadBeforeTheNextFrame) {
    TickAt(1000);
    int runs = 0;
    app.UserMenu().Add(3, std::string("Wave"), [&] {
        ++runs;
        engine.calls.push_back("item");
    });
    EXPECT_TRUE(app.Command(mz::menu::kUserBase + 3));
    EXPECT_EQ(runs, 0); // queued, not run on the GUI thread
    EXPECT_EQ(TickAt(1020).front(), "item");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(app.Command(mz::menu::kUserBase + 4)); // in the routed range, unknown: ignored later
    TickAt(1040);
    EXPECT_EQ(runs, 1);
}

TEST_F(MainAppTest, ApplicationThreadEndsAtOnceWhenNotRunning) {
    MainApp stopped(engine);
    std::thread worker([&] { AppThreadProc(stopped); });
    worker.join();
    EXPECT_TRUE(stopped.quit);
    EXPECT_EQ(engine.calls, (Calls{"start", "end"}));
}

// ---- script-defined menu items ----

namespace {

std::vector<std::string> Captions(const MzPopupMenu& menu) {
    std::vector<std::string> out;
    for (const MzMenuItem& item : menu.Snapshot())
        out.push_back(item.separator ? "-" : item.text);
    return out;
}

class UserMenuTest : public ::testing::Test {
  protected:
    UserMenuTest() {
        menu.Load();
        loaded = menu.Snapshot();
        user.Attach(&menu);
    }
    void Add(int index) { user.Add(index, "item" + std::to_string(index), nullptr); }

    ScopedReportViews views;
    MzPopupMenu menu;
    std::vector<MzMenuItem> loaded;
    UserPopupMenuManager user;
};

} // namespace

TEST_F(UserMenuTest, LoadedMenuIsTheFixedResource) {
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"常に手前に表示", "-", "一時停止",
                                                        "スクリプトログの表示", "-", "終了"}));
}

TEST_F(UserMenuTest, ItemsStandInOrderOfAddingWithOneExtraSeparator) {
    Add(5);
    Add(2);
    Add(9);
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"常に手前に表示", "-", "item5", "item2", "item9", "-",
                                                        "一時停止", "スクリプトログの表示", "-", "終了"}));
    EXPECT_EQ(menu.FindCommand(mz::menu::kUserBase + 2), 3);
    for (int i : {5, 2, 9})
        user.Remove(i);
    EXPECT_EQ(menu.Snapshot(), loaded);
}

TEST_F(UserMenuTest, ItemAddedAfterRemovalGoesAfterTheRemainingOne) {
    Add(1);
    Add(2);
    user.Remove(1);
    Add(3);
    EXPECT_EQ(Captions(menu)[2], "item2");
    EXPECT_EQ(Captions(menu)[3], "item3");
    EXPECT_EQ(Captions(menu)[4], "-");
}

TEST_F(UserMenuTest, SeparatorItemTakesAnIndexAndIsRemovedByIt) {
    Add(0);
    user.Add(7, std::nullopt, nullptr);
    EXPECT_EQ(user.Count(), 2);
    auto items = menu.Snapshot();
    EXPECT_TRUE(items[3].separator);
    EXPECT_EQ(items[3].id, mz::menu::kUserBase + 7);
    user.Remove(7);
    user.Remove(0);
    EXPECT_EQ(menu.Snapshot(), loaded);
}

TEST_F(UserMenuTest, BadAndDuplicateIndicesShowErrorBoxesAndChangeNothing) {
    struct Case {
        int index;
        const char* box;
    };
    const Case cases[] = {
        {128, "ERROR : メニューIDが不正です。[128] (0～127)\n"},
        {-1, "ERROR : メニューIDが不正です。[-1] (0～127)\n"},
        {4, "ERROR : 既に同じIDでメニューが登録されています。[4]\n"},
    };
    Add(4);
    auto before = menu.Snapshot();
    for (const Case& c : cases) {
        views.errorBox.shown.clear();
        Add(c.index);
        ASSERT_EQ(views.errorBox.shown.size(), 1u) << c.index;
        EXPECT_EQ(views.errorBox.shown[0], c.box);
        EXPECT_EQ(menu.Snapshot(), before);
    }
    views.errorBox.shown.clear();
    user.Remove(200);
    EXPECT_EQ(views.errorBox.shown.size(), 1u);
    user.Remove(50); // free index: silently nothing
    EXPECT_EQ(views.errorBox.shown.size(), 1u);
    EXPECT_EQ(user.Count(), 1);
}

TEST_F(UserMenuTest, CommandRunsTheItemsFunctionEvenWhenItRemovesItself) {
    int runs = 0;
    user.Add(6, std::string("self"), [&] {
        ++runs;
        user.Remove(6);
    });
    EXPECT_FALSE(user.Command(mz::menu::kUserBase + 7));
    EXPECT_FALSE(user.Command(mz::menu::kUserBase - 1));
    EXPECT_TRUE(user.Command(mz::menu::kUserBase + 6));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(menu.Snapshot(), loaded);
    EXPECT_FALSE(user.Command(mz::menu::kUserBase + 6));
}

TEST_F(UserMenuTest, DetachedManagerIgnoresEverything) {
    user.RemoveAll();
    Add(1);
    EXPECT_EQ(user.Count(), 0);
    EXPECT_EQ(menu.Snapshot(), loaded);
    EXPECT_TRUE(views.errorBox.shown.empty());
}

// ---- file dialog filters ----

TEST(MzFileDialogTest, WindowsFilterStringsBecomeQtFilters) {
    using namespace std::string_literals;
    struct Case {
        std::string windows;
        std::string qt;
    };
    const Case cases[] = {
        {"Scripts\0*.nut\0"s, "Scripts (*.nut)"},
        {"Models\0*.dae;*.xml\0All files\0*.*\0\0"s, "Models (*.dae *.xml);;All files (*.*)"},
        {"Text (*.txt)\0*.txt\0"s, "Text (*.txt)"},       // already names its patterns
        {"Odd\0*.a; ;*.b\0Dangling\0"s, "Odd (*.a *.b)"}, // empty pattern, no patterns
        {"Empty\0\0Later\0*.x\0"s, ""},                   // double NUL ends the list
        {""s, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MzQtFileFilter(MzParseFileFilter(c.windows)), c.qt);
}

namespace {
class FakeFileDialog : public MzFileDialogView {
  public:
    std::string Open(const std::string& filter, const std::string& suffix,
                     const std::string& start) override {
        seen.push_back(filter + "|" + suffix + "|" + start);
        return answers.at(seen.size() - 1);
    }
    std::vector<std::string> answers, seen;
};
} // namespace

TEST(MzFileDialogTest, StartsAtTheLastChosenPathAndCancelGivesEmpty) {
    using namespace std::string_literals;
    EXPECT_EQ(MzOpenFileDialog("A\0*.a\0"s, "a"), ""); // no host
    FakeFileDialog dialog;
    dialog.answers = {"/tmp/one.a", "", "/tmp/two.a"};
    MzSetFileDialogView(&dialog);
    EXPECT_EQ(MzOpenFileDialog("A\0*.a\0"s, "a"), "/tmp/one.a");
    EXPECT_EQ(MzOpenFileDialog("A\0*.a\0"s, "a"), "");
    EXPECT_EQ(MzOpenFileDialog("A\0*.a\0"s, "a"), "/tmp/two.a");
    MzSetFileDialogView(nullptr);
    EXPECT_EQ(dialog.seen,
              (std::vector<std::string>{"A (*.a)|a|", "A (*.a)|a|/tmp/one.a", "A (*.a)|a|/tmp/one.a"}));
}

// The application thread sleeps through the ticks at which no frame would be due.
TEST_F(MainAppTest, SleepsThroughTicksBeforeTheNextFrame) {
    EXPECT_EQ(app.TicksToSleep(), 1); // the start-up script has not run
    TickAt(1000);
    TickAt(1017);
    struct Case {
        std::uint32_t now;
        int ticks;
    };
    for (const Case& c : {Case{1017, 2}, Case{1022, 2}, Case{1024, 1}, Case{1033, 1}, Case{1040, 1}}) {
        g_now = c.now;
        EXPECT_EQ(app.TicksToSleep(), c.ticks) << "at " << c.now;
    }
}
