// The packets of the byte and word line deltas one packet a step, without a branch on
// its kind, in a form for each vector level (vector_code.h). Packets too long for a
// step, packets cut by the buffer's edge and packets not wholly in the ready bytes are
// left to the portable decoders (delta_chunks.cpp), which also choose the rows that
// come here.
// - avx512: the packet's literal bytes (or its one value or word) are loaded under a
//   mask, translated through the colour map by byte permutes, spread over the run for
//   a run packet, and stored under a mask of the packet's length; up to 64 pixels.
// - avx2: with no byte-masked store, a step stores 32 bytes from the packet's first
//   column: the packet's pixels, then the row's own pixels from a copy of the row
//   taken before its packets (the columns after a packet are not yet changed, as
//   packets go from left to right). The values are looked up one by one: four, or
//   eight for a longer literal; so runs of up to 32 pixels (longer ones are stored
//   32 pixels at a time) and literals of up to eight. It pays where the packets'
//   kinds and lengths are all but random (7% on the colour-cycling sample, 10% on
//   the dance sample); rows of packets alike go to the loop of regular packets.
// - portable: none. The same steps in SSE2, 16 bytes wide, measured slower than the
//   portable decoders, which guess the packets' kinds and lengths by branches.
#include "flic/decoder.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MOXFLIC_VECTOR_DELTAS 1
#endif

namespace {

#ifdef MOXFLIC_VECTOR_DELTAS
#define MOXFLIC_DELTA_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))

constexpr int LANES = 64;

MOXFLIC_DELTA_TARGET inline __m512i lanes() {
  alignas(64) static const uint8_t k[LANES] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return _mm512_load_si512(k);
}

// Bytes per pixel unit of a packet's count: 1 for the byte delta, 2 for the word delta.
// The choices between a literal and a run are made with masks and arithmetic, not
// branches: which kind comes next is all but random.
template <int unit>
MOXFLIC_DELTA_TARGET uint32_t delta_packets(const FlicLine& line, const uint8_t*, FlicReady& r, int64_t& x_io,
                                            uint32_t most, uint32_t& regular_io) {
  uint8_t* const pixels = line.pixels;
  if (pixels == nullptr) return 0;
  const __m512i map0 = _mm512_loadu_si512(line.map), map1 = _mm512_loadu_si512(line.map + LANES);
  const __m512i map2 = _mm512_loadu_si512(line.map + 2 * LANES),
                map3 = _mm512_loadu_si512(line.map + 3 * LANES);
  const __m512i literal_order = lanes();
  // A run's lanes all take its value (byte delta) or its word's two bytes in turn.
  const __m512i run_order = _mm512_and_si512(literal_order, _mm512_set1_epi8(unit - 1));
  const uint64_t run_load = unit == 1 ? 0x1 : 0x3;
  const uint8_t* pos = r.pos;
  uint32_t left = r.left;
  int64_t x = x_io;
  const int64_t width = line.width;
  uint32_t done = 0, regular = 0;
  while (done < most && left >= 2) {
    const int32_t count = static_cast<int8_t>(pos[1]);
    const int32_t sign = count >> 31;  // 0 for a literal, -1 for a run
    const uint32_t n = static_cast<uint32_t>(unit * ((count ^ sign) - sign));
    // The next packet's place hangs on this: 2 + unit * count for a literal, corrected
    // to 2 + unit for a run in as few steps as there can be.
    const int32_t literal_size = 2 + unit * count;
    const uint32_t size = static_cast<uint32_t>(literal_size + ((2 + unit - literal_size) & sign));
    const int64_t at = x + pos[0];
    if (size > left || n > LANES || at < 0 || at > width - n) break;
    const uint64_t run = static_cast<uint64_t>(static_cast<int64_t>(sign));
    const uint64_t store = _bzhi_u64(~uint64_t{0}, n);
    const uint64_t load = store ^ ((store ^ run_load) & run);
    const __m512i v = _mm512_maskz_loadu_epi8(load, pos + 2);
    const __mmask64 top = _mm512_movepi8_mask(v);  // as in translate.cpp
    const __m512i low = _mm512_permutex2var_epi8(map0, v, map1);
    const __m512i high = _mm512_mask_permutex2var_epi8(map2, top, v, map3);
    const __m512i values = _mm512_mask_mov_epi8(low, top, high);
    const __m512i order = _mm512_mask_blend_epi8(run, literal_order, run_order);
    _mm512_mask_storeu_epi8(pixels + at, store, _mm512_permutex2var_epi8(values, order, values));
    x = at + n;
    pos += size;
    left -= size;
    regular += FDEC_REGULAR_SHAPES<unit>.pixels[static_cast<uint8_t>(count)] != 0;
    ++done;
  }
  regular_io += regular;
  r.pos = pos;
  r.left = left;
  x_io = x;
  return done;
}

// --- Whole-vector stores over a copy of the row (avx2 and portable) ---------------

// 32 lanes on, then 32 off: from 32 - n on, the mask of a packet of n pixels.
alignas(64) constexpr uint8_t FIRST_LANES[64] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};

