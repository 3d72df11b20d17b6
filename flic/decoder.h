// The frame decoder's working state and the operations its chunk decoders share:
// one bounded stream reader over the library's stream buffer, and the row writer
// that puts decoded pixels into the active buffer through the FLIC colour map.
// Internal to FLIC playback.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "gfx/vector_code.h"

// Record and chunk layout.
constexpr uint32_t FLIC_RECORD_RESERVED = 8;  // ignored bytes at the end of a frame header

// A limit that never runs out (record headers are read outside any chunk).
constexpr uint64_t FLIC_NO_LIMIT = UINT64_MAX;

// The stream reader. Every fetch goes through it: it refills the stream buffer from
// the file (not in memory mode), stops at the end of the data, and refuses to go
// past the current limit (the bytes left in the chunk being decoded). A fetch that
// cannot be served returns 0, consumes nothing and sets end_of_data or overrun;
// every later fetch then returns 0 at once.
struct FlicBulk;
struct FlicStream {
  const uint8_t* pos;  // next unread byte in the stream buffer (or in the bulk buffer)
  uint32_t left;       // bytes there not yet read
  uint64_t limit;      // bytes the current chunk may still give
  uint64_t fetched;    // bytes read from the file so far (0 in memory mode)
  uint64_t refills;    // times the buffers were filled or emptied by a move
  int32_t fd;          // the file being read (unused in memory mode)
  FlicBulk* bulk;      // where a chunk's bulk is read (see fs_start_file); may be null
  bool memory;         // the stream buffer holds all the data there is
  bool end_of_data;    // a fetch found the data at its end
  bool overrun;        // a fetch wanted more than the chunk holds
};

// The current row as the row writer needs it. The packet decoders keep a copy in a
// local while they work on a row, so that the pixels they store cannot be taken to
// change it.
struct FdPairMap;
struct FlicLine {
  uint8_t* pixels;         // the row's column 0 in the buffer; null while the row lies outside it
  int64_t width;           // the active buffer's width
  const uint8_t* map;      // the FLIC colour map
  const FdPairMap* pairs;  // the same over pairs, for long runs; null where there is none (rows.cpp)
};

// The regular shapes of delta packets: one pixel or word, or a run of up to 32
// pixels; all as long as their header and one unit (1 byte for the byte delta, 2 for
// the word delta), so that a loop over them finds each next packet without waiting
// on the one before. By the packet's count byte, its pixels; 0 for other shapes.
constexpr int FDEC_REGULAR_RUN_MOST = 32;
template <int unit>
struct FdRegularShapes {
  uint8_t pixels[256] = {};
  constexpr FdRegularShapes() {
    pixels[1] = unit;
    for (int run = 1; run * unit <= FDEC_REGULAR_RUN_MOST; ++run)
      pixels[256 - run] = static_cast<uint8_t>(run * unit);
  }
};
template <int unit>
constexpr FdRegularShapes<unit> FDEC_REGULAR_SHAPES{};

// How regular the packets of a delta row are: its packets, and those of the regular
// shapes.
// And of the last row the vector decoder took, its packets and those it left to the
// portable routine (too long for it, or cut by the buffer's edge).
struct FdPattern {
  uint32_t packets;
  uint32_t regular;
  uint32_t vector_packets;
  uint32_t vector_left;
};

// The working state of one flic_play call.
struct FlicDecoder {
  FlicStream s;
  int64_t origin_x;  // where the frame's top-left pixel goes in the buffer
  int64_t origin_y;
  int32_t width;  // the frame's size, from the context
  int32_t height;
  int64_t row;             // the current row of the buffer
  FlicLine line;           // the same row, for the row writer (set by fdec_set_row)
  uint32_t flags;          // the flags of the flic_play call
  bool survey;             // GFX_FLAG_SURVEY: nothing is drawn and the colours are left alone
  FdPattern pattern;       // of the last delta row with packets (delta_chunks.cpp)
  FlicReport* report;      // the context's report
  uint32_t* tally;         // the context's chunk tally (may be null)
  FlicPlace at;            // the record and chunk being decoded
  const FdPairMap* pairs;  // for line.pairs: set by each pixel chunk (fdec_start_pixels)
};

