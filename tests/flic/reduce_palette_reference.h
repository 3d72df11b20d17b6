// The FLIC palette reduction exactly as first written down: 20 passes over every
// pair of live colours. The tests and the benchmark hold the fast one against it.
#pragma once

#include <cstdint>

struct ReferenceReduction {
  uint8_t colours[256 * 3];  // the first 236 triples are the result
  uint8_t map[256];          // file colour -> palette entry
};

// Reduces palette (256 RGB triples) as gfx_reduce_palette does without flag 8.
void reference_reduce_palette(const uint8_t* palette, ReferenceReduction& out);
