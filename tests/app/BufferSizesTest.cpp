#include "AppConfig.h"

#include <gtest/gtest.h>

namespace {

struct Sizes {
    int renderWidth, renderHeight, maskWidth, maskHeight;
};

TEST(ComputeBufferSizes, ScalesLimitsAndFallsBack) {
    struct Case {
        const char* what;
        int renderWidth, renderHeight;
        float renderWidthScale, renderHeightScale;
        int maskWidth, maskHeight;
        float maskWidthScale, maskHeightScale;
        Sizes expected; // for a window of 1280 × 720
    };
    const Case cases[] = {
        {"defaults", 0, 0, 1, 1, 0, 0, 1, 1, {1280, 720, 1280, 720}},
        {"render scale 0.5", 0, 0, 0.5f, 0.5f, 0, 0, 1, 1, {640, 360, 640, 360}},
        {"mask limited by the render width", 0, 0, 0.5f, 1, 1000, 0, 1, 1, {640, 720, 640, 720}},
        {"configured sizes", 800, 600, 1, 1, 400, 300, 0.5f, 0.5f, {800, 600, 200, 150}},
        {"truncated towards zero", 0, 0, 0.3333f, 0.3333f, 0, 0, 1, 1, {426, 239, 426, 239}},
        {"negative render size", -100, 0, 1, -1, 0, 0, 1, 1, {1280, 720, 1280, 720}},
        {"negative mask size", 0, 0, 1, 1, -5, 100, 1, -2, {1280, 720, 1280, 720}},
        {"mask negative after the limit", 300, 0, 1, 1, -5, 0, 1, 1, {300, 720, 1280, 720}},
        {"zero scale", 0, 0, 0, 1, 0, 0, 1, 0, {1280, 720, 1280, 720}},
    };
    for (const Case& c : cases) {
        AppConfig config;
        config.renderBufWidth = c.renderWidth;
        config.renderBufHeight = c.renderHeight;
        config.renderBufWidthScale = c.renderWidthScale;
        config.renderBufHeightScale = c.renderHeightScale;
        config.windowMaskWidth = c.maskWidth;
        config.windowMaskHeight = c.maskHeight;
        config.windowMaskWidthScale = c.maskWidthScale;
        config.windowMaskHeightScale = c.maskHeightScale;
        MzBufferSizes sizes = ComputeBufferSizes(config, 1280, 720);
        EXPECT_EQ(sizes.renderWidth, c.expected.renderWidth) << c.what;
        EXPECT_EQ(sizes.renderHeight, c.expected.renderHeight) << c.what;
        EXPECT_EQ(sizes.maskWidth, c.expected.maskWidth) << c.what;
        EXPECT_EQ(sizes.maskHeight, c.expected.maskHeight) << c.what;
    }
}

} // namespace
