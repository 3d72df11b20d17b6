// The FLIC writer: header, records and chunks; the encoders are in encode_rows.cpp.
#include "flic/flic_writer.h"

#include <cstdint>
#include <cstdio>

#include "flic/encode_rows.h"

namespace {

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
  if (!w.record_open) fw_begin_frame(w);
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

bool fw_byte_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next) {
  std::vector<uint8_t> data = fw_encode_byte_delta(prev, next, w.width, w.height);
  if (data.empty()) return false;
  fw_chunk(w, FLIC_CHUNK_BYTE_DELTA, data);
  return true;
}

bool fw_word_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next) {
  std::vector<uint8_t> data = fw_encode_word_delta(prev, next, w.width, w.height);
  if (data.empty()) return false;
  fw_chunk(w, FLIC_CHUNK_WORD_DELTA, data);
  return true;
}

std::vector<uint8_t> fw_encode_byte_run(const uint8_t* pixels, int width, int height) {
  RowCoder coder;
  std::vector<uint8_t> out;
  encode_byte_run(coder, pixels, width, height, SIZE_MAX, out);
  return out;
}

std::vector<uint8_t> fw_encode_byte_delta(const uint8_t* prev, const uint8_t* next, int width, int height) {
  RowCoder coder;
  std::vector<uint8_t> out;
  encode_byte_delta(coder, prev, next, width, height, SIZE_MAX, out);
  return out;
}

std::vector<uint8_t> fw_encode_word_delta(const uint8_t* prev, const uint8_t* next, int width, int height) {
  RowCoder coder;
  std::vector<uint8_t> out;
  encode_word_delta(coder, prev, next, width, height, SIZE_MAX, out);
  return out;
}
