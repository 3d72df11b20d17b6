// The colour-map translation of long runs and whole rows, in a form for each vector
// level (vector_code.h):
// - portable: a byte at a time, the values read eight at a time;
// - avx2: 32 pixels a step with byte shuffles, each of which looks up 16 entries;
// - avx512: 64 pixels a step with the AVX-512 byte permutes (a 256-entry table is four
//   64-byte registers, two permutes and a blend on the top bit).
// And the translation of large frames through the colour map over pairs of pixels
// (decoder.h), which at the portable and avx2 levels is the faster: a 640 x 480 frame
// of the benchmark's pictures took 125 us a byte at a time against 36 us through the
// pair map, and 43 us by byte shuffles against 26 us by gathers from the pair map.
#include <new>

#include "flic/decoder.h"
#include "gfx/gfx.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MOXFLIC_VECTOR_TRANSLATION 1
#endif

namespace {

// The reference: a byte at a time, in blocks of eight.
void translate_plain(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) fdec_translate_block<8>(to + i, values + i, map);
  for (; i < n; ++i) to[i] = map[values[i]];
}

// Eight values read as one word, each looked up and stored on its own: no store is
// read back, as the blocks' gathered words would be.
void translate_portable(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, values + i, 8);
    if constexpr (std::endian::native == std::endian::little) {
      for (int b = 0; b < 8; ++b) to[i + b] = map[(v >> (8 * b)) & 0xFF];
    } else {
      for (int b = 0; b < 8; ++b) to[i + b] = map[(v >> (56 - 8 * b)) & 0xFF];
    }
  }
  for (; i < n; ++i) to[i] = map[values[i]];
}

// Eight values read as one word, looked up two at a time, and stored as one word.
void translate_pairs_portable(uint8_t* to, const uint8_t* values, int64_t n, const FdPairMap& pairs) {
  const uint16_t* const p = pairs.pairs;
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, values + i, 8);
    const uint64_t out = uint64_t{p[v & 0xFFFF]} | uint64_t{p[(v >> 16) & 0xFFFF]} << 16 |
                         uint64_t{p[(v >> 32) & 0xFFFF]} << 32 | uint64_t{p[v >> 48]} << 48;
    std::memcpy(to + i, &out, 8);
  }
  for (; i < n; ++i) to[i] = pairs.made_from[values[i]];
}

#ifdef MOXFLIC_VECTOR_TRANSLATION
#define MOXFLIC_SHUFFLE __attribute__((target("avx2")))

// A byte shuffle looks up 16 entries, and gives 0 where the index has its top bit set.
// Half the table (128 entries) is eight rows of 16: with index v - 16 k for row k,
// the rows up to v's own give their entries and those above give 0, so the rows are
// held as each row xor the one before it, and the eight lookups xor together to v's
// entry. The other half the same with the top bit of v flipped; v's top bit chooses.
struct Rows {
  __m256i step[16];  // the low half's eight rows, then the high half's
};

MOXFLIC_SHUFFLE inline Rows rows_of(const uint8_t* map) {
  Rows t;
  for (int half = 0; half < 2; ++half) {
    __m128i before = _mm_setzero_si128();
    for (int k = 0; k < 8; ++k) {
      const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + 128 * half + 16 * k));
      t.step[8 * half + k] = _mm256_broadcastsi128_si256(_mm_xor_si128(row, before));
      before = row;
    }
  }
  return t;
}

MOXFLIC_SHUFFLE inline __m256i lookup(const Rows& t, __m256i v) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  __m256i low_index = v, high_index = _mm256_xor_si256(v, _mm256_set1_epi8(-128));
  __m256i low = _mm256_shuffle_epi8(t.step[0], low_index);
  __m256i high = _mm256_shuffle_epi8(t.step[8], high_index);
  for (int k = 1; k < 8; ++k) {
    low_index = _mm256_sub_epi8(low_index, sixteen);
    high_index = _mm256_sub_epi8(high_index, sixteen);
    low = _mm256_xor_si256(low, _mm256_shuffle_epi8(t.step[k], low_index));
    high = _mm256_xor_si256(high, _mm256_shuffle_epi8(t.step[8 + k], high_index));
  }
  return _mm256_blendv_epi8(low, high, v);
}

