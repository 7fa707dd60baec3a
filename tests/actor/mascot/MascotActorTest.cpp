// The mascot actor: construction, turning, the world box, motions, callbacks, lists, removal; and
// the 2D camera.
#include "Camera2DActor.h"
#include "MascotFixture.h"
#include "MzRenderPass.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class MascotActorTest : public MascotWorldTest {
  protected:
    // A box mascot registered as cpp_Mascot would, without motions.
    MascotActor* NewMascot() {
        auto* mascot = new MascotActor(Data("box.dae"), 0, 1.0f);
        actors.Register(mascot, MascotActor::kOrder, MascotActor::kSubOrder, false);
        Frame(0); // placed
        return mascot;
    }
};

TEST_F(MascotActorTest, ConstructionImportsTheModelAndStartsTheFirstSlot) {
    MascotActor mascot(Data("box.dae"), 2, 2.0f);
    EXPECT_EQ(mascot.model.joints.Count(), 2u);
    EXPECT_NEAR(mascot.model.bounds.max.y, 4.0f, 1e-5);
    EXPECT_EQ(mascot.motionCount, 2);
    EXPECT_EQ(mascot.motion.jointCount, 2u);
    EXPECT_EQ(mascot.motion.data, &mascot.Motion(0));
    EXPECT_EQ(mascot.turnDuration, 3000);
    EXPECT_EQ(mascot.transformScale, 1.0f);
    EXPECT_EQ(mascot.fsm.Current(), nullptr);

    MascotActor empty("", 0, 1.0f);
    EXPECT_EQ(empty.motion.data, nullptr);
    EXPECT_EQ(empty.FindMotion(""), -1);
}

TEST_F(MascotActorTest, TurnsOverTheGivenTimeAndStays) {
    MascotActor* mascot = NewMascot();
    mascot->SetDir(3.0f, 1000);
    Frame(250);
    Frame(250);
    EXPECT_NEAR(mascot->GetDir(), 1.5f, 1e-5);
    Frame(500);
    EXPECT_FLOAT_EQ(mascot->GetDir(), 3.0f);
    Frame(500);
    EXPECT_FLOAT_EQ(mascot->GetDir(), 3.0f);
}

TEST_F(MascotActorTest, TurnsTryOnlyDMinusTwoPi) {
    struct Case {
        float from, to, halfway;
    };
    for (const Case& c : {Case{0, 4.0f, (4.0f - MascotActor::kTwoPi) / 2}, Case{4.0f, 0, 4.0f - 2.0f},
                          Case{0, -1.0f, -0.5f}, Case{1.0f, 1.0f + 3 * MascotActor::kTwoPi, 1.0f}}) {
        MascotActor* mascot = NewMascot();
        mascot->SetDir(c.from, 0);
        mascot->SetDir(c.to, 1000);
        Frame(500);
        EXPECT_NEAR(mascot->GetDir(), c.halfway, 1e-4) << c.from << " -> " << c.to;
        Frame(500);
        EXPECT_FLOAT_EQ(mascot->GetDir(), c.to);
    }
}

TEST_F(MascotActorTest, SetDirWithoutTimeFacesAtOnceAndRebuildsTheTransform) {
    MascotActor* mascot = NewMascot();
    mascot->SetPos(1, 2, 3);
    mascot->SetDir(1.0f, 0);
    EXPECT_EQ(mascot->GetDir(), 1.0f);
    EXPECT_EQ(mascot->turnDuration, 0);
    const Matrix4x4& m = mascot->model.worldMatrix;
    EXPECT_NEAR(m.m[0][0], std::cos(1.0f), 1e-6);
    EXPECT_NEAR(m.m[0][2], -std::sin(1.0f), 1e-6);
    EXPECT_EQ(m.m[3][0], 1);
    EXPECT_EQ(m.m[3][2], 3);
    mascot->SetTransformScale(2);
    EXPECT_NEAR(m.m[0][0], 2 * std::cos(1.0f), 1e-6);
    EXPECT_NEAR(m.m[1][1], 2, 1e-6);
}

TEST_F(MascotActorTest, PositionIsClampedIntoTheWorldBoxAtTheNextFrame) {
    MascotActor* mascot = NewMascot();
    mascot->SetPos(50, -50, 3);
    EXPECT_EQ(mascot->GetPosX(), 50);
    Frame();
    EXPECT_EQ(mascot->GetPosX(), 10);
    EXPECT_EQ(mascot->GetPosY(), -5);
    EXPECT_EQ(mascot->GetPosZ(), 3);

    graphics.device.worldBox = BoundingBox{}; // none configured: nothing to clamp to
    mascot->SetPos(50, -50, 3);
    Frame();
    EXPECT_EQ(mascot->GetPosX(), 50);
}

TEST_F(MascotActorTest, CreationEntersTheListsAndRemovalLeavesThem) {
    MascotActor* mascot = NewMascot();
    EXPECT_EQ(MzGetDrawLists().models.IndexOf(&mascot->model), 0);
    EXPECT_EQ(mascot->model.flags & 1u, 1u);
    EXPECT_TRUE(objects.Contains(&mascot->pickObject));
    EXPECT_EQ(mascot->pickObject.actorId, mascot->id);
    EXPECT_EQ(mascot->pickObject.transform, &mascot->model.worldMatrix);

    mascot->Kill();
    Frame();
    EXPECT_TRUE(MzGetDrawLists().models.Empty());
    EXPECT_EQ(objects.HitTest(0, 0), nullptr);
}

TEST_F(MascotActorTest, TwoDCameraSetsAFlatOrthographicViewAlsoWhilePaused) {
    graphics.device.worldBox = BoundingBox{{-10, -5, -5000, 1}, {10, 5, 5000, 1}};
    actors.Register(new Camera2DActor, 30, 128, true);
    g_paused = true;
    Frame();
    Frame();
    const MzGrpDevice& device = graphics.device;
    EXPECT_TRUE(device.flat2D);
    const auto& p = device.state.projection.m;
    EXPECT_NEAR(2 / p[0][0], 13333.33f, 0.01f);
    EXPECT_NEAR(2 / p[1][1], 10000, 1e-3);
    EXPECT_NEAR(p[2][2], 1.0f / 20000, 1e-9);
    EXPECT_NEAR(p[3][2], 0.5f, 1e-6); // zNear -10000, zFar 10000
    // The camera stands at the front of the world box looking at the centre.
    Vector4 eye{0, 0, -5000, 1};
    Vector4 inView;
    TransformCoord4(device.state.view, &inView, eye);
    EXPECT_NEAR(inView.x, 0, 1e-3);
    EXPECT_NEAR(inView.z, 0, 1e-3);
    Vector4 centre;
    TransformCoord4(device.state.view, &centre, Vector4{0, 0, 0, 1});
    EXPECT_NEAR(centre.z, 5000, 1e-2);
}

} // namespace