// Records the first damage the file shows, at the chunk being decoded.
inline void fdec_damage(FlicDecoder& d, FlicDamage damage, uint64_t amount = 0) {
  if (d.report->damage != FlicDamage::none) return;
  d.report->damage = damage;
  d.report->damaged = d.at;
  d.report->damaged.amount = amount;
}

// --- Stream reader (stream.cpp) -------------------------------------------------
// A chunk whose bytes, to the end of its frame record, are more than the stream
// buffer holds is read on with larger reads, into a buffer of its own held for one
// flic_play call: up to FS_BULK_MOST bytes a read, never past the frame record, so
// that the file position the call leaves is as with the stream buffer alone.
constexpr uint32_t FS_BULK_MOST = 1u << 20;
struct FlicBulk {
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  FlicBulk() = default;
  FlicBulk(const FlicBulk&) = delete;
  FlicBulk& operator=(const FlicBulk&) = delete;
  ~FlicBulk() { delete[] bytes; }
};
// Starts reading a file at its current position, with an empty stream buffer; bulk
// (if not null) serves the larger reads.
void fs_start_file(FlicStream& s, int32_t fd, FlicBulk* bulk);
// Starts reading the stream buffer's first size bytes from offset on.
void fs_start_memory(FlicStream& s, uint32_t offset, uint32_t size);
// True once a fetch has failed (end of data or chunk overrun).
inline bool fs_stopped(const FlicStream& s) { return s.end_of_data || s.overrun; }
// Makes bytes available for the next fetch: refills an empty stream buffer, or
// records why no byte comes and returns false.
bool fs_ensure(FlicStream& s);
// The slow path of fs_byte: refill, or report why no byte comes.
uint32_t fs_byte_refill(FlicStream& s);
// The next byte, 0 to 255 (0 when none can be fetched).
inline uint32_t fs_byte(FlicStream& s) {
  if (s.left == 0 || s.limit == 0) [[unlikely]]
    return fs_byte_refill(s);
  --s.left;
  --s.limit;
  return *s.pos++;
}
// The next 16-bit word, low byte first.
inline uint32_t fs_word(FlicStream& s) {
  const uint32_t low = fs_byte(s);
  return low | (fs_byte(s) << 8);
}
// The next 32-bit number, low word first.
inline uint32_t fs_long(FlicStream& s) {
  const uint32_t low = fs_word(s);
  return low | (fs_word(s) << 16);
}
// Bytes that can be taken straight from the stream buffer: neither a refill nor the
// chunk's limit lies before them (0 once a fetch has failed).
inline uint32_t fs_ready(const FlicStream& s) {
  if (fs_stopped(s)) return 0;
  return s.limit < s.left ? static_cast<uint32_t>(s.limit) : s.left;
}
// Passes over n bytes of the fs_ready ones.
inline void fs_advance(FlicStream& s, uint32_t n) {
  s.pos += n;
  s.left -= n;
  s.limit -= n;
}
// The bytes that fs_ready gives, read by a packet decoder from a local copy.
struct FlicReady {
  const uint8_t* pos;
  uint32_t left;
};
inline FlicReady fs_take_ready(const FlicStream& s) { return {s.pos, fs_ready(s)}; }
// Passes over the bytes of r that were used.
inline void fs_give_back(FlicStream& s, const FlicReady& r) {
  fs_advance(s, static_cast<uint32_t>(r.pos - s.pos));
}
// Passes over n bytes; returns those it could not pass over (the data ended first).
uint64_t fs_skip(FlicStream& s, uint64_t n);
// Where the reader stands, to come back to with fs_restore: the whole reader as it
// was, flags and limit included.
struct FlicMark {
  FlicStream at;
};
inline FlicMark fs_mark(const FlicStream& s) { return {s}; }
// Puts the reader back where the mark was taken, earlier or later in the data: from
// the stream buffer when no refill came between, else by moving the file position
// (a file that cannot be repositioned ends the data).
void fs_restore(FlicStream& s, const FlicMark& mark);
// Reads the file straight into count pieces of memory, one after the other, in as few
// reads as it takes; the stream buffer must be empty, and the pieces no more than the
// chunk's limit. Returns the bytes delivered: less than the pieces hold when the file
// ends first (end_of_data is then set). Not in memory mode.
uint64_t fs_read_pieces(FlicStream& s, struct iovec* pieces, int count);

