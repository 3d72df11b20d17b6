// The palette reduction's searches for each vector level (vector_code.h): in AVX2 and
// FMA instructions, eight colours at a time, the first search in 16-bit dot products;
// the same with the first search in AVX-512 VNNI dot products; and in SSE2, four at a
// time, the first search in its 16-bit dot products. They give exactly the keys of the
// plain searches (reduce_palette.cpp).
#include "palette/reduction.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define MOXFLIC_AVX2 __attribute__((target("avx2,fma")))

namespace reduction {
namespace {

constexpr int LANES = 8;

MOXFLIC_AVX2 inline int32_t least_of(__m256i v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(m);
}

// 255 - j for the eight colours from j on.
MOXFLIC_AVX2 inline __m256i tags_from(int j) {
  return _mm256_sub_epi32(_mm256_set1_epi32(INDEX_MASK - j), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Colour k's partner key among the live colours above it. Distances in single
// precision are exact (below 2^18); the lanes at or below k are left out.
MOXFLIC_AVX2 int32_t find_partner(const Record& r, int k) {
  const __m256 red = _mm256_set1_ps(r.red[k]), green = _mm256_set1_ps(r.green[k]),
               blue = _mm256_set1_ps(r.blue[k]);
  const int first = (k + 1) & ~(LANES - 1);
  if (first >= COLOURS) return NONE;
  __m256i least = _mm256_set1_epi32(NONE);
  // Lanes whose colour is k or below: the key becomes NONE.
  const __m256i below =
      _mm256_cmpgt_epi32(_mm256_set1_epi32(k + 1 - first), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  __m256i out = _mm256_and_si256(below, _mm256_set1_epi32(NONE));
  for (int j = first; j < COLOURS; j += LANES) {
    const __m256 dr = _mm256_sub_ps(_mm256_load_ps(r.red + j), red);
    const __m256 dg = _mm256_sub_ps(_mm256_load_ps(r.green + j), green);
    const __m256 db = _mm256_sub_ps(_mm256_load_ps(r.blue + j), blue);
    const __m256 d = _mm256_fmadd_ps(db, db, _mm256_fmadd_ps(dg, dg, _mm256_mul_ps(dr, dr)));
    __m256i key = _mm256_add_epi32(_mm256_slli_epi32(_mm256_cvttps_epi32(d), INDEX_BITS), tags_from(j));
    key = _mm256_or_si256(key, _mm256_load_si256(reinterpret_cast<const __m256i*>(r.dead + j)));
    key = _mm256_or_si256(key, out);
    out = _mm256_setzero_si256();
    least = _mm256_min_epi32(least, key);
  }
  return least_of(least);
}

MOXFLIC_AVX2 int32_t closest_pair(const Record& r) {
  __m256i least = _mm256_load_si256(reinterpret_cast<const __m256i*>(r.pair));
  for (int k = LANES; k < COLOURS; k += LANES)
    least = _mm256_min_epi32(least, _mm256_load_si256(reinterpret_cast<const __m256i*>(r.pair + k)));
  return least_of(least);
}

// The byte shuffles that take channel c of sixteen RGB triples out of the three
// 16-byte blocks they span; a lane whose byte lies in another block takes 0.
struct Shuffles {
  alignas(16) int8_t from[3][3][16];  // [channel][block][lane]
  constexpr Shuffles() : from{} {
    for (int c = 0; c < 3; ++c)
      for (int b = 0; b < 3; ++b)
        for (int t = 0; t < 16; ++t) {
          const int at = 3 * t + c - 16 * b;
          from[c][b][t] = static_cast<int8_t>(at >= 0 && at < 16 ? at : -128);
        }
  }
};
constexpr Shuffles SHUFFLES{};

MOXFLIC_AVX2 void load(Record& r, const uint8_t* palette) {
  float* const channels[3] = {r.red, r.green, r.blue};
  for (int k = 0; k < COLOURS; k += 16) {
    const uint8_t* p = palette + 3 * k;
    const __m128i blocks[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
    for (int c = 0; c < 3; ++c) {
      __m128i bytes = _mm_setzero_si128();
      for (int b = 0; b < 3; ++b)
        bytes = _mm_or_si128(
            bytes, _mm_shuffle_epi8(blocks[b],
                                    _mm_load_si128(reinterpret_cast<const __m128i*>(SHUFFLES.from[c][b]))));
      _mm256_store_ps(channels[c] + k, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)));
      _mm256_store_ps(channels[c] + k + 8,
                      _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_srli_si128(bytes, 8))));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(r.dead + k), _mm256_setzero_si256());
    _mm256_store_si256(reinterpret_cast<__m256i*>(r.dead + k + 8), _mm256_setzero_si256());
  }
}

// A dead colour's NONE, like a partner key of NONE, has 255 in its low byte, which
// names colour 0: no colour below i names it.
MOXFLIC_AVX2 int next_referrer(const Record& r, int i, int k) {
  const __m256i wanted = _mm256_set1_epi32(INDEX_MASK - i);
  const __m256i low = _mm256_set1_epi32(INDEX_MASK);
  for (int base = k & ~(LANES - 1); base < i; base += LANES) {
    const __m256i keys =
        _mm256_or_si256(_mm256_load_si256(reinterpret_cast<const __m256i*>(r.partner + base)),
                        _mm256_load_si256(reinterpret_cast<const __m256i*>(r.dead + base)));
    const __m256i hit = _mm256_cmpeq_epi32(_mm256_and_si256(keys, low), wanted);
    uint32_t lanes = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(hit)));
    lanes &= ~0u << (k > base ? k - base : 0);  // not below k
    if (lanes != 0) {
      const int found = base + __builtin_ctz(lanes);
      return found < i ? found : i;
    }
  }
  return i;
}

