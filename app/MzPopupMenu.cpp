#include "MzPopupMenu.h"

#include "MenuResource.h"

#include <algorithm>

void MzPopupMenu::Load() {
    std::lock_guard lock(m_mutex);
    m_items.clear();
    for (const auto& fixed : mz::menu::kPopup) {
        m_items.push_back({fixed.id, std::string(fixed.text), fixed.id == 0, false});
    }
    ++m_version;
}

void MzPopupMenu::Release() {
    std::lock_guard lock(m_mutex);
    m_items.clear();
    ++m_version;
}

int MzPopupMenu::FindLocked(int id) const {
    auto it = std::find_if(m_items.begin(), m_items.end(), [id](const MzMenuItem& i) { return i.id == id; });
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

int MzPopupMenu::FindCommand(int id) const {
    std::lock_guard lock(m_mutex);
    return FindLocked(id);
}

void MzPopupMenu::InsertSeparatorBefore(int id) {
    std::lock_guard lock(m_mutex);
    int pos = FindLocked(id);
    if (pos < 0) return;
    m_items.insert(m_items.begin() + pos, MzMenuItem{0, "", true, false});
    ++m_version;
}

void MzPopupMenu::InsertAt(int position, MzMenuItem item) {
    std::lock_guard lock(m_mutex);
    position = std::clamp(position, 0, static_cast<int>(m_items.size()));
    m_items.insert(m_items.begin() + position, std::move(item));
    ++m_version;
}

void MzPopupMenu::DeleteCommand(int id) {
    std::lock_guard lock(m_mutex);
    int pos = FindLocked(id);
    if (pos < 0) return;
    m_items.erase(m_items.begin() + pos);
    ++m_version;
}

void MzPopupMenu::DeleteAt(int position) {
    std::lock_guard lock(m_mutex);
    if (position < 0 || position >= static_cast<int>(m_items.size())) return;
    m_items.erase(m_items.begin() + position);
    ++m_version;
}

void MzPopupMenu::SetChecked(int id, bool checked) {
    std::lock_guard lock(m_mutex);
    int pos = FindLocked(id);
    if (pos < 0) return;
    m_items[pos].checked = checked;
    ++m_version;
}

bool MzPopupMenu::IsChecked(int id) const {
    std::lock_guard lock(m_mutex);
    int pos = FindLocked(id);
    return pos >= 0 && m_items[pos].checked;
}

std::vector<MzMenuItem> MzPopupMenu::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_items;
}

std::uint64_t MzPopupMenu::Version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}
