// The palette reduction's searches in AVX2 and FMA instructions, eight colours at a
// time, for processors that have them; the choice is made when the program starts.
// They give exactly the keys of the portable searches (reduce_palette.cpp).
#include "palette/reduction.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define MOXFLIC_AVX2 __attribute__((target("avx2,fma")))

namespace reduction {
namespace {

constexpr float SCALE = 16.0f;             // see the first search in reduce_palette.cpp
constexpr float EXACT_KEYS = 16777216.0f;  // 2^24
constexpr float FAR = 1073741824.0f;       // 2^30: above every key
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

// Colours scaled by 16, and 255 - j as a float.
struct Scaled {
  alignas(32) float red[COLOURS];
  alignas(32) float green[COLOURS];
  alignas(32) float blue[COLOURS];
  alignas(32) float tag[COLOURS];
};

// The scaled keys of colours i (eight lanes) against colour j.
MOXFLIC_AVX2 inline __m256 scaled_key(__m256 ri, __m256 gi, __m256 bi, const Scaled& s, int j) {
  const __m256 dr = _mm256_sub_ps(ri, _mm256_broadcast_ss(s.red + j));
  const __m256 dg = _mm256_sub_ps(gi, _mm256_broadcast_ss(s.green + j));
  const __m256 db = _mm256_sub_ps(bi, _mm256_broadcast_ss(s.blue + j));
  return _mm256_fmadd_ps(db, db,
                         _mm256_fmadd_ps(dg, dg, _mm256_fmadd_ps(dr, dr, _mm256_broadcast_ss(s.tag + j))));
}

// The first search: eight colours i at a time against every j above them, in single
// precision on colours scaled by 16, so that a key comes out as 256 * distance +
// 255 - j, exact while it is below 2^24. Each product is added by a fused
// multiply-add, which rounds once: a key below 2^24 is exact whatever the order, and
// one above it cannot round below it. Colours whose least key is not exact are
// searched again in integers.
MOXFLIC_AVX2 void find_all_partners(Record& r) {
  Scaled s;
  float* const red = s.red;
  float* const green = s.green;
  float* const blue = s.blue;
  float* const tag = s.tag;
  alignas(32) float least[COLOURS];
  const __m256 scale = _mm256_set1_ps(SCALE);
  for (int k = 0; k < COLOURS; k += LANES) {
    _mm256_store_ps(red + k, _mm256_mul_ps(_mm256_load_ps(r.red + k), scale));
    _mm256_store_ps(green + k, _mm256_mul_ps(_mm256_load_ps(r.green + k), scale));
    _mm256_store_ps(blue + k, _mm256_mul_ps(_mm256_load_ps(r.blue + k), scale));
    _mm256_store_ps(tag + k, _mm256_cvtepi32_ps(tags_from(k)));
  }
  const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256 far = _mm256_set1_ps(FAR);
  // Sixteen colours i at a time, as two blocks of eight (a and b); each colour j is
  // loaded once for both.
  for (int i = 0; i < COLOURS; i += 2 * LANES) {
    const __m256 ra = _mm256_load_ps(red + i), ga = _mm256_load_ps(green + i), ba = _mm256_load_ps(blue + i);
    const int ib = i + LANES;
    const __m256 rb = _mm256_load_ps(red + ib), gb = _mm256_load_ps(green + ib),
                 bb = _mm256_load_ps(blue + ib);
    __m256 a0 = far, a1 = far, b0 = far, b1 = far;
    // Colours j inside a block: only the lanes below j count.
    for (int j = i + 1; j < ib; ++j) {
      const __m256 below = _mm256_cmp_ps(lane, _mm256_set1_ps(static_cast<float>(j - i)), _CMP_LT_OQ);
      a0 = _mm256_min_ps(a0, _mm256_blendv_ps(far, scaled_key(ra, ga, ba, s, j), below));
    }
    for (int j = ib; j < ib + LANES; ++j) {
      const __m256 below = _mm256_cmp_ps(lane, _mm256_set1_ps(static_cast<float>(j - ib)), _CMP_LT_OQ);
      a1 = _mm256_min_ps(a1, scaled_key(ra, ga, ba, s, j));
      b1 = _mm256_min_ps(b1, _mm256_blendv_ps(far, scaled_key(rb, gb, bb, s, j), below));
    }
    for (int j = ib + LANES; j < COLOURS; j += 2) {  // an even number of colours
      a0 = _mm256_min_ps(a0, scaled_key(ra, ga, ba, s, j));
      b0 = _mm256_min_ps(b0, scaled_key(rb, gb, bb, s, j));
      a1 = _mm256_min_ps(a1, scaled_key(ra, ga, ba, s, j + 1));
      b1 = _mm256_min_ps(b1, scaled_key(rb, gb, bb, s, j + 1));
    }
    _mm256_store_ps(least + i, _mm256_min_ps(a0, a1));
    _mm256_store_ps(least + ib, _mm256_min_ps(b0, b1));
  }
  for (int k = 0; k < COLOURS; ++k)
    r.partner[k] = least[k] < EXACT_KEYS ? static_cast<int32_t>(least[k]) : find_partner(r, k);
}

MOXFLIC_AVX2 int32_t closest_pair(const Record& r) {
  __m256i least = _mm256_load_si256(reinterpret_cast<const __m256i*>(r.pair));
  for (int k = LANES; k < COLOURS; k += LANES)
    least = _mm256_min_epi32(least, _mm256_load_si256(reinterpret_cast<const __m256i*>(r.pair + k)));
  return least_of(least);
}

const Kernels kernels = {find_all_partners, find_partner, closest_pair};

}  // namespace

const Kernels* const avx2_kernels = &kernels;

}  // namespace reduction

const reduction::Kernels* pal_best_reduction_kernels() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return reduction::avx2_kernels;
  return &reduction::portable_kernels;
}

#else

namespace reduction {
const Kernels* const avx2_kernels = nullptr;
}

const reduction::Kernels* pal_best_reduction_kernels() { return &reduction::portable_kernels; }

#endif
