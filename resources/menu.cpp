// The main window's menu: the "&FLI/FLC" drop-down, then two top-level items.
#include <cstring>

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

}  // namespace

const win_menu* res_find_menu(const char* name) {
  return name != nullptr && std::strcmp(name, main_menu.name) == 0 ? &main_menu : nullptr;
}
