// The headless backend's probe of the shared screen: faults on demand, a count of
// platform calls, and the records of copies and palette animations that tests read.
// Installed by hl_reset only, which lives here so that a program that never calls it
// links none of this.
#include "platform/common/probe.h"

#include "platform/headless/controls.h"
#include "platform/headless/probe_internal.h"
#include "platform/headless/window_internal.h"

namespace {

struct Records {
  int32_t faults[static_cast<int>(ScreenStep::count)] = {};
  int32_t lost_copies = 0;
  int64_t calls = 0;
  int32_t dead_handle_uses = 0;
  std::vector<HlBlit> blits;
  std::vector<HlAnimation> animations;
};

Records& records() {
  static Records r;
  return r;
}

constexpr ScreenProbe kProbe = {
    [] { ++records().calls; },
    [] { ++records().dead_handle_uses; },
    [](ScreenStep step) { return records().faults[static_cast<int>(step)]; },
    [] {
      Records& r = records();
      if (r.lost_copies == 0) return false;
      --r.lost_copies;
      return true;
    },
    [](const plat_rect& dest, const plat_rect& src, int32_t result) {
      records().blits.push_back(HlBlit{dest, src, result});
    },
    [](uint32_t start, uint32_t count) {
      records().animations.push_back(HlAnimation{start, count});
    },
    hl_window_sent,
};

}  // namespace

void hl_reset() {
  screen_reset();  // also destroys the window
  records() = Records();
  screen_set_probe(&kProbe);
  hl_backend_reset();
}

void hl_fail_step(ScreenStep step, int32_t code) { records().faults[static_cast<int>(step)] = code; }
void hl_lose_primary(int32_t n) { records().lost_copies = n; }
void hl_set_depth(int32_t bits_per_pixel, int32_t planes) { screen_set_depth(bits_per_pixel, planes); }
void hl_set_system_palette(const plat_palette_entry entries[256]) { screen_set_system_palette(entries); }

const std::vector<HlBlit>& hl_blits() { return records().blits; }
const std::vector<HlAnimation>& hl_animations() { return records().animations; }
int64_t hl_platform_calls() { return records().calls; }
int32_t hl_dead_handle_uses() { return records().dead_handle_uses; }
int32_t hl_live_objects() { return screen_live_objects(); }
int32_t hl_locked_surfaces() { return screen_locked_surfaces(); }