// --- Row writer (rows.cpp) -------------------------------------------------------
// Makes row the current row of the buffer. Inline: the packet decoders read the row
// as a whole straight after, which waited for the stores of a call's fields one by one
// to reach the cache (2% of a delta frame).
inline void fdec_set_row(FlicDecoder& d, int64_t row) {
  const GfxState& g = gfx_state();
  d.row = row;
  d.line.width = g.active_width;
  d.line.map = g.flic_colour_map;
  d.line.pairs = d.pairs;
  d.line.pixels =
      !d.survey && row >= 0 && row < g.active_height ? g.pixel_address + row * g.row_pitch : nullptr;
}
// Translates width values at from into to, all looked up before one store.
template <int width>
inline void fdec_translate_block(uint8_t* to, const uint8_t* from, const uint8_t* map) {
  constexpr size_t count = width;
  uint8_t out[count];
  for (int b = 0; b < width; ++b) out[b] = map[from[b]];
  std::memcpy(to, out, width);
}
// Translates n pixel values through the colour map into to, which is either values
// itself or apart from it (translate.cpp): in the form of the vector level in use
// (vector_code.h). Each level has its form; the plain one, a byte at a time, is there
// too, for the tests to compare.
using FdTranslateRun = void (*)(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map);
extern FdTranslateRun fdec_translate_run;
FdTranslateRun fdec_translate_form(GfxVector level);
extern const FdTranslateRun fdec_translate_plain;
// The colour map over pairs of pixels: for every two values, their two entries as one
// 16-bit word (the first value's in the low byte of both), so that one lookup translates
// two pixels. 64K entries to make, so made for frames of many pixels, and kept in the
// context (made on first use) while the colour map stays the same.
struct FdPairMap {
  uint8_t made_from[256];  // the colour map it was made from
  bool made;
  uint16_t pairs[65536 + 2];  // two more: the avx2 form reads 32 bits at each word
};
// The frames that make the pair map, where the level has a form for it: making it
// (its memory's first use included) cost 30 us, as much as translating some 70000
// pixels a byte at a time, which a small file does not win back. An uncompressed frame
// translates all its pixels; a byte run makes it for the long literals of the delta
// frames after it.
constexpr uint64_t FDEC_PAIR_MAP_UNCOMPRESSED = 65536;
constexpr uint64_t FDEC_PAIR_MAP_BYTE_RUN = 262144;
// The context's pair map for the colour map map, made again if it was made from
// another; null when there is no memory for one.
const FdPairMap* fdec_pair_map(const uint8_t* map);
// Called by each chunk of pixels before its first row: the pair map its long runs go
// through, if any (d.pairs). A chunk that covers the frame makes one for a frame of
// make_from pixels or more (0: never, as for a delta chunk); else it takes the one
// made while the colour map has stayed the same, as with a palette that does not change.
void fdec_start_pixels(FlicDecoder& d, uint64_t make_from);
// Translates n pixel values through a pair map into to (values itself or apart from
// it), in the form of the vector level in use, null where the level's
// fdec_translate_run is the faster (avx512): portable, eight pixels a step in four
// lookups; avx2, 32 pixels a step in two gathers of eight words.
using FdTranslatePairs = void (*)(uint8_t* to, const uint8_t* values, int64_t n, const FdPairMap& pairs);
extern FdTranslatePairs fdec_translate_pairs;
FdTranslatePairs fdec_translate_pairs_form(GfxVector level);
// Runs at least this long go to fdec_translate_run.
constexpr int64_t FDEC_LONG_RUN = 64;
// Translates n pixel values through the colour map into to: long runs as above, short
// ones in blocks of 8 (or 4), the last block overlapping the one before it instead of
// a tail of single bytes.
inline void fdec_translate(uint8_t* to, const uint8_t* values, int64_t n, const uint8_t* map) {
  if (n >= FDEC_LONG_RUN) {
    fdec_translate_run(to, values, n, map);
  } else if (n >= 8) {
    for (int64_t i = 0; i + 8 < n; i += 8) fdec_translate_block<8>(to + i, values + i, map);
    fdec_translate_block<8>(to + n - 8, values + n - 8, map);
  } else if (n >= 4) {
    fdec_translate_block<4>(to, values, map);
    fdec_translate_block<4>(to + n - 4, values + n - 4, map);
  } else {
    for (int64_t i = 0; i < n; ++i) to[i] = map[values[i]];
  }
}
// Runs up to this long are set by a few stores inline, longer ones by memset.
constexpr int64_t FDEC_SHORT_FILL = 64;
// Sets n bytes at to to colour: 8, 4 or 2 bytes a store, the last store overlapping
// the one before it.
inline void fdec_set_bytes(uint8_t* to, uint8_t colour, int64_t n) {
  if (n > FDEC_SHORT_FILL) {
    std::memset(to, colour, static_cast<size_t>(n));
    return;
  }
  const uint64_t pattern = colour * 0x0101010101010101u;
  if (n >= 8) {
    for (int64_t i = 0; i + 8 < n; i += 8) std::memcpy(to + i, &pattern, 8);
    std::memcpy(to + n - 8, &pattern, 8);
  } else if (n >= 4) {
    std::memcpy(to, &pattern, 4);
    std::memcpy(to + n - 4, &pattern, 4);
  } else if (n >= 2) {
    std::memcpy(to, &pattern, 2);
    std::memcpy(to + n - 2, &pattern, 2);
  } else if (n == 1) {
    to[0] = colour;
  }
}
// The slow paths of the writers below: rows and columns outside the buffer dropped.
void fdec_put_clipped(FlicLine line, int64_t x, const uint8_t* values, int64_t n);
void fdec_fill_clipped(FlicLine line, int64_t x, uint8_t value, int64_t n);
void fdec_fill_pairs_clipped(FlicLine line, int64_t x, uint8_t first, uint8_t second, int64_t pairs);
// True when columns x to x + n - 1 of the row all lie in the buffer.
inline bool fdec_inside(const FlicLine& line, int64_t x, int64_t n) {
  return line.pixels != nullptr && x >= 0 && n >= 0 && n <= line.width - x;
}
// Puts n pixel values at column x of the row, through the FLIC colour map. Rows and
// columns outside the active buffer are dropped.
inline void fdec_put(const FlicLine& line, int64_t x, const uint8_t* values, int64_t n) {
  if (fdec_inside(line, x, n)) [[likely]] {
    if (n >= FDEC_LONG_RUN && line.pairs != nullptr)
      fdec_translate_pairs(line.pixels + x, values, n, *line.pairs);
    else
      fdec_translate(line.pixels + x, values, n, line.map);
  } else {
    fdec_put_clipped(line, x, values, n);
  }
}
// Puts n pixels of one value at column x of the row. Inline in the packet decoders
// always: the compiler had made calls of this and FdReadyBytes::put, 6% of the colour
// cycling sample and 20% of the byte delta benchmark file at the portable level.
[[gnu::always_inline]] inline void fdec_fill(const FlicLine& line, int64_t x, uint8_t value, int64_t n) {
  if (fdec_inside(line, x, n)) [[likely]]
    fdec_set_bytes(line.pixels + x, line.map[value], n);
  else
    fdec_fill_clipped(line, x, value, n);
}
// Puts pairs copies of the two values first, second at column x of the row.
inline void fdec_fill_pairs(const FlicLine& line, int64_t x, uint8_t first, uint8_t second, int64_t pairs) {
  if (fdec_inside(line, x, 2 * pairs)) [[likely]] {
    // The two pixels as a 16-bit word in memory order, repeated over 64 bits in a
    // register; stored 8, 4 and 2 bytes at a time.
    const uint64_t a = line.map[first], b = line.map[second];
    const uint64_t word = std::endian::native == std::endian::little ? a | b << 8 : b | a << 8;
    const uint64_t pattern = word * 0x0001000100010001u;
    uint8_t* to = line.pixels + x;
    const int64_t n = 2 * pairs;
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) std::memcpy(to + i, &pattern, 8);
    if (i + 4 <= n) {
      std::memcpy(to + i, &pattern, 4);
      i += 4;
    }
    if (i < n) std::memcpy(to + i, &pattern, 2);
  } else {
    fdec_fill_pairs_clipped(line, x, first, second, pairs);
  }
}
// Translates the next n stream bytes onto column x of the current row, writing only
// the first most of them (less when the data or the chunk ends first); returns how
// many bytes were passed over.
uint32_t fdec_put_from_stream(FlicDecoder& d, int64_t x, uint32_t n, int64_t most);
// An uncompressed frame (width by height bytes from the stream) put into the buffer
// with the file read straight into its rows, when the frame lies wholly inside the
// buffer and its bytes are more than the stream buffer holds, all within the chunk;
// false (nothing done) otherwise.
bool fdec_put_frame_directly(FlicDecoder& d);

