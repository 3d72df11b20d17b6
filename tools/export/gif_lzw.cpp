// The GIF image data compressor: variable-width LZW codes, a clear code when the
// 4096-entry table is full, packed low bit first into sub-blocks of up to 255 bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/export/export.h"

namespace {

constexpr uint32_t LZW_MAX_CODE = 4095;  // the largest 12-bit code
constexpr uint32_t SUB_BLOCK_MOST = 255;
constexpr uint32_t PIXEL_BITS = 8;

// The string table: (prefix code, next pixel) -> code, open addressing over a power of
// two of slots, small enough to stay in the first-level cache. A slot holds the key
// above the code's 12 bits; an empty slot is all ones.
constexpr uint32_t HASH_BITS = 13;
constexpr uint32_t HASH_SLOTS = 1u << HASH_BITS;
constexpr uint32_t CODE_BITS = 12;
constexpr uint32_t CODE_MASK = (1u << CODE_BITS) - 1;
constexpr uint32_t EMPTY = UINT32_MAX;
constexpr uint32_t HASH_MULTIPLIER = 2654435761u;  // Knuth's multiplicative hash

struct Table {
  uint32_t slot[HASH_SLOTS];
  void clear() { std::memset(slot, 0xFF, sizeof slot); }
  static uint32_t first_slot(uint32_t key) { return (key * HASH_MULTIPLIER) >> (32 - HASH_BITS); }
  // The code of key, or EMPTY; where the key goes when absent.
  uint32_t find(uint32_t key, uint32_t& at) const {
    for (at = first_slot(key);; at = (at + 1) & (HASH_SLOTS - 1)) {
      const uint32_t entry = slot[at];
      if (entry == EMPTY) return EMPTY;
      if (entry >> CODE_BITS == key) return entry & CODE_MASK;
    }
  }
};

// Codes packed into sub-blocks, each with its length byte first.
struct BitWriter {
  std::vector<uint8_t>& out;
  uint64_t bits = 0;
  uint32_t pending = 0;      // bits held in `bits`
  size_t block_start = 0;    // where the open sub-block's length byte is
  uint32_t block_bytes = 0;  // bytes in the open sub-block

  void byte(uint8_t b) {
    if (block_bytes == 0) {
      block_start = out.size();
      out.push_back(0);
    }
    out.push_back(b);
    if (++block_bytes == SUB_BLOCK_MOST) close_block();
  }
  void close_block() {
    if (block_bytes == 0) return;
    out[block_start] = static_cast<uint8_t>(block_bytes);
    block_bytes = 0;
  }
  void put(uint32_t code, uint32_t width) {
    bits |= static_cast<uint64_t>(code) << pending;
    pending += width;
    while (pending >= 8) {
      byte(static_cast<uint8_t>(bits));
      bits >>= 8;
      pending -= 8;
    }
  }
  void flush() {
    if (pending > 0) byte(static_cast<uint8_t>(bits));
    bits = 0;
    pending = 0;
    close_block();
  }
};

}  // namespace

void gif_lzw_compress(const uint8_t* pixels, size_t count, int code_size, std::vector<uint8_t>& blocks) {
  Table t;
  t.clear();
  BitWriter w{blocks};
  const uint32_t clear = 1u << code_size, end = clear + 1;
  uint32_t next = end + 1, width = static_cast<uint32_t>(code_size) + 1, limit = 1u << width;
  // A code is written at the width in force; the width grows once the next code to be
  // made no longer fits, as the decoder grows it one code later.
  const auto emit = [&](uint32_t code) {
    w.put(code, width);
    if (next >= limit && width < CODE_BITS) limit = 1u << ++width;
  };
  emit(clear);
  if (count > 0) {
    uint32_t prefix = pixels[0];
    for (size_t i = 1; i < count; i++) {
      const uint32_t pixel = pixels[i];
      const uint32_t key = prefix << PIXEL_BITS | pixel;
      uint32_t at;
      const uint32_t found = t.find(key, at);
      if (found != EMPTY) {
        prefix = found;
        continue;
      }
      emit(prefix);
      prefix = pixel;
      if (next >= LZW_MAX_CODE) {  // the table is full: start again
        emit(clear);
        t.clear();
        next = end + 1;
        width = static_cast<uint32_t>(code_size) + 1;
        limit = 1u << width;
      } else {
        t.slot[at] = key << CODE_BITS | next++;
      }
    }
    emit(prefix);
  }
  emit(end);
  w.flush();
}
