// FLIC palette reduction: the file's 256 colours are merged, closest pair first, down
// to the 236 entries 10 to 245, and the FLIC colour map is rebuilt. The searches are
// in reduction.h; this file holds their portable form and the merging around them.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "palette/reduction.h"

namespace reduction {
namespace {

constexpr int MERGES = COLOURS - PAL_FILE_COUNT;

// Four floats, and the lanes of a comparison (all ones where it holds), as generic
// vectors of the compiler.
constexpr int FLOAT_LANES = 4;
typedef float Floats __attribute__((vector_size(4 * FLOAT_LANES)));
typedef int32_t Lanes __attribute__((vector_size(4 * FLOAT_LANES)));
inline Floats pick(Lanes where, Floats yes, Floats no) {
  return reinterpret_cast<Floats>((reinterpret_cast<Lanes>(yes) & where) |
                                  (reinterpret_cast<Lanes>(no) & ~where));
}

// The nearest live colour above k, the highest of equally near ones. Distances are
// worked out in single precision: every value involved is an integer below 2^24, so
// each product and sum is exact. Single colours up to a multiple of four, then four
// at a time in generic vectors.
int32_t find_partner(const Record& r, int k) {
  const float red = r.red[k], green = r.green[k], blue = r.blue[k];
  int32_t least = NONE;
  int j = k + 1;
  for (; j < COLOURS && j % FLOAT_LANES != 0; ++j) {
    const float dr = r.red[j] - red, dg = r.green[j] - green, db = r.blue[j] - blue;
    const int32_t c =
        ((static_cast<int32_t>(dr * dr + dg * dg + db * db) << INDEX_BITS) + (INDEX_MASK - j)) | r.dead[j];
    least = c < least ? c : least;
  }
  const Floats rk = red - Floats{}, gk = green - Floats{}, bk = blue - Floats{};
  Lanes tags = INDEX_MASK - j - Lanes{0, 1, 2, 3};
  Lanes lanes = NONE - Lanes{};
  for (; j < COLOURS; j += FLOAT_LANES, tags -= FLOAT_LANES) {
    Floats rj, gj, bj;
    Lanes dead;
    std::memcpy(&rj, r.red + j, sizeof rj);
    std::memcpy(&gj, r.green + j, sizeof gj);
    std::memcpy(&bj, r.blue + j, sizeof bj);
    std::memcpy(&dead, r.dead + j, sizeof dead);
    const Floats dr = rj - rk, dg = gj - gk, db = bj - bk;
    const Lanes c =
        ((__builtin_convertvector(dr * dr + dg * dg + db * db, Lanes) << INDEX_BITS) + tags) | dead;
    lanes = (c & (c < lanes)) | (lanes & ~(c < lanes));
  }
  for (int l = 0; l < FLOAT_LANES; ++l) least = lanes[l] < least ? lanes[l] : least;
  return least;
}

// The first search, all colours live, works in single precision on colours scaled
// by 16: a distance then comes out as 256 * distance, exact (at most 18 significant
// bits), and adding 255 - j is exact too while the distance is below 65,536, the
// bound under which every key fits the 24 bits of a float. Rounding keeps the order of
// keys, so a least key below that bound is the exact one; a colour whose nearest
// partner lies further off is searched again in integers (SCALE, EXACT_KEYS and FAR in
// reduction.h).
//
// Every colour's nearest partner above it, all colours live. Taken two columns at a
// time (j and j + 1 against all i below j), so that the inner loop runs over whole
// vectors, and loads each colour once for two distances.
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
    int i = 0;
    // Four colours i at a time in the compiler's generic vectors (which it keeps whole
    // in every build type), the same operations as the single ones below.
    const Floats r0 = red0 - Floats{}, g0 = green0 - Floats{}, b0 = blue0 - Floats{}, t0 = tag0 - Floats{};
    const Floats r1 = red1 - Floats{}, g1 = green1 - Floats{}, b1 = blue1 - Floats{}, t1 = tag1 - Floats{};
    for (; i + FLOAT_LANES <= j; i += FLOAT_LANES) {
      Floats ri, gi, bi, li;
      std::memcpy(&ri, red + i, sizeof ri);
      std::memcpy(&gi, green + i, sizeof gi);
      std::memcpy(&bi, blue + i, sizeof bi);
      std::memcpy(&li, least + i, sizeof li);
      const Floats dr0 = ri - r0, dg0 = gi - g0, db0 = bi - b0;
      const Floats dr1 = ri - r1, dg1 = gi - g1, db1 = bi - b1;
      const Floats k0 = dr0 * dr0 + dg0 * dg0 + db0 * db0 + t0;
      const Floats k1 = dr1 * dr1 + dg1 * dg1 + db1 * db1 + t1;
      const Floats k = pick(k0 < k1, k0, k1);
      li = pick(k < li, k, li);
      std::memcpy(least + i, &li, sizeof li);
    }
    for (; i < j; ++i) {
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

void load(Record& r, const uint8_t* palette) {
  for (int k = 0; k < COLOURS; ++k) {
    r.red[k] = palette[3 * k];
    r.green[k] = palette[3 * k + 1];
    r.blue[k] = palette[3 * k + 2];
    r.dead[k] = 0;
  }
}

int next_referrer(const Record& r, int i, int k) {
  for (; k < i; ++k)
    if (r.dead[k] == 0 && r.partner[k] != NONE && index_of(r.partner[k]) == i) return k;
  return i;
}

// Exact in single precision, as in find_partner.
void nearer_below(Record& r, int j) {
  const float red = r.red[j], green = r.green[j], blue = r.blue[j];
  for (int k = 0; k < j; ++k) {
    const float dr = r.red[k] - red, dg = r.green[k] - green, db = r.blue[k] - blue;
    const int32_t key = (static_cast<int32_t>(dr * dr + dg * dg + db * db) << INDEX_BITS) + (INDEX_MASK - j);
    r.partner[k] = key < r.partner[k] ? key : r.partner[k];
  }
}

}  // namespace

const Kernels portable_kernels = {load,         find_all_partners, find_partner,
                                  closest_pair, next_referrer,     nearer_below};

}  // namespace reduction

const reduction::Kernels* pal_reduction_kernels = pal_reduction_form(gfx_vector());
bool pal_reuse_reductions = true;

namespace reduction {
namespace {

// A reduction kept: the file palette and the searches it was made from, and what it
// left in the work palette, the live flags and the colour map.
struct Kept {
  const Kernels* kernels;  // null: an empty place
  uint8_t file[COLOURS * 3];
  uint8_t work[COLOURS * 3];
  uint8_t live[COLOURS];
  uint8_t map[COLOURS];
};

constexpr int SETS = 64;
constexpr int WAYS = 2;  // the set's most recently used reduction first

// The last first search: the file palette it was made from, and every colour's
// partner key with all colours live.
struct LastSearch {
  const Kernels* kernels;  // null: none yet
  uint8_t file[COLOURS * 3];
  int32_t partner[COLOURS];
};

// The first search starts from the last one when at most this many colours changed
// since, and at most AGAIN colours have to be searched afresh; past those, searching
// all colours is the faster.
constexpr int FEW_CHANGED = 32;
constexpr int AGAIN = 24;

}  // namespace
}  // namespace reduction

// Memory that only speeds up the reduction: what it holds never changes a result.
// Each context has its own, made by its first reduction.
struct PalReductionCache {
  reduction::Kept ways[reduction::SETS][reduction::WAYS];
  reduction::LastSearch last;
};

// Made zero by calloc, so that pages never touched cost no memory nor time.
void pal_free_reduction_cache(PalReductionCache* cache) { std::free(cache); }

namespace reduction {
namespace {

// The current context's kept reductions; null when there is no memory for them.
PalReductionCache* kept_reductions() {
  GfxContext& c = gfx_context();
  if (c.reductions == nullptr)
    c.reductions = static_cast<PalReductionCache*>(std::calloc(1, sizeof(PalReductionCache)));
  return c.reductions;
}

int set_of(const uint8_t* palette) {
  // Four independent multiply-xor chains over the palette's 96 eight-byte words.
  constexpr uint64_t MULTIPLIER = 0x9E3779B97F4A7C15u;
  uint64_t lanes[4] = {1, 2, 3, 4};
  for (int w = 0; w < COLOURS * 3 / 8; w += 4) {
    for (int l = 0; l < 4; ++l) {
      uint64_t word;
      std::memcpy(&word, palette + 8 * (w + l), 8);
      lanes[l] = (lanes[l] ^ word) * MULTIPLIER;
    }
  }
  const uint64_t h = (lanes[0] ^ (lanes[1] >> 7) ^ (lanes[2] >> 13) ^ (lanes[3] >> 29)) * MULTIPLIER;
  return static_cast<int>(h >> 58);  // the top 6 bits: 64 sets
}

// Puts a kept reduction of the file palette back into the state; false if none.
bool reuse(GfxState& g, const Kernels* kernels, int set) {
  PalReductionCache* cache = kept_reductions();
  if (cache == nullptr) return false;
  Kept* ways = cache->ways[set];
  for (int w = 0; w < WAYS; ++w) {
    Kept& k = ways[w];
    if (k.kernels != kernels || std::memcmp(k.file, g.flic_file_palette, sizeof k.file) != 0) continue;
    std::memcpy(g.work_palette, k.work, sizeof k.work);
    std::memcpy(g.live_flags, k.live, sizeof k.live);
    std::memcpy(g.flic_colour_map, k.map, sizeof k.map);
    if (w > 0) std::swap(ways[0], ways[w]);
    return true;
  }
  return false;
}

void keep(const GfxState& g, const Kernels* kernels, int set) {
  PalReductionCache* cache = kept_reductions();
  if (cache == nullptr) return;
  Kept* ways = cache->ways[set];
  for (int w = WAYS - 1; w > 0; --w) ways[w] = ways[w - 1];
  Kept& k = ways[0];
  k.kernels = kernels;
  std::memcpy(k.file, g.flic_file_palette, sizeof k.file);
  std::memcpy(k.work, g.work_palette, sizeof k.work);
  std::memcpy(k.live, g.live_flags, sizeof k.live);
  std::memcpy(k.map, g.flic_colour_map, sizeof k.map);
}

// Every colour's partner key, all colours live, from the last first search when few
// colours changed since (colour cycling changes a few a frame); false, with the
// partners not set, when the search has to be made whole. A colour that did not change
// keeps its partner unless that changed, and then only a changed colour above it can
// be nearer: its key is the least of its last one and those of the changed colours.
// Changed colours, and those whose partner changed, are searched afresh. The keys are
// exact, so the result is that of the whole search.
bool partners_from_last(Record& r, const Kernels& kernels, const uint8_t* file) {
  PalReductionCache* cache = kept_reductions();
  if (cache == nullptr || cache->last.kernels != &kernels) return false;
  const LastSearch& last = cache->last;
  int changed[FEW_CHANGED];
  int count = 0;
  bool is_changed[COLOURS];
  for (int k = 0; k < COLOURS; ++k) {
    const int at = 3 * k;
    is_changed[k] = ((file[at] ^ last.file[at]) | (file[at + 1] ^ last.file[at + 1]) |
                     (file[at + 2] ^ last.file[at + 2])) != 0;
    if (is_changed[k]) {
      if (count == FEW_CHANGED) return false;
      changed[count++] = k;
    }
  }
  int again[AGAIN];
  int searches = 0;
  for (int k = 0; k < COLOURS; ++k) {
    const int32_t key = last.partner[k];
    if (is_changed[k] || (key != NONE && is_changed[index_of(key)])) {
      if (searches == AGAIN) return false;
      again[searches++] = k;
    }
  }
  std::memcpy(r.partner, last.partner, sizeof r.partner);
  for (int c = 0; c < count; ++c) kernels.nearer_below(r, changed[c]);
  for (int a = 0; a < searches; ++a) r.partner[again[a]] = kernels.partner(r, again[a]);
  return true;
}

void remember_search(const Record& r, const Kernels& kernels, const uint8_t* file) {
  PalReductionCache* cache = kept_reductions();
  if (cache == nullptr) return;
  cache->last.kernels = &kernels;
  std::memcpy(cache->last.file, file, sizeof cache->last.file);
  std::memcpy(cache->last.partner, r.partner, sizeof cache->last.partner);
}

}  // namespace
}  // namespace reduction

const uint8_t* gfx_reduce_palette(uint32_t flags) {
  using namespace reduction;
  GfxState& g = gfx_state();
  uint8_t* map = g.flic_colour_map;
  std::memcpy(g.work_palette, g.flic_file_palette, sizeof g.work_palette);
  std::memset(g.live_flags, 1, sizeof g.live_flags);
  if (flags & GFX_FLAG_NO_REDUCE) {
    for (int k = 0; k < COLOURS; ++k) map[k] = static_cast<uint8_t>(k);
    return g.work_palette + 3 * PAL_FILE_FIRST;
  }
  const Kernels& kernels = *pal_reduction_kernels;
  const int set = pal_reuse_reductions ? set_of(g.flic_file_palette) : -1;
  if (set >= 0 && reuse(g, &kernels, set)) return g.work_palette;

  Record r;
  kernels.load(r, g.work_palette);
  if (set < 0 || !partners_from_last(r, kernels, g.flic_file_palette)) kernels.all_partners(r);
  if (set >= 0) remember_search(r, kernels, g.flic_file_palette);
  int32_t referrers[COLOURS] = {};  // live colours whose partner this colour is
  for (int k = 0; k < COLOURS; ++k) {
    r.pair[k] = pair_key(r, k);
    if (r.partner[k] != NONE) ++referrers[index_of(r.partner[k])];
  }

  uint8_t merged[MERGES];  // the colours merged, in turn
  uint8_t into[COLOURS];   // the colour each merged colour was merged into
  int merges = 0;
  for (; merges < MERGES; ++merges) {
    const int32_t least = kernels.closest_pair(r);
    if (least == NONE) break;  // cannot happen while more than one colour lives
    const int i = index_of(least);
    const int j = index_of(r.partner[i]);
    merged[merges] = static_cast<uint8_t>(i);
    into[i] = static_cast<uint8_t>(j);
    g.live_flags[i] = 0;
    r.dead[i] = NONE;
    r.pair[i] = NONE;
    --referrers[j];
    // The colours that had i as their partner look again.
    for (int k = 0, left = referrers[i]; left > 0 && (k = kernels.next_referrer(r, i, k)) < i; ++k) {
      r.partner[k] = kernels.partner(r, k);
      r.pair[k] = pair_key(r, k);
      if (r.partner[k] != NONE) ++referrers[index_of(r.partner[k])];
      --left;
    }
  }

  // Compact the survivors to the front, in file order; each one's map entry is its
  // place. The survivors lie in runs between the merged colours: each run moves down
  // by the merged colours below it, in one move. A colour is always merged into one
  // above it, so from the top down every merged colour finds the entry of the colour
  // it was merged into already set.
  std::sort(merged, merged + merges);
  int m = 0, from = 0;
  for (int d = 0; d <= merges; ++d) {
    const int end = d < merges ? merged[d] : COLOURS;
    if (m != from)
      std::memmove(g.work_palette + 3 * m, g.work_palette + 3 * from, 3 * static_cast<size_t>(end - from));
    const int shift = from - m - PAL_FILE_FIRST;
    for (int k = from; k < end; ++k) map[k] = static_cast<uint8_t>(k - shift);
    m += end - from;
    from = end + 1;
  }
  for (int d = merges - 1; d >= 0; --d) map[merged[d]] = map[into[merged[d]]];
  if (set >= 0) keep(g, &kernels, set);
  return g.work_palette;
}
