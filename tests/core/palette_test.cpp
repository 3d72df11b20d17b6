// The logical palette, its reserved colours, ranges and the drawing colour.
#include <cstring>

#include "core_fixture.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb entry(int i) {
  const plat_palette_entry& e = gfx_state().logical_palette.entries[i];
  return {e.red, e.green, e.blue};
}

Rgb shown(int i) {
  const plat_palette_entry& e = hl_hardware_palette()[i];
  return {e.red, e.green, e.blue};
}

// A system palette where entry i is (i, 255 - i, 7): every entry is told apart.
void distinct_system_palette() {
  plat_palette_entry sys[256];
  for (int i = 0; i < 256; ++i) sys[i] = {uint8_t(i), uint8_t(255 - i), 7, 0};
  hl_set_system_palette(sys);
}

TEST_F(Core, DefaultPaletteAtPaletteDepthsAndAbove) {
  for (int32_t bits : {8, 16, 24, 32}) {
    hl_reset();
    gfx_load_state();
    hl_set_depth(bits, 1);
    distinct_system_palette();
    start();
    for (int i : {0, 9, 246, 255})
      EXPECT_EQ(entry(i), (Rgb{uint8_t(i), uint8_t(255 - i), 7})) << bits << " " << i;
    EXPECT_EQ(entry(10), (Rgb{0, 0, 0}));
    EXPECT_EQ(entry(25), (Rgb{255, 255, 255}));
    EXPECT_EQ(entry(30), (Rgb{0, 0, 255}));
    EXPECT_EQ(entry(245), (Rgb{44, 48, 64}));
    for (int i = 10; i <= 245; ++i) ASSERT_EQ(gfx_state().logical_palette.entries[i].flags, PLAT_PC_RESERVED);
  }
}

TEST_F(Core, DefaultPaletteBelowEightBitsMovesTheUpperSystemColoursToTheTop) {
  hl_set_depth(4, 1);
  distinct_system_palette();
  start();
  EXPECT_EQ(entry(8), (Rgb{192, 220, 192}));
  EXPECT_EQ(entry(9), (Rgb{166, 202, 240}));
  EXPECT_EQ(entry(10), (Rgb{0, 0, 0}));
  EXPECT_EQ(entry(246), (Rgb{255, 251, 240}));
  EXPECT_EQ(entry(247), (Rgb{160, 160, 164}));
  for (int k = 0; k < 8; ++k) EXPECT_EQ(entry(248 + k), (Rgb{uint8_t(8 + k), uint8_t(247 - k), 7}));
}

TEST_F(Core, DefaultColourTableHueRings) {
  // First ring: levels 0, 64, 125, 190, 255; its legs start at triples 22, 26, 30, 34, 38, 42.
  const struct {
    int triple;
    Rgb rgb;
  } cases[] = {{22, {0, 0, 255}},   {23, {64, 0, 255}},    {26, {255, 0, 255}}, {29, {255, 0, 64}},
               {30, {255, 0, 0}},   {34, {255, 255, 0}},   {38, {0, 255, 0}},   {42, {0, 255, 255}},
               {45, {0, 64, 255}},  {46, {125, 125, 255}},  // second ring begins
               {237, {44, 48, 64}}, {2, {0, 0, 0}},        {8, {170, 85, 0}},   {17, {255, 255, 255}},
               {19, {85, 85, 85}}};
  for (const auto& c : cases) {
    const uint8_t* t = pal_default_colours.rgb[c.triple];
    EXPECT_EQ((Rgb{t[0], t[1], t[2]}), c.rgb) << c.triple;
  }
}

TEST_F(Core, DrawingColourUsesTheLowByteAndIsZeroBeforeInit) {
  gfx_set_colour(25);  // before gfx_init the map is all zeros
  EXPECT_EQ(gfx_state().colour_index, 25);
  EXPECT_EQ(gfx_state().fill_word, 0u);
  start();
  EXPECT_EQ(gfx_state().drawn_value, 0);
  gfx_set_colour(25);
  EXPECT_EQ(gfx_state().drawn_value, 25);
  EXPECT_EQ(gfx_state().fill_word, 0x19191919u);
  gfx_set_colour(0x1FF);
  EXPECT_EQ(gfx_state().colour_index, 0xFF);
}

TEST_F(Core, PaletteRangesChangeExactlyTheirEntriesOnScreenAtOnce) {
  start();
  uint8_t colours[256 * 3];
  for (int i = 0; i < 256 * 3; ++i) colours[i] = uint8_t(i * 7 + 1);
  const Rgb before26 = entry(26);
  EXPECT_EQ(gfx_set_palette_range(10, 16, colours), 0);
  EXPECT_TRUE(hl_animations().empty()) << "no buffer is active yet: nothing changes";
  EXPECT_EQ(entry(10), (Rgb{0, 0, 0}));

  open_buffer(8, 8);
  gfx_set_palette_range(10, 0, colours);
  EXPECT_TRUE(hl_animations().empty());
  gfx_set_palette_range(10, 16, colours);
  for (int k = 0; k < 16; ++k) {
    const Rgb want{colours[3 * k], colours[3 * k + 1], colours[3 * k + 2]};
    EXPECT_EQ(entry(10 + k), want);
    EXPECT_EQ(shown(10 + k), want);
  }
  EXPECT_EQ(entry(26), before26);
  ASSERT_EQ(hl_animations().size(), 1u);
  EXPECT_EQ(hl_animations()[0].start, 10u);
  EXPECT_EQ(hl_animations()[0].count, 16u);
}

TEST_F(Core, PaletteRangesBeyondTheLastEntryAreCut) {
  start();
  open_buffer(8, 8);
  uint8_t colours[300 * 3];
  std::memset(colours, 0x55, sizeof colours);
  gfx_set_palette_range(250, 50, colours);
  EXPECT_EQ(entry(255), (Rgb{0x55, 0x55, 0x55}));
  EXPECT_EQ(hl_animations().back().count, 6u);
  gfx_set_palette_range(-5, 10, colours);
  EXPECT_EQ(entry(0), (Rgb{0x55, 0x55, 0x55}));  // entries below 0 were dropped, 0 to 4 set
  EXPECT_EQ(hl_animations().back().start, 0u);
  EXPECT_EQ(hl_animations().back().count, 5u);
  gfx_set_palette_range(300, 5, colours);
  gfx_set_palette_range(0, -1, colours);
  EXPECT_EQ(hl_animations().size(), 2u);
}

TEST_F(Core, ReservedEntriesShowTheSystemColoursWhateverTheLogicalPaletteSays) {
  start();
  open_buffer(8, 8);
  gfx_realize_palette(palette_);
  gfx_realize_palette(palette_);  // realizing twice is harmless
  EXPECT_EQ(gfx_state().current_palette, palette_);
  EXPECT_EQ(shown(0), (Rgb{0, 0, 0}));
  EXPECT_EQ(shown(9), (Rgb{166, 202, 240}));
  EXPECT_EQ(shown(255), (Rgb{255, 255, 255}));
  EXPECT_EQ(shown(30), (Rgb{0, 0, 255}));
}

}  // namespace
