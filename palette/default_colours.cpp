// The default colour table: two system greens and blues, sixteen base colours, four
// greys, nine hue rings of 24 colours, and two closing system colours.
#include <array>

#include "palette/palette.h"

namespace {

constexpr int kRingCount = 9;
constexpr int kRingLevels = 5;
constexpr int kRingSize = 24;
constexpr int kFirstRing = 22;

// Each ring's five 6-bit levels.
constexpr uint8_t kRingLevels6[kRingCount][kRingLevels] = {
    {0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};

constexpr uint8_t widen6(uint8_t v) { return static_cast<uint8_t>(v * 255 / 63); }

// Levels 0, 21, 42 and 63 of the base colours and greys.
constexpr uint8_t kBase[4] = {0, 21, 42, 63};
// The sixteen base colours as indices into kBase.
constexpr uint8_t kBaseColours[16][3] = {{0, 0, 0}, {0, 0, 2}, {0, 2, 0}, {0, 2, 2}, {2, 0, 0}, {2, 0, 2},
                                         {2, 1, 0}, {2, 2, 2}, {1, 1, 1}, {1, 1, 3}, {1, 3, 1}, {1, 3, 3},
                                         {3, 1, 1}, {3, 1, 3}, {3, 3, 1}, {3, 3, 3}};

// Which level each component of a ring's 24 colours takes (six legs of four).
constexpr uint8_t kRingShape[kRingSize][3] = {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4},   // red rising
                                              {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},   // blue falling
                                              {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0},   // green rising
                                              {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},   // red falling
                                              {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3},   // blue rising
                                              {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};  // green falling

constexpr void put(PalColourTable& t, int i, uint8_t r, uint8_t g, uint8_t b) {
  t.rgb[i][0] = r;
  t.rgb[i][1] = g;
  t.rgb[i][2] = b;
}

constexpr PalColourTable build() {
  PalColourTable t{};
  put(t, 0, 192, 220, 192);
  put(t, 1, 166, 202, 240);
  for (int i = 0; i < 16; ++i)
    put(t, 2 + i, widen6(kBase[kBaseColours[i][0]]), widen6(kBase[kBaseColours[i][1]]),
        widen6(kBase[kBaseColours[i][2]]));
  for (int i = 0; i < 4; ++i) put(t, 18 + i, widen6(kBase[i]), widen6(kBase[i]), widen6(kBase[i]));
  for (int ring = 0; ring < kRingCount; ++ring)
    for (int k = 0; k < kRingSize; ++k) {
      const uint8_t* levels = kRingLevels6[ring];
      put(t, kFirstRing + ring * kRingSize + k, widen6(levels[kRingShape[k][0]]),
          widen6(levels[kRingShape[k][1]]), widen6(levels[kRingShape[k][2]]));
    }
  put(t, 238, 255, 251, 240);
  put(t, 239, 160, 160, 164);
  return t;
}

}  // namespace

constinit const PalColourTable pal_default_colours = build();
