// FLIC writer: header, records, chunks and the three encoders.
#include "flic/flic_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int MAX_PACKET = 127;           // longest run or literal of a signed count byte
constexpr int MAX_BYTE_SKIP = 255;        // longest skip of one delta packet
constexpr uint32_t MAX_ROW_SKIP = 16384;  // rows one skip-rows word of the word delta passes
constexpr int MAX_ROW_PACKETS = 255;      // packets in one row of the byte delta
constexpr uint16_t LAST_BYTE_WORD = 0x8000;
constexpr uint32_t WORD_RANGE = 0x10000;
constexpr uint16_t HEADER_DEPTH = 8;
constexpr int HEADER_SIZE_OFFSET = 0;
constexpr int HEADER_FRAMES_OFFSET = 6;

void put8(std::vector<uint8_t>& out, uint32_t value) { out.push_back(uint8_t(value)); }

void patch16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = uint8_t(value);
  out[at + 1] = uint8_t(value >> 8);
}

void patch32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  patch16(out, at, value & 0xFFFF);
  patch16(out, at + 2, value >> 16);
}

void require_record(const FlicWriter& w) {
  if (!w.record_open) {
    std::fprintf(stderr, "flic_writer: chunk written outside a record\n");
    std::abort();
  }
}

// Length of the run of equal values starting at x, at most limit.
int run_at(const uint8_t* row, int x, int width, int limit) {
  int n = 1;
  while (x + n < width && n < limit && row[x + n] == row[x]) ++n;
  return n;
}

// The same for 16-bit words (two bytes each), counted in words.
int word_run_at(const uint8_t* row, int word, int words, int limit) {
  int n = 1;
  while (word + n < words && n < limit && row[2 * (word + n)] == row[2 * word] &&
         row[2 * (word + n) + 1] == row[2 * word + 1])
    ++n;
  return n;
}

// One row of the byte run-length frame.
void encode_run_row(const uint8_t* row, int width, std::vector<uint8_t>& out) {
  size_t count_at = out.size();
  put8(out, 0);
  int packets = 0;
  int x = 0;
  while (x < width) {
    int run = run_at(row, x, width, MAX_PACKET);
    if (run >= 3) {
      put8(out, uint32_t(run));
      put8(out, row[x]);
      x += run;
    } else {
      int len = 0;
      while (x + len < width && len < MAX_PACKET && (len == 0 || run_at(row, x + len, width, 3) < 3)) ++len;
      put8(out, uint32_t(-len));
      out.insert(out.end(), row + x, row + x + len);
      x += len;
    }
    ++packets;
  }
  out[count_at] = uint8_t(std::min(packets, 255));
}

// Spans [start, end) of changed units, merging spans whose gap is at most max_gap.
struct Span {
  int start;
  int end;
};

template <typename Changed>
std::vector<Span> changed_spans(int units, int max_gap, Changed changed) {
  std::vector<Span> spans;
  for (int x = 0; x < units; ++x) {
    if (!changed(x)) continue;
    if (!spans.empty() && x - spans.back().end <= max_gap)
      spans.back().end = x + 1;
    else
      spans.push_back({x, x + 1});
  }
  return spans;
}

// Packets of one row of the byte delta; false when the row needs more than 255.
bool encode_byte_delta_row(const uint8_t* prev, const uint8_t* next, int width, bool whole_row,
                           std::vector<uint8_t>& out) {
  std::vector<uint8_t> packets;
  int count = 0;
  std::vector<Span> spans;
  if (whole_row)
    spans.push_back({0, width});
  else
    spans = changed_spans(width, 2, [&](int x) { return prev[x] != next[x]; });
  int col = 0;
  for (const Span& span : spans) {
    while (span.start - col > MAX_BYTE_SKIP) {  // bridge a long gap with a one-byte literal
      put8(packets, MAX_BYTE_SKIP);
      put8(packets, 1);
      put8(packets, next[col + MAX_BYTE_SKIP]);
      col += MAX_BYTE_SKIP + 1;
      ++count;
    }
    int x = span.start;
    uint32_t skip = uint32_t(span.start - col);
    while (x < span.end) {
      int run = run_at(next, x, span.end, MAX_PACKET);
      put8(packets, skip);
      skip = 0;
      if (run >= 3) {
        put8(packets, uint32_t(-run));
        put8(packets, next[x]);
        x += run;
      } else {
        int len = 0;
        while (x + len < span.end && len < MAX_PACKET && (len == 0 || run_at(next, x + len, span.end, 3) < 3))
          ++len;
        put8(packets, uint32_t(len));
        packets.insert(packets.end(), next + x, next + x + len);
        x += len;
      }
      ++count;
    }
    col = span.end;
  }
  if (count > MAX_ROW_PACKETS) return false;
  put8(out, uint32_t(count));
  out.insert(out.end(), packets.begin(), packets.end());
  return true;
}

