// The palette manager: the logical palette with its reserved colours, the drawing
// colour, and the two ways a file's colours are fitted into entries 10 to 245.
#pragma once

#include <cstdint>

#include "platform/types.h"

// First library entry and number of entries a file's colours are fitted into.
constexpr int32_t PAL_FILE_FIRST = 10;
constexpr int32_t PAL_FILE_COUNT = 236;
// Entries a 16-colour picture uses.
constexpr int32_t PAL_HEADER_COUNT = 16;

// Builds the logical palette (reserved colours and default colour table) and
// creates a palette object from it; the caller owns the handle.
plat_palette gfx_default_palette();
// Makes a palette current, selects it as the foreground palette and realizes it; 0.
int32_t gfx_realize_palette(plat_palette palette);
// Sets the drawing colour from the low 8 bits of index; 0.
int32_t gfx_set_colour(int32_t index);
// Stores count RGB triples into entries start... and changes them on screen; 0.
// Entries beyond 255 are dropped.
int32_t gfx_set_palette_range(int32_t start, int32_t count, const uint8_t* colours);

// Fits the colours that the active buffer's pixels use into entries start to
// start + count - 1 of palette (256 RGB triples, rewritten) and renumbers the pixels; 0.
int32_t gfx_reduce_image_colours(int32_t start, int32_t count, uint8_t* palette);

// Merges the FLIC file palette down to 236 colours and rebuilds the FLIC colour map;
// returns the colours to load at entries 10 to 245.
const uint8_t* gfx_reduce_palette(uint32_t flags);

// The default colour table: 240 RGB triples; library entry e takes triple e - 8.
struct PalColourTable {
  uint8_t rgb[240][3];
};
extern const PalColourTable pal_default_colours;
