// The input system: edges between samples, the inactive window, the cursor relative to the window.
#include "InputFixture.h"

#include <gtest/gtest.h>

namespace {

class InputTest : public testing::Test {
  protected:
    InputTest() {
        input.window = &window;
        input.mouse.Attach(&window, 0);
        input.mouse.Activate();
    }

    FakeInputWindow window;
    MzInput input;
};

TEST_F(InputTest, EdgesFollowTheHeldButtons) {
    using B = MzMouseState::Button;
    struct Step {
        bool left, right, middle;
        std::uint8_t held, pressed, released;
    };
    const Step steps[] = {
        {false, false, false, 0, 0, 0}, {true, false, false, 1, 1, 0}, {true, false, false, 1, 0, 0},
        {true, true, true, 7, 6, 0},    {false, true, false, 2, 0, 5}, {false, false, false, 0, 0, 2},
    };
    for (const Step& s : steps) {
        window.SetButton(B::kLeft, s.left);
        window.SetButton(B::kRight, s.right);
        window.SetButton(B::kMiddle, s.middle);
        const std::uint8_t heldBefore = input.held;
        input.Update();
        EXPECT_EQ(input.held, s.held);
        EXPECT_EQ(input.pressed, s.pressed);
        EXPECT_EQ(input.released, s.released);
        EXPECT_EQ(input.previousHeld, heldBefore);
    }
}

TEST_F(InputTest, AClickShorterThanAFrameStillPressesAndReleases) {
    window.SetButton(MzMouseState::kMiddle, true);
    window.SetButton(MzMouseState::kMiddle, false);
    input.Update();
    EXPECT_TRUE(input.WasPressed(MzMouseState::kMiddle));
    input.Update();
    EXPECT_TRUE(input.WasReleased(MzMouseState::kMiddle));
    input.Update();
    EXPECT_EQ(input.held | input.pressed | input.released, 0);
}

TEST_F(InputTest, DeactivatedWindowReleasesHeldButtons) {
    window.SetButton(MzMouseState::kLeft, true);
    input.Update();
    ASSERT_TRUE(input.IsHeld(MzMouseState::kLeft));

    window.mouse.active = false;
    input.Update();
    EXPECT_FALSE(input.IsHeld(MzMouseState::kLeft));
    EXPECT_TRUE(input.WasReleased(MzMouseState::kLeft));

    window.mouse.active = true;
    input.mouse.Deactivate();
    input.Update();
    EXPECT_EQ(input.held, 0);
    EXPECT_EQ(input.released, 0);
}

TEST_F(InputTest, CursorIsRelativeToTheWindowEvenWhenInactive) {
    window.originX = 100;
    window.originY = 50;
    window.MoveTo(30, 40);
    input.mouse.Deactivate();
    input.Update();
    EXPECT_EQ(input.x, 30);
    EXPECT_EQ(input.y, 40);
    window.MoveTo(-5, 7);
    input.Update();
    EXPECT_EQ(input.x, -5);
    EXPECT_EQ(input.previousX, 30);
}

TEST_F(InputTest, MouseDeviceStateMarksDownButtonsWith0x80) {
    window.originX = 10;
    window.MoveTo(3, 4);
    window.mouse.buttons[5] = 1;
    window.SetButton(MzMouseState::kRight, true);
    MzMouseDeviceState state;
    input.mouse.GetState(&state);
    EXPECT_EQ(state.x, 3);
    EXPECT_EQ(state.y, 4);
    EXPECT_EQ(state.buttons[1], 0x80);
    EXPECT_EQ(state.buttons[5], 0x80);
    EXPECT_EQ(state.buttons[0], 0);

    input.mouse.Detach();
    input.mouse.GetState(&state);
    EXPECT_EQ(state.buttons[1], 0);
}

} // namespace
