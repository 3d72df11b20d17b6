// The viewer on the headless window system: a fresh library, screen, window system
// and application for every test, run from an empty directory of its own, with
// small FLIC and PCX files made by the project's writers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"

// A FLIC of solid cells: frame k shows a background with one cell lit at column k.
struct TestFlic {
  int width;
  int height;
  int frames;
  uint32_t speed_ms;
  bool ring;  // end with a ring frame that turns the last picture back into the first
};

// A colour as the screen shows it.
struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

class App : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Paths inside the test's own directory.
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes a FLIC made of cells (see TestFlic); returns its path.
  std::string write_flic(const std::string& name, const TestFlic& flic);
  // Writes a file that is not a FLIC.
  std::string write_text(const std::string& name);
  // Writes an 8-bit PCX of four coloured quadrants; returns its path.
  std::string write_pcx(const std::string& name, int width, int height);

  // Starts the viewer with a file named on the command line (empty: none), or several.
  void start(const std::string& file = "");
  void start(const std::vector<std::string>& files);
  void command(int32_t id);
  // Opens a file through "&Open" with the dialog answered.
  void open(const std::string& file);
  // Closes the window through "&Quit" and runs the message loop to its end.
  int32_t quit();

  // The colour shown at a client pixel.
  Rgb shown(int x, int y) const;
  // True when the client area shows frame k of a cell FLIC (checked at cell centres).
  bool shows_frame(const TestFlic& flic, int k) const;
  // The client picture as indices, for comparing one moment with another.
  std::vector<uint8_t> client() const;

  std::string dir_;
  std::string old_cwd_;
};

// The colours of the cell FLICs and of the PCX quadrants.
Rgb test_background();
Rgb test_cell_colour(int frame);
Rgb test_quadrant_colour(int quadrant);
// Cell size of the cell FLICs, in pixels.
constexpr int TEST_CELL = 8;
