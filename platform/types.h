// Handles and small records shared by every interface of the platform layer.
#pragma once

#include <cstdint>

// Opaque handles; each backend defines the objects behind them.
struct plat_display_obj;
struct plat_surface_obj;
struct plat_clipper_obj;
struct plat_window_obj;
struct plat_dc_obj;
struct plat_palette_obj;
struct plat_font_obj;

using plat_display = plat_display_obj*;
using plat_surface = plat_surface_obj*;
using plat_clipper = plat_clipper_obj*;
using plat_window = plat_window_obj*;
using plat_dc = plat_dc_obj*;
using plat_palette = plat_palette_obj*;
using plat_font = plat_font_obj*;

// Rectangle: right and bottom lie one past the last column and row.
struct plat_rect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct plat_point {
  int32_t x;
  int32_t y;
};

// One palette entry: red, green, blue, flags.
struct plat_palette_entry {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  uint8_t flags;
};

// Entry flag: the entry may be changed on screen by palette animation.
constexpr uint8_t PLAT_PC_RESERVED = 0x01;

constexpr uint16_t PLAT_LOGPALETTE_VERSION = 0x0300;
constexpr int PLAT_PALETTE_ENTRIES = 256;

// A logical palette, handed whole to palette creation.
struct plat_logpalette {
  uint16_t version;      // PLAT_LOGPALETTE_VERSION
  uint16_t entry_count;  // PLAT_PALETTE_ENTRIES
  plat_palette_entry entries[PLAT_PALETTE_ENTRIES];
};
