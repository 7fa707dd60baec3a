// The engine of the mascot program: the subsystems behind the frame cycle, wired to the Qt host.
// Everything but LoadConfig and SetPaused runs on the application thread.
#pragma once

#include "AppConfig.h"
#include "MzActorManager.h"
#include "MzApp.h"
#include "MzAppEngine.h"
#include "MzGLWindow.h"
#include "MzGraphics.h"
#include "MzInput.h"
#include "MzObject.h"
#include "MzRenderPass.h"
#include "QtGLSurface.h"
#include "ScriptAPI.h"

#include <memory>
#include <string>

class MainApp;
class QtMainWindow;

// The main window as the input system sees it: the mouse state the window records and its origin.
class AppInputWindow : public MzInputWindow {
  public:
    explicit AppInputWindow(const MzApp*& app) : m_app(app) {}
    const MzMouseState& Mouse() const override { return m_app->mouse; }
    void GetOrigin(int* x, int* y) const override;

  private:
    const MzApp*& m_app;
};

// The script API's view of the pop-up menu: the application's registry of script items.
class AppMenuRegistry : public MzScriptMenuRegistry {
  public:
    explicit AppMenuRegistry(MainApp*& app) : m_app(app) {}
    void Add(int index, const std::optional<std::string>& text, Function function) override;
    void Remove(int index) override;

  private:
    MainApp*& m_app;
};

class MascotEngine : public MzAppEngine {
  public:
    MascotEngine() = default;
    ~MascotEngine() override;

    // The application and the window the graphics draw into; set before the application thread starts.
    void SetApp(MainApp* app);
    void SetWindow(QtMainWindow* window) { m_window = window; }

    bool LoadConfig() override;
    std::string AppName() const override { return m_config.appName; }

    bool StartGraphics(const MzScreenRect& client) override;
    bool RunStartupScript() override;
    bool ResetGraphics(const MzScreenRect& client) override;
    void SampleInput() override { m_input.Update(); }
    void UpdateActors(std::uint32_t elapsedMs) override;
    void Render() override;
    std::vector<MzScreenRect> BuildWindowRegion() override;
    void Present() override;
    void CollectGarbage() override;
    void EndGraphics() override;
    void SetPaused(bool paused) override;

  private:
    void ComputeBufferSizes(const MzScreenRect& client);
    void SetWorldBox(const MzScreenRect& client);

    QtMainWindow* m_window = nullptr;
    MainApp* m_mainApp = nullptr;
    const MzApp* m_app = nullptr;
    AppInputWindow m_inputWindow{m_app};
    AppMenuRegistry m_menuRegistry{m_mainApp};
    MzInput m_input;
    AppConfig m_config;
    std::unique_ptr<QtGLSurface> m_surface;
    std::unique_ptr<MzGLWindow> m_glWindow;
    MzGraphics m_graphics;
    MzRenderPassNormal m_normalPass;
    MzRenderPassDepthMap m_maskPass;
    MzActorManager m_actors;
    MzObjectManager m_objects;
    int m_maskWidth = 256;
    int m_maskHeight = 256;
    MzRect m_presentArea;
};
