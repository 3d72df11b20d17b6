// The frame decoder's working state and the operations its chunk decoders share:
// one bounded stream reader over the library's stream buffer, and the row writer
// that puts decoded pixels into the active buffer through the FLIC colour map.
// Internal to FLIC playback.
#pragma once

#include <cstdint>

// Record and chunk layout.
constexpr uint16_t FLIC_PREFIX_TYPE = 0xF100;
constexpr uint32_t FLIC_RECORD_HEADER_SIZE = 16;
constexpr uint32_t FLIC_RECORD_SIZE_AND_TYPE = 6;  // bytes of a record read before its type is known
constexpr uint32_t FLIC_RECORD_RESERVED = 8;       // ignored bytes at the end of a frame header
constexpr uint32_t FLIC_CHUNK_HEADER_SIZE = 6;

// Chunk types.
constexpr uint16_t FLIC_CHUNK_COLOUR_256 = 4;
constexpr uint16_t FLIC_CHUNK_WORD_DELTA = 7;
constexpr uint16_t FLIC_CHUNK_COLOUR_64 = 11;
constexpr uint16_t FLIC_CHUNK_BYTE_DELTA = 12;
constexpr uint16_t FLIC_CHUNK_BLACK = 13;
constexpr uint16_t FLIC_CHUNK_BYTE_RUN = 15;
constexpr uint16_t FLIC_CHUNK_UNCOMPRESSED = 16;

// A limit that never runs out (record headers are read outside any chunk).
constexpr uint64_t FLIC_NO_LIMIT = UINT64_MAX;

// The stream reader. Every fetch goes through it: it refills the stream buffer from
// the file (not in memory mode), stops at the end of the data, and refuses to go
// past the current limit (the bytes left in the chunk being decoded). A fetch that
// cannot be served returns 0, consumes nothing and sets end_of_data or overrun;
// every later fetch then returns 0 at once.
struct FlicStream {
  const uint8_t* pos;  // next unread byte in the stream buffer
  uint32_t left;       // bytes in the stream buffer not yet read
  uint64_t limit;      // bytes the current chunk may still give
  int32_t fd;          // the file being read (unused in memory mode)
  bool memory;         // the stream buffer holds all the data there is
  bool end_of_data;    // a fetch found the data at its end
  bool overrun;        // a fetch wanted more than the chunk holds
};

// The working state of one flic_play call.
struct FlicDecoder {
  FlicStream s;
  int64_t origin_x;  // where the frame's top-left pixel goes in the buffer
  int64_t origin_y;
  int32_t width;     // the frame's size, from the context
  int32_t height;
  int64_t row;       // the current row of the buffer
  uint32_t flags;    // the flags of the flic_play call
};

// --- Stream reader (stream.cpp) -------------------------------------------------
// Starts reading a file at its current position, with an empty stream buffer.
void fs_start_file(FlicStream& s, int32_t fd);
// Starts reading the stream buffer's first size bytes from offset on.
void fs_start_memory(FlicStream& s, uint32_t offset, uint32_t size);
// True once a fetch has failed (end of data or chunk overrun).
inline bool fs_stopped(const FlicStream& s) { return s.end_of_data || s.overrun; }
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
// Copies up to n bytes into out; returns how many came.
uint32_t fs_read(FlicStream& s, uint8_t* out, uint32_t n);
// Passes over n bytes.
void fs_skip(FlicStream& s, uint64_t n);

// --- Row writer (rows.cpp) -------------------------------------------------------
// Puts n pixel values at column x of the current row, through the FLIC colour map.
// Rows and columns outside the active buffer are dropped.
void fd_put(FlicDecoder& d, int64_t x, const uint8_t* values, int64_t n);
// Puts n pixels of one value at column x of the current row.
void fd_fill(FlicDecoder& d, int64_t x, uint8_t value, int64_t n);

// --- Chunk decoders (colour_chunks.cpp, frame_chunks.cpp, delta_chunks.cpp) ------
void flic_colour_chunk(FlicDecoder& d, bool six_bit);
void flic_black_chunk(FlicDecoder& d);
void flic_uncompressed_chunk(FlicDecoder& d);
void flic_byte_run_chunk(FlicDecoder& d);
void flic_byte_delta_chunk(FlicDecoder& d);
void flic_word_delta_chunk(FlicDecoder& d);
