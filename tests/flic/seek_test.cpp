// flic_seek: any frame, reached from kept copies in any order, is the frame that
// decoding the file from its start gives, in its pixels and its colours on screen.
#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/flic/flic_fixture.h"

namespace {

struct Shown {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> colours;  // the hardware palette, 3 bytes an entry
};

class Seek : public Flic {
 protected:
  Shown now() {
    Shown s{pixels(), std::vector<uint8_t>(768)};
    const plat_palette_entry* hw = hl_hardware_palette();
    for (size_t e = 0; e < 256; ++e) {
      s.colours[3 * e] = hw[e].red;
      s.colours[3 * e + 1] = hw[e].green;
      s.colours[3 * e + 2] = hw[e].blue;
    }
    return s;
  }
};

// Files whose frames change colours (the cycling one) as well as pixels, FLI and FLC.
TEST_F(Seek, EveryFrameInAnyOrderIsTheFrameDecodedFromTheStartWithItsColoursWithoutPauses) {
  for (const char* name : {"cycle-320x200.fli", "walk-320x200.fli", "sun-146x140.flc", "dance-640x480.flc"}) {
    SCOPED_TRACE(name);
    TearDown();
    SetUp();
    uint8_t header[FLIC_HEADER_SIZE];
    ASSERT_EQ(flic_check_header(data_file(name).c_str(), header), 0);
    int32_t width = 0, height = 0;
    flic_size(header, &width, &height);
    start(width, height);
    open(data_file(name));
    std::vector<Shown> frames;
    while (flic_play(&context_, 1, GFX_FLAG_NO_PAUSE) == 1) frames.push_back(now());
    const auto records = static_cast<uint32_t>(frames.size());
    ASSERT_GT(records, 4u);

    fill_buffer(0);
    flic_skip(&context_, -1);
    FlicKeyframes keys;
    flic_keyframes_reset(&keys, 3);
    ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE), 1);
    flic_keyframes_note(&keys, &context_);
    // Back and forth: the last frame, the first, the middle, then every frame backwards.
    std::vector<uint32_t> order = {records, 1, records / 2, records / 2 + 1};
    for (uint32_t r = records; r >= 1; --r) order.push_back(r);
    const int32_t waits = hl_waits();
    for (uint32_t target : order) {
      ASSERT_EQ(flic_seek(&context_, &keys, target), static_cast<int32_t>(target));
      const Shown got = now();
      EXPECT_TRUE(got.pixels == frames[target - 1].pixels) << "pixels of frame " << target;
      EXPECT_TRUE(got.colours == frames[target - 1].colours) << "colours of frame " << target;
    }
    EXPECT_EQ(hl_waits(), waits);
    EXPECT_GE(keys.frames.size(), records / 3);
    // Beyond the last record: the last one is reached, and said so.
    EXPECT_EQ(flic_seek(&context_, &keys, records + 5), static_cast<int32_t>(records));
  }
}

TEST(KeyframeInterval, KeepsTheCopiesWithinTheBudgetButNeverBelowEight) {
  struct Case {
    uint32_t frames;
    uint64_t picture;
    uint64_t budget;
    uint32_t interval;
  };
  const Case cases[] = {
      {300, 640 * 480, 64u << 20, 8},      // 38 copies of 300 KiB
      {2000, 1280 * 1024, 64u << 20, 40},  // 50 copies of 1.25 MiB
      {10, 100, 1000, 8},                  // never below 8
      {100, 1000, 0, 100},                 // no room: frame 1 only
  };
  for (const Case& c : cases) EXPECT_EQ(flic_keyframe_interval(c.frames, c.picture, c.budget), c.interval);
}

}  // namespace
