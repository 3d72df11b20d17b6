// Hand-made chunks of every kind, decoded into an 8 x 4 buffer that starts out 0xEE
// everywhere, with the identity colour map: what each chunk paints, and what it leaves.
#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t U = 0xEE;  // untouched pixel

struct ChunkCase {
  const char* name;
  int width, height;  // the frame's size
  uint16_t type;
  Bytes data;
  Bytes picture;  // the whole 8 x 4 buffer afterwards
};

class Chunks : public Flic, public ::testing::WithParamInterface<ChunkCase> {};

}  // namespace

TEST_P(Chunks, PaintTheirPixels) {
  const ChunkCase& c = GetParam();
  start(8, 4);
  fill_buffer(U);
  identity_map();
  FlicWriter w = one_frame(c.width, c.height, {{c.type, c.data}});
  open(save(w));
  EXPECT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixels(), c.picture);
}

INSTANTIATE_TEST_SUITE_P(
    Flic, Chunks,
    ::testing::Values(
        ChunkCase{
            "BlackPaintsTheFrameWithEntry0", 6, 3, 13, {}, {0, 0, 0, 0, 0, 0, U, U, 0, 0, 0, 0, 0, 0, U, U,
                                                            0, 0, 0, 0, 0, 0, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{"UncompressedRowsTopFirst", 3, 2, 16, {1, 2, 3, 4, 5, 6}, {1, 2, 3, U, U, U, U, U, 4, 5, 6,
                                                                             U, U, U, U, U, U, U, U, U, U, U,
                                                                             U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "RunLengthRunThenLiteral", 8, 1, 15, {1, 5, 7, 0xFD, 1, 2, 3}, {7, 7, 7, 7, 7, 1, 2, 3, U, U, U,
                                                                            U, U, U, U, U, U, U, U, U, U, U,
                                                                            U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "RunLengthPacketCountIgnored", 8, 1, 15, {0xFF, 5, 7, 0xFD, 1, 2, 3}, {7, 7, 7, 7, 7, 1, 2, 3,
                                                                                   U, U, U, U, U, U, U, U,
                                                                                   U, U, U, U, U, U, U, U,
                                                                                   U, U, U, U, U, U, U, U}},
        ChunkCase{
            "RunLengthRunOfZeroEatsItsValue", 4, 1, 15, {0, 0, 9, 4, 6}, {6, 6, 6, 6, U, U, U, U, U, U, U,
                                                                          U, U, U, U, U, U, U, U, U, U, U,
                                                                          U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "RunLengthPacketPastTheRowStopsAtTheFrameEdge",
            4,
            2,
            15,
            {0, 6, 1, 0, 0xFC, 2, 3, 4, 5},
            {1, 1, 1, 1, U, U, U, U, 2, 3, 4, 5, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "ByteDeltaFirstLineAndRun", 8, 4, 12, {1, 0, 1, 0, 1, 3, 0xFC, 9}, {U, U, U, U, U, U, U, U,
                                                                                U, U, U, 9, 9, 9, 9, U,
                                                                                U, U, U, U, U, U, U, U,
                                                                                U, U, U, U, U, U, U, U}},
        ChunkCase{
            "ByteDeltaLiteralsAndAnEmptyRow",
            8,
            4,
            12,
            {0, 0, 3, 0, 1, 1, 2, 4, 5, 0, 2, 1, 1, 7, 2, 1, 8},
            {U, 4, 5, U, U, U, U, U, U, U, U, U, U, U, U, U, U, 7, U, U, 8, U, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "ByteDeltaNoLines", 8, 4, 12, {0, 0, 0, 0}, {U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U,
                                                         U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "WordDeltaSkipRowsThenWordRun",
            8,
            4,
            7,
            {1, 0, 0xFE, 0xFF, 1, 0, 0, 0xFE, 1, 2},
            {U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, 1, 2, 1, 2, U, U, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{
            "WordDeltaLastByteThenPackets", 7, 4, 7, {1, 0, 5, 0x80, 1, 0, 2, 1, 3, 4}, {U, U, 3, 4, U, U, 5,
                                                                                         U, U, U, U, U, U, U,
                                                                                         U, U, U, U, U, U, U,
                                                                                         U, U, U, U, U, U, U,
                                                                                         U, U, U, U}},
        ChunkCase{
            "WordDeltaRowsWithNoPacketsStillCount",
            8,
            4,
            7,
            {2, 0, 0, 0, 1, 0, 0, 0xFF, 6, 6},
            {U, U, U, U, U, U, U, U, 6, 6, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U}},
        ChunkCase{"UnknownChunkIsSkipped", 8, 4, 18, {1, 2, 3, 4}, {U, U, U, U, U, U, U, U, U, U, U,
                                                                    U, U, U, U, U, U, U, U, U, U, U,
                                                                    U, U, U, U, U, U, U, U, U, U}}),
    [](const auto& chunk_case) { return std::string(chunk_case.param.name); });

TEST_F(Flic, UncompressedFrameConsumesWidthTimesHeightBytes) {
  start(320, 200);
  identity_map();
  std::vector<uint8_t> picture(320 * 200);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 7 / 3);
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 320, 200, 0);
  fw_begin_frame(w);
  fw_uncompressed(w, picture.data());
  fw_black(w);  // only reached if the first chunk ended exactly at its size
  fw_end_frame(w);
  fw_begin_frame(w);
  fw_uncompressed(w, picture.data());
  fw_end_frame(w);
  fw_finish(w);
  open(save(w));
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixels(), std::vector<uint8_t>(320 * 200, 0));
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixels(), picture);
}

TEST_F(Flic, EncodedFramesRoundTripThroughTheDecoder) {
  // The writer's encoders against the decoder, over frames that change in runs,
  // scattered pixels and whole rows; widths odd and even.
  for (int width : {37, 64, 300}) {
    SetUp();
    start(width, 30);
    identity_map();
    const int height = 30;
    std::vector<uint8_t> a(size_t(width) * height), b, c;
    for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t((i / 5) % 4 + (i % 13 == 0 ? i : 0));
    b = a;
    for (size_t i = 3; i < b.size(); i += 17) b[i] = uint8_t(b[i] + 1 + i % 3);
    c = b;
    for (int x = 0; x < width; ++x)
      c[static_cast<size_t>(size_t(12) * static_cast<size_t>(width) + static_cast<size_t>(x))] = uint8_t(x);
    c[static_cast<size_t>(size_t(29) * static_cast<size_t>(width) + static_cast<size_t>(width) - 1)] = 99;
    for (uint16_t magic : {FLIC_MAGIC_FLI, FLIC_MAGIC_FLC}) {
      FlicWriter w;
      fw_begin(w, magic, uint16_t(width), uint16_t(height), 0);
      const auto delta = magic == FLIC_MAGIC_FLI ? fw_byte_delta : fw_word_delta;
      fw_begin_frame(w);
      fw_byte_run(w, a.data());
      fw_end_frame(w);
      fw_begin_frame(w);
      delta(w, a.data(), b.data());
      fw_end_frame(w);
      fw_begin_frame(w);
      delta(w, b.data(), c.data());
      fw_end_frame(w);
      fw_finish(w);
      FlicContext ctx{};
      ASSERT_EQ(flic_open(save(w).c_str(), &ctx), 0);
      for (const auto* expected : {&a, &b, &c}) {
        ASSERT_EQ(flic_play(&ctx, 1, GFX_FLAG_NO_PAUSE), 1);
        std::vector<uint8_t> got;
        const std::vector<uint8_t> all = pixels();
        for (int y = 0; y < height; ++y)
          got.insert(got.end(), all.begin() + long(y) * gfx_state().row_pitch,
                     all.begin() + long(y) * gfx_state().row_pitch + width);
        EXPECT_EQ(got, *expected) << "width " << width << (magic == FLIC_MAGIC_FLI ? " FLI" : " FLC");
      }
      flic_close(&ctx);
    }
    TearDown();
  }
}
