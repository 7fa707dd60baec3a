#include "UserPopupMenuManager.h"

#include "MzLog.h"

UserPopupMenuManager::~UserPopupMenuManager() {
    RemoveAll();
}

bool UserPopupMenuManager::IsValidIndex(int index) {
    if (static_cast<unsigned>(index) < static_cast<unsigned>(kCount)) return true;
    MzErrorBox("ERROR", "メニューIDが不正です。[%d] (0～%d)\n", index, kCount - 1);
    return false;
}

void UserPopupMenuManager::Attach(MzPopupMenu* menu) {
    m_menu = menu;
    m_used.fill(false);
    m_functions.fill(nullptr);
    m_count = 0;
}

void UserPopupMenuManager::Add(int index, const std::optional<std::string>& text, Function function) {
    if (!m_menu) return;
    if (!IsValidIndex(index)) return;
    if (m_used[index]) {
        MzErrorBox("ERROR", "既に同じIDでメニューが登録されています。[%d]\n", index);
        return;
    }
    if (m_count == 0) m_menu->InsertSeparatorBefore(mz::menu::kPause);
    MzMenuItem item{mz::menu::kUserBase + index, text.value_or(""), !text.has_value(), false};
    // Items follow in order of adding.
    m_menu->InsertAt(mz::menu::kUserFirstPosition + m_count, std::move(item));
    m_used[index] = true;
    m_functions[index] = std::move(function);
    ++m_count;
}

void UserPopupMenuManager::Remove(int index) {
    if (!m_menu) return;
    if (!IsValidIndex(index)) return;
    if (!m_used[index]) return;
    m_menu->DeleteCommand(mz::menu::kUserBase + index);
    m_used[index] = false;
    m_functions[index] = nullptr;
    --m_count;
    // The separator added with the first item now stands where the items began.
    if (m_count == 0) m_menu->DeleteAt(mz::menu::kUserFirstPosition);
}

void UserPopupMenuManager::RemoveAll() {
    for (int i = 0; i < kCount; ++i) {
        if (m_used[i]) Remove(i);
    }
    Attach(nullptr);
}

bool UserPopupMenuManager::Command(int commandId) {
    int index = commandId - mz::menu::kUserBase;
    if (index < 0 || index >= kCount || !m_used[index]) return false;
    // A copy, so that a function which removes its own item is not destroyed while it runs.
    Function function = m_functions[index];
    if (function) function();
    return true;
}
