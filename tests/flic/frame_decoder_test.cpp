// The frame loop of flic_play: counts, records, positions, placement and memory mode.
#include <unistd.h>

#include <cstring>

#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A 4 x 2 FLC whose frame k (from 1) paints every pixel with value k.
FlicWriter numbered_frames(int frames, bool prefix = false, uint32_t speed = 0) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 2, speed);
  if (prefix) {
    fw_begin_prefix(w);
    fw_raw(w, {1, 2, 3, 4, 5, 6});
    fw_end_frame(w);
  }
  for (int k = 1; k <= frames; ++k) {
    fw_begin_frame(w);
    fw_chunk(w, 15, {0, 4, uint8_t(k), 0, 4, uint8_t(k)});
    fw_end_frame(w);
  }
  fw_finish(w);
  return w;
}

class FrameDecoder : public Flic {
 protected:
  void SetUp() override {
    Flic::SetUp();
    start(4, 2);
    identity_map();
  }
  off_t position() { return lseek(context_.handle, 0, SEEK_CUR); }
};

constexpr uint32_t FAST = GFX_FLAG_NO_PAUSE;

}  // namespace

TEST_F(FrameDecoder, CountZeroReadsNothing) {
  open(save(numbered_frames(2)));
  EXPECT_EQ(flic_play(&context_, 0, FAST), 0);
  EXPECT_EQ(position(), 128);
  EXPECT_EQ(pixel(0, 0), 0);
}

TEST_F(FrameDecoder, ConsecutiveCallsDecodeConsecutiveFramesAndStopAtTheNextRecord) {
  const FlicWriter w = numbered_frames(3);
  open(save(w));
  const off_t record = 128 + 6 + 16 + 6;  // each record: header, one chunk of 6 bytes of data
  for (int k = 1; k <= 3; ++k) {
    ASSERT_EQ(flic_play(&context_, 1, FAST), 1);
    EXPECT_EQ(pixel(3, 1), k);
    EXPECT_EQ(position(), 128 + k * (record - 128)) << "after frame " << k;
  }
  EXPECT_EQ(flic_play(&context_, 1, FAST), 0) << "at the end of the file";
}

TEST_F(FrameDecoder, ManyFramesInOneCallCrossStreamBufferRefills) {
  open(save(numbered_frames(250)));  // 7000 bytes: two refills of the stream buffer
  EXPECT_EQ(flic_play(&context_, 100, FAST), 100);
  EXPECT_EQ(pixel(0, 0), 100);
  EXPECT_EQ(flic_play(&context_, 1, FAST), 1);
  EXPECT_EQ(pixel(0, 0), 101);
  EXPECT_EQ(flic_play(&context_, -1, FAST), 149) << "a negative count runs to the end";
  EXPECT_EQ(pixel(0, 0), 250);
}

TEST_F(FrameDecoder, PrefixRecordIsPassedAndNotCounted) {
  open(save(numbered_frames(2, true)));
  EXPECT_EQ(flic_play(&context_, 1, FAST), 1);
  EXPECT_EQ(pixel(0, 0), 1);
}

TEST_F(FrameDecoder, EmptyFrameCountsAndDrawsNothing) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 2, 0);
  fw_begin_frame(w);
  fw_end_frame(w);
  fw_finish(w);
  EXPECT_EQ(w.bytes.size(), 128u + 16u);
  open(save(w));
  fill_buffer(0xEE);
  EXPECT_EQ(flic_play(&context_, 1, FAST), 1);
  EXPECT_EQ(pixels(), Bytes(8, 0xEE));
}

TEST_F(FrameDecoder, UnknownChunkIsSkippedAndTheOthersStillDecode) {
  open(save(one_frame(4, 2, {{18, Bytes(40, 0xFF)}, {15, {0, 4, 6, 0, 4, 6}}, {2, {9, 9}}})));
  EXPECT_EQ(flic_play(&context_, 1, FAST), 1);
  EXPECT_EQ(pixels(), Bytes(8, 6));
}