// As find_partner, eight colours below j at a time; the lanes from j on keep their
// keys.
MOXFLIC_AVX2 void nearer_below(Record& r, int j) {
  const __m256 red = _mm256_set1_ps(r.red[j]), green = _mm256_set1_ps(r.green[j]),
               blue = _mm256_set1_ps(r.blue[j]);
  const __m256i tag = _mm256_set1_epi32(INDEX_MASK - j);
  for (int k = 0; k < j; k += LANES) {
    const __m256 dr = _mm256_sub_ps(_mm256_load_ps(r.red + k), red);
    const __m256 dg = _mm256_sub_ps(_mm256_load_ps(r.green + k), green);
    const __m256 db = _mm256_sub_ps(_mm256_load_ps(r.blue + k), blue);
    const __m256 d = _mm256_fmadd_ps(db, db, _mm256_fmadd_ps(dg, dg, _mm256_mul_ps(dr, dr)));
    const __m256i from_j =
        _mm256_cmpgt_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(j - k - 1));
    const __m256i key =
        _mm256_or_si256(_mm256_add_epi32(_mm256_slli_epi32(_mm256_cvttps_epi32(d), INDEX_BITS), tag),
                        _mm256_and_si256(from_j, _mm256_set1_epi32(NONE)));
    __m256i* const partner = reinterpret_cast<__m256i*>(r.partner + k);
    _mm256_store_si256(partner, _mm256_min_epi32(_mm256_load_si256(partner), key));
  }
}

// The first search in integers, with the 16-bit dot products of AVX-512 VNNI, on
// processors that have them. Squared distances are expanded, |ci|^2 + |cj|^2 - 2 ci.cj,
// and the key 256 * distance + 255 - j is exact in 32 bits whatever the distance:
// 256 |ci|^2 is the same for all j and is added once at the end, and the rest,
// 256 |cj|^2 + 255 - j - 512 ci.cj, takes two dot products of pairs of 16-bit
// numbers a colour j: (16 r_i, 16 g_i) with (-32 r_j, -32 g_j), and (16 b_i, 0) with
// (-32 b_j, 0). So no colour is searched again.
#define MOXFLIC_VNNI __attribute__((target("avx2,fma,avx512f,avx512vl,avx512vnni")))

