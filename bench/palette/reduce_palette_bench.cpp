// gfx_reduce_palette, with the searches this processor runs best and with the portable
// ones (and given again for a palette that comes back), against the literal 20-pass
// algorithm, in µs per call, on a random palette, 256 identical colours, 16 colours over
// 240 black, and three ramps (the colours of the frames-per-second benchmark's files).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "palette/reduction.h"
#include "tests/flic/reduce_palette_reference.h"

namespace {

std::vector<uint8_t> palette_of(int kind) {
  std::vector<uint8_t> p(768, 0);
  if (kind == 0) {
    std::mt19937 rng(1);
    for (uint8_t& c : p) c = uint8_t(rng());
  } else if (kind == 1) {
    std::fill(p.begin(), p.end(), 128);
  } else if (kind == 3) {  // the colours of the frames-per-second benchmark's files
    for (int k = 0; k < 256; ++k) {
      p[static_cast<size_t>(3 * k)] = uint8_t(k * 5);
      p[static_cast<size_t>(3 * k + 1)] = uint8_t(k * 3);
      p[static_cast<size_t>(3 * k + 2)] = uint8_t(255 - k);
    }
  } else {
    for (int k = 0; k < 16; ++k)
      for (int c = 0; c < 3; ++c) p[static_cast<size_t>(3 * k + c)] = pal_default_colours.rgb[2 + k][c];
  }
  return p;
}

void set_label(benchmark::State& state) {
  static const char* names[] = {"random", "256 identical", "16 colours + 240 black", "three ramps"};
  state.SetLabel(names[state.range(0)]);
}

// Each call reduces afresh: reductions are not taken again from those kept.
void BM_ReducePalette(benchmark::State& state) {
  const std::vector<uint8_t> p = palette_of(int(state.range(0)));
  std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
  pal_reuse_reductions = false;
  for (auto _ : state) benchmark::DoNotOptimize(gfx_reduce_palette(0));
  pal_reuse_reductions = true;
  set_label(state);
}

// A palette that comes back: its reduction is given again from those kept.
void BM_ReducePaletteKept(benchmark::State& state) {
  const std::vector<uint8_t> p = palette_of(int(state.range(0)));
  std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
  for (auto _ : state) benchmark::DoNotOptimize(gfx_reduce_palette(0));
  set_label(state);
}

void BM_ReducePalettePortable(benchmark::State& state) {
  pal_reduction_kernels = &reduction::portable_kernels;
  BM_ReducePalette(state);
  pal_reduction_kernels = pal_reduction_form(gfx_vector());
}

// The form of the portable vector level (SSE2 on x86-64).
void BM_ReducePaletteSse2(benchmark::State& state) {
  pal_reduction_kernels = pal_reduction_form(GfxVector::portable);
  BM_ReducePalette(state);
  pal_reduction_kernels = pal_reduction_form(gfx_vector());
}

// The AVX2 form, where the processor runs it (the best form may be another).
void BM_ReducePaletteAvx2(benchmark::State& state) {
  if (!gfx_vector_runs(GfxVector::avx2)) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
  pal_reduction_kernels = pal_reduction_form(GfxVector::avx2);
  BM_ReducePalette(state);
  pal_reduction_kernels = pal_reduction_form(gfx_vector());
}

void BM_ReducePaletteLiteral(benchmark::State& state) {
  const std::vector<uint8_t> p = palette_of(int(state.range(0)));
  ReferenceReduction out;
  for (auto _ : state) {
    reference_reduce_palette(p.data(), out);
    benchmark::DoNotOptimize(out.map[0]);
  }
  set_label(state);
}

}  // namespace

BENCHMARK(BM_ReducePalette)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducePaletteKept)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducePaletteAvx2)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducePaletteSse2)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducePalettePortable)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReducePaletteLiteral)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
