// Mouse buttons and cursor as the main window sees them, for the input system to sample.
// The GUI thread writes, the application thread reads: every field is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

struct MzMouseState {
    enum Button { kLeft = 0, kRight = 1, kMiddle = 2 };
    // Per button: kHeld while it is down, kPressed from a press until the input system samples it, so
    // that a click shorter than a frame still reaches the frame. The first three of the eight bytes of
    // the mouse device. Sampling consumes kPressed, hence mutable.
    static constexpr std::uint8_t kHeld = 1, kPressed = 2;
    mutable std::array<std::atomic<std::uint8_t>, 8> buttons{};

    void SetButton(Button button, bool down) {
        if (down)
            buttons[button] = kHeld | kPressed;
        else
            buttons[button].fetch_and(static_cast<std::uint8_t>(~kHeld));
    }
    // Lets go of every button (the window lost the mouse); a press not yet sampled still arrives.
    void ReleaseAll() {
        for (auto& button : buttons)
            button.fetch_and(static_cast<std::uint8_t>(~kHeld));
    }
    bool Held(Button button) const { return (buttons[button] & kHeld) != 0; }
    // Down when held now or pressed since the last sample.
    bool SampleButton(std::size_t button) const { return buttons[button].fetch_and(kHeld) != 0; }
    // Cursor position in screen pixels.
    std::atomic<int> screenX{0};
    std::atomic<int> screenY{0};
    // The window is active (mouse device enabled).
    std::atomic<bool> active{true};
};