struct Packed {
  alignas(32) int32_t red_green[COLOURS];  // colour i's side
  alignas(32) int32_t blue[COLOURS];
  alignas(32) int32_t red_green_j[COLOURS];  // colour j's side
  alignas(32) int32_t blue_j[COLOURS];
  alignas(32) int32_t rest_j[COLOURS];  // 256 |cj|^2 + 255 - j
  alignas(32) int32_t own[COLOURS];     // 256 |ci|^2
};

// The keys of colours i (eight lanes: red-green pairs rg, blue b) against colour j,
// less 256 |ci|^2.
MOXFLIC_VNNI inline __m256i dot_key(__m256i rg, __m256i b, const Packed& p, int j) {
  __m256i key = _mm256_set1_epi32(p.rest_j[j]);
  key = _mm256_dpwssd_epi32(key, rg, _mm256_set1_epi32(p.red_green_j[j]));
  return _mm256_dpwssd_epi32(key, b, _mm256_set1_epi32(p.blue_j[j]));
}

// Two 16-bit numbers in a 32-bit lane, the low one first.
MOXFLIC_AVX2 inline __m256i pair(__m256i low, __m256i high) {
  return _mm256_or_si256(_mm256_and_si256(low, _mm256_set1_epi32(0xFFFF)), _mm256_slli_epi32(high, 16));
}

MOXFLIC_AVX2 inline __m256i times(__m256i v, int n) { return _mm256_mullo_epi32(v, _mm256_set1_epi32(n)); }

// A colour's key from the least over j, or NONE where no colour lies above it.
MOXFLIC_AVX2 inline void finish(Record& r, const Packed& p, __m256i least, int from) {
  const __m256i none = _mm256_set1_epi32(NONE);
  const __m256i key =
      _mm256_add_epi32(least, _mm256_load_si256(reinterpret_cast<const __m256i*>(p.own + from)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(r.partner + from),
                     _mm256_blendv_epi8(key, none, _mm256_cmpeq_epi32(least, none)));
}

// Both sides of every colour, packed for the dot products.
MOXFLIC_AVX2 void pack(const Record& r, Packed& p) {
  for (int k = 0; k < COLOURS; k += LANES) {
    const __m256i red = _mm256_cvttps_epi32(_mm256_load_ps(r.red + k));
    const __m256i green = _mm256_cvttps_epi32(_mm256_load_ps(r.green + k));
    const __m256i blue = _mm256_cvttps_epi32(_mm256_load_ps(r.blue + k));
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.red_green + k), pair(times(red, 16), times(green, 16)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.blue + k), times(blue, 16));
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.red_green_j + k),
                       pair(times(red, -32), times(green, -32)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.blue_j + k), _mm256_and_si256(times(blue, -32), low16));
    const __m256i red_green =
        _mm256_add_epi32(_mm256_mullo_epi32(red, red), _mm256_mullo_epi32(green, green));
    const __m256i square = _mm256_add_epi32(red_green, _mm256_mullo_epi32(blue, blue));
    const __m256i own = _mm256_slli_epi32(square, INDEX_BITS);
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.own + k), own);
    _mm256_store_si256(reinterpret_cast<__m256i*>(p.rest_j + k), _mm256_add_epi32(own, tags_from(k)));
  }
}

