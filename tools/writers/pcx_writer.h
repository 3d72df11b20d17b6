// A small PCX file writer for tests, benchmarks and the shipped pictures.
//
// Builds a whole file in a std::vector<uint8_t>: a 128-byte header with every field
// chosen by the caller, run-length encoded scan lines, an optional 769-byte colour
// block, and raw bytes for damaged or hostile files. Nothing checks that the parts
// agree, so a test can write a file that lies about itself.
//
// Typical use:
//   PcxWriterHeader h = pcx_writer_header(width, height, 8, 1);
//   std::vector<uint8_t> file;
//   pcx_writer_put_header(file, h);
//   for each row: pcx_writer_put_line(file, row_bytes, h.bytes_per_line * h.planes);
//   pcx_writer_put_palette_block(file, colours);   // 256 RGB triples
//   pcx_writer_save(file, "picture.pcx");
// or, for a picture given as one palette index per pixel:
//   pcx_writer_put_image(file, h, indices);
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The sizes and values of the file format are the library's.
#include "pcx/pcx.h"

// Every header field the writer stores; the rest of the 128 bytes is zero.
struct PcxWriterHeader {
  uint8_t manufacturer = PCX_MANUFACTURER;               // offset 0
  uint8_t version = 5;                                   // offset 1
  uint8_t encoding = PCX_ENCODING_RUN_LENGTH;            // offset 2
  uint8_t bits_per_pixel = 8;                            // offset 3, per plane
  uint16_t min_x = 0;                                    // offset 4
  uint16_t min_y = 0;                                    // offset 6
  uint16_t max_x = 0;                                    // offset 8, inclusive
  uint16_t max_y = 0;                                    // offset 10, inclusive
  uint16_t h_dpi = 72;                                   // offset 12
  uint16_t v_dpi = 72;                                   // offset 14
  uint8_t header_palette[PCX_HEADER_PALETTE_SIZE] = {};  // offset 16, 16 RGB triples
  uint8_t planes = 1;                                    // offset 65
  uint16_t bytes_per_line = 0;                           // offset 66, per plane
  uint16_t palette_info = 1;                             // offset 68
};

// A header for a picture of width x height at 0, 0 with the given depth; bytes per
// line is the even number of bytes that holds one plane of a row.
PcxWriterHeader pcx_writer_header(int width, int height, int bits_per_pixel, int planes);
// Bytes per line that hold width pixels of bits_per_pixel, rounded up to an even count.
uint16_t pcx_writer_bytes_per_line(int width, int bits_per_pixel);

// Appends the 128-byte header.
void pcx_writer_put_header(std::vector<uint8_t>& file, const PcxWriterHeader& header);
// Appends one decoded scan line (all planes, one after the other) run-length encoded;
// runs never reach past the end of the given bytes.
void pcx_writer_put_line(std::vector<uint8_t>& file, std::span<const uint8_t> line);
// Appends one run: count (0 to 63) copies of value as a count byte and a value byte.
void pcx_writer_put_run(std::vector<uint8_t>& file, int count, uint8_t value);
// Packs one row of palette indices into a decoded scan line as the header describes it:
// 8 bits (first plane only; other planes zero), 4-, 2- or 1-bit packed in one plane, or
// 1 bit in several planes (bit k of an index goes to plane k). out receives
// planes x bytes per line bytes; bits beyond the width are zero.
void pcx_writer_pack_row(const PcxWriterHeader& header, const uint8_t* indices, int width, uint8_t* out);
// Appends every row of a picture given as width x height indices, row by row
// (width and height from the header's extents), packed and encoded.
void pcx_writer_put_image(std::vector<uint8_t>& file, const PcxWriterHeader& header, const uint8_t* indices);
// Appends the 769-byte colour block: marker, then 256 RGB triples.
void pcx_writer_put_palette_block(std::vector<uint8_t>& file, const uint8_t colours[768],
                                  uint8_t marker = PCX_PALETTE_MARKER);
// Appends bytes as they are.
void pcx_writer_put_raw(std::vector<uint8_t>& file, std::span<const uint8_t> bytes);

// Writes the file; true when every byte was written.
bool pcx_writer_save(const std::vector<uint8_t>& file, const char* path);
