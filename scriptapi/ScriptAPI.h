// The script API: the ten cpp_ functions and the cpp_Mascot class, registered in one step before the
// start-up script runs.
//
// The menu functions reach the desktop host's menu through the registry interface below (without one
// they check their arguments and do nothing); cpp_OpenFileDialog uses the host's MzOpenFileDialog.
#pragma once

#include <functional>
#include <optional>
#include <string>

// The registry of the pop-up menu's script items (slots 0 to 127). It checks the slots and reports
// bad or used ones itself.
class MzScriptMenuRegistry {
  public:
    // Runs the item's script function; destroying it releases the function's references.
    using Function = std::function<void()>;

    virtual ~MzScriptMenuRegistry() = default;
    // No text adds a separator.
    virtual void Add(int index, const std::optional<std::string>& text, Function function) = 0;
    virtual void Remove(int index) = 0;
};

// Registers the cpp_ functions and cpp_Mascot into the root table of MzSquirrel's VM. `menus` may be
// null; it must outlive the VM's use of it.
void RegisterScriptAPI(MzScriptMenuRegistry* menus);
