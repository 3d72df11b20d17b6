// The GIF image data compressor: variable-width LZW codes, a clear code when the
// 4096-entry table is full, packed low bit first into sub-blocks of up to 255 bytes.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "converter/export.h"

namespace {

constexpr uint32_t LZW_MAX_CODE = 4095;  // the largest 12-bit code
constexpr uint32_t SUB_BLOCK_MOST = 255;
constexpr uint32_t PIXEL_BITS = 8;
constexpr uint32_t CODE_BITS = 12;
constexpr uint32_t CODE_MASK = (1u << CODE_BITS) - 1;

// A string's code is looked up by its mark, the code scrambled by a bijection of the
// 12-bit numbers, so that the next slot to probe is the mark and the pixel's spread
// joined by one exclusive or: each pixel of a long string waits for one load and one
// operation, not a multiplication. Consecutive codes get marks far apart, spreading the
// strings over the table; the mark of code 4095, which the table never holds, is all
// ones, so no slot in use reads as empty.
constexpr uint32_t MARK_STEP = 2531;  // odd, near 4096 / golden ratio
constexpr uint32_t inverse_of(uint32_t odd) {
  uint32_t x = odd;  // Newton's iteration for the inverse modulo a power of two
  for (int i = 0; i < 4; i++) x *= 2 - odd * x;
  return x & CODE_MASK;
}
constexpr uint32_t MARK_INVERSE = inverse_of(MARK_STEP);
static_assert(((MARK_STEP * MARK_INVERSE) & CODE_MASK) == 1);
constexpr uint32_t mark_of(uint32_t code) { return ((code + 1) * MARK_STEP - 1) & CODE_MASK; }
constexpr uint32_t code_of(uint32_t mark) { return ((mark + 1) * MARK_INVERSE - 1) & CODE_MASK; }
static_assert(mark_of(LZW_MAX_CODE) == CODE_MASK && code_of(mark_of(1234)) == 1234);

// The string table: (prefix mark, next pixel) -> mark of the string, open addressing
// over four times as many slots as codes (64 KiB), so that a probe seldom meets another
// string's slot. A slot holds the key above the mark's 12 bits; an empty slot is all
// ones.
constexpr uint32_t HASH_BITS = 14;
constexpr uint32_t HASH_SLOTS = 1u << HASH_BITS;
constexpr uint32_t EMPTY = UINT32_MAX;
constexpr uint32_t HASH_MULTIPLIER = 2654435761u;  // Knuth's multiplicative hash

// Where a pixel's strings start in the table (14 bits): the probe begins at the
// prefix's mark joined with it.
inline uint32_t spread(uint32_t pixel) { return (pixel * HASH_MULTIPLIER) >> (32 - HASH_BITS); }

// Codes packed low bit first into one run of bytes, cut into sub-blocks at the end.
// Room for the most the codes can take: a code of at most 12 bits for each pixel, a
// clear code for every 3800-odd codes made, and the first and last codes.
struct BitWriter {
  std::unique_ptr<uint8_t[]> raw;
  size_t size = 0;  // bytes written to raw
  uint64_t bits = 0;
  uint32_t pending = 0;  // bits held in `bits`, fewer than 8 between codes

  explicit BitWriter(size_t pixels) : raw(std::make_unique_for_overwrite<uint8_t[]>(pixels * 2 + 32)) {}
  // Adds a code; the bytes it completes stay in raw. All eight bytes of the bits are
  // stored each time, so that no loop or branch decides how many are whole; the ones
  // past the whole bytes are written again by the next code (raw has room past its end).
  void put(uint32_t code, uint32_t width) {
    bits |= static_cast<uint64_t>(code) << pending;
    pending += width;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(raw.get() + size, &bits, sizeof bits);
    } else {
      for (size_t i = 0; i < sizeof bits; i++) raw[size + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    const uint32_t whole = pending / 8;
    size += whole;
    bits >>= 8 * whole;
    pending -= 8 * whole;
  }
  void flush(std::vector<uint8_t>& out) {
    if (pending > 0) raw[size++] = static_cast<uint8_t>(bits);
    pending = 0;
    out.reserve(out.size() + size + size / SUB_BLOCK_MOST + 1);
    for (size_t at = 0; at < size; at += SUB_BLOCK_MOST) {
      const size_t n = std::min<size_t>(SUB_BLOCK_MOST, size - at);
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), raw.get() + at, raw.get() + at + n);
    }
  }
};

