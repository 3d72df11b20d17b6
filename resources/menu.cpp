// The main window's menu: the "&FLI/FLC" drop-down, two top-level items, then the
// "&View" drop-down; and the keys that stand for its items.
#include <cstring>

#include "platform/input.h"
#include "resources/commands.h"
#include "resources/resources.h"

namespace {

constexpr uint32_t CHECK = WIN_MF_CHECKABLE;
constexpr uint32_t RECENT = WIN_MF_HIDDEN;

constexpr win_menu_item menu_rows[] = {
    {WinMenuKind::popup_begin, 0, "&FLI/FLC", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_OPEN, "&Open", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_PLAY, "&Play", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_FRAME, "&Frame", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_RESET, "&Reset", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_INFO, "&Info", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_ABOUT, "&ABOUT", WIN_MF_ENABLED},
    {WinMenuKind::separator, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_BACK, "Frame &back", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_LAST, "&Last frame", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_LOOP, "Loo&p Play", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::separator, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_NEXT_FILE, "&Next file", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_PREVIOUS_FILE, "Pre&vious file", WIN_MF_GRAYED},
    {WinMenuKind::separator, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_COPY, "&Copy frame", WIN_MF_GRAYED},
    {WinMenuKind::item, CMD_SAVE, "&Save frame as PNG...", WIN_MF_GRAYED},
    {WinMenuKind::separator, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_RECENT_FIRST, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 1, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 2, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 3, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 4, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 5, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 6, "", RECENT},
    {WinMenuKind::item, CMD_RECENT_FIRST + 7, "", RECENT},
    {WinMenuKind::popup_end, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_QUIT, "&Quit", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_ABOUT_TITLE, "Mox-FLIFLIC Player v0.4", WIN_MF_ENABLED},
    {WinMenuKind::popup_begin, 0, "&View", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_STRETCH, "&Stretch to window", WIN_MF_ENABLED | CHECK | WIN_MF_CHECKED},
    {WinMenuKind::item, CMD_ASPECT, "&Keep aspect", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::item, CMD_ACTUAL, "&Actual size", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::item, CMD_DOUBLE, "&Double size", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::item, CMD_TRIPLE, "&Triple size", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::item, CMD_ZOOM_IN, "Zoom &in", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_ZOOM_OUT, "Zoom &out", WIN_MF_ENABLED},
    {WinMenuKind::separator, 0, nullptr, WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_FIT_WINDOW, "Fit &window to picture", WIN_MF_ENABLED},
    {WinMenuKind::item, CMD_FULLSCREEN, "&Full screen", WIN_MF_ENABLED | CHECK},
    {WinMenuKind::popup_end, 0, nullptr, WIN_MF_ENABLED},
};

constexpr win_menu main_menu = {RES_MENU_NAME, menu_rows,
                                static_cast<int32_t>(sizeof menu_rows / sizeof menu_rows[0])};

// A menu item shows the first key of its command.
constexpr win_accel accel_rows[] = {
    {WIN_MOD_CTRL, 'O', CMD_OPEN},
    {0, PLAT_VK_SPACE, CMD_PLAY},
    {0, PLAT_VK_RIGHT, CMD_FRAME},
    {0, PLAT_VK_HOME, CMD_RESET},
    {0, 'I', CMD_INFO},
    {0, PLAT_VK_F1, CMD_ABOUT},
    {WIN_MOD_CTRL, 'Q', CMD_QUIT},
    {0, PLAT_VK_LEFT, CMD_BACK},
    {0, PLAT_VK_END, CMD_LAST},
    {0, 'L', CMD_LOOP},
    {0, PLAT_VK_NEXT, CMD_NEXT_FILE},
    {0, PLAT_VK_PRIOR, CMD_PREVIOUS_FILE},
    {WIN_MOD_CTRL, 'C', CMD_COPY},
    {WIN_MOD_CTRL, 'S', CMD_SAVE},
    {0, PLAT_VK_F11, CMD_FULLSCREEN},
    {0, 'F', CMD_FULLSCREEN},
    {0, 'S', CMD_STRETCH},
    {0, 'A', CMD_ASPECT},
    {0, '1', CMD_ACTUAL},
    {0, '2', CMD_DOUBLE},
    {0, '3', CMD_TRIPLE},
    {0, PLAT_VK_OEM_PLUS, CMD_ZOOM_IN},
    {WIN_MOD_SHIFT, PLAT_VK_OEM_PLUS, CMD_ZOOM_IN},
    {0, PLAT_VK_OEM_MINUS, CMD_ZOOM_OUT},
    {0, 'W', CMD_FIT_WINDOW},
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

int32_t res_find_command(const win_accel_table* table, uint32_t modifiers, int32_t virtual_key) {
  for (int32_t i = 0; table != nullptr && i < table->count; ++i) {
    const win_accel& a = table->items[i];
    if (a.modifiers == modifiers && a.virtual_key == virtual_key) return a.command;
  }
  return 0;
}
