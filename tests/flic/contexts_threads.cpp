// Contexts: threads that decode at once, each in a context of its own, get the frames
// one thread gets, and a thread that makes no context has one of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"
#include "tests/flic/flic_fixture.h"

namespace {

// Every frame of a file (a PCX picture: its one picture) in the current context, as
// its pixels followed by the colours of the logical palette and of the file.
std::vector<std::vector<uint8_t>> decode(const std::string& path, uint32_t flags) {
  std::vector<std::vector<uint8_t>> frames;
  plat_dc dc = plat_get_dc(hl_window());
  gfx_set_dc(dc);
  plat_palette palette = gfx_default_palette();
  gfx_realize_palette(palette);
  gfx_init();
  const bool pcx = path.ends_with(".pcx");
  int32_t width = 0, height = 0;
  uint8_t header[128];
  FlicContext flic{};
  const auto finish = [&] {
    gfx_finish();
    plat_delete_palette(palette);
    plat_release_dc(hl_window(), dc);
    return frames;
  };
  if (pcx) {
    int32_t x0, x1, y0, y1;
    if (pcx_check_header(path.c_str(), header) != 0) return finish();
    pcx_extents(header, &x0, &x1, &y0, &y1);
    width = x1 - x0 + 1;
    height = y1 - y0 + 1;
  } else {
    if (flic_open(path.c_str(), &flic) != 0) return finish();
    width = flic.width;
    height = flic.height;
  }
  const int32_t slot = vb_alloc(width, height);
  vb_open(slot);
  for (;;) {
    if (pcx ? frames.empty() && pcx_show(path.c_str(), flags) == PCX_SHOWN
            : flic_play(&flic, 1, flags) == 1) {
      const GfxState& g = gfx_state();
      std::vector<uint8_t> frame;
      if (vb_lock()) frame.assign(g.pixel_address, g.pixel_address + g.buffer_size);
      vb_unlock();
      for (const plat_palette_entry& e : g.logical_palette.entries)
        frame.insert(frame.end(), {e.red, e.green, e.blue});
      frame.insert(frame.end(), g.flic_file_palette, g.flic_file_palette + sizeof g.flic_file_palette);
      frames.push_back(std::move(frame));
    } else {
      break;
    }
  }
  if (!pcx) flic_close(&flic);
  vb_close();
  vb_free(slot);
  return finish();
}

struct Job {
  std::string file;
  uint32_t flags;
};

}  // namespace

TEST(Contexts, ThreadsDecodingAtOnceGetTheFramesOneThreadGets) {
  hl_reset();
  const std::vector<Job> jobs = {
      {"dance-640x480.flc", GFX_FLAG_NO_PAUSE}, {"walk-320x200.fli", GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE},
      {"cycle-320x200.fli", GFX_FLAG_NO_PAUSE}, {"marbles-141x99-8bit.pcx", 0},
      {"testcard-160x120-1bit.pcx", 0},         {"sun-146x140.flc", GFX_FLAG_NO_PAUSE},
  };
  std::vector<std::vector<std::vector<uint8_t>>> alone;
  for (const Job& job : jobs) {
    alone.push_back(decode(data_file(job.file), job.flags));
    ASSERT_FALSE(alone.back().empty()) << job.file;
  }
  // Each thread decodes every file, from a different one on, twice over.
  std::vector<std::vector<std::vector<std::vector<uint8_t>>>> got(3);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < got.size(); ++t) {
    threads.emplace_back([&, t] {
      GfxContext* context = gfx_context_create();
      gfx_context_make_current(context);
      got[t].resize(jobs.size());
      for (size_t round = 0; round < 2 * jobs.size(); ++round) {
        const size_t j = (t + round) % jobs.size();
        got[t][j] = decode(data_file(jobs[j].file), jobs[j].flags);
      }
      gfx_context_destroy(context);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 0; t < got.size(); ++t)
    for (size_t j = 0; j < jobs.size(); ++j)
      EXPECT_TRUE(got[t][j] == alone[j]) << "thread " << t << ", " << jobs[j].file;
  EXPECT_EQ(hl_live_objects(), 0);
}

TEST(Contexts, EachThreadHasItsOwnUntilItMakesOneCurrent) {
  GfxContext* const main_own = gfx_context_current();
  GfxContext* made = gfx_context_create();
  ASSERT_NE(made, nullptr);
  GfxContext* other_own = nullptr;
  std::thread([&] { other_own = gfx_context_current(); }).join();
  EXPECT_NE(other_own, main_own);

  gfx_context_make_current(made);
  EXPECT_EQ(gfx_context_current(), made);
  EXPECT_EQ(&gfx_state(), &made->state);
  gfx_state().draw_x = 7;
  gfx_context_make_current(nullptr);
  EXPECT_EQ(gfx_context_current(), main_own);
  EXPECT_NE(gfx_state().draw_x, 7);

  gfx_context_make_current(made);
  gfx_context_destroy(made);  // the thread goes back to its own
  EXPECT_EQ(gfx_context_current(), main_own);
}

// A context told to stop reads no more: a decode in it ends as at the end of its file,
// while the other contexts go on.
TEST(Contexts, AContextToldToStopReadsNoMore) {
  const std::string path = data_file("walk-320x200.fli");
  const size_t whole = decode(path, GFX_FLAG_NO_PAUSE).size();
  ASSERT_GT(whole, 2u);
  struct Case {
    bool stop;
    size_t frames;
  };
  for (const Case& c : {Case{false, whole}, Case{true, 0}}) {
    std::atomic<bool> flag{c.stop};
    std::atomic<size_t> other{0};
    std::thread([&] {
      GfxContext* context = gfx_context_create();
      gfx_context_make_current(context);
      gfx_stop_when(&flag);
      EXPECT_EQ(decode(path, GFX_FLAG_NO_PAUSE).size(), c.frames) << "stop " << c.stop;
      EXPECT_EQ(gfx_stopped(), c.stop);
      gfx_context_destroy(context);
    }).join();
    std::thread([&] { other = decode(path, GFX_FLAG_NO_PAUSE).size(); }).join();
    EXPECT_EQ(other, whole) << "stop " << c.stop;
  }
}
