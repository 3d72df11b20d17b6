// Chunks that change parts of the previous frame: the byte-oriented line delta (12)
// and the word-oriented line delta (7).
//
// A packet whose bytes all lie in the stream buffer, inside the chunk, is decoded
// straight from there; any other packet goes through the stream reader byte by byte,
// by the same routine (see FdReadyBytes).
#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

constexpr uint32_t FLIC_WORD_KIND_MASK = 0xC000;
constexpr uint32_t FLIC_WORD_SKIP_ROWS = 0xC000;  // the rows to move down, negated
constexpr uint32_t FLIC_WORD_LAST_BYTE = 0x8000;  // the low byte goes into the last column
constexpr int64_t FLIC_WORD_RANGE = 0x10000;
constexpr uint32_t FLIC_LOW_BYTE = 0xFF;
constexpr uint32_t FLIC_PACKET_HEADER = 2;  // column skip and count
constexpr uint32_t FLIC_BYTE_RUN_PACKET = FLIC_PACKET_HEADER + 1;
constexpr uint32_t FLIC_WORD_RUN_PACKET = FLIC_PACKET_HEADER + 2;

// The commonest byte delta packets, one literal pixel or a run of one or four, all
// 3 bytes long at p, taken without a branch on their kind (a run of four stores its
// value four times over, the others into a scrap word, before the first pixel);
// false, with nothing done, for a packet of another shape.
[[gnu::always_inline]] inline bool regular_byte_packet(const FlicLine& line, const uint8_t* p, int64_t& x) {
  const int32_t count = static_cast<int8_t>(p[1]);
  if (!(count == 1 || count == -1 || count == -4) || !fdec_inside(line, x + p[0], 4)) return false;
  uint8_t scrap[4];
  const int64_t at = x + p[0];
  const uint8_t colour = line.map[p[2]];
  const uint32_t four = colour * 0x01010101u;
  uint8_t* to = line.pixels + at;
  std::memcpy(count == -4 ? to : scrap, &four, 4);
  to[0] = colour;
  x = at + (count == -4 ? 4 : 1);
  return true;
}

// The commonest word delta packets, one literal word or a run of one or two words,
// all 4 bytes long at p, taken without a branch on their kind (a run of two also
// stores its word a second time, into the next two columns; the others into a scrap
// word); false, with nothing done, for a packet of another shape.
[[gnu::always_inline]] inline bool regular_word_packet(const FlicLine& line, const uint8_t* p, int64_t& x) {
  const int32_t count = static_cast<int8_t>(p[1]);
  if (!(count == 1 || count == -1 || count == -2) || !fdec_inside(line, x + p[0], 4)) return false;
  uint8_t scrap[2];
  const int64_t at = x + p[0];
  const uint8_t a = line.map[p[2]], b = line.map[p[3]];
  uint8_t* to = line.pixels + at;
  to[0] = a;
  to[1] = b;
  uint8_t* again = count == -2 ? to + 2 : scrap;
  again[0] = a;
  again[1] = b;
  x = at + (count == -2 ? 4 : 2);
  return true;
}

// One packet of the byte delta: a column skip and a count, then count literal pixels
// for a count of 0 or more, else one pixel repeated -count times. Counts the packets
// of the regular shapes, taken from ready bytes, in regular.
template <class In>
[[gnu::always_inline]] inline uint32_t byte_delta_packet(In in, const FlicLine& line, int64_t& x,
                                                         uint32_t& regular) {
  if (!in.holds(FLIC_BYTE_RUN_PACKET)) return 0;
  if constexpr (!In::checked) {
    if (regular_byte_packet(line, in.p, x)) {
      ++regular;
      return FLIC_BYTE_RUN_PACKET;
    }
  }
  const int64_t at = x + in.next();
  const int32_t count = static_cast<int8_t>(in.next());
  // The regular shapes the routine above leaves: longer runs, and packets near the row's end.
  if constexpr (!In::checked) regular += FDEC_REGULAR_SHAPES<1>.pixels[static_cast<uint8_t>(count)] != 0;
  if (count >= 0) {
    if (!in.holds(FLIC_PACKET_HEADER + static_cast<uint32_t>(count))) return 0;
    in.put(line, at, static_cast<uint32_t>(count), count);
    x = at + count;
  } else {
    const uint8_t value = in.next();
    if (in.ok()) fdec_fill(line, at, value, -count);
    x = at - count;
  }
  return in.taken();
}