constexpr uint32_t LOOKED_UP = 8;  // values a step looks up after the header

// The byte orders that make a step's vector from its looked-up values (held in both
// halves): a literal's values in turn, and a run's value (or word) over and over.
template <int unit>
struct StepOrders {
  alignas(32) uint8_t order[64] = {};  // the literal's 32 lanes, then the run's
  constexpr StepOrders() {
    for (int k = 0; k < 32; ++k) {
      order[k] = static_cast<uint8_t>(k % 16 < 8 ? k % 16 : 0);
      order[32 + k] = static_cast<uint8_t>(k % unit);
    }
  }
};
template <int unit>
constexpr StepOrders<unit> STEP_ORDERS{};

#define MOXFLIC_AVX2_DELTA_TARGET __attribute__((target("avx2,bmi2")))

// The place of the packet after this one: after_run for a negative count, else
// after_literal. Each step waits on it, so it is chosen by a conditional move, two
// steps after the count is read against four by masks (10% on the delta benchmark
// files; the avx512 form, bound by its permutes, gained nothing from it). The compiler
// makes a branch of any conditional here, guessed wrong as often as not.
inline const uint8_t* run_or_literal(int64_t count, const uint8_t* after_run, const uint8_t* after_literal) {
  asm("test %[count], %[count]\n\tcmovs %[run], %[next]"
      : [next] "+r"(after_literal)
      : [count] "r"(count), [run] "r"(after_run)
      : "cc");
  return after_literal;
}

// A run of n pixels, more than 32, of the value low (unit 1) or the word low, high.
template <int unit>
MOXFLIC_AVX2_DELTA_TARGET inline void long_run(uint8_t* to, int64_t n, uint8_t low, uint8_t high) {
  constexpr int64_t STEP = 32;
  const __m256i value = unit == 1 ? _mm256_set1_epi8(static_cast<char>(low))
                                  : _mm256_set1_epi16(static_cast<int16_t>(low | high << 8));
  for (int64_t k = 0; k < n - STEP; k += STEP) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k), value);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + n - STEP), value);  // n - STEP is whole units
}