// Fewer than 32 pixels go a byte at a time; otherwise the last 32 are read first, so
// that translating in place cannot read a pixel already translated.
MOXFLIC_SHUFFLE void translate_shuffle(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  if (n < 32) {
    translate_portable(to, values, n, map);
    return;
  }
  const Rows t = rows_of(map);
  const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + n - 32));
  int64_t i = 0;
  for (; i + 32 <= n; i += 32)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                        lookup(t, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i))));
  if (i < n) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + n - 32), lookup(t, last));
}

// The 32 values as 16 words, each widened to 32 bits and gathered (32 bits from the
// word's entry on, of which the low 16 are kept); as translate_shuffle, the last 32
// are read first.
MOXFLIC_SHUFFLE inline __m256i gather_pairs(const int* table, __m256i v) {
  const __m256i low_words = _mm256_set1_epi32(0xFFFF);
  const __m256i first = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v));
  const __m256i second = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1));
  const __m256i a = _mm256_and_si256(_mm256_i32gather_epi32(table, first, 2), low_words);
  const __m256i b = _mm256_and_si256(_mm256_i32gather_epi32(table, second, 2), low_words);
  // The packing goes lane by lane: the quarters come out as a0 b0 a1 b1.
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

MOXFLIC_SHUFFLE void translate_pairs_gather(uint8_t* to, const uint8_t* values, int64_t n,
                                            const FdPairMap& pairs) {
  if (n < 32) {
    translate_pairs_portable(to, values, n, pairs);
    return;
  }
  const int* const table = reinterpret_cast<const int*>(pairs.pairs);
  const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + n - 32));
  int64_t i = 0;
  for (; i + 32 <= n; i += 32)
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(to + i),
        gather_pairs(table, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i))));
  if (i < n) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + n - 32), gather_pairs(table, last));
}

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

}  // namespace

FdTranslateRun fdec_translate_form(GfxVector level) {
#ifdef MOXFLIC_VECTOR_TRANSLATION
  switch (level) {
    case GfxVector::avx512:
      return translate_permute;
    case GfxVector::avx2:
      return translate_shuffle;
    case GfxVector::portable:
      break;
  }
#endif
  (void)level;
  return translate_portable;
}

const FdTranslateRun fdec_translate_plain = translate_plain;
FdTranslateRun fdec_translate_run = fdec_translate_form(gfx_vector());

FdTranslatePairs fdec_translate_pairs_form(GfxVector level) {
  if (level == GfxVector::avx512) return nullptr;
#ifdef MOXFLIC_VECTOR_TRANSLATION
  if (level == GfxVector::avx2) return translate_pairs_gather;
#endif
  return translate_pairs_portable;
}

FdTranslatePairs fdec_translate_pairs = fdec_translate_pairs_form(gfx_vector());

// Each of the 256 rows is the colour map's entries, widened, with one entry in the high
// bytes: a loop the compiler turns into vector code, 64K entries in a few microseconds.
const FdPairMap* fdec_pair_map(const uint8_t* map) {
  GfxContext& context = gfx_context();
  if (context.pair_map == nullptr) {
    context.pair_map = new (std::nothrow) FdPairMap;
    if (context.pair_map == nullptr) return nullptr;
    context.pair_map->made = false;
  }
  FdPairMap& p = *context.pair_map;
  if (p.made && std::memcmp(p.made_from, map, sizeof p.made_from) == 0) return &p;
  std::memcpy(p.made_from, map, sizeof p.made_from);
  uint16_t wide[256];
  for (int a = 0; a < 256; ++a) wide[a] = map[a];
  for (int b = 0; b < 256; ++b) {
    const auto high = static_cast<uint16_t>(map[b] << 8);
    uint16_t* const row = p.pairs + 256 * b;
    for (int a = 0; a < 256; ++a) row[a] = wide[a] | high;
  }
  p.pairs[65536] = p.pairs[65537] = 0;
  p.made = true;
  return &p;
}

void fdec_start_pixels(FlicDecoder& d, uint64_t make_from) {
  d.pairs = nullptr;
  if (fdec_translate_pairs == nullptr || d.survey) return;
  const uint8_t* const map = gfx_state().flic_colour_map;
  const uint64_t pixels =
      static_cast<uint64_t>(std::max(d.width, 0)) * static_cast<uint64_t>(std::max(d.height, 0));
  if (make_from > 0 && pixels >= make_from) {
    d.pairs = fdec_pair_map(map);
    return;
  }
  const FdPairMap* const made = gfx_context().pair_map;
  if (made != nullptr && made->made && std::memcmp(made->made_from, map, sizeof made->made_from) == 0)
    d.pairs = made;
}

void fdec_free_pair_map(FdPairMap* pairs) { delete pairs; }
