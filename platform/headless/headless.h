// The headless backend: one window whose client area is an in-memory picture of
// palette indices, a hardware palette, a keyboard no one presses and a clock that only
// moves when something waits on it. What a program reads of it is here; the controls
// tests set it with are in platform/headless/controls.h, which is not installed.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

// The backend's one window, which is also the active one.
plat_window hl_window();
// Its client area's size and place on the screen.
void hl_set_client_size(int32_t width, int32_t height);
void hl_set_client_origin(int32_t x, int32_t y);

// What the window shows.
const std::vector<uint8_t>& hl_client_pixels();  // row-major, client width x height
int32_t hl_client_width();
int32_t hl_client_height();
const plat_palette_entry* hl_hardware_palette();  // 256 entries
