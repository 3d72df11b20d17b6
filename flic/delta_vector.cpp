// The packets of the byte and word line deltas in AVX-512 instructions (the avx512
// level's form; the other levels have none), one packet a
// step without a branch on its kind: the packet's literal bytes (or its one value or
// word) are loaded under a mask, translated through the colour map by byte permutes,
// spread over the run for a run packet, and stored under a mask of the packet's
// length. Packets longer than 64 pixels, packets cut by the buffer's edge and packets
// not wholly in the ready bytes are left to the portable decoders (delta_chunks.cpp),
// which also choose the rows that come here.
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
MOXFLIC_DELTA_TARGET uint32_t delta_packets(const FlicLine& line, FlicReady& r, int64_t& x_io, uint32_t most,
                                            uint32_t& regular_io) {
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
    regular += (count == 1) | (count == -1) | (count == -4 / unit);
    ++done;
  }
  regular_io += regular;
  r.pos = pos;
  r.left = left;
  x_io = x;
  return done;
}

#endif

}  // namespace

FdDeltaPackets fdec_byte_delta_form(GfxVector level) {
#ifdef MOXFLIC_VECTOR_DELTAS
  if (level == GfxVector::avx512) return delta_packets<1>;
#endif
  (void)level;
  return nullptr;
}

FdDeltaPackets fdec_word_delta_form(GfxVector level) {
#ifdef MOXFLIC_VECTOR_DELTAS
  if (level == GfxVector::avx512) return delta_packets<2>;
#endif
  (void)level;
  return nullptr;
}

FdDeltaPackets fdec_byte_delta_packets = fdec_byte_delta_form(gfx_vector());
FdDeltaPackets fdec_word_delta_packets = fdec_word_delta_form(gfx_vector());
