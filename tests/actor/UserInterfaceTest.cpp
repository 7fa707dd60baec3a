// The user-interface actor: clicking, dragging, turning, scaling, pause and removed mascots.
#include "InputFixture.h"

#include "MzActorManager.h"
#include "UserInterface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// A mascot as the user interface sees it: a pickable cube that records the calls it gets.
class FakeMascot : public MzActor, public MzCatchable {
  public:
    explicit FakeMascot(Vector4 position) : cube(position) {}
    void OnCreate() override {
        cube.object.Bind(&cube.model, id);
        g_objectManager->Add(&cube.object);
    }
    void OnRemove() override { g_objectManager->Remove(&cube.object); }

    float GetDir() const override { return direction; }
    void SetDir(float angle, std::int32_t ms) override {
        direction = angle;
        calls.push_back("SetDir " + std::to_string(ms));
    }
    float GetTransformScale() const override { return scale; }
    void SetTransformScale(float s) override { scale = s; }
    void CallCatch() override { calls.push_back("catch"); }
    void CallRelease() override { calls.push_back("release"); }
    Vector4 Position() const { return cube.Position(); }

    Cube cube;
    float direction = 0;
    float scale = 1;
    Calls calls;
};

// A 600 × 600 client looking from above and behind at a cube standing at (0, 0, 10).
class UserInterfaceTest : public testing::Test {
  protected:
    UserInterfaceTest() : graphicsWindow(600, 600) {
        graphics.Create(&graphicsWindow, 0, 0);
        D3DXMatrixLookAtLH(&graphics.device.state.view, {0, 5, -10}, {0, 0, 10}, {0, 1, 0});
        objects.NewList();
        input.window = &window;
        input.mouse.Attach(&window, 0);
        input.mouse.Activate();
        ui = new UserInterface({&input, &graphics, &actors, &objects, &g_paused});
        actors.Register(ui, 60, 0, true);
        mascot = new FakeMascot({0, 0, 10, 1});
        actors.Register(mascot, 60, 128, false);
        Frame(); // places both
    }
    ~UserInterfaceTest() override { g_paused = false; }

    // The client pixel over a world point.
    void PixelOf(const Vector4& world, int* x, int* y) const {
        Vector4 ndc;
        graphics.device.Project(world, &ndc);
        *x = static_cast<int>(std::lround((ndc.x + 1) * 300));
        *y = static_cast<int>(std::lround((1 - ndc.y) * 300));
    }
    void Frame() {
        input.Update();
        actors.Update(16);
    }
    // One frame with the cursor at (x, y) and the button state given.
    void Frame(int x, int y, MzMouseState::Button button, bool down) {
        window.MoveTo(x, y);
        window.SetButton(button, down);
        Frame();
    }
    Calls TakeCalls() { return std::exchange(mascot->calls, {}); }

    NullWindow graphicsWindow;
    MzGraphics graphics;
    MzObjectManager objects;
    FakeInputWindow window;
    MzInput input;
    MzActorManager actors;
    UserInterface* ui = nullptr;
    FakeMascot* mascot = nullptr;
};

TEST_F(UserInterfaceTest, ClickWithoutMovementCallsNothing) {
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kLeft, true);
    EXPECT_EQ(ui->state, UserInterface::kPressed);
    EXPECT_EQ(ui->object, &mascot->cube.object);
    Frame(x, y, MzMouseState::kLeft, false);
    EXPECT_EQ(ui->state, UserInterface::kIdle);
    EXPECT_EQ(ui->object, nullptr);
    EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(UserInterfaceTest, PressOnEmptyDesktopPressesWithoutObject) {
    Frame(5, 5, MzMouseState::kLeft, true);
    EXPECT_EQ(ui->state, UserInterface::kPressed);
    EXPECT_EQ(ui->object, nullptr);
    Frame(50, 50, MzMouseState::kLeft, true);
    EXPECT_EQ(ui->state, UserInterface::kDragging);
    Frame(50, 50, MzMouseState::kLeft, false);
    EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(UserInterfaceTest, DragCatchesAtFirstMoveAndTheGrabbedPointFollowsTheCursor) {
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kLeft, true);
    Frame(x, y, MzMouseState::kLeft, true);
    EXPECT_EQ(TakeCalls(), Calls{});
    Frame(x + 20, y, MzMouseState::kLeft, true);
    EXPECT_EQ(TakeCalls(), Calls{"catch"});
    EXPECT_EQ(ui->state, UserInterface::kDragging);
    EXPECT_GT(mascot->Position().x, 0.1f);

    Frame(x + 40, y + 10, MzMouseState::kLeft, true);
    const Vector4 p = mascot->Position();
    const Vector4 grabbed{p.x + ui->grabOffset.x, p.y + ui->grabOffset.y, p.z + ui->grabOffset.z, 1};
    int gx, gy;
    PixelOf(grabbed, &gx, &gy);
    EXPECT_NEAR(gx, x + 40, 1);
    EXPECT_NEAR(gy, y + 10, 1);
    EXPECT_EQ(TakeCalls(), Calls{});

    Frame(x + 40, y + 10, MzMouseState::kLeft, false);
    EXPECT_EQ(TakeCalls(), Calls{"release"});
    EXPECT_EQ(ui->state, UserInterface::kIdle);
}

