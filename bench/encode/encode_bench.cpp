// The FLIC encoder on 300 frames of 640 x 480 pixels held in memory, in ms for the
// whole animation, FLC and FLI, with the file's size as a counter: the sample
// dance-640x480.flc's 100 frames three times over, sprites moving over a still
// background, and a picture that scrolls (every row changes in every frame).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "flic/flic.h"
#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"

namespace {

constexpr int WIDTH = 640, HEIGHT = 480, FRAMES = 300;
constexpr size_t PIXELS = static_cast<size_t>(WIDTH) * HEIGHT;

struct Animation {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> rgb = std::vector<uint8_t>(768);
};

// The sample's frames as the decoder gives them (file indices), repeated.
Animation sample() {
  Animation a;
  hl_reset();
  gfx_load_state();
  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_realize_palette(gfx_default_palette());
  gfx_init();
  const int32_t slot = vb_alloc(WIDTH, HEIGHT);
  vb_open(slot);
  FlicContext context{};
  const std::string name = std::string(MOXFLIC_TEST_DATA) + "/dance-640x480.flc";
  if (flic_open(name.c_str(), &context) != 0) return a;
  gfx_reduce_palette(GFX_FLAG_NO_REDUCE);
  std::vector<std::vector<uint8_t>> once;
  while (once.size() < context.frame_count &&
         flic_play(&context, 1, GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE) == 1) {
    std::vector<uint8_t> frame(PIXELS);
    vb_lock();
    for (int y = 0; y < HEIGHT; y++)
      std::memcpy(&frame[static_cast<size_t>(y) * WIDTH],
                  gfx_state().pixel_address + y * gfx_state().row_pitch, WIDTH);
    vb_unlock();
    once.push_back(std::move(frame));
  }
  std::memcpy(a.rgb.data(), gfx_state().flic_file_palette, 768);
  flic_close(&context);
  vb_close();
  vb_free(slot);
  gfx_finish();
  for (int k = 0; k < FRAMES && !once.empty(); k++)
    a.frames.push_back(once[static_cast<size_t>(k) % once.size()]);
  return a;
}

Animation sprites() {
  Animation a;
  std::vector<uint8_t> background(PIXELS);
  for (int y = 0; y < HEIGHT; y++)
    for (int x = 0; x < WIDTH; x++)
      background[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)] = uint8_t(y / 8 + (x / 40) % 4);
  for (int k = 0; k < FRAMES; k++) {
    std::vector<uint8_t> f = background;
    for (int s = 0; s < 6; s++) {
      const int left = (k * (3 + s) + s * 97) % (WIDTH - 48), top = (s * 71 + k * (s % 3)) % (HEIGHT - 48);
      for (int y = 0; y < 48; y++)
        for (int x = 0; x < 48; x++)
          if ((x - 24) * (x - 24) + (y - 24) * (y - 24) < 500)
            f[static_cast<size_t>(top + y) * WIDTH + static_cast<size_t>(left + x)] =
                uint8_t(100 + s * 10 + (x + k) % 7);
    }
    a.frames.push_back(std::move(f));
  }
  for (size_t i = 0; i < a.rgb.size(); i++) a.rgb[i] = uint8_t(i * 5);
  return a;
}

Animation scroll() {
  Animation a;
  for (int k = 0; k < FRAMES; k++) {
    std::vector<uint8_t> f(PIXELS);
    for (int y = 0; y < HEIGHT; y++)
      for (int x = 0; x < WIDTH; x++)
        f[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)] =
            uint8_t(((x + 2 * k) / 6 + y / 10) % 32 + (x * y) % 3);
    a.frames.push_back(std::move(f));
  }
  for (size_t i = 0; i < a.rgb.size(); i++) a.rgb[i] = uint8_t(i * 3);
  return a;
}

const Animation& animation(int64_t kind) {
  static const Animation kinds[] = {sample(), sprites(), scroll()};
  return kinds[kind];
}

void encode(benchmark::State& state) {
  static const char* names[] = {"dance x3", "sprites", "scroll"};
  const Animation& a = animation(state.range(0));
  const bool fli = state.range(1) != 0;
  size_t bytes = 0;
  for (auto _ : state) {
    FlicEncoder e;
    fe_begin(e, fli ? FLIC_MAGIC_FLI : FLIC_MAGIC_FLC, WIDTH, HEIGHT);
    std::vector<uint8_t> record;
    bytes = FLIC_HEADER_SIZE;
    for (const std::vector<uint8_t>& f : a.frames) {
      fe_frame(e, f.data(), a.rgb.data(), record);
      bytes += record.size();
    }
    fe_ring(e, record);
    bytes += record.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetLabel(std::string(names[state.range(0)]) + (fli ? ", FLI" : ", FLC"));
  state.counters["frames"] = static_cast<double>(a.frames.size());
  state.counters["file_KiB"] = static_cast<double>(bytes) / 1024.0;
}

BENCHMARK(encode)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
