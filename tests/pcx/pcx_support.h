// A fresh library with an open buffer for every PCX test, and small helpers to build
// pictures with the PCX writer and read back what was drawn.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "platform/headless/controls.h"
#include "tools/writers/pcx_writer.h"

class PcxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Allocates and opens a buffer; its pixels start as fill.
  void open_buffer(int32_t width, int32_t height, uint8_t fill = 0);
  // Closes and frees the active buffer, if any.
  void close_buffer();
  // The active buffer's pixels, row by row (active width x active height).
  std::vector<uint8_t> pixels();
  // Puts pixels (active width x active height) into the active buffer.
  void set_pixels(const std::vector<uint8_t>& values);
  // Writes bytes to a fresh file in the test's temporary folder; its path.
  std::string write_file(const std::vector<uint8_t>& bytes);
  // pcx_show of these bytes from a file, or from the stream buffer in memory mode.
  int32_t show(const std::vector<uint8_t>& bytes, uint32_t flags, bool memory = false);
  // The logical palette's colour of an entry as r, g, b.
  std::vector<uint8_t> entry(int index) const;
  // All 256 logical entries as RGB triples.
  std::vector<uint8_t> logical_colours() const;

  plat_dc dc_ = nullptr;
  plat_palette palette_ = nullptr;
  int files_ = 0;
};

// A header for a width x height picture of this depth.
PcxWriterHeader header_of(int width, int height, int bits, int planes, uint8_t version = 5);
// A file: header, the given encoded bytes as they are, an optional colour block.
std::vector<uint8_t> file_of(const PcxWriterHeader& h, const std::vector<uint8_t>& stream,
                             const uint8_t* colours = nullptr);
// A file of a picture given as indices (one per pixel), encoded by the writer.
std::vector<uint8_t> picture_file(const PcxWriterHeader& h, const std::vector<uint8_t>& indices,
                                  const uint8_t* colours = nullptr);
// 256 colours, all different: colour k is (k, 255 - k, k * 7 mod 256).
std::vector<uint8_t> distinct_colours();
