// The engine of the mascot program: the subsystems behind the frame cycle, wired to the Qt host.
#pragma once

#include "MzAppEngine.h"
#include "QtGLSurface.h"

#include <string>

class MascotEngine : public MzAppEngine {
  public:
    explicit MascotEngine(QtMainWindow*& window) : m_window(window) {}

    bool LoadConfig() override;
    std::string AppName() const override { return m_appName; }

    bool StartGraphics(const MzScreenRect& client) override;
    bool RunStartupScript() override;
    bool ResetGraphics(const MzScreenRect& client) override;
    void SampleInput() override {}
    void UpdateActors(std::uint32_t) override {}
    void Render() override {}
    std::vector<MzScreenRect> BuildWindowRegion() override { return {}; }
    void Present() override;
    void CollectGarbage() override {}
    void EndGraphics() override;
    void SetPaused(bool) override {}

  private:
    QtMainWindow*& m_window;
    std::unique_ptr<QtGLSurface> m_surface;
    std::string m_appName = "AppName";
};
