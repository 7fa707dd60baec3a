// The system's application: the frame cycle on the application thread and the pop-up menu commands
// on the GUI thread.
//
// A tick (on a 10 ms grid; the ticks before a frame is due are slept through): pending script menu commands,
// the start-up script once, a reset when the client size changed, then a frame if more than 16 ms have passed
// since the last one (advancing by at most 200 ms), and the garbage collector every tick. A frame: input,
// keep covering the work area, actors, drawing, window shape, present, and on the first frame show the
// window.
#pragma once

#include "MzApp.h"
#include "MzAppEngine.h"
#include "MzAutostart.h"
#include "MzPopupMenu.h"
#include "UserPopupMenuManager.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

// Decides when a frame is due and how far it advances.
class MzFrameClock {
  public:
    static constexpr std::uint32_t kMinFrameMs = 16;
    static constexpr std::uint32_t kMaxFrameMs = 200;

    // The milliseconds a frame advances at `nowMs`, or nothing while at most 16 ms have passed.
    // The first call only starts the clock. Times wrap like a 32-bit millisecond counter.
    std::optional<std::uint32_t> Tick(std::uint32_t nowMs);
    // Milliseconds from `nowMs` until Tick gives a frame; 0 when one is due or the clock has not started.
    std::uint32_t MsUntilDue(std::uint32_t nowMs) const;

  private:
    bool m_started = false;
    std::uint32_t m_lastFrameMs = 0;
};

// Milliseconds of a monotonic clock, wrapping at 32 bits.
std::uint32_t MzTimeMs();

class MainApp : public MzApp {
  public:
    explicit MainApp(MzAppEngine& engine);
    ~MainApp() override;

    // Main thread: configuration and name; false when config.nut could not be run (reported).
    bool LoadConfig();
    // Main thread, before Start: the autostart entry the menu's "自動起動" item writes and removes.
    void SetAutostart(MzAutostart* autostart) { m_autostart = autostart; }
    // Main thread, once the host's window, tray icon and menu exist: topmost, not paused, running.
    void Start(MzHost* host);

    // Application thread.
    void InitFrameCycle();
    void Update() override;
    void RunFrame(std::uint32_t elapsedMs);
    void EndFrameCycle();
    // How many 10 ms ticks the application thread sleeps after this one: the ticks before the next
    // frame is due would only collect garbage that no frame made, so it sleeps through them.
    int TicksToSleep() const;

    void SetTopmost() override;
    void ClearTopmost() override;
    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }
    // While suspended (the characters are out of the way of a full-screen window or the locked
    // screen) no frame runs; the frame clock goes on, so the first frame after does not jump.
    void Suspend(bool suspended) { m_suspended = suspended; }

    // GUI thread.
    void OnSize(int width, int height) override;
    // A chosen menu command; script items are queued to the application thread. True if handled.
    bool Command(int commandId);
    // Checks "自動起動" when the entry for this folder exists (it may change outside the program).
    void RefreshAutostart();

    MzPopupMenu& PopupMenu() { return m_popupMenu; }
    // Where the tick reads the time; replaceable for tests.
    std::uint32_t (*timeSource)() = MzTimeMs;
    UserPopupMenuManager& UserMenu() { return m_userMenu; }
    bool GraphicsReady() const { return m_graphicsReady; }

  private:
    MzScreenRect ClientRect() const { return {x, y, width, height}; }
    void RunQueuedCommands();
    void CoverWorkArea();
    void AddDesktopItems();
    void ToggleAutostart();

    MzAppEngine& m_engine;
    MzPopupMenu m_popupMenu;
    UserPopupMenuManager m_userMenu;
    MzAutostart* m_autostart = nullptr;
    MzFrameClock m_clock;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_suspended{false};
    std::atomic<bool> m_resetRequested{false};
    bool m_showOnFirstFrame = true;
    bool m_graphicsReady = false;
    bool m_startupScriptRun = false;
    std::mutex m_commandsMutex;
    std::vector<int> m_queuedCommands;
};

// Bodies of the two worker threads.
void AppThreadProc(MainApp& app);
void DialogThreadProc(MainApp& app);