// The avx2 form: as delta_packets above, without a branch on a packet's kind (the
// compiler's choices checked: a conditional on the kind here became a branch, guessed
// wrong as often as the portable decoders' are). A step looks up four values from the
// packet's third byte on, or eight for a literal of more than four pixels; a run of
// up to 32 pixels or a literal of up to eight. Kept to the values the loop needs, so
// that they stay in registers: the ready bytes' end rather than their count, and the
// regular shapes counted from a table (with the count and tests by hand the compiler
// had kept the row's old pixels and the counts on the stack: 5% slower on the word
// delta benchmark file).
template <int unit>
MOXFLIC_AVX2_DELTA_TARGET uint32_t avx2_packets(const FlicLine& line, const uint8_t* before, FlicReady& r,
                                                int64_t& x_io, uint32_t most, uint32_t& regular_io) {
  constexpr int64_t STEP = 32;
  uint8_t* const pixels = line.pixels;
  if (pixels == nullptr || before == nullptr || line.width < STEP) return 0;
  const uint8_t* const map = line.map;
  // The last column a vector may start at; a column left of the row's start wraps
  // round to above it.
  const auto last = static_cast<uint64_t>(line.width - STEP);
  const uint8_t* pos = r.pos;
  const uint8_t* const end = r.pos + r.left;
  int64_t x = x_io;
  uint32_t to_do = most, regular = 0;
  while (to_do > 0 && end - pos >= 2 + static_cast<int64_t>(LOOKED_UP)) {
    const int64_t count = static_cast<int8_t>(pos[1]);
    const int64_t sign = count >> 63;  // 0 for a literal, -1 for a run
    const int64_t n = unit * ((count ^ sign) - sign);
    const uint8_t* const next = run_or_literal(count, pos + 2 + unit, pos + 2 + unit * count);
    const int64_t most_pixels = LOOKED_UP + ((STEP - static_cast<int64_t>(LOOKED_UP)) & sign);
    const int64_t at = x + pos[0];
    if ((n > most_pixels) | (next - pos > end - pos) | (static_cast<uint64_t>(at) > last)) [[unlikely]] {
      // A run longer than a step, wholly inside the row, is stored here a step at a
      // time, the last store overlapping the one before: a stop and a start of this
      // loop for it cost more (10% on the colour-cycling sample, 16% on the dance).
      if ((sign == 0) | (n <= STEP) | (next - pos > end - pos) | (at < 0) || n > line.width - at) break;
      long_run<unit>(pixels + at, n, map[pos[2]], map[pos[3]]);
      x = at + n;
      pos = next;
      --to_do;
      continue;
    }
    // The word delta's commonest packets, runs and one-word literals, need only two
    // values (3% on the word delta benchmark files); the byte delta's literals of two
    // to four pixels come too often for a branch on them (5% slower on the
    // colour-cycling sample).
    uint64_t values = uint32_t{map[pos[2]]} | uint32_t{map[pos[3]]} << 8;
    if (unit == 1 || unit * count > 2) values |= uint32_t{map[pos[4]]} << 16 | uint32_t{map[pos[5]]} << 24;
    if (unit * count > 4)  // a literal longer than four pixels
      values |= uint64_t{uint32_t{map[pos[6]]} | uint32_t{map[pos[7]]} << 8 | uint32_t{map[pos[8]]} << 16 |
                         uint32_t{map[pos[9]]} << 24}
                << 32;
    const __m256i order =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(STEP_ORDERS<unit>.order + (sign & STEP)));
    const __m256i chosen = _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<int64_t>(values)), order);
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(before + at));
    const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(FIRST_LANES + STEP - n));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + at), _mm256_blendv_epi8(old, chosen, mask));
    regular += FDEC_REGULAR_SHAPES<unit>.pixels[pos[1]] != 0;
    x = at + n;
    pos = next;
    --to_do;
  }
  regular_io += regular;
  r.pos = pos;
  r.left = static_cast<uint32_t>(end - pos);
  x_io = x;
  return most - to_do;
}

#endif

}  // namespace

FdDeltaPackets fdec_byte_delta_form(GfxVector level) {
#ifdef MOXFLIC_VECTOR_DELTAS
  switch (level) {
    case GfxVector::avx512:
      return delta_packets<1>;
    case GfxVector::avx2:
      return avx2_packets<1>;
    case GfxVector::portable:
      break;
  }
#endif
  (void)level;
  return nullptr;
}

FdDeltaPackets fdec_word_delta_form(GfxVector level) {
#ifdef MOXFLIC_VECTOR_DELTAS
  switch (level) {
    case GfxVector::avx512:
      return delta_packets<2>;
    case GfxVector::avx2:
      return avx2_packets<2>;
    case GfxVector::portable:
      break;
  }
#endif
  (void)level;
  return nullptr;
}

bool fdec_delta_copies_row(GfxVector level) { return level == GfxVector::avx2; }

FdDeltaPackets fdec_byte_delta_packets = fdec_byte_delta_form(gfx_vector());
FdDeltaPackets fdec_word_delta_packets = fdec_word_delta_form(gfx_vector());
bool fdec_delta_row_copy = fdec_delta_copies_row(gfx_vector());