TEST_F(UserInterfaceTest, WhilePausedTheMascotMovesWithoutCallbacks) {
    g_paused = true;
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kLeft, true);
    Frame(x + 30, y, MzMouseState::kLeft, true);
    Frame(x + 30, y, MzMouseState::kLeft, false);
    EXPECT_GT(mascot->Position().x, 0.1f);
    EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(UserInterfaceTest, DraggingStopsAtTheEdgeOfTheVisibleArea) {
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kLeft, true);
    for (int step = 1; step <= 4; ++step)
        Frame(x + step * 2000, y, MzMouseState::kLeft, true);
    Vector4 ndc;
    graphics.device.Project(mascot->Position(), &ndc);
    EXPECT_LE(ndc.x, 1.0001f);
    EXPECT_GT(ndc.x, 0.99f);
}

TEST_F(UserInterfaceTest, MiddleDragTurnsByASixthOfTheWidthAndScales) {
    mascot->direction = 0.5f;
    mascot->scale = 2;
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kMiddle, true);
    EXPECT_EQ(ui->state, UserInterface::kTurning);
    EXPECT_EQ(TakeCalls(), Calls{"catch"});

    Frame(x + 100, y, MzMouseState::kMiddle, true); // nx grows by 1/3: one full turn backwards
    EXPECT_NEAR(mascot->direction, 0.5f - 2 * 3.14159265f, 1e-4);
    EXPECT_FLOAT_EQ(mascot->scale, 2);
    EXPECT_EQ(TakeCalls(), Calls{"SetDir 0"});

    struct Case {
        int dy;
        float scale;
    };
    for (const Case& c : {Case{-150, 4.5f}, Case{-2000, 10}, Case{2000, 0.1f}, Case{60, 1}}) {
        Frame(x + 100, y + c.dy, MzMouseState::kMiddle, true);
        EXPECT_NEAR(mascot->scale, c.scale, 1e-5) << c.dy;
    }

    Frame(5, 5, MzMouseState::kMiddle, false); // let go over the empty desktop
    EXPECT_EQ(ui->state, UserInterface::kIdle);
    EXPECT_EQ(TakeCalls().back(), "release");
}

TEST_F(UserInterfaceTest, MiddleOverNothingStaysIdle) {
    Frame(5, 5, MzMouseState::kMiddle, true);
    EXPECT_EQ(ui->state, UserInterface::kIdle);
    Frame(5, 5, MzMouseState::kMiddle, false);
    EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(UserInterfaceTest, RemovedMascotIsDroppedNotTouched) {
    int x, y;
    PixelOf(mascot->Position(), &x, &y);
    Frame(x, y, MzMouseState::kLeft, true);
    Frame(x + 10, y, MzMouseState::kLeft, true);
    ASSERT_EQ(ui->state, UserInterface::kDragging);
    mascot->Kill();
    Frame(x + 20, y, MzMouseState::kLeft, true); // removed at the end of this frame
    mascot = nullptr;
    Frame(x + 30, y, MzMouseState::kLeft, true);
    EXPECT_EQ(ui->object, nullptr);
    Frame(x + 30, y, MzMouseState::kLeft, false);
    EXPECT_EQ(ui->state, UserInterface::kIdle);
}

} // namespace