// Packets of one row of the word delta (words 0 to words - 1), with the packet count.
void encode_word_delta_row(const uint8_t* prev, const uint8_t* next, int words, std::vector<uint8_t>& out) {
  auto changed = [&](int c) { return prev[2 * c] != next[2 * c] || prev[2 * c + 1] != next[2 * c + 1]; };
  std::vector<Span> spans = changed_spans(words, 1, changed);
  std::vector<uint8_t> packets;
  uint32_t count = 0;
  int col = 0;  // in bytes
  for (const Span& span : spans) {
    while (2 * span.start - col > MAX_BYTE_SKIP) {  // bridge a long gap with a one-word literal
      put8(packets, MAX_BYTE_SKIP - 1);
      put8(packets, 1);
      put8(packets, next[col + MAX_BYTE_SKIP - 1]);
      put8(packets, next[col + MAX_BYTE_SKIP]);
      col += MAX_BYTE_SKIP + 1;
      ++count;
    }
    int c = span.start;
    uint32_t skip = uint32_t(2 * span.start - col);
    while (c < span.end) {
      int run = word_run_at(next, c, span.end, MAX_PACKET);
      put8(packets, skip);
      skip = 0;
      if (run >= 2) {
        put8(packets, uint32_t(-run));
        put8(packets, next[2 * c]);
        put8(packets, next[2 * c + 1]);
        c += run;
      } else {
        int len = 0;
        while (c + len < span.end && len < MAX_PACKET &&
               (len == 0 || word_run_at(next, c + len, span.end, 2) < 2))
          ++len;
        put8(packets, uint32_t(len));
        packets.insert(packets.end(), next + 2 * c, next + 2 * (c + len));
        c += len;
      }
      ++count;
    }
    col = 2 * span.end;
  }
  fw_put16(out, count);
  out.insert(out.end(), packets.begin(), packets.end());
}

void begin_record(FlicWriter& w, uint16_t type) {
  if (w.record_open) fw_end_frame(w);
  w.record_start = w.bytes.size();
  w.record_open = true;
  w.record_chunks = 0;
  fw_put32(w.bytes, 0);
  fw_put16(w.bytes, type);
  w.bytes.resize(w.bytes.size() + FLIC_RECORD_HEADER_SIZE - 6, 0);
}

}  // namespace

void fw_put16(std::vector<uint8_t>& out, uint32_t value) {
  put8(out, value);
  put8(out, value >> 8);
}

void fw_put32(std::vector<uint8_t>& out, uint32_t value) {
  fw_put16(out, value & 0xFFFF);
  fw_put16(out, value >> 16);
}

void fw_begin(FlicWriter& w, uint16_t magic, uint16_t width, uint16_t height, uint32_t speed) {
  w = FlicWriter{};
  w.magic = magic;
  w.width = width;
  w.height = height;
  w.bytes.assign(FLIC_HEADER_SIZE, 0);
  patch16(w.bytes, 4, magic);
  patch16(w.bytes, 8, width);
  patch16(w.bytes, 10, height);
  patch16(w.bytes, 12, HEADER_DEPTH);
  if (magic == FLIC_MAGIC_FLI)
    patch16(w.bytes, 16, speed & 0xFFFF);
  else
    patch32(w.bytes, 16, speed);
}

void fw_begin_frame(FlicWriter& w) { begin_record(w, FLIC_FRAME_TYPE); }

void fw_begin_prefix(FlicWriter& w) { begin_record(w, FLIC_PREFIX_TYPE); }

void fw_end_frame(FlicWriter& w) {
  if (!w.record_open) return;
  patch32(w.bytes, w.record_start, uint32_t(w.bytes.size() - w.record_start));
  patch16(w.bytes, w.record_start + 6, w.record_chunks);
  if (w.bytes[w.record_start + 4] == (FLIC_FRAME_TYPE & 0xFF) &&
      w.bytes[w.record_start + 5] == (FLIC_FRAME_TYPE >> 8))
    ++w.frames;
  w.record_open = false;
}

void fw_finish(FlicWriter& w, int32_t frame_count) {
  if (w.record_open) fw_end_frame(w);
  patch32(w.bytes, HEADER_SIZE_OFFSET, uint32_t(w.bytes.size()));
  patch16(w.bytes, HEADER_FRAMES_OFFSET, frame_count < 0 ? w.frames : uint32_t(frame_count));
}

bool fw_save(const FlicWriter& w, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(w.bytes.data(), 1, w.bytes.size(), f) == w.bytes.size();
  return std::fclose(f) == 0 && ok;
}

void fw_chunk_sized(FlicWriter& w, uint32_t size_field, uint16_t type, const std::vector<uint8_t>& data) {
  require_record(w);
  fw_put32(w.bytes, size_field);
  fw_put16(w.bytes, type);
  w.bytes.insert(w.bytes.end(), data.begin(), data.end());
  ++w.record_chunks;
}

