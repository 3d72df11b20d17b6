// Image colour fitting: the colours a picture's pixels use are merged, closest pair
// first and weighted by how many pixels each has, until they fit a range of palette
// entries; the palette is packed into that range and the pixels renumbered.
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

// Counts in four interleaved tallies, so that runs of one value do not wait on each
// other; the result is the same as counting one by one and stopping at the limit.
void count_usage(const Region& r) {
  uint32_t tally[4][GFX_COLOURS] = {};
  const uint8_t* row = r.first;
  for (int32_t y = 0; y < r.rows; ++y, row += gfx_state().row_pitch) {
    int32_t x = 0;
    for (; x + 4 <= r.columns; x += 4) {
      ++tally[0][row[x]];
      ++tally[1][row[x + 1]];
      ++tally[2][row[x + 2]];
      ++tally[3][row[x + 3]];
    }
    for (; x < r.columns; ++x) ++tally[0][row[x]];
  }
  for (int k = 0; k < GFX_COLOURS; ++k) {
    const uint32_t n = tally[0][k] + tally[1][k] + tally[2][k] + tally[3][k];
    gfx_state().colour_usage[k] = static_cast<uint16_t>(std::min<uint32_t>(n, USAGE_LIMIT));
  }
}

// The distance of colours i and j when it is at most limit; otherwise more than limit
// (the sum is abandoned as soon as a partial sum exceeds it).
uint32_t distance_within(const uint8_t* palette, int i, int j, uint32_t limit) {
  const int32_t dr = palette[3 * i] - palette[3 * j];
  uint32_t d = static_cast<uint32_t>(dr * dr);
  if (d > limit) return d;
  const int32_t dg = palette[3 * i + 1] - palette[3 * j + 1];
  d += static_cast<uint32_t>(dg * dg);
  if (d > limit) return d;
  const int32_t db = palette[3 * i + 2] - palette[3 * j + 2];
  return d + static_cast<uint32_t>(db * db);
}

// The least distance from used colour i to a used colour above it, and the first
// colour at that distance.
struct Nearest {
  uint32_t distance;
  uint8_t first;
};

Nearest nearest_above(const uint8_t* palette, int i) {
  const uint16_t* usage = gfx_state().colour_usage;
  Nearest n{NO_DISTANCE, 0};
  for (int j = i + 1; j < GFX_COLOURS; ++j) {
    if (usage[j] == 0) continue;
    const uint32_t d = distance_within(palette, i, j, n.distance);
    if (d < n.distance) n = {d, static_cast<uint8_t>(j)};
  }
  return n;
}

// Merges the closest pair of used colours until no more than count remain.
//
// Visiting every pair in ascending order of (i, j), the closest pair wins; a later pair
// at the same distance replaces it only when its second colour has fewer pixels than
// either colour of the pair held. Colours never move, so each colour's least distance
// to a colour above it is kept from one merge to the next: the least of them is the
// merge distance, and only the rows holding it are walked for the ties, in the same
// order, from their first colour at that distance. A merge removes one colour, and only
// rows whose first nearest colour it was are measured again.
void merge_down_to(int32_t used, int32_t count, const uint8_t* palette) {
  uint16_t* usage = gfx_state().colour_usage;
  uint8_t* map = gfx_state().image_colour_map;
  Nearest nearest[GFX_COLOURS];
  for (int i = 0; i < GFX_COLOURS; ++i) {
    nearest[i] = usage[i] != 0 ? nearest_above(palette, i) : Nearest{NO_DISTANCE, 0};
  }

  for (; used > count; --used) {
    uint32_t best = NO_DISTANCE;
    for (int i = 0; i < GFX_COLOURS; ++i) {
      if (usage[i] != 0) best = std::min(best, nearest[i].distance);
    }
    int best_i = -1, best_j = -1;
    for (int i = 0; i < GFX_COLOURS; ++i) {
      if (usage[i] == 0 || nearest[i].distance != best) continue;
      for (int j = nearest[i].first; j < GFX_COLOURS; ++j) {
        if (usage[j] == 0 || distance_within(palette, i, j, best) != best) continue;
        if (best_i < 0 || usage[j] < std::min(usage[best_i], usage[best_j])) {
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
    for (int i = 0; i < loser; ++i) {
      if (usage[i] != 0 && nearest[i].first == loser) nearest[i] = nearest_above(palette, i);
    }
  }
}

}  // namespace

int32_t gfx_reduce_image_colours(int32_t start, int32_t count, uint8_t* palette) {
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
  merge_down_to(used, count, palette);

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
