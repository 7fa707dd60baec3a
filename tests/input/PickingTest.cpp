// Normalised screen coordinates and the hit test over projected boxes and their faces.
#include "InputFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(ScreenToNdc, ClientCornersAndCentre) {
    NullWindow window(800, 600);
    MzGraphics graphics;
    ASSERT_TRUE(graphics.Create(&window, 0, 0));
    struct Case {
        int x, y;
        float nx, ny;
    };
    for (const Case& c : {Case{400, 300, 0, 0}, Case{0, 0, -1, 1}, Case{799, 599, 0.9975f, -0.99666667f}}) {
        EXPECT_FLOAT_EQ(ScreenToNdcX(c.x), c.nx) << c.x;
        EXPECT_FLOAT_EQ(ScreenToNdcY(c.y), c.ny) << c.y;
    }
}

TEST(ScreenToNdc, EmptyClientGivesTheCentre) {
    NullWindow window(1, 0);
    MzGraphics graphics;
    ASSERT_TRUE(graphics.Create(&window, 0, 0));
    EXPECT_EQ(ScreenToNdcX(5), 0);
    EXPECT_EQ(ScreenToNdcY(5), 0);
}

// The default perspective looking along +z from the origin; cubes of side 2 in front of it.
class HitTestTest : public testing::Test {
  protected:
    HitTestTest() : window(800, 600) {
        graphics.Create(&window, 0, 0);
        objects.NewList();
    }

    Cube* Add(Vector4 position) {
        cubes.push_back(std::make_unique<Cube>(position));
        Cube* cube = cubes.back().get();
        cube->object.Bind(&cube->model, static_cast<std::int32_t>(cubes.size()));
        objects.Add(&cube->object);
        return cube;
    }

    NullWindow window;
    MzGraphics graphics;
    MzObjectManager objects;
    std::vector<std::unique_ptr<Cube>> cubes;
};

TEST_F(HitTestTest, NoListOrEmptyListFindsNothing) {
    EXPECT_EQ(objects.HitTest(0, 0), nullptr);
    objects.DeleteList();
    EXPECT_EQ(objects.HitTest(0, 0), nullptr);
    MzObject orphan;
    objects.Add(&orphan); // without a list: ignored
    objects.Remove(&orphan);
    EXPECT_FALSE(objects.Contains(&orphan));
}

TEST_F(HitTestTest, FindsTheCubeUnderThePointOnly) {
    Cube* cube = Add({0, 0, 10, 1});
    EXPECT_EQ(objects.HitTest(0, 0), &cube->object);
    EXPECT_EQ(objects.HitTest(0.5f, 0), nullptr);
    EXPECT_EQ(objects.HitTest(0, -0.5f), nullptr);
    objects.Remove(&cube->object);
    EXPECT_EQ(objects.HitTest(0, 0), nullptr);
}

TEST_F(HitTestTest, TheNearerOfTwoOverlappingCubesWinsInEitherOrder) {
    for (bool nearFirst : {true, false}) {
        objects.NewList();
        cubes.clear();
        Cube* nearCube = nullptr;
        if (nearFirst) nearCube = Add({0, 0, 10, 1});
        Add({0.5f, 0, 14, 1});
        if (!nearFirst) nearCube = Add({0, 0, 10, 1});
        EXPECT_EQ(objects.HitTest(0.05f, 0.05f), &nearCube->object) << nearFirst;
    }
}

TEST_F(HitTestTest, AtEqualDepthTheLaterObjectWins) {
    Add({0, 0, 10, 1});
    Cube* later = Add({0, 0, 10, 1});
    EXPECT_EQ(objects.HitTest(0, 0), &later->object);
}

TEST_F(HitTestTest, ScaledAndMovedTransformsAreFollowed) {
    Cube* cube = Add({3, 0, 10, 1});
    EXPECT_EQ(objects.HitTest(0, 0), nullptr);
    cube->model.worldMatrix.m[0][0] = 4; // now reaches from x = -1 to 7
    EXPECT_EQ(objects.HitTest(0, 0), &cube->object);
}

} // namespace
