// The image colour fitting in its plain form, step by step: one saturating count per
// pixel and a merge search over all 32,640 pairs of palette entries. The library's
// faster version must give exactly the same pixels, palette, counts and map.
#include "tests/pcx/reduce_image_colours_reference.h"

#include <algorithm>
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr uint16_t USAGE_LIMIT = 0xFFFF;  // pixel counts stop here
constexpr uint32_t NO_DISTANCE = 0xFFFFFFFF;

uint16_t add_usage(uint16_t a, uint32_t b) {
  return static_cast<uint16_t>(std::min<uint32_t>(uint32_t{a} + b, USAGE_LIMIT));
}

// The clip rectangle, kept inside the buffer.
struct Region {
  uint8_t* first;
  int32_t columns;
  int32_t rows;
};

Region clip_region() {
  const GfxState& g = gfx_state();
  const int32_t min_x = std::max(g.clip_min_x, 0);
  const int32_t max_x = std::min(g.clip_max_x, g.active_width - 1);
  const int32_t min_y = std::max(g.clip_min_y, 0);
  const int32_t max_y = std::min(g.clip_max_y, g.active_height - 1);
  Region r{g.pixel_address + int64_t{min_y} * g.row_pitch + min_x, max_x - min_x + 1, max_y - min_y + 1};
  if (r.columns <= 0 || r.rows <= 0) r.columns = r.rows = 0;
  return r;
}

void count_usage(const Region& r) {
  uint16_t* usage = gfx_state().colour_usage;
  const uint8_t* row = r.first;
  for (int32_t y = 0; y < r.rows; ++y, row += gfx_state().row_pitch) {
    for (int32_t x = 0; x < r.columns; ++x) {
      uint16_t& u = usage[row[x]];
      u = static_cast<uint16_t>(u + (u != USAGE_LIMIT));
    }
  }
}

// One merge: the closest pair of used colours, ties going to the later pair whose
// second colour has fewer pixels than either colour of the pair found so far.
void merge_closest(const uint8_t* palette) {
  uint16_t* usage = gfx_state().colour_usage;
  uint8_t* map = gfx_state().image_colour_map;
  uint32_t best = NO_DISTANCE;
  int best_i = 0, best_j = 0;
  for (int i = 0; i < GFX_COLOURS - 1; ++i) {
    if (usage[i] == 0) continue;
    const uint8_t* a = palette + 3 * i;
    for (int j = i + 1; j < GFX_COLOURS; ++j) {
      if (usage[j] == 0) continue;
      const uint8_t* b = palette + 3 * j;
      const int32_t dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
      uint32_t d = static_cast<uint32_t>(dr * dr);
      if (d > best) continue;
      d += static_cast<uint32_t>(dg * dg);
      if (d > best) continue;
      d += static_cast<uint32_t>(db * db);
      if (d > best) continue;
      if (d < best) {
        best = d;
        best_i = i;
        best_j = j;
      } else if (usage[j] < std::min(usage[best_i], usage[best_j])) {
        best_i = i;
        best_j = j;
      }
    }
  }
  // The colour with fewer pixels gives way; on equal counts, the lower index.
  const int loser = usage[best_j] < usage[best_i] ? best_j : best_i;
  const int survivor = loser == best_i ? best_j : best_i;
  for (int k = 0; k < GFX_COLOURS; ++k) {
    if (map[k] != loser) continue;
    map[k] = static_cast<uint8_t>(survivor);
    usage[survivor] = add_usage(usage[survivor], usage[k]);
  }
  usage[loser] = 0;
}

}  // namespace

int32_t reference_reduce_image_colours(int32_t start, int32_t count, uint8_t* palette) {
  GfxState& g = gfx_state();
  // A range that starts outside the palette or holds nothing changes nothing; one that
  // runs past entry 255 ends there.
  if (start < 0 || start >= GFX_COLOURS || count < 1 || palette == nullptr) return 0;
  count = std::min(count, GFX_COLOURS - start);
  if (!vb_lock()) {
    vb_unlock();
    return 0;
  }
  const Region region = clip_region();
  uint16_t* usage = g.colour_usage;
  uint8_t* map = g.image_colour_map;
  std::memset(usage, 0, sizeof g.colour_usage);
  for (int k = 0; k < GFX_COLOURS; ++k) map[k] = static_cast<uint8_t>(k);
  count_usage(region);

  int32_t used = 0;
  for (int k = 0; k < GFX_COLOURS; ++k) used += usage[k] != 0;
  for (; used > count; --used) merge_closest(palette);

  // Compact the used colours, in ascending order, to the front of the palette.
  int m = 0;
  for (int k = 0; k < GFX_COLOURS; ++k) {
    if (usage[k] == 0) continue;
    map[k] = static_cast<uint8_t>(m);
    std::memmove(palette + 3 * m, palette + 3 * k, 3);
    ++m;
  }
  // A merged colour takes its survivor's new place; an unused one keeps its own value.
  for (int k = 0; k < GFX_COLOURS; ++k) {
    if (usage[k] == 0) map[k] = map[map[k]];
  }
  if (start != 0) {
    std::memmove(palette + 3 * start, palette, 3 * static_cast<size_t>(count));
    std::memset(palette, 0, 3 * static_cast<size_t>(start));
    std::memset(palette + 3 * (start + count), 0, 3 * static_cast<size_t>(GFX_COLOURS - start - count));
  }

  uint8_t renumber[GFX_COLOURS];
  for (int k = 0; k < GFX_COLOURS; ++k) renumber[k] = static_cast<uint8_t>(map[k] + start);
  uint8_t* row = region.first;
  for (int32_t y = 0; y < region.rows; ++y, row += g.row_pitch) {
    for (int32_t x = 0; x < region.columns; ++x) row[x] = renumber[row[x]];
  }
  vb_unlock();
  return 0;
}
