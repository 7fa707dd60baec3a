#include "MzInput.h"

#include "MzGraphics.h"

MzInput* g_input = nullptr;

namespace {

constexpr std::uint8_t kDown = 0x80;

// Cursor position relative to the window's top-left corner.
void CursorInWindow(const MzInputWindow& window, std::int32_t* x, std::int32_t* y) {
    int originX = 0;
    int originY = 0;
    window.GetOrigin(&originX, &originY);
    const MzMouseState& mouse = window.Mouse();
    *x = mouse.screenX - originX;
    *y = mouse.screenY - originY;
}

float Normalised(std::int32_t v, std::int32_t size) {
    const std::int32_t half = size / 2;
    if (half == 0) return 0;
    return static_cast<float>(v - half) / static_cast<float>(half);
}

} // namespace

float ScreenToNdcX(std::int32_t x) {
    return Normalised(x, g_clientWidth);
}

float ScreenToNdcY(std::int32_t y) {
    return -Normalised(y, g_clientHeight);
}

void MzInputDevice::Attach(const MzInputWindow* newWindow, std::int32_t newMode) {
    Detach();
    window = newWindow;
    mode = newMode;
}

void MzInputMouseDevice::GetState(MzMouseDeviceState* out) const {
    *out = MzMouseDeviceState{};
    if (!active || window == nullptr || !window->Mouse().active) return;
    CursorInWindow(*window, &out->x, &out->y);
    const MzMouseState& mouse = window->Mouse();
    for (std::size_t i = 0; i < out->buttons.size(); ++i)
        out->buttons[i] = mouse.SampleButton(i) ? kDown : 0;
}

void MzInput::Update() {
    previousX = x;
    previousY = y;
    previousHeld = held;
    previousPressed = pressed;
    previousReleased = released;

    MzMouseDeviceState state;
    mouse.GetState(&state);
    held = 0;
    for (auto button : {MzMouseState::kLeft, MzMouseState::kRight, MzMouseState::kMiddle})
        if (state.buttons[button] & kDown) held |= Bit(button);
    pressed = held & ~previousHeld;
    released = previousHeld & ~held;

    if (window != nullptr) CursorInWindow(*window, &x, &y);
}
