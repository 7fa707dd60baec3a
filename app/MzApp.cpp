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

void MzApp::OnActivate(bool active) {
    mouse.active = active;
}