// One image's compression in progress. A pixel costs a chain of dependent steps (the
// string found decides the next key), so two images advanced in turn keep the
// processor busy with the other chain while one waits.
class Compressor {
 public:
  Compressor(int code_size, size_t pixels, std::vector<uint8_t>& blocks)
      : blocks_(blocks),
        w_(pixels),
        code_size_(static_cast<uint32_t>(code_size)),
        clear_(1u << code_size),
        end_(clear_ + 1) {
    clear_table();
    restart_codes();
    emit(clear_);
  }
  // The mark of the string of one pixel, where the data starts.
  static uint32_t first(uint32_t pixel) { return mark_of(pixel); }
  // The mark of the string after `mark` grows by one pixel, writing the code of the
  // string that ends when it is not in the table. The mark is handed in and out, not
  // kept here, so that it stays in a register across the loop.
  [[gnu::always_inline]] uint32_t next(uint32_t mark, uint32_t pixel) {
    const uint32_t key = mark << PIXEL_BITS | pixel;
    for (uint32_t at = mark ^ spread(pixel);; at = (at + 1) & (HASH_SLOTS - 1)) {
      const uint32_t entry = slot_[at];
      if (entry >> CODE_BITS == key) return entry & CODE_MASK;
      if (entry == EMPTY) return miss(mark, pixel, key, at);
    }
  }
  // Ends the data: the last string (when there were pixels) and the end code.
  void finish(bool any, uint32_t mark) {
    if (any) emit(code_of(mark));
    emit(end_);
    w_.flush(blocks_);
  }

 private:
  // The string ends: its code goes out, the string one pixel longer gets the next code
  // unless the table is full, and the pixel starts the next string.
  [[gnu::noinline]] uint32_t miss(uint32_t mark, uint32_t pixel, uint32_t key, uint32_t at) {
    emit(code_of(mark));
    if (next_ >= LZW_MAX_CODE) {  // the table is full: start again
      emit(clear_);
      clear_table();
      restart_codes();
    } else {
      slot_[at] = key << CODE_BITS | next_mark_;
      next_++;
      next_mark_ = (next_mark_ + MARK_STEP) & CODE_MASK;
    }
    return mark_of(pixel);
  }
  void clear_table() { std::memset(slot_, 0xFF, sizeof slot_); }
  void restart_codes() {
    next_ = end_ + 1;
    next_mark_ = mark_of(next_);
    width_ = code_size_ + 1;
    limit_ = 1u << width_;
  }
  // A code is written at the width in force; the width grows once the next code to be
  // made no longer fits, as the decoder grows it one code later.
  void emit(uint32_t code) {
    w_.put(code, width_);
    if (next_ >= limit_ && width_ < CODE_BITS) limit_ = 1u << ++width_;
  }
  uint32_t slot_[HASH_SLOTS];
  std::vector<uint8_t>& blocks_;
  BitWriter w_;
  uint32_t code_size_, clear_, end_;
  uint32_t next_ = 0, next_mark_ = 0, width_ = 0, limit_ = 0;
};

}  // namespace

void gif_lzw_compress(const uint8_t* pixels, size_t count, int code_size, std::vector<uint8_t>& blocks) {
  Compressor c(code_size, count, blocks);
  uint32_t mark = count > 0 ? Compressor::first(pixels[0]) : 0;
  for (size_t i = 1; i < count; i++) mark = c.next(mark, pixels[i]);
  c.finish(count > 0, mark);
}

void gif_lzw_compress_two(const uint8_t* a, const uint8_t* b, size_t count, int code_size_a, int code_size_b,
                          std::vector<uint8_t>& blocks_a, std::vector<uint8_t>& blocks_b) {
  Compressor first(code_size_a, count, blocks_a), second(code_size_b, count, blocks_b);
  uint32_t mark_a = count > 0 ? Compressor::first(a[0]) : 0;
  uint32_t mark_b = count > 0 ? Compressor::first(b[0]) : 0;
  for (size_t i = 1; i < count; i++) {
    mark_a = first.next(mark_a, a[i]);
    mark_b = second.next(mark_b, b[i]);
  }
  first.finish(count > 0, mark_a);
  second.finish(count > 0, mark_b);
}
