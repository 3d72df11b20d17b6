// The emulated 8-bit palette screen that both backends share: surfaces, the
// primary surface and clipper, palette objects and the hardware palette, and each
// window's client area as a picture of palette indices.
//
// The shared code implements platform/display.h and platform/gdi.h; what a backend
// adds is listed in platform/backend.h.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

// A window as the screen sees it. Backends may hang their own data on `backend`.
struct plat_window_obj {
  int32_t client_width = 0;
  int32_t client_height = 0;
  int32_t origin_x = 0;  // screen position of the client area's top-left corner
  int32_t origin_y = 0;
  std::vector<uint8_t> client_pixels;  // client_width * client_height palette indices
  void* backend = nullptr;
  // The last stretching copy into the client area: its rectangles and the source
  // pixels it drew, so that a copy of the same rectangles redraws only what changed.
  bool copy_valid = false;
  plat_rect copy_src{};
  plat_rect copy_dest{};
  std::vector<uint8_t> copy_source;  // the source rectangle, row after row
};

// Creates and destroys a window of the screen (client area cleared to index 0).
plat_window screen_window_create(int32_t client_width, int32_t client_height);
void screen_window_destroy(plat_window window);
// Resizes a client area; the picture is cleared to index 0.
void screen_window_resize(plat_window window, int32_t client_width, int32_t client_height);
// Moves a client area on the screen.
void screen_window_move(plat_window window, int32_t origin_x, int32_t origin_y);

// The hardware palette: what index i of every client area looks like now.
const plat_palette_entry* screen_hardware_palette();

// The 20 static colours of an 8-bit palette display in entries 0-9 and 246-255.
void screen_default_system_palette(plat_palette_entry out[256]);
