#include "AppConfig.h"
#include "ScriptTestFixture.h"

#include <array>
#include <string>

namespace {

using Bounds = std::array<float, 8>;

// x, y, z half extents of a box centred on the origin.
Bounds Box(float x, float y, float z) {
    return {-x, -y, -z, 1.0f, x, y, z, 1.0f};
}

void ExpectBounds(const Bounds& got, const Bounds& expected, const std::string& what) {
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-3f) << what << " [" << i << "]";
}

class AppConfigTest : public ScriptTest {
  protected:
    // Loads `source` as config.nut into a fresh VM, as at start-up.
    AppConfig LoadConfig(const std::string& source) {
        MzSquirrel::Shutdown();
        MzSquirrel::Initialize();
        WriteFile(AppConfig::kFileName, source);
        AppConfig config;
        EXPECT_TRUE(config.Load()) << source;
        return config;
    }
};

TEST_F(AppConfigTest, WorldBoundsFollowTheGivenSidesAndTheAspectRatio) {
    struct Case {
        const char* config;
        Bounds expected; // at a client area of 800 × 600
    };
    const Case cases[] = {
        {"", Box(6666.667f, 5000, 5000)},
        {"cfg_WorldSizeY <- 100;", Box(66.667f, 50, 50)},
        {"cfg_WorldSizeX <- 200;", Box(100, 75, 75)},
        {"cfg_WorldSizeZ <- 300; cfg_WorldSizeY <- 50;", Box(200, 25, 150)},
        {"cfg_WorldSizeZ <- 300;", Box(200, 150, 150)},
        {"cfg_WorldSizeX <- 200; cfg_WorldSizeY <- 10;", Box(100, 5, 75)},
        {"cfg_WorldSizeX <- 200; cfg_WorldSizeY <- 10; cfg_WorldSizeZ <- 4;", Box(100, 5, 2)},
        {"cfg_WorldSizeX <- 0;", Box(0, 0, 0)},
        {"cfg_WorldSizeX <- null;", Box(6666.667f, 5000, 5000)},
        {"cfg_WorldSizeX <- \"wide\";", Box(6666.667f, 5000, 5000)},
        {"cfg_WorldSizeY <- [5];", Box(6666.667f, 5000, 5000)},
        {"cfg_WorldSizeY <- 100.5;", Box(67.0f, 50.25f, 50.25f)},
    };
    for (const Case& c : cases) {
        AppConfig config = LoadConfig(c.config);
        ExpectBounds(config.GetWorldBounds(800, 600), c.expected, c.config);
    }
}

TEST_F(AppConfigTest, DerivedSidesFollowANewWindowShape) {
    AppConfig config = LoadConfig("cfg_WorldSizeY <- 100;");
    ExpectBounds(config.GetWorldBounds(800, 600), Box(66.667f, 50, 50), "800 × 600");
    ExpectBounds(config.GetWorldBounds(1000, 500), Box(100, 50, 50), "1000 × 500");
    ExpectBounds(config.GetWorldBounds(1000, 0), Box(50, 50, 50), "no height");
}

TEST_F(AppConfigTest, KeysAreReadWithTheirDefaultsAndTypes) {
    AppConfig config = LoadConfig("cfg_AppName <- \"マスコット\"; cfg_StartupScript <- \"scripts/main.nut\";"
                                  "cfg_RenderBufWidth <- 640.9; cfg_RenderBufHeight <- \"tall\";"
                                  "cfg_RenderBufWidthScale <- 1; cfg_WindowMaskHeightScale <- 0.25;"
                                  "cfg_WindowMaskWidth <- null;");
    EXPECT_EQ(config.appName, "マスコット");
    EXPECT_EQ(config.startupScript, "scripts/main.nut");
    EXPECT_EQ(config.renderBufWidth, 640);
    EXPECT_EQ(config.renderBufHeight, 0);
    EXPECT_FLOAT_EQ(config.renderBufWidthScale, 1.0f);
    EXPECT_FLOAT_EQ(config.renderBufHeightScale, 1.0f);
    EXPECT_EQ(config.windowMaskWidth, 0);
    EXPECT_FLOAT_EQ(config.windowMaskHeightScale, 0.25f);
    EXPECT_FALSE(config.worldSizeXGiven || config.worldSizeYGiven || config.worldSizeZGiven);
    EXPECT_EQ(Log(), "----\r\n変数(\"cfg_RenderBufHeight\")は数値型ではありません。\r\n");
}

TEST_F(AppConfigTest, ConfigThatCannotRunKeepsTheDefaults) {
    for (const char* source :
         {"cfg_AppName <- \"x\"; this is not squirrel", "cfg_AppName <- \"x\"; throw 1;"}) {
        WriteFile(AppConfig::kFileName, source);
        AppConfig config;
        EXPECT_FALSE(config.Load()) << source;
        EXPECT_EQ(config.appName, "AppName");
        EXPECT_EQ(config.worldMin[0], 3.4028235e38f);
    }
    std::filesystem::remove(AppConfig::kFileName);
    AppConfig config;
    EXPECT_FALSE(config.Load());
    EXPECT_EQ(config.startupScript, "");
}

} // namespace
