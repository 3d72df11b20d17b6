// flic_skip and flic_show: rewinding, passing records, looped playback and Escape.
#include <dirent.h>

#include "platform/input.h"
#include "tests/flic/flic_fixture.h"

namespace {

int open_descriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// frames frame records, each painting its number, and a last (ring) record painting 1.
FlicWriter animation(int frames, bool prefix = false, bool ring = true) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 4, 2, 10);
  if (prefix) {
    fw_begin_prefix(w);
    fw_end_frame(w);
  }
  for (int k = 1; k <= frames + (ring ? 1 : 0); ++k) {
    const uint8_t value = uint8_t(k > frames ? 1 : k);
    fw_begin_frame(w);
    fw_chunk(w, 15, {0, 4, value, 0, 4, value});
    fw_end_frame(w);
  }
  fw_finish(w, frames);
  return w;
}

int escape_at_poll = 0;
void press_escape_at(int32_t poll) {
  if (poll == escape_at_poll) hl_set_key_state(PLAT_VK_ESCAPE, PLAT_KEY_DOWN);
}

class Playback : public Flic {
 protected:
  void SetUp() override {
    Flic::SetUp();
    start(4, 2);
    identity_map();
  }
  void TearDown() override {
    hl_set_key_poll_hook(nullptr);
    Flic::TearDown();
  }
};

}  // namespace

TEST_F(Playback, RewindDecodesTheFirstFrameAgain) {
  open(save(animation(3)));
  ASSERT_EQ(flic_play(&context_, 3, GFX_FLAG_NO_PAUSE), 3);
  EXPECT_EQ(flic_skip(&context_, -1), 0);
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixel(0, 0), 1);
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
  EXPECT_EQ(pixel(0, 0), 2);
}

TEST_F(Playback, SkipCountsTheRecordsItPasses) {
  struct Case {
    int32_t n;
    int32_t result;
    int first_decoded;  // the frame flic_play decodes afterwards, 0 for none
  };
  const Case cases[] = {{0, 0, 1}, {1, 1, 2}, {2, 2, 0}, {3, 2, 0}, {-5, 0, 1}};
  const std::string path = save(animation(2, false, false));  // two records
  for (const Case& c : cases) {
    FlicContext ctx{};
    ASSERT_EQ(flic_open(path.c_str(), &ctx), 0);
    EXPECT_EQ(flic_skip(&ctx, c.n), c.result) << "skip " << c.n;
    fill_buffer(0);
    EXPECT_EQ(flic_play(&ctx, 1, GFX_FLAG_NO_PAUSE), c.first_decoded ? 1 : 0) << "skip " << c.n;
    EXPECT_EQ(pixel(0, 0), c.first_decoded) << "skip " << c.n;
    flic_close(&ctx);
  }
}

TEST_F(Playback, ShowPlaysEveryPassAndBlitsEachFrame) {
  struct Case {
    const char* name;
    FlicWriter file;
    int32_t loops;
    size_t blits;
  };
  const Case cases[] = {
      {"5 frames and a ring frame, once", animation(5), 1, 6},
      {"twice: later passes start at the second record", animation(5), 2, 11},
      {"with a prefix record the first frame is decoded on every pass", animation(5, true), 2, 12},
      {"one record, until Escape", animation(1, false, false), 0, 1},
      {"one record, negative loops", animation(1, false, false), -3, 1},
      {"no frame at all, until Escape", animation(0, true, false), 0, 0},
  };
  for (const Case& c : cases) {
    const size_t before = hl_blits().size();
    const int descriptors = open_descriptors();
    EXPECT_EQ(flic_show(save(c.file).c_str(), c.loops, GFX_FLAG_NO_PAUSE), 0) << c.name;
    EXPECT_EQ(hl_blits().size() - before, c.blits) << c.name;
    EXPECT_EQ(open_descriptors(), descriptors) << c.name << ": the file is closed";
  }
  // The whole 4 x 2 buffer is stretched over the whole 640 x 480 client area.
  ASSERT_FALSE(hl_blits().empty());
  EXPECT_EQ(hl_blits().back().src.right - hl_blits().back().src.left, 4);
  EXPECT_EQ(hl_blits().back().dest.right - hl_blits().back().dest.left, 640);
  EXPECT_EQ(hl_blits().back().dest.bottom - hl_blits().back().dest.top, 480);
}