TEST_F(FrameDecoder, HeaderOnlyFileHasNoFrame) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 2, 0);
  fw_finish(w);
  open(save(w));
  EXPECT_EQ(flic_play(&context_, 1, FAST), 0);
}

TEST_F(FrameDecoder, AtPositionPlacesTheFrameAtTheDrawingPosition) {
  vb_close();
  ASSERT_EQ(vb_open(vb_alloc(40, 16)), 0);
  fill_buffer(0xEE);
  gfx_state().draw_x = 20;
  gfx_state().draw_y = 10;
  open(save(one_frame(3, 2, {{16, {1, 2, 3, 4, 5, 6}}})));
  ASSERT_EQ(flic_play(&context_, 1, FAST | GFX_FLAG_AT_POSITION), 1);
  const Bytes all = pixels();
  Bytes expected(40 * 16, 0xEE);
  for (int x = 0; x < 3; ++x) {
    expected[static_cast<size_t>(10 * 40 + 20 + x)] = uint8_t(1 + x);
    expected[static_cast<size_t>(11 * 40 + 20 + x)] = uint8_t(4 + x);
  }
  EXPECT_EQ(all, expected);
}

TEST_F(FrameDecoder, RowsBelowTheBufferAreNotWritten) {
  // A 4 x 5 frame into a 4 x 2 buffer: rows 0 and 1 drawn, rows 2 to 4 dropped.
  Bytes rows;
  for (int y = 0; y < 5; ++y) rows.insert(rows.end(), {0, 4, uint8_t(y + 1)});
  open(save(one_frame(4, 5, {{15, rows}})));
  ASSERT_EQ(flic_play(&context_, 1, FAST), 1);
  EXPECT_EQ(pixels(), (Bytes{1, 1, 1, 1, 2, 2, 2, 2}));
}

TEST_F(FrameDecoder, MemoryModeDecodesFromTheStreamBufferAndKeepsItsPlace) {
  const FlicWriter w = numbered_frames(3, true);
  open(save(w));
  std::memcpy(gfx_state().stream_buffer, w.bytes.data(), w.bytes.size());
  gfx_state().stream_size = uint32_t(w.bytes.size());
  const off_t before = position();
  ASSERT_EQ(flic_play(&context_, 1, FAST | GFX_FLAG_MEMORY), 1);
  EXPECT_EQ(pixel(0, 0), 1);
  EXPECT_EQ(context_.resident, 1);
  const uint32_t after_first = context_.next_offset;
  EXPECT_EQ(after_first, 128u + 22u + 28u);  // past the prefix record and frame 1
  ASSERT_EQ(flic_play(&context_, 2, FAST | GFX_FLAG_MEMORY), 2);
  EXPECT_EQ(pixel(0, 0), 3);
  EXPECT_EQ(flic_play(&context_, 1, FAST | GFX_FLAG_MEMORY), 0);
  EXPECT_EQ(position(), before) << "memory mode never touches the file";
  flic_skip(&context_, -1);
  EXPECT_EQ(context_.next_offset, 128u);
  ASSERT_EQ(flic_play(&context_, 1, FAST | GFX_FLAG_MEMORY), 1);
  EXPECT_EQ(pixel(0, 0), 1);
}

TEST_F(FrameDecoder, MemoryModeNeverReadsPastTheSizeWord) {
  const FlicWriter w = numbered_frames(3);
  open(save(w));
  std::memcpy(gfx_state().stream_buffer, w.bytes.data(), w.bytes.size());
  // The size word ends inside frame 2: frame 1 decodes, frame 2 is cut off.
  gfx_state().stream_size = uint32_t(128 + 28 + 20);
  EXPECT_EQ(flic_play(&context_, -1, FAST | GFX_FLAG_MEMORY), 1);
  context_.next_offset = 5000;  // beyond the data
  EXPECT_EQ(flic_play(&context_, 1, FAST | GFX_FLAG_MEMORY), 0);
}

TEST_F(FrameDecoder, NoActiveBufferReadsNothing) {
  open(save(numbered_frames(1)));
  vb_close();
  EXPECT_EQ(flic_play(&context_, 1, FAST), 0);
  EXPECT_EQ(position(), 128);
}
