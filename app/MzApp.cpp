#include "MzApp.h"

void MzApp::SetTopmost() {
    topmost = true;
    if (host) host->SetTopmost(true);
}

void MzApp::ClearTopmost() {
    topmost = false;
    if (host) host->SetTopmost(false);
}

void MzApp::OnButton(MzMouseState::Button button, bool down) {
    mouse.SetButton(button, down);
}

void MzApp::OnCursor(int screenX, int screenY) {
    mouse.screenX = screenX;
    mouse.screenY = screenY;
}

void MzApp::OnMove(int newX, int newY) {
    x = newX;
    y = newY;
}

void MzApp::OnSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
}

// The main window never takes the keyboard focus, so it is not the active window even while the
// user drags: losing activation (another window, an error box, a workspace switch) lets go of the
// buttons, so the frame sees their release, and the mouse stays enabled.
void MzApp::OnActivate(bool active) {
    if (!active) mouse.ReleaseAll();
}
