// A fresh library, headless screen and buffer for every FLIC test, and helpers to
// write hand-made files and read back what the decoder drew.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flic/flic.h"
#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/headless/controls.h"

class Flic : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The viewer's start-up, then a buffer of this size, opened.
  void start(int32_t width, int32_t height);
  // Writes the file under a fresh name in the test's own folder; returns its path.
  std::string save(const FlicWriter& w);
  std::string save_bytes(const std::vector<uint8_t>& bytes);
  // Opens a file into context_, expecting success.
  void open(const std::string& path);
  // The active buffer's pixels (row pitch = active width), and one of them.
  std::vector<uint8_t> pixels();
  uint8_t pixel(int32_t x, int32_t y);
  // Sets every pixel of the active buffer.
  void fill_buffer(uint8_t value);
  // Makes the FLIC colour map the identity, as flag 8 leaves it.
  void identity_map();

  FlicContext context_{};
  std::string dir_;
  int files_ = 0;
  bool opened_ = false;
};

// A file with one frame of the given chunks, of kind FLC unless told.
FlicWriter one_frame(int width, int height,
                     const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& chunks,
                     uint16_t magic = FLIC_MAGIC_FLC, uint32_t speed = 0);
// Test data shipped with the project.
std::string data_file(const std::string& name);
