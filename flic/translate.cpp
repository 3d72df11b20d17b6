// The colour map translation of long runs and whole rows: 64 pixels a step with the
// AVX-512 byte permutes where the processor has them (a 256-entry table is four
// 64-byte registers, two permutes and a blend on the top bit), else 8 at a time.
#include "flic/decoder.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MOXFLIC_VECTOR_TRANSLATION 1
#endif

namespace {

void translate_portable(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) fdec_translate_block<8>(to + i, values + i, map);
  for (; i < n; ++i) to[i] = map[values[i]];
}

#ifdef MOXFLIC_VECTOR_TRANSLATION
#define MOXFLIC_PERMUTE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct Table {
  __m512i part[4];
};

// The top half of the table is looked up only in the lanes whose value has the top bit
// set, and merged into the bottom half's: measured the faster way to the same bytes.
MOXFLIC_PERMUTE inline __m512i lookup(const Table& t, __m512i v) {
  const __mmask64 top = _mm512_movepi8_mask(v);
  const __m512i low = _mm512_permutex2var_epi8(t.part[0], v, t.part[1]);
  const __m512i high = _mm512_mask_permutex2var_epi8(t.part[2], top, v, t.part[3]);
  return _mm512_mask_mov_epi8(low, top, high);
}

MOXFLIC_PERMUTE void translate_permute(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  Table t;
  for (int k = 0; k < 4; ++k) t.part[k] = _mm512_loadu_si512(map + 64 * k);
  int64_t i = 0;
  for (; i + 64 <= n; i += 64) _mm512_storeu_si512(to + i, lookup(t, _mm512_loadu_si512(values + i)));
  if (i < n) {
    const __mmask64 tail = (uint64_t{1} << (n - i)) - 1;
    _mm512_mask_storeu_epi8(to + i, tail, lookup(t, _mm512_maskz_loadu_epi8(tail, values + i)));
  }
}
#endif

FdTranslateRun best_translation() {
#ifdef MOXFLIC_VECTOR_TRANSLATION
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi"))
    return translate_permute;
#endif
  return translate_portable;
}

}  // namespace

const FdTranslateRun fdec_translate_portable = translate_portable;
const FdTranslateRun fdec_translate_vector =
    best_translation() == translate_portable ? nullptr : best_translation();
FdTranslateRun fdec_translate_run = best_translation();
