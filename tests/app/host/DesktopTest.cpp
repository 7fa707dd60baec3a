// The host's desktop pieces without a display: the autostart entry, the folder the program runs
// when given none, the "自動起動" menu item, and frames stopping while the characters are hidden.
#include "FakeReportViews.h"
#include "MainApp.h"
#include "MenuResource.h"
#include "MzAutostart.h"
#include "MzMascotFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "mz_desktop_XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

  private:
    fs::path m_path;
};

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "";
}

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class NullEngine : public MzAppEngine {
  public:
    bool LoadConfig() override { return true; }
    std::string AppName() const override { return "Test"; }
    bool StartGraphics(const MzScreenRect&) override { return true; }
    bool RunStartupScript() override { return true; }
    bool ResetGraphics(const MzScreenRect&) override { return true; }
    void SampleInput() override {}
    void UpdateActors(std::uint32_t ms) override {
        ++frames;
        lastMs = ms;
    }
    void Render() override {}
    std::vector<MzScreenRect> BuildWindowRegion() override { return {}; }
    void Present() override {}
    void CollectGarbage() override {}
    void EndGraphics() override {}
    void SetPaused(bool) override {}

    int frames = 0;
    std::uint32_t lastMs = 0;
};

class NullHost : public MzHost {
  public:
    MzScreenRect WorkArea() const override { return {0, 0, 800, 600}; }
    void MoveTo(const MzScreenRect&) override {}
    void SetShape(std::vector<MzScreenRect>) override {}
    void Show() override {}
    void SetTopmost(bool) override {}
    void Raise() override {}
    void ShowScriptLog() override {}
};

} // namespace

