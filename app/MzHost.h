// What the toolkit-free application needs from the desktop host: its main window and windows.
//
// The application thread calls these while the GUI thread owns the window, so an implementation
// hands each call to the GUI thread in order (a queued call) and returns at once. Calls from the
// GUI thread itself take effect at once.
#pragma once

#include <vector>

struct MzScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const MzScreenRect&) const = default;
};

class MzHost {
  public:
    virtual ~MzHost() = default;
    // The screen's available geometry (the work area); callable from any thread.
    virtual MzScreenRect WorkArea() const = 0;
    // Moves and resizes the window; the resulting size change requests a reset.
    virtual void MoveTo(const MzScreenRect& rect) = 0;
    // Cuts the window (visible and input shape) to the rectangles, in window coordinates.
    // No rectangles give an empty shape: nothing visible, every click goes through.
    virtual void SetShape(std::vector<MzScreenRect> rects) = 0;
    virtual void Show() = 0;
    virtual void SetTopmost(bool topmost) = 0;
    // Brings the window to the front (tray icon click).
    virtual void Raise() = 0;
    // Shows the script-log window and brings it to the front.
    virtual void ShowScriptLog() = 0;
};
