// The script-defined items of the pop-up menu: up to kUserCount, each with an optional script function.
//
// Items stand between the first separator of the menu and the pause command, in the order they were
// added; while at least one exists, one more separator stands between the last item and the pause
// command. Add and Remove run on the application thread (scripts); Command runs there too, queued
// by the host before the next frame, so the functions only ever run where the script VM lives.
#pragma once

#include "MenuResource.h"
#include "MzPopupMenu.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

class UserPopupMenuManager {
  public:
    // A stored script function; destroying it releases its references.
    using Function = std::function<void()>;

    UserPopupMenuManager() = default;
    UserPopupMenuManager(const UserPopupMenuManager&) = delete;
    UserPopupMenuManager& operator=(const UserPopupMenuManager&) = delete;
    virtual ~UserPopupMenuManager();

    void Attach(MzPopupMenu* menu);
    // No text makes a separator; an empty function leaves the item without one.
    void Add(int index, const std::optional<std::string>& text, Function function);
    void Remove(int index);
    void RemoveAll();
    // Runs the item's function if the command id is one of the items; false otherwise.
    bool Command(int commandId);

    int Count() const { return m_count; }

  private:
    static constexpr int kCount = mz::menu::kUserCount;
    static bool IsValidIndex(int index);

    MzPopupMenu* m_menu = nullptr;
    std::array<bool, kCount> m_used{};
    std::array<Function, kCount> m_functions;
    int m_count = 0;
};