// One packet of the word delta: a column skip and a count, then count literal words,
// or one word repeated -count times. Counts the packets of the regular shapes, taken
// from ready bytes, in regular.
template <class In>
[[gnu::always_inline]] inline uint32_t word_delta_packet(In in, const FlicLine& line, int64_t& x,
                                                         uint32_t& regular) {
  if (!in.holds(FLIC_WORD_RUN_PACKET)) return 0;
  if constexpr (!In::checked) {
    if (regular_word_packet(line, in.p, x)) {
      ++regular;
      return FLIC_WORD_RUN_PACKET;
    }
  }
  const int64_t at = x + in.next();
  const int32_t count = static_cast<int8_t>(in.next());
  // The regular shapes the routine above leaves: longer runs, and packets near the row's end.
  if constexpr (!In::checked) regular += FDEC_REGULAR_SHAPES<2>.pixels[static_cast<uint8_t>(count)] != 0;
  if (count >= 0) {
    if (!in.holds(FLIC_PACKET_HEADER + 2 * static_cast<uint32_t>(count))) return 0;
    in.put(line, at, 2 * static_cast<uint32_t>(count), 2 * count);
    x = at + 2 * count;
  } else {
    const uint8_t low = in.next();
    const uint8_t high = in.next();
    if (in.ok()) fdec_fill_pairs(line, at, low, high, -count);
    x = at + 2 * -count;
  }
  return in.taken();
}

// n pixels (1 to 32, a whole number of units) from to on, each unit of them the low
// unit bytes of pattern, which holds them over and over: two stores that overlap,
// as wide as n allows, so that nothing past the n pixels is written. The branches
// follow the packets' lengths, which in a row that comes here mostly repeat.
template <int unit>
[[gnu::always_inline]] inline void fill_regular(uint8_t* to, int64_t n, uint64_t pattern) {
  if (n <= 4) {
    if constexpr (unit == 1) {  // 1 to 4 pixels, branchless
      const auto colour = static_cast<uint8_t>(pattern);
      to[0] = colour;
      to[n - 1] = colour;
      to[n >> 1] = colour;
      to[(n - 1) >> 1] = colour;
    } else {  // one word or two
      const auto word = static_cast<uint16_t>(pattern);
      std::memcpy(to, &word, 2);
      std::memcpy(to + n - 2, &word, 2);
    }
  } else if (n <= 8) {
    const auto four = static_cast<uint32_t>(pattern);
    std::memcpy(to, &four, 4);
    std::memcpy(to + n - 4, &four, 4);
  } else if (n <= 16) {
    std::memcpy(to, &pattern, 8);
    std::memcpy(to + n - 8, &pattern, 8);
  } else {
    std::memcpy(to, &pattern, 8);
    std::memcpy(to + 8, &pattern, 8);
    std::memcpy(to + n - 16, &pattern, 8);
    std::memcpy(to + n - 8, &pattern, 8);
  }
}

