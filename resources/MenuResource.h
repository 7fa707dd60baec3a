// The pop-up menu of the main window (menu 102): fixed commands, captions and order, stated once.
#pragma once

#include <array>
#include <string_view>

namespace mz::menu {

// Command ids of the fixed items.
inline constexpr int kTopmost = 41001;
inline constexpr int kExit = 41002;
inline constexpr int kShowScriptLog = 41003;
inline constexpr int kPause = 41004;
// Starting the current mascot folder at login.
inline constexpr int kAutostart = 41005;

// First command id of the script-defined items (id = kUserBase + index).
inline constexpr int kUserBase = 40000;
// Slots of script-defined items: indices 0 to kUserCount - 1.
inline constexpr int kUserCount = 128;
// Ids the window routes to the script-defined items.
inline constexpr int kUserRangeLast = 40999;

struct Item {
    int id;                // 0 for a separator
    std::string_view text; // empty for a separator
};

// Sub-menu 0, "ポップアップ", top to bottom.
inline constexpr std::array<Item, 6> kPopup{{
    {kTopmost, "常に手前に表示"},
    {0, ""},
    {kPause, "一時停止"},
    {kShowScriptLog, "スクリプトログの表示"},
    {0, ""},
    {kExit, "終了"},
}};

// Menu position of the first script-defined item: after the first fixed command and its separator.
inline constexpr int kUserFirstPosition = 2;
// Items of the Linux desktop host, after the fixed items.
inline constexpr std::array<Item, 2> kDesktopItems{{
    {0, ""},
    {kAutostart, "自動起動"},
}};

} // namespace mz::menu
