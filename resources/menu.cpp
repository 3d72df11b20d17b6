// The main window's menu: the "&FLI/FLC" drop-down, then two top-level items; and the
// keys that stand for its items.
#include <cstring>

#include "platform/input.h"
#include "resources/commands.h"
#include "resources/resources.h"

namespace {

constexpr win_menu_item menu_rows[] = {
    {WinMenuKind::popup_begin, 0, "&FLI/FLC", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_OPEN, "&Open", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_PLAY, "&Play", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_FRAME, "&Frame", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_RESET, "&Reset", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_INFO, "&Info", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_ABOUT, "&ABOUT", WIN_MF_ENABLED},
    {WinMenuKind::popup_end, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_QUIT, "&Quit", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_ABOUT_TITLE, "Mox-FLIFLIC Player v0.4", WIN_MF_ENABLED},
};

constexpr win_menu main_menu = {RES_MENU_NAME, menu_rows,
                                static_cast<int32_t>(sizeof menu_rows / sizeof menu_rows[0])};

constexpr win_accel accel_rows[] = {
    {WIN_MOD_CTRL, 'O', CMD_OPEN}, {0, PLAT_VK_SPACE, CMD_PLAY}, {0, PLAT_VK_RIGHT, CMD_FRAME},
    {0, PLAT_VK_HOME, CMD_RESET},  {0, 'I', CMD_INFO},           {0, PLAT_VK_F1, CMD_ABOUT},
    {WIN_MOD_CTRL, 'Q', CMD_QUIT},
};

constexpr win_accel_table main_accelerators = {
    RES_ACCEL_NAME, accel_rows, static_cast<int32_t>(sizeof accel_rows / sizeof accel_rows[0])};

}  // namespace

const win_menu* res_find_menu(const char* name) {
  return name != nullptr && std::strcmp(name, main_menu.name) == 0 ? &main_menu : nullptr;
}

const win_accel_table* res_find_accelerators(const char* name) {
  return name != nullptr && std::strcmp(name, main_accelerators.name) == 0 ? &main_accelerators : nullptr;
}
