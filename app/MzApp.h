// The application base class: the main window's settings, the stop flags shared by the three threads
// and the operations through which the window (GUI thread) and the application thread drive it.
#pragma once

#include "MzHost.h"
#include "MzMouseState.h"

#include <atomic>
#include <string>

class MzApp {
  public:
    MzApp() = default;
    MzApp(const MzApp&) = delete;
    MzApp& operator=(const MzApp&) = delete;
    virtual ~MzApp() = default;

    // One tick of the application thread; nothing in the base.
    virtual void Update() {}
    virtual void SetTopmost();
    virtual void ClearTopmost();

    // Window events, GUI thread. Buttons record their state for the input system; the window
    // holds the mouse grab while any button is down. Deactivation releases every button.
    virtual void OnButton(MzMouseState::Button button, bool down);
    virtual void OnCursor(int screenX, int screenY);
    virtual void OnMove(int x, int y);
    virtual void OnSize(int width, int height);
    virtual void OnActivate(bool active);

    // Construction succeeded (window created); false stops the application thread at once.
    std::atomic<bool> running{false};
    // Stop requested; never cleared.
    std::atomic<bool> quit{false};
    // The system stopped because it could not go on (graphics, start-up script): the exit status
    // says so.
    std::atomic<bool> failed{false};
    void Fail() {
        failed = true;
        quit = true;
    }

    std::string name;
    std::atomic<int> x{0};
    std::atomic<int> y{0};
    std::atomic<int> width{800};
    std::atomic<int> height{600};
    std::atomic<bool> topmost{false};

    MzHost* host = nullptr;
    MzMouseState mouse;
};