// The regular packets that come one after another in the ready bytes, up to most, as
// fdec_byte_delta_packets does (decoder.h), in a loop of their own that keeps its
// state in registers: every packet here is as long as the last, so the next one's
// place never waits on this one, and the branches on a packet's shape and length are
// guessed right while the packets stay alike.
template <int unit>
uint32_t regular_packets(const FlicLine& line, const uint8_t*, FlicReady& r, int64_t& x_io, uint32_t most,
                         uint32_t& regular_io) {
  constexpr uint32_t SIZE = FLIC_PACKET_HEADER + unit;
  uint8_t* const pixels = line.pixels;
  const uint8_t* const map = line.map;
  if (pixels == nullptr || line.width < FDEC_REGULAR_RUN_MOST) return 0;
  const uint64_t width = static_cast<uint64_t>(line.width);
  const uint8_t* p = r.pos;
  uint32_t left = r.left;
  int64_t x = x_io;
  uint32_t done = 0;
  while (done < most && left >= SIZE) {
    const int64_t n = FDEC_REGULAR_SHAPES<unit>.pixels[p[1]];
    const int64_t at = x + p[0];
    // A column left of the row's start wraps round to above it.
    if ((n == 0) | (static_cast<uint64_t>(at) > width - static_cast<uint64_t>(n))) break;
    uint64_t pattern;
    if constexpr (unit == 1)
      pattern = map[p[2]] * 0x0101010101010101u;
    else
      pattern = (uint64_t{map[p[2]]} | uint64_t{map[p[3]]} << 8) * 0x0001000100010001u;
    fill_regular<unit>(pixels + at, n, pattern);
    x = at + n;
    p += SIZE;
    left -= SIZE;
    ++done;
  }
  regular_io += done;
  r.pos = p;
  r.left = left;
  x_io = x;
  return done;
}

// Whether a delta row is irregular: not for the loop of regular packets. That loop
// branches on a packet's shape and length and runs ahead on the processor's guesses,
// the faster while the packets come alike; the vector decoder goes through packets
// without such branches. So where there is a vector decoder, the loop takes a row
// when seven in eight of the last row's packets were regular (at half, the mixed
// packets of the colour-cycling sample went 13% slower at avx2 and 30% at avx512);
// else when half of them were, which beats the portable routine alone.
bool irregular_row(const FlicDecoder& d, bool vector) {
  return vector ? 8 * d.pattern.regular < 7 * d.pattern.packets : 2 * d.pattern.regular < d.pattern.packets;
}

// The copy of the row for the vector forms that ask for one, one a thread (threads
// decode at once): a copy on the stack made every delta row's frame larger (a few per
// cent slower where no copy is taken).
alignas(32) thread_local uint8_t row_copy[FDEC_ROW_COPY_MOST];

// The ready packets of a row: as many as the fast decoder (the vector one, or the
// loop of regular packets) takes, then one by the portable routine, and so on.
// Counts those the portable routine took in left.
template <uint32_t (*ready_packet)(FdReadyBytes, const FlicLine&, int64_t&, uint32_t&), class Fast>
[[gnu::always_inline]] inline void ready_packets(FlicStream& s, const FlicLine& line, const uint8_t* before,
                                                 int64_t& x, uint32_t& p, uint32_t packets, uint32_t& regular,
                                                 uint32_t& left, Fast fast) {
  // Apart from the caller's loop, so that the reader and column stay in registers.
  FlicReady r = fs_take_ready(s);
  int64_t column = x;
  uint32_t counted = regular;
  for (;;) {
    p += fast(line, before, r, column, packets - p, counted);
    if (p == packets || !fs_took(r, ready_packet(FdReadyBytes(r), line, column, counted))) break;
    ++p;
    ++left;
  }
  fs_give_back(s, r);
  x = column;
  regular = counted;
}

// The packets of one row: as many as lie wholly in the ready bytes are taken from
// there (by the vector decoder or the loop of regular packets where one takes the row,
// and the portable routine between), the next through the stream reader, and so on.
template <int unit, uint32_t (*ready_packet)(FdReadyBytes, const FlicLine&, int64_t&, uint32_t&),
          uint32_t (*stream_packet)(FdStreamBytes, const FlicLine&, int64_t&, uint32_t&)>
