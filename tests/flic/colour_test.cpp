// Colour chunks: what reaches the FLIC file palette, the colour map and the screen.
#include "tests/flic/flic_fixture.h"
#include "tests/flic/reduce_palette_reference.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Colours : public Flic {
 protected:
  // Decodes one frame holding these chunks, with or without reduction.
  int32_t play(const std::vector<std::pair<uint16_t, Bytes>>& chunks, uint32_t flags = GFX_FLAG_NO_REDUCE) {
    open(save(one_frame(8, 2, chunks)));
    return flic_play(&context_, 1, flags | GFX_FLAG_NO_PAUSE);
  }
  Bytes file_palette() { return Bytes(gfx_state().flic_file_palette, gfx_state().flic_file_palette + 768); }
};

}  // namespace

TEST_F(Colours, SixtyFourLevelsWidenTo256) {
  start(8, 2);
  Bytes data = {1, 0, 0, 0};  // one packet: skip 0, 256 entries
  for (int k = 0; k < 256; ++k) data.insert(data.end(), {0, 32, 63});
  ASSERT_EQ(play({{11, data}}), 1);
  for (int k = 0; k < 256; ++k) {
    EXPECT_EQ(gfx_state().flic_file_palette[3 * k], 0);
    EXPECT_EQ(gfx_state().flic_file_palette[3 * k + 1], 129);
    EXPECT_EQ(gfx_state().flic_file_palette[3 * k + 2], 255);
  }
  EXPECT_EQ(gfx_state().logical_palette.entries[10].green, 129);
}

TEST_F(Colours, PacketsChangeOnlyTheEntriesTheyName) {
  struct Case {
    const char* name;
    Bytes data;
    std::vector<int> changed;
  };
  const Case cases[] = {
      {"skip 2 count 3, skip 1 count 1",
       {2, 0, 2, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 1, 1, 4, 4, 4},
       {2, 3, 4, 6}},
      {"past entry 255 wraps to 0", {1, 0, 254, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3}, {254, 255, 0}},
      {"skips wrap too", {2, 0, 200, 1, 9, 9, 9, 100, 1, 8, 8, 8}, {200, 45}},
      {"no packets", {0, 0}, {}},
  };
  for (const Case& c : cases) {
    SetUp();
    start(8, 2);
    std::fill_n(gfx_state().flic_file_palette, 768, 0xAA);
    ASSERT_EQ(play({{4, c.data}}), 1) << c.name;
    const Bytes after = file_palette();
    for (int k = 0; k < 256; ++k) {
      const bool named = std::find(c.changed.begin(), c.changed.end(), k) != c.changed.end();
      EXPECT_EQ(after[static_cast<size_t>(3 * k)] != 0xAA, named) << c.name << ": entry " << k;
    }
    // The palette is reduced and loaded at entries 10 to 245 in every case.
    ASSERT_FALSE(hl_animations().empty()) << c.name;
    EXPECT_EQ(hl_animations().back().start, 10u) << c.name;
    EXPECT_EQ(hl_animations().back().count, 236u) << c.name;
    TearDown();
  }
}

TEST_F(Colours, OddLengthChunkIsFollowedByItsPaddingByte) {
  start(8, 2);
  // 2 + 2 + 3 data bytes: the writer pads the chunk to 14 bytes; the black chunk after
  // it must still be found.
  identity_map();
  fill_buffer(0xEE);
  ASSERT_EQ(play({{4, {1, 0, 5, 1, 10, 20, 30}}, {13, {}}}), 1);
  EXPECT_EQ(gfx_state().flic_file_palette[15], 10);
  EXPECT_EQ(pixel(7, 1), 0);
}

TEST_F(Colours, PixelsAfterAColourChunkGoThroughTheNewMap) {
  start(8, 2);
  // Frame 1: 256 identical colours (map: 235-255 -> 245), then pixels of value 250.
  // Frame 2: all colours distinct again; the old pixels keep 245, new ones get 10+250.
  Bytes same = {1, 0, 0, 0}, ramp = {1, 0, 0, 0};
  for (int k = 0; k < 256; ++k) {
    same.insert(same.end(), {50, 50, 50});
    ramp.insert(ramp.end(), {uint8_t(k), uint8_t(255 - k), uint8_t(k / 2)});
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 8, 2, 0);
  fw_begin_frame(w);
  fw_chunk(w, 4, same);
  fw_chunk(w, 15, {0, 8, 250, 0, 8, 250});
  fw_end_frame(w);
  fw_begin_frame(w);
  fw_chunk(w, 4, ramp);
  fw_chunk(w, 12, {1, 0, 1, 0, 1, 0, 0xFF, 250});  // row 1, column 0
  fw_end_frame(w);
  fw_finish(w);
  open(save(w));
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixel(3, 1), 245);
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixel(3, 1), 245);
  ReferenceReduction reduced;
  reference_reduce_palette(ramp.data() + 4, reduced);
  EXPECT_EQ(pixel(0, 1), reduced.map[250]);
  EXPECT_NE(reduced.map[250], 245);
}

TEST_F(Colours, BeforeAnyColourChunkEveryPixelIsEntry0) {
  start(8, 2);
  fill_buffer(0xEE);
  ASSERT_EQ(play({{15, {0, 8, 77, 0, 8, 77}}}, 0), 1);
  EXPECT_EQ(pixels(), Bytes(16, 0));
}
