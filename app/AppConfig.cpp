#include "AppConfig.h"

#include "MzSquirrel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A float world size and whether config.nut gave it as a number. A value of the wrong type is
// reported and counts as missing, so the side follows the window instead of collapsing to 0.
float ReadWorldSize(const char* name, bool& given) {
    float size = MzSquirrel::GetFloat(name, std::numeric_limits<float>::quiet_NaN());
    given = !std::isnan(size);
    return given ? size : 0.0f;
}

// (size, or the window's when 0) × scale, truncated towards zero and kept within the integer range.
double ScaledSide(std::int32_t configured, float scale, std::int32_t window) {
    return std::trunc(static_cast<double>(static_cast<float>(configured != 0 ? configured : window) * scale));
}

// A side that is no usable size (below one pixel, or not a number) is the window's.
std::int32_t UsableSide(double side, std::int32_t window) {
    if (!(side >= 1.0)) return window;
    return static_cast<std::int32_t>(
        std::min(side, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

} // namespace

bool AppConfig::Load() {
    if (!MzSquirrel::RunScript(kFileName, true)) return false;
    appName = MzSquirrel::GetString("cfg_AppName", "AppName");
    startupScript = MzSquirrel::GetString("cfg_StartupScript", "");
    renderBufWidth = MzSquirrel::GetInt("cfg_RenderBufWidth");
    renderBufHeight = MzSquirrel::GetInt("cfg_RenderBufHeight");
    renderBufWidthScale = MzSquirrel::GetFloat("cfg_RenderBufWidthScale", 1.0f);
    renderBufHeightScale = MzSquirrel::GetFloat("cfg_RenderBufHeightScale", 1.0f);
    windowMaskWidth = MzSquirrel::GetInt("cfg_WindowMaskWidth");
    windowMaskHeight = MzSquirrel::GetInt("cfg_WindowMaskHeight");
    windowMaskWidthScale = MzSquirrel::GetFloat("cfg_WindowMaskWidthScale", 1.0f);
    windowMaskHeightScale = MzSquirrel::GetFloat("cfg_WindowMaskHeightScale", 1.0f);
    const float x = ReadWorldSize("cfg_WorldSizeX", worldSizeXGiven);
    const float y = ReadWorldSize("cfg_WorldSizeY", worldSizeYGiven);
    const float z = ReadWorldSize("cfg_WorldSizeZ", worldSizeZGiven);
    worldMin = {-x * 0.5f, -y * 0.5f, -z * 0.5f, 1.0f};
    worldMax = {x * 0.5f, y * 0.5f, z * 0.5f, 1.0f};
    return true;
}

std::array<float, 8> AppConfig::GetWorldBounds(std::int32_t clientWidth, std::int32_t clientHeight) {
    // A window without height (minimised) keeps the box square rather than dividing by zero.
    const float a =
        clientHeight > 0 ? static_cast<float>(static_cast<double>(clientWidth) / clientHeight) : 1.0f;
    auto setAxis = [this](int axis, float half) {
        worldMin[axis] = -half;
        worldMax[axis] = half;
    };
    if (!worldSizeXGiven && !worldSizeYGiven && !worldSizeZGiven) {
        setAxis(0, 5000 * a);
        setAxis(1, 5000);
        setAxis(2, 5000);
    }
    auto half = [this](int axis) {
        return static_cast<float>((static_cast<long double>(worldMax[axis]) - worldMin[axis]) * 0.5L);
    };
    const float hx = half(0), hy = half(1), hz = half(2);
    if (worldSizeZGiven) {
        if (!worldSizeXGiven) setAxis(0, hz * a);
        if (!worldSizeYGiven) setAxis(1, hz);
    } else if (worldSizeXGiven) {
        setAxis(2, hx / a);
        if (!worldSizeYGiven) setAxis(1, hx / a);
    } else if (worldSizeYGiven) {
        setAxis(2, hy);
        setAxis(0, hy * a);
    }
    return {worldMin[0], worldMin[1], worldMin[2], worldMin[3],
            worldMax[0], worldMax[1], worldMax[2], worldMax[3]};
}

MzBufferSizes ComputeBufferSizes(const AppConfig& config, std::int32_t windowWidth,
                                 std::int32_t windowHeight) {
    const double renderWidth = ScaledSide(config.renderBufWidth, config.renderBufWidthScale, windowWidth);
    const double renderHeight = ScaledSide(config.renderBufHeight, config.renderBufHeightScale, windowHeight);
    const double maskWidth = ScaledSide(config.windowMaskWidth, config.windowMaskWidthScale, windowWidth);
    const double maskHeight = ScaledSide(config.windowMaskHeight, config.windowMaskHeightScale, windowHeight);
    // The mask is limited by the render buffer before unusable sides fall back to the window's.
    return MzBufferSizes{
        UsableSide(renderWidth, windowWidth),
        UsableSide(renderHeight, windowHeight),
        UsableSide(std::min(maskWidth, renderWidth), windowWidth),
        UsableSide(std::min(maskHeight, renderHeight), windowHeight),
    };
}
