// The GIF image data compressor: variable-width LZW codes, a clear code when the
// 4096-entry table is full, packed low bit first into sub-blocks of up to 255 bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "converter/export.h"

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

// One image's compression in progress. A pixel costs a chain of dependent steps (the
// string found decides the next key), so two images advanced in turn keep the
// processor busy with the other chain while one waits.
class Compressor {
 public:
  Compressor(int code_size, std::vector<uint8_t>& blocks)
      : w_{blocks}, code_size_(static_cast<uint32_t>(code_size)), clear_(1u << code_size), end_(clear_ + 1) {
    t_.clear();
    restart_codes();
    emit(clear_);
  }
  void first(uint32_t pixel) { prefix_ = pixel; }
  [[gnu::always_inline]] void next(uint32_t pixel) {
    const uint32_t key = prefix_ << PIXEL_BITS | pixel;
    uint32_t at;
    const uint32_t found = t_.find(key, at);
    if (found != EMPTY) {
      prefix_ = found;
      return;
    }
    emit(prefix_);
    prefix_ = pixel;
    if (next_ >= LZW_MAX_CODE) {  // the table is full: start again
      emit(clear_);
      t_.clear();
      restart_codes();
    } else {
      t_.slot[at] = key << CODE_BITS | next_++;
    }
  }
  // Ends the data: the last string (when there were pixels) and the end code.
  void finish(bool any) {
    if (any) emit(prefix_);
    emit(end_);
    w_.flush();
  }

 private:
  void restart_codes() {
    next_ = end_ + 1;
    width_ = code_size_ + 1;
    limit_ = 1u << width_;
  }
  // A code is written at the width in force; the width grows once the next code to be
  // made no longer fits, as the decoder grows it one code later.
  void emit(uint32_t code) {
    w_.put(code, width_);
    if (next_ >= limit_ && width_ < CODE_BITS) limit_ = 1u << ++width_;
  }
  Table t_;
  BitWriter w_;
  uint32_t code_size_, clear_, end_;
  uint32_t next_ = 0, width_ = 0, limit_ = 0, prefix_ = 0;
};

}  // namespace

void gif_lzw_compress(const uint8_t* pixels, size_t count, int code_size, std::vector<uint8_t>& blocks) {
  Compressor c(code_size, blocks);
  if (count > 0) c.first(pixels[0]);
  for (size_t i = 1; i < count; i++) c.next(pixels[i]);
  c.finish(count > 0);
}

void gif_lzw_compress_two(const uint8_t* a, const uint8_t* b, size_t count, int code_size_a, int code_size_b,
                          std::vector<uint8_t>& blocks_a, std::vector<uint8_t>& blocks_b) {
  Compressor first(code_size_a, blocks_a), second(code_size_b, blocks_b);
  if (count > 0) {
    first.first(a[0]);
    second.first(b[0]);
  }
  for (size_t i = 1; i < count; i++) {
    first.next(a[i]);
    second.next(b[i]);
  }
  first.finish(count > 0);
  second.finish(count > 0);
}
