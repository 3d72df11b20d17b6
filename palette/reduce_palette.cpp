// FLIC palette reduction: the file's 256 colours are merged, closest pair first, down
// to the 236 entries 10 to 245, and the FLIC colour map is rebuilt.
//
// Each of the 20 merges takes the pair of live colours (i < j) at the least squared
// RGB distance; among equal pairs the last in (i, j) scan order wins, that is the
// highest i and for it the highest j. Colour i is merged into j. Distances never
// change, only which colours are live, so each colour keeps its nearest live partner
// above it (ties to the highest), and after a merge only the colours whose partner
// was the merged one look again.
//
// A colour's partner is held as one number, distance * 256 + (255 - partner), so
// that the least number names the nearest partner and, among equally near ones, the
// highest; the smallest of those numbers over all colours, with the colour's own index
// in place of the partner's, names the pair to merge. All the searches are then plain
// minimum searches, which the compiler turns into vector code. Distances are worked
// out in single precision: every value involved is an integer below 2^24, so each
// product and sum is exact.
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr int COLOURS = GFX_COLOURS;
constexpr int MERGES = COLOURS - PAL_FILE_COUNT;
constexpr int32_t NONE = INT32_MAX;  // no partner, or a merged colour: never the least
constexpr int INDEX_BITS = 8;        // the low bits of a key hold 255 - index
constexpr int32_t INDEX_MASK = COLOURS - 1;

struct Reduction {
  alignas(16) float red[COLOURS];
  alignas(16) float green[COLOURS];
  alignas(16) float blue[COLOURS];
  alignas(16) int32_t dead[COLOURS];     // NONE once merged, else 0
  alignas(16) int32_t partner[COLOURS];  // each colour's nearest live colour above it, as a key
  alignas(16) int32_t pair[COLOURS];     // the same distance with the colour's own index; NONE if dead
  int32_t referrers[COLOURS];            // live colours whose partner this colour is
};

inline int index_of(int32_t k) { return INDEX_MASK - (k & INDEX_MASK); }

// The colour's key for the pair search, from its partner key.
inline int32_t pair_key(const Reduction& r, int k) {
  if (r.dead[k] != 0 || r.partner[k] == NONE) return NONE;
  return (r.partner[k] & ~INDEX_MASK) | (INDEX_MASK - k);
}

// The nearest live colour above k, the highest of equally near ones.
void find_partner(Reduction& r, int k) {
  const float red = r.red[k], green = r.green[k], blue = r.blue[k];
  int32_t least = NONE;
  for (int j = k + 1; j < COLOURS; ++j) {
    const float dr = r.red[j] - red, dg = r.green[j] - green, db = r.blue[j] - blue;
    const int32_t c = ((static_cast<int32_t>(dr * dr + dg * dg + db * db) << INDEX_BITS) + (INDEX_MASK - j)) |
                      r.dead[j];
    least = c < least ? c : least;
  }
  r.partner[k] = least;
  r.pair[k] = pair_key(r, k);
}

// The first search, all colours live, works in single precision on colours scaled
// by 16: a distance then comes out as 256 * distance, exact (at most 18 significant
// bits), and adding 255 - j is exact too while the distance is below 65,536, the
// bound under which every key fits the 24 bits of a float. Rounding keeps the order of
// keys, so a least key below that bound is the exact one; a colour whose nearest
// partner lies further off is searched again in integers.
constexpr float SCALE = 16.0f;
constexpr float EXACT_KEYS = 16777216.0f;  // 2^24
constexpr float FAR = 1073741824.0f;       // 2^30: above every key

