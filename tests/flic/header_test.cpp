// Headers, the playback context, and the timing of frames.
#include <dirent.h>

#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

int open_descriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

FlicWriter frames_at_speed(uint16_t magic, uint32_t speed, int frames, bool prefix = false) {
  FlicWriter w;
  fw_begin(w, magic, 4, 2, speed);
  if (prefix) {
    fw_begin_prefix(w);
    fw_end_frame(w);
  }
  for (int k = 0; k < frames; ++k) {
    fw_begin_frame(w);
    fw_end_frame(w);
  }
  fw_finish(w);
  return w;
}

}  // namespace

TEST_F(Flic, HeaderChecksTellFlicsFromOtherFiles) {
  struct Case {
    const char* name;
    Bytes bytes;
    int32_t result;
  };
  FlicWriter fli;
  fw_begin(fli, FLIC_MAGIC_FLI, 320, 200, 5);
  Bytes not_flic = fli.bytes;
  not_flic[4] = 0x13;  // 0xAF13
  Bytes short_file(fli.bytes.begin(), fli.bytes.end() - 1);
  const Case cases[] = {
      {"FLI", fli.bytes, 0},
      {"header only, 128 bytes", frames_at_speed(FLIC_MAGIC_FLC, 0, 0).bytes, 0},
      {"127 bytes", short_file, -2},
      {"magic 0xAF13", not_flic, -2},
      {"empty file", {}, -2},
  };
  const int descriptors = open_descriptors();
  for (const Case& c : cases) {
    const std::string path = save_bytes(c.bytes);
    uint8_t header[FLIC_HEADER_SIZE] = {};
    EXPECT_EQ(flic_check_header(path.c_str(), header), c.result) << c.name;
    FlicContext ctx{};
    EXPECT_EQ(flic_open(path.c_str(), &ctx), c.result) << c.name;
    if (c.result == 0) flic_close(&ctx);
  }
  uint8_t header[FLIC_HEADER_SIZE] = {};
  EXPECT_EQ(flic_check_header((dir_ + "/missing.flc").c_str(), header), -1);
  FlicContext ctx{};
  EXPECT_EQ(flic_open((dir_ + "/missing.flc").c_str(), &ctx), -1);
  EXPECT_EQ(open_descriptors(), descriptors) << "no file is left open";
}

TEST_F(Flic, SizeComesFromTheHeaderOrIsMinusOne) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, 321, 74, 0);
  int32_t width = 0, height = 0;
  EXPECT_EQ(flic_size(w.bytes.data(), &width, &height), 0);
  EXPECT_EQ(width, 321);
  EXPECT_EQ(height, 74);
  w.bytes[5] = 0xAE;
  EXPECT_EQ(flic_size(w.bytes.data(), &width, &height), 0);
  EXPECT_EQ(width, -1);
  EXPECT_EQ(height, -1);
}

TEST_F(Flic, OpenFillsTheContextWithDelayAndFrameTime) {
  struct Case {
    uint16_t magic;
    uint32_t speed;
    uint16_t delay;     // 18.2 Hz ticks
    uint32_t frame_us;  // exact
  };
  const Case cases[] = {
      {FLIC_MAGIC_FLI, 5, 1, 71428},
      {FLIC_MAGIC_FLI, 70, 18, 1000000},
      {FLIC_MAGIC_FLI, 3, 0, 42857},
      {FLIC_MAGIC_FLI, 0, 1, 71428},  // no speed: 5/70 s
      {FLIC_MAGIC_FLC, 54, 0, 54000},
      {FLIC_MAGIC_FLC, 110, 2, 110000},
      {FLIC_MAGIC_FLC, 0, 1, 71428},
      {FLIC_MAGIC_FLC, 3604479, 65535, 3604479000u},
      {FLIC_MAGIC_FLC, 0xFFFFFFFF, 65535, 3604479000u},
  };
  for (const Case& c : cases) {
    FlicWriter w = frames_at_speed(c.magic, c.speed, 0);
    w.bytes[6] = 7;  // frame count
    const std::string path = save(w);
    FlicContext ctx{};
    ASSERT_EQ(flic_open(path.c_str(), &ctx), 0);
    EXPECT_EQ(ctx.delay, c.delay) << "speed " << c.speed;
    EXPECT_EQ(ctx.frame_us, c.frame_us) << "speed " << c.speed;
    EXPECT_EQ(ctx.frame_count, 7);
    EXPECT_EQ(ctx.width, 4);
    EXPECT_EQ(ctx.height, 2);
    EXPECT_EQ(ctx.next_offset, 128u);
    EXPECT_EQ(ctx.resident, 0);
    flic_close(&ctx);
  }
  EXPECT_EQ(FLIC_DEFAULT_FRAME_US, 71428u);
}