MOXFLIC_VNNI void find_all_partners_vnni(Record& r) {
  Packed p;
  pack(r, p);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i none = _mm256_set1_epi32(NONE);
  // Sixteen colours i at a time, as two blocks of eight (a and b); each colour j is
  // loaded once for both.
  for (int i = 0; i < COLOURS; i += 2 * LANES) {
    const int ib = i + LANES;
    const __m256i rga = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.red_green + i));
    const __m256i ba = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.blue + i));
    const __m256i rgb = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.red_green + ib));
    const __m256i bb = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.blue + ib));
    __m256i a0 = none, a1 = none, b0 = none, b1 = none;
    // Colours j inside a block: only the lanes below j count.
    for (int j = i + 1; j < ib; ++j) {
      const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(j - i), lane);
      a0 = _mm256_min_epi32(a0, _mm256_blendv_epi8(none, dot_key(rga, ba, p, j), below));
    }
    for (int j = ib; j < ib + LANES; ++j) {
      const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(j - ib), lane);
      a1 = _mm256_min_epi32(a1, dot_key(rga, ba, p, j));
      b1 = _mm256_min_epi32(b1, _mm256_blendv_epi8(none, dot_key(rgb, bb, p, j), below));
    }
    for (int j = ib + LANES; j < COLOURS; j += 2) {
      a0 = _mm256_min_epi32(a0, dot_key(rga, ba, p, j));
      b0 = _mm256_min_epi32(b0, dot_key(rgb, bb, p, j));
      a1 = _mm256_min_epi32(a1, dot_key(rga, ba, p, j + 1));
      b1 = _mm256_min_epi32(b1, dot_key(rgb, bb, p, j + 1));
    }
    finish(r, p, _mm256_min_epi32(a0, a1), i);
    finish(r, p, _mm256_min_epi32(b0, b1), ib);
  }
}

// The avx2 level's first search: the same with AVX2's 16-bit dot products, which do
// not add to a sum: two more additions a key, and still a quarter faster than eight
// colours at a time in single precision (with fused multiply-adds), which also had
// to search again the colours whose keys it could not hold exactly.
MOXFLIC_AVX2 inline __m256i madd_key(__m256i rg, __m256i b, const Packed& p, int j) {
  const __m256i near = _mm256_add_epi32(_mm256_madd_epi16(rg, _mm256_set1_epi32(p.red_green_j[j])),
                                        _mm256_madd_epi16(b, _mm256_set1_epi32(p.blue_j[j])));
  return _mm256_add_epi32(near, _mm256_set1_epi32(p.rest_j[j]));
}

MOXFLIC_AVX2 void find_all_partners_madd(Record& r) {
  Packed p;
  pack(r, p);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i none = _mm256_set1_epi32(NONE);
  // Sixteen colours i at a time, as two blocks of eight (a and b); each colour j is
  // loaded once for both.
  for (int i = 0; i < COLOURS; i += 2 * LANES) {
    const int ib = i + LANES;
    const __m256i rga = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.red_green + i));
    const __m256i ba = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.blue + i));
    const __m256i rgb = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.red_green + ib));
    const __m256i bb = _mm256_load_si256(reinterpret_cast<const __m256i*>(p.blue + ib));
    __m256i a0 = none, a1 = none, b0 = none, b1 = none;
    // Colours j inside a block: only the lanes below j count.
    for (int j = i + 1; j < ib; ++j) {
      const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(j - i), lane);
      a0 = _mm256_min_epi32(a0, _mm256_blendv_epi8(none, madd_key(rga, ba, p, j), below));
    }
    for (int j = ib; j < ib + LANES; ++j) {
      const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(j - ib), lane);
      a1 = _mm256_min_epi32(a1, madd_key(rga, ba, p, j));
      b1 = _mm256_min_epi32(b1, _mm256_blendv_epi8(none, madd_key(rgb, bb, p, j), below));
    }
    for (int j = ib + LANES; j < COLOURS; j += 2) {
      a0 = _mm256_min_epi32(a0, madd_key(rga, ba, p, j));
      b0 = _mm256_min_epi32(b0, madd_key(rgb, bb, p, j));
      a1 = _mm256_min_epi32(a1, madd_key(rga, ba, p, j + 1));
      b1 = _mm256_min_epi32(b1, madd_key(rgb, bb, p, j + 1));
    }
    finish(r, p, _mm256_min_epi32(a0, a1), i);
    finish(r, p, _mm256_min_epi32(b0, b1), ib);
  }
}

