// Speed of the PCX decoder and the image colour fitting, beside Pillow's decoder on the
// same file. Run: build with -DMOXFLIC_BENCH=ON, then bench/pcx/pcx_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "platform/gdi.h"
#include "platform/headless/controls.h"
#include "tests/pcx/reduce_image_colours_reference.h"
#include "tools/writers/pcx_writer.h"

namespace {

constexpr int BIG_WIDTH = 1600, BIG_HEIGHT = 1200;
constexpr int SMALL_WIDTH = 640, SMALL_HEIGHT = 480;

// A picture with short runs and single pixels, using all 256 values.
std::vector<uint8_t> picture(int width, int height) {
  std::vector<uint8_t> v(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      v[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(x / 7 + y / 5 + ((x * y) >> 9));
  return v;
}

std::vector<uint8_t> colours() {
  std::vector<uint8_t> c(768);
  for (int k = 0; k < 256; ++k) {
    c[static_cast<size_t>(3 * k)] = static_cast<uint8_t>(k);
    c[static_cast<size_t>(3 * k + 1)] = static_cast<uint8_t>((k * 3) & 255);
    c[static_cast<size_t>(3 * k + 2)] = static_cast<uint8_t>(255 - k);
  }
  return c;
}

const std::string& big_file() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p = std::string(dir ? dir : "/tmp") + "/moxflic_pcx_bench_1600x1200.pcx";
    const PcxWriterHeader h = pcx_writer_header(BIG_WIDTH, BIG_HEIGHT, 8, 1);
    std::vector<uint8_t> file;
    pcx_writer_put_header(file, h);
    pcx_writer_put_image(file, h, picture(BIG_WIDTH, BIG_HEIGHT).data());
    pcx_writer_put_palette_block(file, colours().data());
    pcx_writer_save(file, p.c_str());
    return p;
  }();
  return path;
}

void open_buffer(int width, int height) {
  hl_reset();
  gfx_load_state();
  gfx_set_dc(plat_get_dc(hl_window()));
  gfx_realize_palette(gfx_default_palette());
  gfx_init();
  vb_open(vb_alloc(width, height));
}

void show(benchmark::State& state, uint32_t flags) {
  const std::string& path = big_file();
  open_buffer(BIG_WIDTH, BIG_HEIGHT);
  for (auto _ : state) {
    if (pcx_show(path.c_str(), flags) != 0) state.SkipWithError("pcx_show failed");
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * BIG_WIDTH * BIG_HEIGHT / 1e6, benchmark::Counter::kIsRate);
}

void BM_PcxShow1600x1200_Fitted(benchmark::State& state) { show(state, GFX_FLAG_AT_POSITION); }
void BM_PcxShow1600x1200_AsStored(benchmark::State& state) {
  show(state, GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE);
}

// Colours scattered as in a photograph: few equal distances.
std::vector<uint8_t> scattered_colours() {
  std::vector<uint8_t> c(768);
  uint32_t seed = 2024;
  for (uint8_t& b : c) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return c;
}

// Arguments: the number of colours the picture uses (256 needs 20 merges, 236 none),
// and the palette: 0 scattered colours, 1 evenly stepped colours (many equal distances).
template <int32_t (*fit)(int32_t, int32_t, uint8_t*)>
void reduce(benchmark::State& state) {
  open_buffer(SMALL_WIDTH, SMALL_HEIGHT);
  std::vector<uint8_t> pixels = picture(SMALL_WIDTH, SMALL_HEIGHT);
  for (uint8_t& v : pixels) v = static_cast<uint8_t>(v % state.range(0));
  const std::vector<uint8_t> file_colours = state.range(1) ? colours() : scattered_colours();
  uint8_t palette[768];
  for (auto _ : state) {
    state.PauseTiming();
    vb_lock();
    std::memcpy(gfx_state().pixel_address, pixels.data(), pixels.size());
    vb_unlock();
    std::memcpy(palette, file_colours.data(), sizeof palette);
    state.ResumeTiming();
    fit(PAL_FILE_FIRST, PAL_FILE_COUNT, palette);
  }
}

void BM_ReduceImageColours640x480(benchmark::State& state) { reduce<gfx_reduce_image_colours>(state); }
// The plain version of the tests, for comparison.
void BM_ReduceImageColours640x480_Plain(benchmark::State& state) {
  reduce<reference_reduce_image_colours>(state);
}

// Pillow decoding the same file, timed by Python's timeit in one child process.
void BM_PillowDecode1600x1200(benchmark::State& state) {
  const std::string cmd =
      "/usr/bin/python3 -c \"import timeit; from PIL import Image; p='" + big_file() +
      "'; n=10; print(timeit.timeit(lambda: Image.open(p).load(), number=n) / n)\" 2>/dev/null";
  for (auto _ : state) {
    FILE* child = popen(cmd.c_str(), "r");
    double seconds = 0;
    if (!child || std::fscanf(child, "%lf", &seconds) != 1 || seconds <= 0) {
      if (child) pclose(child);
      state.SkipWithError("Pillow is not available");
      return;
    }
    pclose(child);
    state.SetIterationTime(seconds);
    state.counters["Mpixel/s"] = BIG_WIDTH * BIG_HEIGHT / seconds / 1e6;
  }
}

BENCHMARK(BM_PcxShow1600x1200_Fitted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxShow1600x1200_AsStored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceImageColours640x480)->ArgsProduct({{256, 236}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReduceImageColours640x480_Plain)
    ->ArgsProduct({{256, 236}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PillowDecode1600x1200)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
