// The FLIC palette reduction's working record and its three searches, which come in
// a plain form and in a form for each vector level (vector_code.h). Internal to the
// palette manager (and to the tests that compare the forms).
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
// minimum searches.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"
#include "gfx/vector_code.h"

namespace reduction {

constexpr int COLOURS = GFX_COLOURS;
constexpr int32_t NONE = INT32_MAX;  // no partner, or a merged colour: never the least
constexpr int INDEX_BITS = 8;        // the low bits of a key hold 255 - index
constexpr int32_t INDEX_MASK = COLOURS - 1;

struct Record {
  alignas(32) float red[COLOURS];
  alignas(32) float green[COLOURS];
  alignas(32) float blue[COLOURS];
  alignas(32) int32_t dead[COLOURS];     // NONE once merged, else 0
  alignas(32) int32_t partner[COLOURS];  // each colour's nearest live colour above it, as a key
  alignas(32) int32_t pair[COLOURS];     // the same distance with the colour's own index; NONE if dead
};

// The first search, all colours live, works in single precision on colours scaled
// by SCALE (see reduce_palette.cpp): keys below EXACT_KEYS are exact, and FAR lies
// above every key.
constexpr float SCALE = 16.0f;
constexpr float EXACT_KEYS = 16777216.0f;  // 2^24
constexpr float FAR = 1073741824.0f;       // 2^30

inline int index_of(int32_t key) { return INDEX_MASK - (key & INDEX_MASK); }

// The colour's key for the pair search, from its partner key.
inline int32_t pair_key(const Record& r, int k) {
  if (r.dead[k] != 0 || r.partner[k] == NONE) return NONE;
  return (r.partner[k] & ~INDEX_MASK) | (INDEX_MASK - k);
}

// The three searches, and the record's set-up. load: the colours of a palette (256
// RGB triples) into the record, all live. all_partners: every colour's partner key,
// all colours live. partner: colour k's partner key among the live colours above it.
// closest_pair: the least pair key, NONE if there is none. next_referrer: the first
// live colour from k on, below i, whose partner is i; i if there is none.
// nearer_below: every colour below j takes j as its partner where its key with j is
// less than its partner key (all colours live).
struct Kernels {
  void (*load)(Record& r, const uint8_t* palette);
  void (*all_partners)(Record& r);
  int32_t (*partner)(const Record& r, int k);
  int32_t (*closest_pair)(const Record& r);
  int (*next_referrer)(const Record& r, int i, int k);
  void (*nearer_below)(Record& r, int j);
};

// The plain form, in the compiler's generic vectors: the reference of the others.
extern const Kernels portable_kernels;

}  // namespace reduction

// The searches of each vector level (reduce_palette_vector.cpp): on x86-64 the portable
// level's are in SSE2, the avx2 level's in AVX2 and FMA, and the avx512 level's take
// their first search in AVX-512 VNNI and the others from the avx2 level; elsewhere all
// are the plain form.
const reduction::Kernels* pal_reduction_form(GfxVector level);
// The searches the reduction uses: the vector level's in use. Tests may set any form
// this processor runs, and must set them back.
extern const reduction::Kernels* pal_reduction_kernels;

// Reductions are kept and given again when the same file palette comes back (as it
// does in colour cycling), with the same searches: the last 128 different ones, in
// 64 sets of two by a hash of the palette; and a new palette's first search starts
// from the last one's when only a few colours changed. The result is the same as
// reducing afresh. Tests and benchmarks that time the reduction itself turn this off,
// and back on.
extern bool pal_reuse_reductions;