const Kernels vnni_kernels = {load,         find_all_partners_vnni, find_partner,
                              closest_pair, next_referrer,          nearer_below};
const Kernels kernels = {load,         find_all_partners_madd, find_partner,
                         closest_pair, next_referrer,          nearer_below};

#ifdef __SSE2__
// The portable level's searches in SSE2, which every x86-64 processor has: four
// colours at a time. SSE2 has no 32-bit minimum, so each is a compare and a choice.
constexpr int QUAD = 4;

void load_sse2(Record& r, const uint8_t* palette) {
  for (int k = 0; k < COLOURS; ++k) {
    r.red[k] = palette[3 * k];
    r.green[k] = palette[3 * k + 1];
    r.blue[k] = palette[3 * k + 2];
    r.dead[k] = 0;
  }
}

inline __m128i least_sse2(__m128i a, __m128i b) {
  const __m128i a_more = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(a_more, b), _mm_andnot_si128(a_more, a));
}

inline int32_t least_of(__m128i v) {
  v = least_sse2(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = least_sse2(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(v);
}

inline __m128i quad_lanes() { return _mm_setr_epi32(0, 1, 2, 3); }

// As find_partner above, four colours a step.
int32_t find_partner_sse2(const Record& r, int k) {
  const __m128 red = _mm_set1_ps(r.red[k]), green = _mm_set1_ps(r.green[k]), blue = _mm_set1_ps(r.blue[k]);
  const int first = (k + 1) & ~(QUAD - 1);
  if (first >= COLOURS) return NONE;
  __m128i least = _mm_set1_epi32(NONE);
  __m128i out = _mm_and_si128(_mm_cmpgt_epi32(_mm_set1_epi32(k + 1 - first), quad_lanes()), least);
  for (int j = first; j < COLOURS; j += QUAD) {
    const __m128 dr = _mm_sub_ps(_mm_load_ps(r.red + j), red);
    const __m128 dg = _mm_sub_ps(_mm_load_ps(r.green + j), green);
    const __m128 db = _mm_sub_ps(_mm_load_ps(r.blue + j), blue);
    const __m128 d = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
    const __m128i tags = _mm_sub_epi32(_mm_set1_epi32(INDEX_MASK - j), quad_lanes());
    __m128i key = _mm_add_epi32(_mm_slli_epi32(_mm_cvttps_epi32(d), INDEX_BITS), tags);
    key = _mm_or_si128(key, _mm_load_si128(reinterpret_cast<const __m128i*>(r.dead + j)));
    key = _mm_or_si128(key, out);
    out = _mm_setzero_si128();
    least = least_sse2(least, key);
  }
  return least_of(least);
}

// The first search in integers with SSE2's 16-bit dot products, as the VNNI one above
// (the same packing): exact whatever the distance, so no colour is searched again.
// Eight colours i at a time, as two blocks of four (a and b). SSE2's least of two is
// in single precision only: each key less 256 |ci|^2 is raised by BIAS, which makes
// it a positive number between 2^23 and 2^27, and such numbers, read as floats, are
// normal ones (whatever the processor does with denormal ones) in the same order.
constexpr int32_t BIAS = (1 << 26) + (1 << 23);
constexpr int32_t NOTHING = 0x7F000000;  // a float above every raised key

inline __m128i least_raised(__m128i a, __m128i b) {
  return _mm_castps_si128(_mm_min_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b)));
}

