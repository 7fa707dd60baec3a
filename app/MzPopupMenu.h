// The pop-up menu as data: the fixed items of the menu resource plus the script-defined ones.
// Scripts edit it on the application thread while the GUI thread may be showing it, so every
// operation takes the lock and the GUI builds its native menu from a snapshot.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct MzMenuItem {
    int id = 0;       // command id; a script separator carries its id too, a fixed separator 0
    std::string text; // empty for a separator
    bool separator = false;
    bool checked = false;

    bool operator==(const MzMenuItem&) const = default;
};

class MzPopupMenu {
  public:
    // Fills the menu with the fixed items of the menu resource.
    void Load();
    void Release();

    // Position of the item with the command id, or -1.
    int FindCommand(int id) const;
    void InsertSeparatorBefore(int id);
    void InsertAt(int position, MzMenuItem item);
    void DeleteCommand(int id);
    void DeleteAt(int position);
    void SetChecked(int id, bool checked);
    bool IsChecked(int id) const;

    std::vector<MzMenuItem> Snapshot() const;
    // Grows with every change, so a view knows when to rebuild.
    std::uint64_t Version() const;

  private:
    int FindLocked(int id) const;

    mutable std::mutex m_mutex;
    std::vector<MzMenuItem> m_items;
    std::uint64_t m_version = 0;
};
