// Keyboard state: scan codes, virtual keys, one key's state now, all 256 states.
#pragma once

#include "platform/types.h"

// Map types for plat_map_virtual_key.
constexpr uint32_t PLAT_MAPVK_VSC_TO_VK = 1;

// Virtual-key codes the system uses.
constexpr int32_t PLAT_VK_LBUTTON = 0x01;
constexpr int32_t PLAT_VK_RBUTTON = 0x02;
constexpr int32_t PLAT_VK_MBUTTON = 0x04;
constexpr int32_t PLAT_VK_CAPITAL = 0x14;
constexpr int32_t PLAT_VK_ESCAPE = 0x1B;

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