void find_all_partners_sse2(Record& r) {
  alignas(16) int32_t red_green[COLOURS], blue[COLOURS], red_green_j[COLOURS], blue_j[COLOURS],
      rest_j[COLOURS], own[COLOURS];
  for (int k = 0; k < COLOURS; ++k) {
    const auto red = static_cast<int32_t>(r.red[k]), green = static_cast<int32_t>(r.green[k]),
               b = static_cast<int32_t>(r.blue[k]);
    const auto pair = [](int32_t low, int32_t high) {
      return static_cast<int32_t>((static_cast<uint32_t>(low) & 0xFFFF) | static_cast<uint32_t>(high) << 16);
    };
    red_green[k] = pair(16 * red, 16 * green);
    blue[k] = 16 * b;
    red_green_j[k] = pair(-32 * red, -32 * green);
    blue_j[k] = pair(-32 * b, 0);
    own[k] = (red * red + green * green + b * b) << INDEX_BITS;
    rest_j[k] = own[k] + INDEX_MASK - k + BIAS;
  }
  // Colour j's side in all four lanes, made once: a load a use instead of two steps.
  struct Side {
    __m128i red_green, blue, rest;
  };
  Side sides[COLOURS];
  for (int k = 0; k < COLOURS; ++k)
    sides[k] = {_mm_set1_epi32(red_green_j[k]), _mm_set1_epi32(blue_j[k]), _mm_set1_epi32(rest_j[k])};
  const auto key = [&](__m128i rg, __m128i b, int j) {
    const Side& side = sides[j];
    return _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(rg, side.red_green), _mm_madd_epi16(b, side.blue)),
                         side.rest);
  };
  const __m128i nothing = _mm_set1_epi32(NOTHING);
  for (int i = 0; i < COLOURS; i += 2 * QUAD) {
    const int ib = i + QUAD;
    const __m128i rga = _mm_load_si128(reinterpret_cast<const __m128i*>(red_green + i));
    const __m128i ba = _mm_load_si128(reinterpret_cast<const __m128i*>(blue + i));
    const __m128i rgb = _mm_load_si128(reinterpret_cast<const __m128i*>(red_green + ib));
    const __m128i bb = _mm_load_si128(reinterpret_cast<const __m128i*>(blue + ib));
    __m128i a0 = nothing, a1 = nothing, b0 = nothing, b1 = nothing;
    // Colours j inside the eight: only the lanes below j count.
    for (int j = i + 1; j < ib + QUAD; ++j) {
      const __m128i below_a = _mm_cmpgt_epi32(_mm_set1_epi32(j - i), quad_lanes());
      a0 = least_raised(
          a0, _mm_or_si128(_mm_and_si128(below_a, key(rga, ba, j)), _mm_andnot_si128(below_a, nothing)));
      if (j > ib) {
        const __m128i below_b = _mm_cmpgt_epi32(_mm_set1_epi32(j - ib), quad_lanes());
        b0 = least_raised(
            b0, _mm_or_si128(_mm_and_si128(below_b, key(rgb, bb, j)), _mm_andnot_si128(below_b, nothing)));
      }
    }
    for (int j = ib + QUAD; j < COLOURS; j += 2) {  // an even number of colours
      a0 = least_raised(a0, key(rga, ba, j));
      b0 = least_raised(b0, key(rgb, bb, j));
      a1 = least_raised(a1, key(rga, ba, j + 1));
      b1 = least_raised(b1, key(rgb, bb, j + 1));
    }
    // A colour's key from the least over j, or NONE where no colour lies above it.
    const auto finish = [&](__m128i least, int from) {
      const __m128i own_less_bias =
          _mm_sub_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(own + from)), _mm_set1_epi32(BIAS));
      const __m128i found = _mm_add_epi32(least, own_less_bias);
      const __m128i missing = _mm_cmpeq_epi32(least, nothing);
      _mm_store_si128(
          reinterpret_cast<__m128i*>(r.partner + from),
          _mm_or_si128(_mm_and_si128(missing, _mm_set1_epi32(NONE)), _mm_andnot_si128(missing, found)));
    };
    finish(least_raised(a0, a1), i);
    finish(least_raised(b0, b1), ib);
  }
}

