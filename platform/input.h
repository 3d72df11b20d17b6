// Keyboard state: scan codes, virtual keys, one key's state now, all 256 states.
#pragma once

#include "platform/types.h"

// Map types for plat_map_virtual_key.
constexpr uint32_t PLAT_MAPVK_VSC_TO_VK = 1;

// Virtual-key codes the system uses. Letters and digits are their upper-case ASCII codes.
constexpr int32_t PLAT_VK_LBUTTON = 0x01;
constexpr int32_t PLAT_VK_RBUTTON = 0x02;
constexpr int32_t PLAT_VK_MBUTTON = 0x04;
constexpr int32_t PLAT_VK_BACK = 0x08;
constexpr int32_t PLAT_VK_TAB = 0x09;
constexpr int32_t PLAT_VK_RETURN = 0x0D;
constexpr int32_t PLAT_VK_SHIFT = 0x10;
constexpr int32_t PLAT_VK_CONTROL = 0x11;
constexpr int32_t PLAT_VK_MENU = 0x12;  // Alt
constexpr int32_t PLAT_VK_CAPITAL = 0x14;
constexpr int32_t PLAT_VK_ESCAPE = 0x1B;
constexpr int32_t PLAT_VK_SPACE = 0x20;
constexpr int32_t PLAT_VK_PRIOR = 0x21;  // Page Up
constexpr int32_t PLAT_VK_NEXT = 0x22;   // Page Down
constexpr int32_t PLAT_VK_END = 0x23;
constexpr int32_t PLAT_VK_HOME = 0x24;
constexpr int32_t PLAT_VK_LEFT = 0x25;
constexpr int32_t PLAT_VK_UP = 0x26;
constexpr int32_t PLAT_VK_RIGHT = 0x27;
constexpr int32_t PLAT_VK_DOWN = 0x28;
constexpr int32_t PLAT_VK_F1 = 0x70;  // F2 to F12 follow
constexpr int32_t PLAT_VK_F11 = PLAT_VK_F1 + 10;
constexpr int32_t PLAT_VK_OEM_PLUS = 0xBB;   // the key of '=' and '+'
constexpr int32_t PLAT_VK_OEM_MINUS = 0xBD;  // the key of '-' and '_'

// Scan codes.
constexpr uint32_t PLAT_SCAN_ESCAPE = 1;

// Key state bits in a snapshot.
constexpr uint8_t PLAT_KEY_DOWN = 0x80;
constexpr uint8_t PLAT_KEY_TOGGLED = 0x01;

// Turns a scan code into a virtual-key code (map type PLAT_MAPVK_VSC_TO_VK); 0 if unknown.
uint32_t plat_map_virtual_key(uint32_t code, uint32_t map_type);
// State of one key at this moment: the most significant bit is set while it is down.
int16_t plat_get_async_key_state(int32_t virtual_key);
// Snapshot of all 256 virtual-key states (PLAT_KEY_DOWN, PLAT_KEY_TOGGLED); 1 on success.
int32_t plat_get_keyboard_state(uint8_t state[256]);
