// The input system: samples the main window's mouse once per frame and derives pressed and released
// edges from the previous sample.
//
// The window procedure (GUI thread) records the button bytes, the cursor and the activation in an
// MzMouseState; the application thread reads them here without a lock (they are atomics). A press and
// release that both happen between two samples are not seen.
#pragma once

#include "MzMouseState.h"

#include <array>
#include <cstdint>

// The main window as the input sees it: its recorded mouse state and where it stands on the screen.
class MzInputWindow {
  public:
    virtual ~MzInputWindow() = default;
    virtual const MzMouseState& Mouse() const = 0;
    // Top-left corner of the window (its client area: the window has no frame) in screen pixels.
    virtual void GetOrigin(int* x, int* y) const = 0;
};

class MzInputDevice {
  public:
    MzInputDevice() = default;
    MzInputDevice(const MzInputDevice&) = delete;
    MzInputDevice& operator=(const MzInputDevice&) = delete;
    virtual ~MzInputDevice() = default;

    virtual void Attach(const MzInputWindow* window, std::int32_t mode);
    virtual void Detach() { window = nullptr; }
    virtual void Activate() { active = true; }
    virtual void Deactivate() { active = false; }

    const MzInputWindow* window = nullptr;
    std::int32_t mode = 0;
    bool active = false;
};

// One sample of the mouse: the cursor in client pixels and 0x80 in each button byte that is down.
struct MzMouseDeviceState {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::array<std::uint8_t, 8> buttons{};
};

class MzInputMouseDevice : public MzInputDevice {
  public:
    // All zero while the device or the window is inactive, so that held buttons read as released.
    virtual void GetState(MzMouseDeviceState* out) const;
};

class MzInput {
  public:
    // The bit of a button in held, pressed and released.
    static constexpr std::uint8_t Bit(MzMouseState::Button button) {
        return static_cast<std::uint8_t>(1u << button);
    }

    MzInput() = default;
    MzInput(const MzInput&) = delete;
    MzInput& operator=(const MzInput&) = delete;
    virtual ~MzInput() = default;

    // One sample per frame.
    void Update();

    bool IsHeld(MzMouseState::Button button) const { return (held & Bit(button)) != 0; }
    bool WasPressed(MzMouseState::Button button) const { return (pressed & Bit(button)) != 0; }
    bool WasReleased(MzMouseState::Button button) const { return (released & Bit(button)) != 0; }

    const MzInputWindow* window = nullptr;
    MzInputMouseDevice mouse;
    // Cursor relative to the window's top-left corner, in pixels.
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t held = 0;
    std::uint8_t pressed = 0;
    std::uint8_t released = 0;
    std::int32_t previousX = 0;
    std::int32_t previousY = 0;
    std::uint8_t previousHeld = 0;
    std::uint8_t previousPressed = 0;
    std::uint8_t previousReleased = 0;
};

// Normalised device coordinates of a client pixel, with W / 2 and H / 2 of the client size divided as
// integers; y is positive upwards. An empty client gives 0.
float ScreenToNdcX(std::int32_t x);
float ScreenToNdcY(std::int32_t y);

// The application's input system while the frame cycle runs, else null.
extern MzInput* g_input;