// Every colour's nearest partner above it, all colours live. Taken two columns at a
// time (j and j + 1 against all i below j), so that the inner loop runs over whole
// vectors and loads each colour once for two distances.
void find_all_partners(Reduction& r) {
  alignas(16) float red[COLOURS], green[COLOURS], blue[COLOURS], least[COLOURS];
  for (int k = 0; k < COLOURS; ++k) {
    red[k] = r.red[k] * SCALE;
    green[k] = r.green[k] * SCALE;
    blue[k] = r.blue[k] * SCALE;
    least[k] = FAR;
  }
  const auto scaled_key = [&](int i, int j) {
    const float dr = red[i] - red[j], dg = green[i] - green[j], db = blue[i] - blue[j];
    return dr * dr + dg * dg + db * db + static_cast<float>(INDEX_MASK - j);
  };
  for (int j = 1; j < COLOURS; j += 2) {
    const int j1 = j + 1 < COLOURS ? j + 1 : j;
    const float red0 = red[j], green0 = green[j], blue0 = blue[j], tag0 = static_cast<float>(INDEX_MASK - j);
    const float red1 = red[j1], green1 = green[j1], blue1 = blue[j1], tag1 = static_cast<float>(INDEX_MASK - j1);
    for (int i = 0; i < j; ++i) {
      const float dr0 = red[i] - red0, dg0 = green[i] - green0, db0 = blue[i] - blue0;
      const float dr1 = red[i] - red1, dg1 = green[i] - green1, db1 = blue[i] - blue1;
      const float k0 = dr0 * dr0 + dg0 * dg0 + db0 * db0 + tag0;
      const float k1 = dr1 * dr1 + dg1 * dg1 + db1 * db1 + tag1;
      const float k = k0 < k1 ? k0 : k1;
      least[i] = k < least[i] ? k : least[i];
    }
    if (j1 != j) {
      const float k = scaled_key(j, j1);
      least[j] = k < least[j] ? k : least[j];
    }
  }
  for (int k = 0; k < COLOURS; ++k) {
    if (least[k] < EXACT_KEYS)
      r.partner[k] = static_cast<int32_t>(least[k]);
    else
      find_partner(r, k);
  }
}

// The live colour whose partner is nearest, the highest of equal ones; -1 if none.
int closest_pair(const Reduction& r) {
  int32_t least = NONE;
  for (int k = 0; k < COLOURS; ++k) least = r.pair[k] < least ? r.pair[k] : least;
  return least == NONE ? -1 : index_of(least);
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
  find_all_partners(r);
  for (int k = 0; k < COLOURS; ++k) {
    r.pair[k] = pair_key(r, k);
    r.referrers[k] = 0;
  }
  for (int k = 0; k < COLOURS; ++k)
    if (r.partner[k] != NONE) ++r.referrers[index_of(r.partner[k])];

  for (int merge = 0; merge < MERGES; ++merge) {
    const int i = closest_pair(r);
    if (i < 0) break;  // cannot happen while more than one colour lives
    const int j = index_of(r.partner[i]);
    const uint8_t from = static_cast<uint8_t>(i), to = static_cast<uint8_t>(j);
    for (int k = 0; k < COLOURS; ++k) map[k] = map[k] == from ? to : map[k];
    g.live_flags[i] = 0;
    r.dead[i] = NONE;
    r.pair[i] = NONE;
    --r.referrers[j];
    // The colours that had i as their partner look again.
    for (int k = 0, left = r.referrers[i]; k < i && left > 0; ++k) {
      if (r.dead[k] != 0 || r.partner[k] == NONE || index_of(r.partner[k]) != i) continue;
      find_partner(r, k);
      if (r.partner[k] != NONE) ++r.referrers[index_of(r.partner[k])];
      --left;
    }
  }

  // Compact the survivors to the front, in file order.
  int m = 0;
  for (int k = 0; k < COLOURS; ++k) {
    if (!g.live_flags[k]) continue;
    map[k] = static_cast<uint8_t>(m);
    for (int c = 0; c < 3; ++c) g.work_palette[3 * m + c] = g.work_palette[3 * k + c];
    ++m;
  }
  // A merged colour names a live one, whose entry now holds its compacted place.
  for (int k = 0; k < COLOURS; ++k)
    if (!g.live_flags[k]) map[k] = map[map[k]];
  for (int k = 0; k < COLOURS; ++k) map[k] = static_cast<uint8_t>(map[k] + PAL_FILE_FIRST);
  return g.work_palette;
}