// Where a packet's bytes come from. Each packet kind has one decoding routine, a
// template over these two, as a checked and an unchecked read go in pairs:
// FdReadyBytes reads straight from ready bytes, once the routine has seen with holds
// that all of its packet is there; FdStreamBytes fetches each byte through the stream
// reader, which refills the buffer and stops at the end of the data or of the chunk.
// A routine returns the bytes its packet took, or 0, having read nothing, when holds
// finds the ready bytes short; through the stream reader it always takes its packet,
// and ok says whether the bytes came.
struct FdReadyBytes {
  static constexpr bool checked = false;
  const uint8_t* const start;  // the packet's first byte
  const uint32_t left;         // the ready bytes from there
  const uint8_t* p;            // the next byte of the packet
  explicit FdReadyBytes(const FlicReady& r) : start(r.pos), left(r.left), p(r.pos) {}
  // True when the packet's first n bytes are all ready.
  bool holds(uint32_t n) const { return n <= left; }
  uint8_t next() { return *p++; }
  // Puts the next n bytes at column x of the current row, no more than most of them.
  [[gnu::always_inline]] void put(const FlicLine& line, int64_t x, uint32_t n, int64_t most) {
    fdec_put(line, x, p, std::min<int64_t>(n, most));
    p += n;
  }
  static bool ok() { return true; }
  // The bytes read.
  uint32_t taken() const { return static_cast<uint32_t>(p - start); }
};
struct FdStreamBytes {
  static constexpr bool checked = true;
  FlicDecoder& d;
  static bool holds(uint32_t) { return true; }
  uint8_t next() { return static_cast<uint8_t>(fs_byte(d.s)); }
  void put(const FlicLine&, int64_t x, uint32_t n, int64_t most) { fdec_put_from_stream(d, x, n, most); }
  bool ok() const { return !fs_stopped(d.s); }
  static uint32_t taken() { return 1; }  // the stream reader has passed over them
};
// Passes over the n ready bytes a packet took; false when it took none.
inline bool fs_took(FlicReady& r, uint32_t n) {
  r.pos += n;
  r.left -= n;
  return n > 0;
}

