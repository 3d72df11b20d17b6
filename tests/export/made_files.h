// Small FLIC files made with the FLIC writer for the converter's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flic/flic_writer.h"

// Pixels of frame k (from 0) of the made animation: a pattern that moves each frame.
std::vector<uint8_t> made_pixels(int width, int height, int k, int colours);
// 256 colours, of which the first `distinct` differ and the rest repeat colour 0.
std::vector<uint8_t> made_palette(int distinct);

// Where the animation's one colour chunk stands.
enum class MadeColours {
  first,         // before frame 1's pixels, as most writers put it
  after_pixels,  // after frame 1's pixels
  in_frame_2,    // after frame 2's pixels: frame 1 has none
};

// An animation of `frames` frames plus a ring frame: a colour chunk and a run-length
// frame, then word deltas (FLC) or byte deltas (FLI); the header gives `frames`.
FlicWriter made_animation(uint16_t magic, int width, int height, int frames, uint32_t speed, int colours,
                          MadeColours where = MadeColours::first);
