// The PCX file writer: header layout, run-length encoding and the colour block.
#include "tools/writers/pcx_writer.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void put_u8(std::vector<uint8_t>& file, uint8_t v) { file.push_back(v); }

void put_u16(std::vector<uint8_t>& file, uint16_t v) {
  file.push_back(static_cast<uint8_t>(v & 0xFF));
  file.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

uint16_t pcx_writer_bytes_per_line(int width, int bits_per_pixel) {
  long bytes = (static_cast<long>(width) * bits_per_pixel + 7) / 8;
  bytes += bytes & 1;
  return static_cast<uint16_t>(bytes);
}

PcxWriterHeader pcx_writer_header(int width, int height, int bits_per_pixel, int planes) {
  PcxWriterHeader h;
  h.bits_per_pixel = static_cast<uint8_t>(bits_per_pixel);
  h.planes = static_cast<uint8_t>(planes);
  h.max_x = static_cast<uint16_t>(width - 1);
  h.max_y = static_cast<uint16_t>(height - 1);
  h.bytes_per_line = pcx_writer_bytes_per_line(width, bits_per_pixel);
  return h;
}

void pcx_writer_put_header(std::vector<uint8_t>& file, const PcxWriterHeader& h) {
  const size_t start = file.size();
  put_u8(file, h.manufacturer);
  put_u8(file, h.version);
  put_u8(file, h.encoding);
  put_u8(file, h.bits_per_pixel);
  put_u16(file, h.min_x);
  put_u16(file, h.min_y);
  put_u16(file, h.max_x);
  put_u16(file, h.max_y);
  put_u16(file, h.h_dpi);
  put_u16(file, h.v_dpi);
  file.insert(file.end(), h.header_palette, h.header_palette + PCX_HEADER_PALETTE_SIZE);
  put_u8(file, 0);  // reserved
  put_u8(file, h.planes);
  put_u16(file, h.bytes_per_line);
  put_u16(file, h.palette_info);
  file.resize(start + PCX_HEADER_SIZE, 0);
}

void pcx_writer_put_run(std::vector<uint8_t>& file, int count, uint8_t value) {
  put_u8(file, static_cast<uint8_t>(PCX_RUN_FLAG | (static_cast<uint32_t>(count) & PCX_MAX_RUN)));
  put_u8(file, value);
}

void pcx_writer_put_line(std::vector<uint8_t>& file, std::span<const uint8_t> line) {
  const size_t length = line.size();
  size_t i = 0;
  while (i < length) {
    const uint8_t v = line[i];
    size_t run = 1;
    while (i + run < length && line[i + run] == v && run < PCX_MAX_RUN) ++run;
    if (run == 1 && v < PCX_RUN_FLAG) {
      put_u8(file, v);
    } else {
      pcx_writer_put_run(file, static_cast<int>(run), v);
    }
    i += run;
  }
}

void pcx_writer_pack_row(const PcxWriterHeader& h, const uint8_t* indices, int width, uint8_t* out) {
  const size_t bpl = h.bytes_per_line;
  const int planes = h.planes;
  std::memset(out, 0, bpl * static_cast<size_t>(planes));
  const int bits = h.bits_per_pixel;
  for (int x = 0; x < width; ++x) {
    const uint8_t v = indices[x];
    if (bits == 8) {
      if (static_cast<size_t>(x) < bpl) out[x] = v;
    } else if (planes == 1) {
      const int per_byte = 8 / bits;
      const size_t byte = static_cast<size_t>(x / per_byte);
      if (byte >= bpl) continue;
      const int shift = 8 - bits * (x % per_byte + 1);
      const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
      out[byte] = static_cast<uint8_t>(out[byte] | ((v & mask) << shift));
    } else {
      const size_t byte = static_cast<size_t>(x / 8);
      if (byte >= bpl) continue;
      for (int k = 0; k < planes && k < 8; ++k) {
        if ((v >> k) & 1) out[static_cast<size_t>(k) * bpl + byte] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
}

void pcx_writer_put_image(std::vector<uint8_t>& file, const PcxWriterHeader& h, const uint8_t* indices) {
  const int width = static_cast<int>(h.max_x) - h.min_x + 1;
  const int height = static_cast<int>(h.max_y) - h.min_y + 1;
  if (width <= 0 || height <= 0) return;
  std::vector<uint8_t> line(static_cast<size_t>(h.bytes_per_line) * h.planes);
  for (int y = 0; y < height; ++y) {
    pcx_writer_pack_row(h, indices + static_cast<size_t>(y) * static_cast<size_t>(width), width, line.data());
    pcx_writer_put_line(file, line);
  }
}

void pcx_writer_put_palette_block(std::vector<uint8_t>& file, const uint8_t colours[768], uint8_t marker) {
  put_u8(file, marker);
  file.insert(file.end(), colours, colours + (PCX_PALETTE_BLOCK_SIZE - 1));
}

void pcx_writer_put_raw(std::vector<uint8_t>& file, std::span<const uint8_t> bytes) {
  file.insert(file.end(), bytes.begin(), bytes.end());
}

bool pcx_writer_save(const std::vector<uint8_t>& file, const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const size_t written = file.empty() ? 0 : std::fwrite(file.data(), 1, file.size(), f);
  const bool closed = std::fclose(f) == 0;
  return closed && written == file.size();
}