// Decodes packets of a byte (or word) delta row taken from ready bytes, as many as
// come one after another, up to most: it stops before a packet that is not wholly in
// r, not wholly inside the row, or longer than the form takes (64 pixels with
// AVX-512), which the portable decoders then take. Returns the packets decoded, and
// adds those of the regular shapes (FdRegularShapes) to regular. In the form of the
// vector level in use (delta_vector.cpp); null where the level has none.
// before: the row's pixels as they were before its packets, a copy, when the forms in
// use ask for one (fdec_delta_row_copy), else null.
using FdDeltaPackets = uint32_t (*)(const FlicLine& line, const uint8_t* before, FlicReady& r, int64_t& x,
                                    uint32_t most, uint32_t& regular);
extern FdDeltaPackets fdec_byte_delta_packets;
extern FdDeltaPackets fdec_word_delta_packets;
extern bool fdec_delta_row_copy;
FdDeltaPackets fdec_byte_delta_form(GfxVector level);
FdDeltaPackets fdec_word_delta_form(GfxVector level);
bool fdec_delta_copies_row(GfxVector level);
// Rows up to this wide are copied for the forms that ask for it; wider ones go to the
// portable decoders.
constexpr int64_t FDEC_ROW_COPY_MOST = 4096;

// --- Chunk decoders (colour_chunks.cpp, frame_chunks.cpp, delta_chunks.cpp) ------
void flic_colour_chunk(FlicDecoder& d, bool six_bit);
void flic_black_chunk(FlicDecoder& d);
void flic_uncompressed_chunk(FlicDecoder& d);
void flic_byte_run_chunk(FlicDecoder& d);
void flic_byte_delta_chunk(FlicDecoder& d);
void flic_word_delta_chunk(FlicDecoder& d);
