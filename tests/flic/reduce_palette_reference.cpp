#include "tests/flic/reduce_palette_reference.h"

#include <cstring>

void reference_reduce_palette(const uint8_t* palette, ReferenceReduction& out) {
  uint8_t* work = out.colours;
  uint8_t* map = out.map;
  uint8_t live[256];
  std::memcpy(work, palette, 256 * 3);
  for (int k = 0; k < 256; ++k) {
    live[k] = 1;
    map[k] = static_cast<uint8_t>(k);
  }
  int live_count = 256;
  while (live_count > 236) {
    uint32_t best = 0xFFFFFFFF;
    int best_i = 0, best_j = 0;
    for (int i = 0; i < 255; ++i) {
      if (!live[i]) continue;
      for (int j = i + 1; j < 256; ++j) {
        if (!live[j]) continue;
        uint32_t sum = 0;
        bool abandoned = false;
        for (int c = 0; c < 3 && !abandoned; ++c) {
          const int diff = work[3 * i + c] > work[3 * j + c] ? work[3 * i + c] - work[3 * j + c]
                                                             : work[3 * j + c] - work[3 * i + c];
          sum += static_cast<uint32_t>(diff * diff);
          abandoned = sum > best;
        }
        if (abandoned) continue;
        best = sum;
        best_i = i;
        best_j = j;
      }
    }
    for (int k = 0; k < 256; ++k)
      if (map[k] == best_i) map[k] = static_cast<uint8_t>(best_j);
    live[best_i] = 0;
    --live_count;
  }
  int m = 0;
  for (int k = 0; k < 256; ++k) {
    if (!live[k]) continue;
    map[k] = static_cast<uint8_t>(m);
    std::memcpy(work + 3 * m, work + 3 * k, 3);
    ++m;
  }
  for (int k = 0; k < 256; ++k)
    if (!live[k]) map[k] = map[map[k]];
  for (int k = 0; k < 256; ++k) map[k] = static_cast<uint8_t>(map[k] + 10);
}
