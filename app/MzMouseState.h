// Mouse buttons and cursor as the main window sees them, for the input system to sample.
// The GUI thread writes, the application thread reads: every field is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

struct MzMouseState {
    enum Button { kLeft = 0, kRight = 1, kMiddle = 2 };
    // 1 while the button is held; the first three of the eight bytes of the mouse device.
    std::array<std::atomic<std::uint8_t>, 8> buttons{};
    // Cursor position in screen pixels.
    std::atomic<int> screenX{0};
    std::atomic<int> screenY{0};
    // The window is active (mouse device enabled).
    std::atomic<bool> active{true};
};
