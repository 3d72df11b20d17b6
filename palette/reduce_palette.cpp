// FLIC palette reduction: the file's 256 colours are merged, closest pair first, down
// to the 236 entries 10 to 245, and the FLIC colour map is rebuilt. The searches are
// in reduction.h; this file holds their portable form and the merging around them.
#include <cstring>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "palette/reduction.h"

namespace reduction {
namespace {

constexpr int MERGES = COLOURS - PAL_FILE_COUNT;

// The nearest live colour above k, the highest of equally near ones. Distances are
// worked out in single precision: every value involved is an integer below 2^24, so
// each product and sum is exact.
int32_t find_partner(const Record& r, int k) {
  const float red = r.red[k], green = r.green[k], blue = r.blue[k];
  int32_t least = NONE;
  for (int j = k + 1; j < COLOURS; ++j) {
    const float dr = r.red[j] - red, dg = r.green[j] - green, db = r.blue[j] - blue;
    const int32_t c =
        ((static_cast<int32_t>(dr * dr + dg * dg + db * db) << INDEX_BITS) + (INDEX_MASK - j)) | r.dead[j];
    least = c < least ? c : least;
  }
  return least;
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
// vectors where the compiler vectorises it, and loads each colour once for two
// distances.
void find_all_partners(Record& r) {
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
    const float red1 = red[j1], green1 = green[j1], blue1 = blue[j1],
                tag1 = static_cast<float>(INDEX_MASK - j1);
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
  for (int k = 0; k < COLOURS; ++k)
    r.partner[k] = least[k] < EXACT_KEYS ? static_cast<int32_t>(least[k]) : find_partner(r, k);
}

int32_t closest_pair(const Record& r) {
  int32_t least = NONE;
  for (int k = 0; k < COLOURS; ++k) least = r.pair[k] < least ? r.pair[k] : least;
  return least;
}

}  // namespace

const Kernels portable_kernels = {find_all_partners, find_partner, closest_pair};

}  // namespace reduction

const reduction::Kernels* pal_reduction_kernels = pal_best_reduction_kernels();

const uint8_t* gfx_reduce_palette(uint32_t flags) {
  using namespace reduction;
  GfxState& g = gfx_state;
  uint8_t* map = g.flic_colour_map;
  std::memcpy(g.work_palette, g.flic_file_palette, sizeof g.work_palette);
  std::memset(g.live_flags, 1, sizeof g.live_flags);
  if (flags & GFX_FLAG_NO_REDUCE) {
    for (int k = 0; k < COLOURS; ++k) map[k] = static_cast<uint8_t>(k);
    return g.work_palette + 3 * PAL_FILE_FIRST;
  }
  const Kernels& kernels = *pal_reduction_kernels;

  Record r;
  for (int k = 0; k < COLOURS; ++k) {
    r.red[k] = g.work_palette[3 * k];
    r.green[k] = g.work_palette[3 * k + 1];
    r.blue[k] = g.work_palette[3 * k + 2];
    r.dead[k] = 0;
  }
  kernels.all_partners(r);
  int32_t referrers[COLOURS] = {};  // live colours whose partner this colour is
  for (int k = 0; k < COLOURS; ++k) {
    r.pair[k] = pair_key(r, k);
    if (r.partner[k] != NONE) ++referrers[index_of(r.partner[k])];
  }

  uint8_t into[COLOURS];  // the colour each merged colour was merged into; a live one names itself
  for (int k = 0; k < COLOURS; ++k) into[k] = static_cast<uint8_t>(k);
  for (int merge = 0; merge < MERGES; ++merge) {
    const int32_t least = kernels.closest_pair(r);
    if (least == NONE) break;  // cannot happen while more than one colour lives
    const int i = index_of(least);
    const int j = index_of(r.partner[i]);
    into[i] = static_cast<uint8_t>(j);
    g.live_flags[i] = 0;
    r.dead[i] = NONE;
    r.pair[i] = NONE;
    --referrers[j];
    // The colours that had i as their partner look again.
    for (int k = 0, left = referrers[i]; k < i && left > 0; ++k) {
      if (r.dead[k] != 0 || r.partner[k] == NONE || index_of(r.partner[k]) != i) continue;
      r.partner[k] = kernels.partner(r, k);
      r.pair[k] = pair_key(r, k);
      if (r.partner[k] != NONE) ++referrers[index_of(r.partner[k])];
      --left;
    }
  }

  // Compact the survivors to the front, in file order; each one's map entry is its
  // place. A colour is always merged into one above it, so from the top down every
  // merged colour finds the place of the colour it was merged into already set (a
  // live colour names itself). Written without branches: which colours are merged is
  // all but random.
  int m = 0;
  for (int k = 0; k < COLOURS; ++k) {
    const int live = g.live_flags[k];
    const int to = live ? m : k;
    map[k] = static_cast<uint8_t>(m + PAL_FILE_FIRST);
    for (int c = 0; c < 3; ++c) g.work_palette[3 * to + c] = g.work_palette[3 * k + c];
    m += live;
  }
  for (int k = COLOURS - 1; k >= 0; --k) map[k] = map[into[k]];
  return g.work_palette;
}
