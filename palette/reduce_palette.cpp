// FLIC palette reduction: the file's 256 colours are merged, closest pair first, down
// to the 236 entries 10 to 245, and the FLIC colour map is rebuilt.
//
// Each of the 20 merges takes the pair of live colours (i < j) at the least squared
// RGB distance; among equal pairs the last in (i, j) scan order wins, that is the
// highest i and for it the highest j. Colour i is merged into j. Distances never
// change, only which colours are live, so each colour keeps its nearest live partner
// above it (ties to the highest), and after a merge only the colours whose partner
// was the merged one look again.
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr int COLOURS = GFX_COLOURS;
constexpr int MERGES = COLOURS - PAL_FILE_COUNT;
constexpr uint32_t NO_DISTANCE = 0xFFFFFFFF;
constexpr int NO_PARTNER = -1;
constexpr int BLOCK = 8;  // colours looked at together in the partner search

struct Reduction {
  alignas(32) int32_t red[COLOURS];
  alignas(32) int32_t green[COLOURS];
  alignas(32) int32_t blue[COLOURS];
  alignas(32) uint32_t dead[COLOURS];  // NO_DISTANCE once merged, so that it never wins
  uint32_t partner_distance[COLOURS];
  int32_t partner[COLOURS];
};

// The nearest live colour above k, the highest of equally near ones. The colours are
// taken in blocks of 8 from the block that holds k + 1 (those at or below k masked
// out), so that each step works on whole vectors.
void find_partner(Reduction& r, int k) {
  alignas(32) uint32_t distance[COLOURS];
  const int32_t red = r.red[k], green = r.green[k], blue = r.blue[k];
  const int first = (k + 1) / BLOCK * BLOCK;
  uint32_t least = NO_DISTANCE;
  for (int b = first; b < COLOURS; b += BLOCK) {
    for (int t = 0; t < BLOCK; ++t) {
      const int j = b + t;
      const int32_t dr = r.red[j] - red, dg = r.green[j] - green, db = r.blue[j] - blue;
      const uint32_t below = j <= k ? NO_DISTANCE : 0;
      distance[j] = static_cast<uint32_t>(dr * dr + dg * dg + db * db) | r.dead[j] | below;
    }
    for (int t = 0; t < BLOCK; ++t) least = distance[b + t] < least ? distance[b + t] : least;
  }
  r.partner_distance[k] = least;
  r.partner[k] = NO_PARTNER;
  if (least == NO_DISTANCE) return;
  for (int b = COLOURS - BLOCK; b >= first; b -= BLOCK) {
    bool here = false;
    for (int t = 0; t < BLOCK; ++t) here |= distance[b + t] == least;
    if (!here) continue;
    for (int t = BLOCK - 1; t >= 0; --t) {
      if (distance[b + t] == least) {
        r.partner[k] = b + t;
        return;
      }
    }
  }
}

// The live colour whose partner is nearest, the highest of equal ones.
int closest_pair(const Reduction& r) {
  int best = NO_PARTNER;
  uint32_t least = NO_DISTANCE;
  for (int i = 0; i < COLOURS; ++i) {
    if (r.dead[i] == 0 && r.partner[i] != NO_PARTNER && r.partner_distance[i] <= least) {
      least = r.partner_distance[i];
      best = i;
    }
  }
  return best;
}

}  // namespace

const uint8_t* gfx_reduce_palette(uint32_t flags) {
  GfxState& g = gfx_state;
  uint8_t* map = g.flic_colour_map;
  std::memcpy(g.work_palette, g.flic_file_palette, sizeof g.work_palette);
  std::memset(g.live_flags, 1, sizeof g.live_flags);
  for (int k = 0; k < COLOURS; ++k) map[k] = static_cast<uint8_t>(k);
  if (flags & GFX_FLAG_NO_REDUCE) return g.work_palette + 3 * PAL_FILE_FIRST;

  Reduction r;
  for (int k = 0; k < COLOURS; ++k) {
    r.red[k] = g.work_palette[3 * k];
    r.green[k] = g.work_palette[3 * k + 1];
    r.blue[k] = g.work_palette[3 * k + 2];
    r.dead[k] = 0;
  }
  for (int k = 0; k < COLOURS; ++k) find_partner(r, k);

  for (int merge = 0; merge < MERGES; ++merge) {
    const int i = closest_pair(r);
    if (i == NO_PARTNER) break;  // cannot happen while more than one colour lives
    const int j = r.partner[i];
    for (int k = 0; k < COLOURS; ++k)
      if (map[k] == i) map[k] = static_cast<uint8_t>(j);
    g.live_flags[i] = 0;
    r.dead[i] = NO_DISTANCE;
    for (int k = 0; k < i; ++k)
      if (r.dead[k] == 0 && r.partner[k] == i) find_partner(r, k);
  }

  // Compact the survivors to the front, in file order.
  int m = 0;
  for (int k = 0; k < COLOURS; ++k) {
    if (!g.live_flags[k]) continue;
    map[k] = static_cast<uint8_t>(m);
    std::memmove(g.work_palette + 3 * m, g.work_palette + 3 * k, 3);
    ++m;
  }
  // A merged colour names a live one, whose entry now holds its compacted place.
  for (int k = 0; k < COLOURS; ++k)
    if (!g.live_flags[k]) map[k] = map[map[k]];
  for (int k = 0; k < COLOURS; ++k) map[k] = static_cast<uint8_t>(map[k] + PAL_FILE_FIRST);
  return g.work_palette;
}
