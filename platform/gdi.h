// Device contexts, the stock fixed font, the display's colour depth, the system
// palette and palette objects. The display emulates an 8-bit palette screen: the
// picture in a window's client area is palette indices shown through the hardware
// palette, which the last realized palette and every palette animation set.
#pragma once

#include "platform/types.h"

// Stock object numbers.
constexpr int32_t PLAT_OEM_FIXED_FONT = 10;

// Device capability indices.
constexpr int32_t PLAT_BITSPIXEL = 12;
constexpr int32_t PLAT_PLANES = 14;

// Font metrics, as the fixed font reports them.
struct plat_text_metrics {
  int32_t height;
  int32_t ascent;
  int32_t descent;
  int32_t internal_leading;
  int32_t external_leading;
  int32_t ave_char_width;
  int32_t max_char_width;
};

// Gets a device context for a window, or for the whole screen with a null window.
plat_dc plat_get_dc(plat_window window);
// Gives a device context back.
int32_t plat_release_dc(plat_window window, plat_dc dc);
// Gets a stock object (only PLAT_OEM_FIXED_FONT is known; others give null).
plat_font plat_get_stock_object(int32_t number);
// Selects a font into a device context; returns the previous one.
plat_font plat_select_font(plat_dc dc, plat_font font);
// Reads the metrics of the font selected into a device context; 1 on success.
int32_t plat_get_text_metrics(plat_dc dc, plat_text_metrics* out);
// Reads a device capability (PLAT_BITSPIXEL, PLAT_PLANES).
int32_t plat_get_device_caps(plat_dc dc, int32_t index);
// Copies count system palette entries from start into out; returns the count copied.
uint32_t plat_get_system_palette_entries(plat_dc dc, uint32_t start, uint32_t count, plat_palette_entry* out);
// Creates a palette object holding a copy of all entries of a logical palette.
plat_palette plat_create_palette(const plat_logpalette* palette);
// Selects a palette into a device context (foreground unless background is true);
// returns the previous one.
plat_palette plat_select_palette(plat_dc dc, plat_palette palette, bool background);
// Maps the selected palette's colours into the hardware palette; returns entries mapped.
uint32_t plat_realize_palette(plat_dc dc);
// Changes entries of a palette object and, if it is the realized one, on screen at once.
int32_t plat_animate_palette(plat_palette palette, uint32_t start, uint32_t count,
                             const plat_palette_entry* entries);
// Deletes a palette object; 1 on success.
int32_t plat_delete_palette(plat_palette palette);