void fw_chunk(FlicWriter& w, uint16_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> padded = data;
  if (padded.size() % 2) padded.push_back(0);
  fw_chunk_sized(w, uint32_t(FLIC_CHUNK_HEADER_SIZE + padded.size()), type, padded);
}

void fw_raw(FlicWriter& w, const std::vector<uint8_t>& data) {
  w.bytes.insert(w.bytes.end(), data.begin(), data.end());
}

void fw_colour_chunk(FlicWriter& w, uint16_t type, const std::vector<FwColourPacket>& packets) {
  std::vector<uint8_t> data;
  fw_put16(data, uint32_t(packets.size()));
  for (const FwColourPacket& p : packets) {
    put8(data, p.skip);
    put8(data, uint32_t(p.rgb.size() / 3));  // 256 entries are written as 0
    data.insert(data.end(), p.rgb.begin(), p.rgb.end());
  }
  fw_chunk(w, type, data);
}

void fw_palette(FlicWriter& w, uint16_t type, const uint8_t* rgb) {
  FwColourPacket all{0, std::vector<uint8_t>(rgb, rgb + 768)};
  if (type == FLIC_CHUNK_COLOUR_64)
    for (uint8_t& c : all.rgb) c = uint8_t(c >> 2);
  fw_colour_chunk(w, type, {all});
}

void fw_black(FlicWriter& w) { fw_chunk(w, FLIC_CHUNK_BLACK, {}); }

void fw_uncompressed(FlicWriter& w, const uint8_t* pixels) {
  fw_chunk(w, FLIC_CHUNK_UNCOMPRESSED, std::vector<uint8_t>(pixels, pixels + size_t(w.width) * w.height));
}

void fw_byte_run(FlicWriter& w, const uint8_t* pixels) {
  fw_chunk(w, FLIC_CHUNK_BYTE_RUN, fw_encode_byte_run(pixels, w.width, w.height));
}

void fw_byte_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next) {
  fw_chunk(w, FLIC_CHUNK_BYTE_DELTA, fw_encode_byte_delta(prev, next, w.width, w.height));
}

void fw_word_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next) {
  fw_chunk(w, FLIC_CHUNK_WORD_DELTA, fw_encode_word_delta(prev, next, w.width, w.height));
}

std::vector<uint8_t> fw_encode_byte_run(const uint8_t* pixels, int width, int height) {
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y)
    encode_run_row(pixels + size_t(y) * static_cast<size_t>(width), width, out);
  return out;
}

std::vector<uint8_t> fw_encode_byte_delta(const uint8_t* prev, const uint8_t* next, int width, int height) {
  auto row_changed = [&](int y) {
    return !std::equal(prev + size_t(y) * static_cast<size_t>(width),
                       prev + size_t(y + 1) * static_cast<size_t>(width),
                       next + size_t(y) * static_cast<size_t>(width));
  };
  int first = 0;
  while (first < height && !row_changed(first)) ++first;
  int last = height - 1;
  while (last >= first && !row_changed(last)) --last;
  std::vector<uint8_t> out;
  if (first >= height) {
    fw_put16(out, 0);
    fw_put16(out, 0);
    return out;
  }
  fw_put16(out, uint32_t(first));
  fw_put16(out, uint32_t(last - first + 1));
  for (int y = first; y <= last; ++y) {
    const uint8_t* p = prev + size_t(y) * static_cast<size_t>(width);
    const uint8_t* n = next + size_t(y) * static_cast<size_t>(width);
    if (!encode_byte_delta_row(p, n, width, false, out) && !encode_byte_delta_row(p, n, width, true, out)) {
      std::fprintf(stderr, "flic_writer: a byte delta row of width %d needs more than 255 packets\n", width);
      std::abort();
    }
  }
  return out;
}

std::vector<uint8_t> fw_encode_word_delta(const uint8_t* prev, const uint8_t* next, int width, int height) {
  int words = width / 2;
  bool odd = width % 2 != 0;
  std::vector<uint8_t> out;
  fw_put16(out, 0);  // line count, patched below
  uint32_t lines = 0;
  uint32_t pending_skip = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = prev + size_t(y) * static_cast<size_t>(width);
    const uint8_t* n = next + size_t(y) * static_cast<size_t>(width);
    bool last_changed = odd && p[width - 1] != n[width - 1];
    if (!last_changed && std::equal(p, p + 2 * words, n)) {
      ++pending_skip;
      continue;
    }
    while (pending_skip > 0) {
      uint32_t rows = std::min(pending_skip, MAX_ROW_SKIP);
      fw_put16(out, WORD_RANGE - rows);
      pending_skip -= rows;
    }
    if (last_changed) fw_put16(out, LAST_BYTE_WORD | n[width - 1]);
    encode_word_delta_row(p, n, words, out);
    ++lines;
  }
  patch16(out, 0, lines);
  return out;
}