void decode_line(FlicDecoder& d, uint32_t packets, FdDeltaPackets vector) {
  FlicStream& s = d.s;
  // Field by field: fdec_set_row has just stored them one by one, which a copy of the
  // whole in two 16-byte loads waited on (3% of the word delta benchmark file).
  const FlicLine line{d.line.pixels, d.line.width, d.line.map, d.line.pairs};
  // A row like the last, mostly of regular packets, goes to the loop of regular
  // packets; another to the vector decoder where the level has one, else to the
  // portable routine alone (the loop would stop at once on most packets). And to the
  // portable routine alone too while the vector decoder left more than a quarter of
  // the packets of the last row it took to the portable routine (long literals, as
  // scrolling makes, cost it a stop and a start each); the count halves with each
  // row it does not take, so that it tries again.
  const bool irregular = irregular_row(d, vector != nullptr);
  if (!irregular || packets == 0) vector = nullptr;
  if (vector != nullptr && 4 * d.pattern.vector_left > d.pattern.vector_packets) {
    vector = nullptr;
    d.pattern.vector_left -= (d.pattern.vector_left + 7) / 8;
  }
  const uint8_t* before = nullptr;
  if (vector != nullptr && line.pixels != nullptr && fdec_delta_row_copy) {
    if (line.width > FDEC_ROW_COPY_MOST) {
      vector = nullptr;
    } else {
      std::memcpy(row_copy, line.pixels, static_cast<size_t>(line.width));
      before = row_copy;
    }
  }
  int64_t x = d.origin_x;
  uint32_t p = 0, regular = 0, left = 0;
  while (p < packets && !fs_stopped(s)) {
    if (line.pixels == nullptr || (irregular && vector == nullptr)) {
      FlicReady r = fs_take_ready(s);
      while (p < packets && fs_took(r, ready_packet(FdReadyBytes(r), line, x, regular))) ++p;
      fs_give_back(s, r);
    } else if (vector != nullptr) {
      ready_packets<ready_packet>(s, line, before, x, p, packets, regular, left, vector);
    } else {
      ready_packets<ready_packet>(s, line, before, x, p, packets, regular, left, regular_packets<unit>);
    }
    if (p == packets) break;
    uint32_t not_counted = 0;
    stream_packet(FdStreamBytes{d}, line, x, not_counted);
    ++p;
  }
  if (p > 0) {
    d.pattern.regular = regular;
    d.pattern.packets = p;
  }
  if (vector != nullptr) {
    d.pattern.vector_packets = p;
    d.pattern.vector_left = left;
  }
}

}  // namespace

// First line to change, the number of lines, then per line a packet count and packets.
void flic_byte_delta_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  fdec_start_pixels(d, 0);
  fdec_set_row(d, d.origin_y + fs_word(s));
  const uint32_t lines = fs_word(s);
  for (uint32_t line = 0; line < lines && !fs_stopped(s); ++line, fdec_set_row(d, d.row + 1))
    decode_line<1, byte_delta_packet<FdReadyBytes>, byte_delta_packet<FdStreamBytes>>(
        d, fs_byte(s), fdec_byte_delta_packets);
}

// The number of lines with packets, then per line: skip-rows and last-byte words as
// they come, a packet count, and the packets.
void flic_word_delta_chunk(FlicDecoder& d) {
  FlicStream& s = d.s;
  fdec_start_pixels(d, 0);
  fdec_set_row(d, d.origin_y);
  const uint32_t lines = fs_word(s);
  uint32_t done = 0;
  while (done < lines && !fs_stopped(s)) {
    const uint32_t word = fs_word(s);
    if (fs_stopped(s)) return;
    if ((word & FLIC_WORD_KIND_MASK) == FLIC_WORD_SKIP_ROWS) {
      fdec_set_row(d, d.row + (FLIC_WORD_RANGE - word));
      continue;
    }
    if ((word & FLIC_WORD_KIND_MASK) == FLIC_WORD_LAST_BYTE) {
      fdec_fill(d.line, d.origin_x + d.width - 1, static_cast<uint8_t>(word & FLIC_LOW_BYTE), 1);
      continue;
    }
    decode_line<2, word_delta_packet<FdReadyBytes>, word_delta_packet<FdStreamBytes>>(
        d, word, fdec_word_delta_packets);
    fdec_set_row(d, d.row + 1);
    ++done;
  }
}
