// A world for script-driven mascots: a fresh VM with the script API, a headless graphics device with a
// world box, the actor and object managers, and recording stand-ins for the menu and the file dialog.
#pragma once

#include "MascotActor.h"
#include "MzActorManager.h"
#include "MzFileDialog.h"
#include "MzGraphics.h"
#include "MzNullBackend.h"
#include "MzObject.h"
#include "ScriptAPI.h"
#include "ScriptTestFixture.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

class HeadlessWindow : public MzGraphicsWindow {
  public:
    void GetClientSize(int32_t* w, int32_t* h) const override {
        *w = width;
        *h = height;
    }
    std::unique_ptr<MzRenderBackend> CreateBackend(int32_t w, int32_t h, uint32_t*) override {
        return std::make_unique<MzNullBackend>(w, h);
    }
    int32_t width = 400;
    int32_t height = 300;
};

class RecordingMenus : public MzScriptMenuRegistry {
  public:
    struct Item {
        int index;
        std::optional<std::string> text;
        Function function;
    };
    void Add(int index, const std::optional<std::string>& text, Function function) override {
        items.push_back({index, text, std::move(function)});
    }
    void Remove(int index) override { removed.push_back(index); }

    std::vector<Item> items;
    std::vector<int> removed;
};

// Answers the file dialogs from a list; an exhausted list cancels.
class ScriptedFileDialog : public MzFileDialogView {
  public:
    std::string Open(const std::string& qtFilter, const std::string& defaultSuffix,
                     const std::string& startPath) override {
        filters.push_back(qtFilter);
        suffixes.push_back(defaultSuffix);
        startPaths.push_back(startPath);
        return startPaths.size() <= answers.size() ? answers[startPaths.size() - 1] : std::string();
    }
    std::vector<std::string> answers;
    std::vector<std::string> filters;
    std::vector<std::string> suffixes;
    std::vector<std::string> startPaths;
};

class MascotWorldTest : public ScriptTest {
  protected:
    MascotWorldTest() {
        graphics.Create(&window, 0, 0);
        graphics.device.worldBox = BoundingBox{{-10, -5, -20, 1}, {10, 5, 20, 1}};
        objects.NewList();
        MzSetFileDialogView(&dialog);
        RegisterScriptAPI(&menus);
    }
    ~MascotWorldTest() override {
        actors.KillAll();
        menus.items.clear();
        MzSetFileDialogView(nullptr);
        g_paused = false;
    }

    // A fixture file of this folder, by absolute path.
    static std::string Data(const std::string& name) {
        const char* source = std::getenv("MZ_SOURCE_DIR");
        return std::string(source != nullptr ? source : ".") + "/tests/actor/mascot/data/" + name;
    }
    // The options of a box mascot with the walk and sit motions.
    static std::string BoxOptions(const std::string& scale = "1.0") {
        return "{model = \"" + Data("box.dae") + "\", scale = " + scale + ", motion_list = {walk = \"" +
               Data("walk.dae") + "\", sit = \"" + Data("sit.dae") + "\"}}";
    }
    void Frame(std::int32_t ms = 16) { actors.Update(ms); }
    // The mascots in creation order.
    std::vector<MascotActor*> Mascots() const {
        std::vector<MascotActor*> found;
        for (std::int32_t id = 1; id < 64; ++id)
            if (auto* mascot = dynamic_cast<MascotActor*>(actors.Find(id))) found.push_back(mascot);
        return found;
    }

    HeadlessWindow window;
    MzGraphics graphics;
    MzActorManager actors;
    MzObjectManager objects;
    RecordingMenus menus;
    ScriptedFileDialog dialog;
};