TEST_F(Flic, FramesAreDueOneExactFrameTimeApart) {
  start(4, 2);
  // FLC at 40 ms: the tick delay would be 0 (no pause at all); frames still keep time.
  open(save(frames_at_speed(FLIC_MAGIC_FLC, 40, 4)));
  hl_set_clock_us(1000);
  for (int k = 1; k <= 3; ++k) {
    ASSERT_EQ(flic_play(&context_, 1, 0), 1);
    EXPECT_EQ(hl_clock_us(), 1000 + k * 40000) << "frame " << k;
  }
  // Decoding that takes part of a frame time does not shift the schedule.
  hl_set_clock_us(hl_clock_us() + 15000);
  ASSERT_EQ(flic_play(&context_, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 1000 + 4 * 40000);
}

TEST_F(Flic, PlaybackThatFallsBehindStartsAFreshSchedule) {
  start(4, 2);
  open(save(frames_at_speed(FLIC_MAGIC_FLI, 7, 3)));  // 100 ms
  ASSERT_EQ(flic_play(&context_, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 100000);
  hl_set_clock_us(350000);  // more than a frame late
  ASSERT_EQ(flic_play(&context_, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 450000);
}

// A file without a speed plays at 5/70 s a frame, not at once; flag 1 never pauses.
TEST_F(Flic, NoPauseWithFlag1AndSpeed0PlaysAtTheDefaultFrameTime) {
  start(4, 2);
  struct Case {
    uint16_t magic;
    uint32_t speed;
    uint32_t flags;
    int64_t two_frames_us;
  };
  for (const Case& c :
       {Case{FLIC_MAGIC_FLC, 50, GFX_FLAG_NO_PAUSE, 0}, Case{FLIC_MAGIC_FLC, 0, GFX_FLAG_NO_PAUSE, 0},
        Case{FLIC_MAGIC_FLC, 0, 0, 142856}, Case{FLIC_MAGIC_FLI, 0, 0, 142856}}) {
    hl_set_clock_us(0);
    FlicContext ctx{};
    ASSERT_EQ(flic_open(save(frames_at_speed(c.magic, c.speed, 2)).c_str(), &ctx), 0);
    EXPECT_EQ(flic_play(&ctx, -1, c.flags), 2);
    flic_close(&ctx);
    EXPECT_EQ(hl_clock_us(), c.two_frames_us) << "speed " << c.speed << ", flags " << c.flags;
  }
}

TEST_F(Flic, PrefixRecordTakesOnePause) {
  start(4, 2);
  open(save(frames_at_speed(FLIC_MAGIC_FLC, 10, 1, true)));
  ASSERT_EQ(flic_play(&context_, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 20000);
  EXPECT_EQ(hl_waits(), 2);
}

TEST_F(Flic, ANewFileIsTimedAfresh) {
  start(4, 2);
  FlicContext a{}, b{};
  ASSERT_EQ(flic_open(save(frames_at_speed(FLIC_MAGIC_FLC, 100, 2)).c_str(), &a), 0);
  ASSERT_EQ(flic_play(&a, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 100000);
  hl_set_clock_us(150000);
  ASSERT_EQ(flic_open(save(frames_at_speed(FLIC_MAGIC_FLC, 100, 2)).c_str(), &b), 0);
  ASSERT_EQ(flic_play(&b, 1, 0), 1);
  EXPECT_EQ(hl_clock_us(), 250000) << "not the old file's 200000";
  flic_close(&a);
  flic_close(&b);
}
