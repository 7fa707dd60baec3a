// The settings read once at start-up from config.nut, and what is derived from them while the
// system runs: the world box for the current window shape, and the render-buffer and mask sizes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class AppConfig {
  public:
    static constexpr const char* kFileName = "config.nut";

    AppConfig() = default;
    virtual ~AppConfig() = default;

    // Runs config.nut from the working directory and reads its cfg_ variables. Returns false (every
    // field keeping its default) when the script cannot be run; the runtime has reported that already.
    bool Load();

    // The world box as (min x, y, z, w, max x, y, z, w): sides config.nut gave stay, missing ones follow
    // the client area's aspect ratio, with the given sides taken in the precedence Z, X, Y.
    std::array<float, 8> GetWorldBounds(std::int32_t clientWidth, std::int32_t clientHeight);

    std::string appName = "AppName";
    std::string startupScript;
    std::int32_t renderBufWidth = 0; // 0: the window width
    std::int32_t renderBufHeight = 0;
    float renderBufWidthScale = 1.0f;
    float renderBufHeightScale = 1.0f;
    std::int32_t windowMaskWidth = 0;
    std::int32_t windowMaskHeight = 0;
    float windowMaskWidthScale = 1.0f;
    float windowMaskHeightScale = 1.0f;
    bool worldSizeXGiven = false;
    bool worldSizeYGiven = false;
    bool worldSizeZGiven = false;
    std::array<float, 4> worldMin{3.4028235e38f, 3.4028235e38f, 3.4028235e38f, 1.0f};
    std::array<float, 4> worldMax{-3.4028235e38f, -3.4028235e38f, -3.4028235e38f, 1.0f};
};

struct MzBufferSizes {
    std::int32_t renderWidth;
    std::int32_t renderHeight;
    std::int32_t maskWidth;
    std::int32_t maskHeight;
};

// The render-buffer and mask sizes for a window of `windowWidth` × `windowHeight` pixels: the configured
// size (0: the window's) times its scale, the mask limited by the render buffer; then a side that comes
// out below one pixel is the window's. The application stores the render size in g_renderWidth and
// g_renderHeight and requests the mask target at the mask size.
MzBufferSizes ComputeBufferSizes(const AppConfig& config, std::int32_t windowWidth,
                                 std::int32_t windowHeight);
