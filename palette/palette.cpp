// The logical palette: reserved colours, the default colour table, realization,
// range updates and the drawing colour.
#include "palette/palette.h"

#include <algorithm>

#include "gfx/gfx.h"

namespace {

// Depth at which the display reserves entries 0-9 and 246-255 (below it, 0-7 and 248-255).
constexpr uint32_t kFullPaletteDepth = 8;

// Copies count system entries from first into the logical palette from entry at.
void read_system_entries(plat_dc screen, uint32_t first, uint32_t count, int at) {
  plat_get_system_palette_entries(screen, first, count, &gfx_state().logical_palette.entries[at]);
}

}  // namespace

plat_palette gfx_default_palette() {
  plat_logpalette& lp = gfx_state().logical_palette;
  plat_dc screen = plat_get_dc(nullptr);
  const uint32_t depth = gfx_colour_depth();
  int first_library = 0;
  int last_library = 0;
  if (depth >= kFullPaletteDepth) {
    read_system_entries(screen, 0, 10, 0);
    read_system_entries(screen, 246, 10, 246);
    first_library = 10;
    last_library = 245;
  } else {
    read_system_entries(screen, 0, 8, 0);
    read_system_entries(screen, 8, 8, 248);
    first_library = 8;
    last_library = 247;
  }
  plat_release_dc(nullptr, screen);
  for (int e = first_library; e <= last_library; ++e) {
    const uint8_t* rgb = pal_default_colours.rgb[e - 8];
    lp.entries[e] = plat_palette_entry{rgb[0], rgb[1], rgb[2], PLAT_PC_RESERVED};
  }
  return plat_create_palette(&lp);
}

int32_t gfx_realize_palette(plat_palette palette) {
  gfx_state().current_palette = palette;
  plat_select_palette(gfx_state().palette_dc, palette, false);
  plat_realize_palette(gfx_state().palette_dc);
  return 0;
}

int32_t gfx_set_colour(int32_t index) {
  GfxState& g = gfx_state();
  g.colour_index = static_cast<uint8_t>(index & 0xFF);
  g.drawn_value = g.drawing_colour_map[g.colour_index];
  g.fill_word = g.drawn_value * 0x01010101u;
  return 0;
}

// Entries outside 0 to 255 are dropped, never written.
int32_t gfx_set_palette_range(int32_t start, int32_t count, const uint8_t* colours) {
  GfxState& g = gfx_state();
  if (g.active_slot < 0 || count <= 0 || colours == nullptr) return 0;
  const int64_t first = start < 0 ? 0 : start;
  const int64_t end = std::min<int64_t>(int64_t{start} + count, PLAT_PALETTE_ENTRIES);
  if (first >= end) return 0;
  for (int64_t e = first; e < end; ++e) {
    const uint8_t* rgb = colours + 3 * (e - start);
    g.logical_palette.entries[e] = plat_palette_entry{rgb[0], rgb[1], rgb[2], PLAT_PC_RESERVED};
  }
  if (g.current_palette != nullptr)
    plat_animate_palette(g.current_palette, static_cast<uint32_t>(first), static_cast<uint32_t>(end - first),
                         &g.logical_palette.entries[first]);
  return 0;
}
