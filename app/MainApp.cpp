#include "MainApp.h"

#include "MenuResource.h"
#include "MzLog.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace {
constexpr auto kTickSleep = std::chrono::milliseconds(10);
}

std::optional<std::uint32_t> MzFrameClock::Tick(std::uint32_t nowMs) {
    if (!m_started) {
        m_started = true;
        m_lastFrameMs = nowMs;
    }
    std::uint32_t elapsed = nowMs - m_lastFrameMs;
    if (elapsed <= kMinFrameMs) return std::nullopt;
    m_lastFrameMs = nowMs;
    return elapsed < kMaxFrameMs ? elapsed : kMaxFrameMs;
}

std::uint32_t MzFrameClock::MsUntilDue(std::uint32_t nowMs) const {
    if (!m_started) return 0;
    const std::uint32_t elapsed = nowMs - m_lastFrameMs;
    return elapsed > kMinFrameMs ? 0 : kMinFrameMs + 1 - elapsed;
}

std::uint32_t MzTimeMs() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

MainApp::MainApp(MzAppEngine& engine) : m_engine(engine) {}

MainApp::~MainApp() {
    if (m_graphicsReady) EndFrameCycle();
    m_userMenu.RemoveAll();
    m_popupMenu.Release();
}

bool MainApp::LoadConfig() {
    bool loaded = m_engine.LoadConfig();
    name = m_engine.AppName();
    return loaded;
}

void MainApp::Start(MzHost* newHost) {
    host = newHost;
    m_popupMenu.Load();
    m_userMenu.Attach(&m_popupMenu);
    AddDesktopItems();
    SetTopmost();
    Resume();
    // The window's first size is the one the graphics start with; no reset for it.
    m_resetRequested = false;
    running = true;
}

// ---- application thread ----

void MainApp::InitFrameCycle() {
    if (!m_engine.StartGraphics(ClientRect())) {
        Fail();
        return;
    }
    m_graphicsReady = true;
}

void MainApp::Update() {
    if (!running || !m_graphicsReady) return;
    if (!m_startupScriptRun) {
        m_startupScriptRun = true;
        if (!m_engine.RunStartupScript()) {
            Fail();
            return;
        }
    }
    RunQueuedCommands();
    if (m_resetRequested.exchange(false) && !m_engine.ResetGraphics(ClientRect())) {
        Fail();
        return;
    }
    if (auto elapsed = m_clock.Tick(timeSource()); elapsed && !m_suspended) RunFrame(*elapsed);
    m_engine.CollectGarbage();
}

void MainApp::RunFrame(std::uint32_t elapsedMs) {
    m_engine.SampleInput();
    CoverWorkArea();
    m_engine.UpdateActors(elapsedMs);
    m_engine.Render();
    if (host) host->SetShape(m_engine.BuildWindowRegion());
    m_engine.Present();
    if (m_showOnFirstFrame && host) {
        host->Show();
        m_showOnFirstFrame = false;
    }
}

void MainApp::CoverWorkArea() {
    if (!host) return;
    MzScreenRect area = host->WorkArea();
    if (area.width == width && area.height == height) return;
    host->MoveTo(area);
}

int MainApp::TicksToSleep() const {
    constexpr std::uint32_t kTickMs = kTickSleep.count();
    if (!running || !m_graphicsReady || !m_startupScriptRun) return 1;
    const std::uint32_t ms = m_clock.MsUntilDue(timeSource());
    return static_cast<int>(std::max<std::uint32_t>(1, (ms + kTickMs - 1) / kTickMs));
}

void MainApp::EndFrameCycle() {
    m_engine.EndGraphics();
    m_graphicsReady = false;
}

void MainApp::RunQueuedCommands() {
    std::vector<int> commands;
    {
        std::lock_guard lock(m_commandsMutex);
        commands.swap(m_queuedCommands);
    }
    for (int id : commands)
        m_userMenu.Command(id);
}

// ---- GUI thread ----

void MainApp::AddDesktopItems() {
    if (!m_autostart) return;
    for (const auto& item : mz::menu::kDesktopItems) {
        m_popupMenu.InsertAt(std::numeric_limits<int>::max(),
                             {item.id, std::string(item.text), item.id == 0, false});
    }
    RefreshAutostart();
}

void MainApp::RefreshAutostart() {
    if (!m_autostart) return;
    bool enabled = m_autostart->Enabled();
    if (enabled != m_popupMenu.IsChecked(mz::menu::kAutostart))
        m_popupMenu.SetChecked(mz::menu::kAutostart, enabled);
}

void MainApp::ToggleAutostart() {
    if (!m_autostart) return;
    m_autostart->Enabled() ? m_autostart->Disable() : m_autostart->Enable();
    RefreshAutostart();
}

void MainApp::SetTopmost() {
    m_popupMenu.SetChecked(mz::menu::kTopmost, true);
    MzApp::SetTopmost();
}

void MainApp::ClearTopmost() {
    m_popupMenu.SetChecked(mz::menu::kTopmost, false);
    MzApp::ClearTopmost();
}

void MainApp::Pause() {
    m_popupMenu.SetChecked(mz::menu::kPause, true);
    m_paused = true;
    m_engine.SetPaused(true);
}

void MainApp::Resume() {
    m_popupMenu.SetChecked(mz::menu::kPause, false);
    m_paused = false;
    m_engine.SetPaused(false);
}

void MainApp::OnSize(int newWidth, int newHeight) {
    MzApp::OnSize(newWidth, newHeight);
    m_resetRequested = true;
}

bool MainApp::Command(int commandId) {
    switch (commandId) {
    case mz::menu::kTopmost:
        topmost ? ClearTopmost() : SetTopmost();
        return true;
    case mz::menu::kExit:
        quit = true;
        return true;
    case mz::menu::kShowScriptLog:
        if (host) host->ShowScriptLog();
        return true;
    case mz::menu::kPause:
        m_paused ? Resume() : Pause();
        return true;
    case mz::menu::kAutostart:
        ToggleAutostart();
        return true;
    default:
        break;
    }
    if (commandId < mz::menu::kUserBase || commandId > mz::menu::kUserRangeLast) return false;
    std::lock_guard lock(m_commandsMutex);
    m_queuedCommands.push_back(commandId);
    return true;
}

// ---- threads ----

void AppThreadProc(MainApp& app) {
    app.InitFrameCycle();
    while (true) {
        if (!app.running) app.quit = true;
        if (app.quit) break;
        app.Update();
        std::this_thread::sleep_for(kTickSleep * app.TicksToSleep());
    }
    if (app.GraphicsReady()) app.EndFrameCycle();
}

void DialogThreadProc(MainApp& app) {
    MzFlushScriptLog();
    while (!app.quit) {
        std::this_thread::sleep_for(kTickSleep);
        MzFlushScriptLog();
    }
}
