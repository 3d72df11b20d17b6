// The viewer's resources: its menu and its icon, found by name.
#pragma once

#include "platform/window.h"

// Resource names.
constexpr const char* RES_MENU_NAME = "FGIMAGE";
constexpr const char* RES_ACCEL_NAME = "FGIMAGE";
constexpr const char* RES_ICON_NAME = "FGICON";

// The menu, accelerator table or icon of that name, or null.
const win_menu* res_find_menu(const char* name);
const win_accel_table* res_find_accelerators(const char* name);
const win_icon* res_find_icon(const char* name);
// The command a key with these modifiers stands for in table, or 0.
int32_t res_find_command(const win_accel_table* table, uint32_t modifiers, int32_t virtual_key);