TEST_F(Playback, EscapeEndsShowAfterTheFrameBeingShown) {
  escape_at_poll = 3;
  hl_set_key_poll_hook(press_escape_at);
  const int descriptors = open_descriptors();
  EXPECT_EQ(flic_show(save(animation(5)).c_str(), 0, GFX_FLAG_NO_PAUSE), 0);
  EXPECT_EQ(hl_blits().size(), 3u);
  EXPECT_EQ(pixel(0, 0), 3);
  EXPECT_EQ(open_descriptors(), descriptors);
}

TEST_F(Playback, EveryFrameFillsTheClientAreaAsItIsWhenTheFrameIsShown) {
  hl_set_key_poll_hook([](int32_t poll) {
    if (poll == 2) hl_set_client_size(300, 200);
  });
  EXPECT_EQ(flic_show(save(animation(3)).c_str(), 1, GFX_FLAG_NO_PAUSE), 0);
  const std::vector<HlBlit>& blits = hl_blits();
  ASSERT_EQ(blits.size(), 4u);
  for (size_t i = 0; i < blits.size(); ++i) {
    const plat_rect& d = blits[i].dest;
    EXPECT_EQ(d.right - d.left, i < 2 ? 640 : 300) << "frame " << i + 1;
    EXPECT_EQ(d.bottom - d.top, i < 2 ? 480 : 200) << "frame " << i + 1;
  }
}

// Each frame is stretched from the buffer's corner to the frame's far corner, not over
// the spare columns of a buffer rounded up to a multiple of 4.
TEST_F(Playback, ShowStretchesTheFrameNotTheWholeBuffer) {
  const int32_t slot = vb_alloc(8, 4);
  ASSERT_EQ(vb_open(slot), 0);
  const std::string file = save(one_frame(3, 2, {}));
  struct Case {
    uint32_t flags;
    int32_t x, y;           // drawing position
    int32_t right, bottom;  // of the source rectangle
  };
  for (const Case& c : {Case{0, 5, 3, 3, 2}, Case{GFX_FLAG_AT_POSITION, 2, 1, 5, 3},
                        Case{GFX_FLAG_AT_POSITION, 6, 3, 8, 4}}) {
    gfx_state().draw_x = c.x;
    gfx_state().draw_y = c.y;
    EXPECT_EQ(flic_show(file.c_str(), 1, c.flags | GFX_FLAG_NO_PAUSE), 0);
    ASSERT_FALSE(hl_blits().empty());
    const plat_rect& src = hl_blits().back().src;
    EXPECT_EQ(src.left, 0);
    EXPECT_EQ(src.top, 0);
    EXPECT_EQ(src.right, c.right) << "flags " << c.flags;
    EXPECT_EQ(src.bottom, c.bottom) << "flags " << c.flags;
  }
}

TEST_F(Playback, ShowReturnsTheOpenFailure) {
  EXPECT_EQ(flic_show((dir_ + "/missing.flc").c_str(), 1, 0), -1);
  EXPECT_EQ(flic_show(save_bytes(std::vector<uint8_t>(200, 1)).c_str(), 1, 0), -2);
  EXPECT_TRUE(hl_blits().empty());
}

TEST_F(Playback, ShowKeepsTheFilesFrameTime) {
  EXPECT_EQ(flic_show(save(animation(2)).c_str(), 1, 0), 0);
  EXPECT_EQ(hl_clock_us(), 3 * 10000);
}