TEST(MzDesktopExecArgTest, QuotesAndEscapesAsTheEntryFormatRequires) {
    struct Case {
        std::string arg, exec;
    };
    const Case cases[] = {
        {"/usr/bin/mascot", "/usr/bin/mascot"}, {"/home/a/my pets", "\"/home/a/my pets\""},
        {"/home/a/100%", "/home/a/100%%"},      {"/tmp/$x`y\"z\\w", "\"/tmp/\\$x\\`y\\\"z\\\\w\""},
        {"/tmp/it's", "\"/tmp/it's\""},         {"", "\"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MzDesktopExecArg(c.arg), c.exec) << c.arg;
}

TEST(MzAutostartTest, EnableWritesTheEntryForTheFolderAndDisableRemovesIt) {
    TempDir dir;
    fs::path entry = dir.path() / "config" / "autostart" / "mascot.desktop";
    MzAutostart autostart(entry, "/opt/mascot/bin/mascot", "/home/a/my pets", "Momo");
    EXPECT_FALSE(autostart.Enabled());
    ASSERT_TRUE(autostart.Enable());
    EXPECT_TRUE(autostart.Enabled());
    std::string text = Read(entry);
    EXPECT_EQ(text, autostart.EntryText());
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=Momo\n"), std::string::npos) << text;
    // The backslash of the quoting is escaped once more as a string value.
    EXPECT_NE(text.find("\nExec=/opt/mascot/bin/mascot \"/home/a/my pets\"\n"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(entry.string() + ".new"));

    // Another folder's program sees the entry as not its own, and takes it over when enabled.
    MzAutostart other(entry, "/opt/mascot/bin/mascot", "/home/a/other", "Other");
    EXPECT_FALSE(other.Enabled());
    ASSERT_TRUE(other.Enable());
    EXPECT_FALSE(autostart.Enabled());
    EXPECT_TRUE(other.Enabled());

    ASSERT_TRUE(other.Disable());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(other.Disable()); // nothing to remove is no failure
}

TEST(MzAutostartTest, UnwritableEntryIsReportedAndLeavesItDisabled) {
    ScopedReportViews views;
    TempDir dir;
    Touch(dir.path() / "autostart"); // a file where the folder should be
    MzAutostart autostart(dir.path() / "autostart" / "mascot.desktop", "/bin/mascot", "/pets", "Momo");
    EXPECT_FALSE(autostart.Enable());
    ASSERT_EQ(views.errorBox.shown.size(), 1u);
    EXPECT_NE(views.errorBox.shown[0].find("自動起動の設定を書き込めませんでした"), std::string::npos);
    EXPECT_FALSE(autostart.Enabled());
}

// Sets an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        if (old) m_old = old;
        m_had = old != nullptr;
        setenv(name, value, 1);
    }
    ~ScopedEnv() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

  private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(MzAutostartTest, EntryFileFollowsXdgConfigHome) {
    ScopedEnv home("HOME", "/home/a");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(MzAutostart::DefaultEntryFile(), fs::path("/xdg/config/autostart/mascot.desktop"));
    }
    for (const char* ignored : {"", "relative/config"}) { // as the base directory rules say
        ScopedEnv config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(MzAutostart::DefaultEntryFile(), fs::path("/home/a/.config/autostart/mascot.desktop"));
    }
}

TEST(MzDefaultMascotFolderTest, WorkingDirectoryWithConfigFirstThenTheInstalledSample) {
    TempDir dir;
    fs::path program = dir.path() / "prefix" / "bin" / "mascot";
    fs::path sample = dir.path() / "prefix" / "share" / "mascot" / "default";
    fs::path work = dir.path() / "work";
    fs::create_directories(work);
    const char* fromBin = "../share/mascot/default";

    // No config.nut anywhere: the working directory, whose missing config.nut is then reported.
    EXPECT_EQ(MzDefaultMascotFolder(work, program, fromBin), work);
    Touch(sample / "config.nut");
    EXPECT_EQ(MzDefaultMascotFolder(work, program, fromBin), sample);
    EXPECT_EQ(MzDefaultMascotFolder(work, fs::path(), fromBin), work);
    Touch(work / "config.nut");
    EXPECT_EQ(MzDefaultMascotFolder(work, program, fromBin), work);
}

TEST(MainAppDesktopTest, AutostartItemFollowsTheFixedItemsAndTogglesTheEntry) {
    TempDir dir;
    fs::path entry = dir.path() / "autostart" / "mascot.desktop";
    MzAutostart autostart(entry, "/bin/mascot", "/pets", "Momo");
    NullEngine engine;
    NullHost host;
    MainApp app(engine);
    app.SetAutostart(&autostart);
    app.Start(&host);

    auto items = app.PopupMenu().Snapshot();
    ASSERT_EQ(items.size(), mz::menu::kPopup.size() + mz::menu::kDesktopItems.size());
    EXPECT_EQ(items[mz::menu::kPopup.size() - 1].id, mz::menu::kExit);
    EXPECT_TRUE(items[mz::menu::kPopup.size()].separator);
    EXPECT_EQ(items.back().id, mz::menu::kAutostart);
    EXPECT_EQ(items.back().text, "自動起動");
    EXPECT_FALSE(items.back().checked);

    EXPECT_TRUE(app.Command(mz::menu::kAutostart));
    EXPECT_TRUE(fs::exists(entry));
    EXPECT_TRUE(app.PopupMenu().IsChecked(mz::menu::kAutostart));
    EXPECT_TRUE(app.Command(mz::menu::kAutostart));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(app.PopupMenu().IsChecked(mz::menu::kAutostart));

    // Written outside the program: the check follows when the menu is next opened.
    ASSERT_TRUE(autostart.Enable());
    app.RefreshAutostart();
    EXPECT_TRUE(app.PopupMenu().IsChecked(mz::menu::kAutostart));
}

std::uint32_t g_desktopNow = 0;

TEST(MainAppDesktopTest, NoFramesWhileSuspendedAndNoJumpAfter) {
    NullEngine engine;
    NullHost host;
    MainApp app(engine);
    app.timeSource = [] { return g_desktopNow; };
    app.Start(&host);
    app.InitFrameCycle();
    g_desktopNow = 1000;
    app.Update();
    g_desktopNow = 1020;
    app.Update();
    EXPECT_EQ(engine.frames, 1);
    app.Suspend(true);
    for (g_desktopNow = 1040; g_desktopNow < 3000; g_desktopNow += 20)
        app.Update();
    EXPECT_EQ(engine.frames, 1);
    app.Suspend(false);
    app.Update(); // at 3000, 20 ms after the last suspended tick

    EXPECT_EQ(engine.frames, 2);
    EXPECT_EQ(engine.lastMs, 20u);
}