int32_t closest_pair_sse2(const Record& r) {
  __m128i least = _mm_load_si128(reinterpret_cast<const __m128i*>(r.pair));
  __m128i other = _mm_load_si128(reinterpret_cast<const __m128i*>(r.pair + QUAD));
  for (int k = 2 * QUAD; k < COLOURS; k += 2 * QUAD) {
    least = least_sse2(least, _mm_load_si128(reinterpret_cast<const __m128i*>(r.pair + k)));
    other = least_sse2(other, _mm_load_si128(reinterpret_cast<const __m128i*>(r.pair + k + QUAD)));
  }
  return least_of(least_sse2(least, other));
}

// As next_referrer above, four colours a step.
int next_referrer_sse2(const Record& r, int i, int k) {
  const __m128i wanted = _mm_set1_epi32(INDEX_MASK - i);
  const __m128i low = _mm_set1_epi32(INDEX_MASK);
  for (int base = k & ~(QUAD - 1); base < i; base += QUAD) {
    const __m128i keys = _mm_or_si128(_mm_load_si128(reinterpret_cast<const __m128i*>(r.partner + base)),
                                      _mm_load_si128(reinterpret_cast<const __m128i*>(r.dead + base)));
    const __m128i hit = _mm_cmpeq_epi32(_mm_and_si128(keys, low), wanted);
    uint32_t lanes = static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(hit)));
    lanes &= ~0u << (k > base ? k - base : 0);  // not below k
    if (lanes != 0) {
      const int found = base + __builtin_ctz(lanes);
      return found < i ? found : i;
    }
  }
  return i;
}

// As nearer_below above, four colours a step.
void nearer_below_sse2(Record& r, int j) {
  const __m128 red = _mm_set1_ps(r.red[j]), green = _mm_set1_ps(r.green[j]), blue = _mm_set1_ps(r.blue[j]);
  const __m128i tag = _mm_set1_epi32(INDEX_MASK - j);
  for (int k = 0; k < j; k += QUAD) {
    const __m128 dr = _mm_sub_ps(_mm_load_ps(r.red + k), red);
    const __m128 dg = _mm_sub_ps(_mm_load_ps(r.green + k), green);
    const __m128 db = _mm_sub_ps(_mm_load_ps(r.blue + k), blue);
    const __m128 d = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dr, dr), _mm_mul_ps(dg, dg)), _mm_mul_ps(db, db));
    const __m128i from_j = _mm_cmpgt_epi32(quad_lanes(), _mm_set1_epi32(j - k - 1));
    const __m128i key = _mm_or_si128(_mm_add_epi32(_mm_slli_epi32(_mm_cvttps_epi32(d), INDEX_BITS), tag),
                                     _mm_and_si128(from_j, _mm_set1_epi32(NONE)));
    __m128i* const partner = reinterpret_cast<__m128i*>(r.partner + k);
    _mm_store_si128(partner, least_sse2(_mm_load_si128(partner), key));
  }
}

const Kernels sse2_kernels = {load_sse2,         find_all_partners_sse2, find_partner_sse2,
                              closest_pair_sse2, next_referrer_sse2,     nearer_below_sse2};
#endif

}  // namespace
}  // namespace reduction

const reduction::Kernels* pal_reduction_form(GfxVector level) {
  switch (level) {
    case GfxVector::avx512:
      return &reduction::vnni_kernels;
    case GfxVector::avx2:
      return &reduction::kernels;
    case GfxVector::portable:
      break;
  }
#ifdef __SSE2__
  return &reduction::sse2_kernels;
#else
  return &reduction::portable_kernels;
#endif
}

#else

const reduction::Kernels* pal_reduction_form(GfxVector) { return &reduction::portable_kernels; }

#endif
