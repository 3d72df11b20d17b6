// The FLIC palette reduction: bit-identical to the literal algorithm on many palettes,
// in its portable form and its vector forms, and the cases a viewer's user would see.
#include <array>
#include <random>

#include "palette/reduction.h"
#include "tests/flic/flic_fixture.h"
#include "tests/flic/reduce_palette_reference.h"

namespace {

using Palette = std::vector<uint8_t>;

Palette random_palette(std::mt19937& rng, int levels) {
  std::uniform_int_distribution<int> pick(0, levels - 1);
  Palette p(768);
  for (uint8_t& c : p) c = uint8_t(levels >= 256 ? pick(rng) : pick(rng) * 255 / std::max(levels - 1, 1));
  return p;
}

// Many equal distances: colours on a lattice with a few steps.
Palette grid_palette(int step) {
  Palette p(768);
  for (int k = 0; k < 256; ++k) {
    p[static_cast<size_t>(3 * k)] = uint8_t((k % 7) * step);
    p[static_cast<size_t>(3 * k + 1)] = uint8_t((k / 7 % 7) * step);
    p[static_cast<size_t>(3 * k + 2)] = uint8_t((k / 49) * step);
  }
  return p;
}

// The forms of the searches this processor can run, with their names: the plain one
// and each vector level's.
std::vector<std::pair<std::string, const reduction::Kernels*>> kernels_here() {
  std::vector<std::pair<std::string, const reduction::Kernels*>> all = {
      {"plain", &reduction::portable_kernels}};
  for (const GfxVector level : GFX_VECTOR_LEVELS)
    if (gfx_vector_runs(level)) all.push_back({gfx_vector_name(level), pal_reduction_form(level)});
  return all;
}

class ReducePalette : public Flic {
 protected:
  void TearDown() override {
    pal_reduction_kernels = pal_reduction_form(gfx_vector());
    Flic::TearDown();
  }
  void reduce_both(const Palette& p) {
    std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
    result_ = gfx_reduce_palette(0);
    reference_reduce_palette(p.data(), reference_);
  }
  void expect_same(const std::string& what) {
    ASSERT_EQ(result_, gfx_state().work_palette) << what;
    EXPECT_TRUE(std::equal(result_, result_ + 236 * 3, reference_.colours)) << what << ": colours differ";
    EXPECT_TRUE(std::equal(gfx_state().flic_colour_map, gfx_state().flic_colour_map + 256, reference_.map))
        << what << ": colour map differs";
  }
  const uint8_t* result_ = nullptr;
  ReferenceReduction reference_{};
};

}  // namespace

TEST_F(ReducePalette, MatchesTheLiteralAlgorithmOnRandomAndAdversarialPalettes) {
  std::mt19937 rng(20240611);
  std::vector<std::pair<std::string, Palette>> cases;
  for (int n = 0; n < 40; ++n) cases.push_back({"random " + std::to_string(n), random_palette(rng, 256)});
  for (int levels : {2, 3, 4, 6, 16})
    for (int n = 0; n < 8; ++n)
      cases.push_back({"few values " + std::to_string(levels), random_palette(rng, levels)});
  for (int step : {1, 2, 17, 40}) cases.push_back({"grid " + std::to_string(step), grid_palette(step)});
  cases.push_back({"all identical", Palette(768, 77)});
  cases.push_back({"all black", Palette(768, 0)});
  Palette sixteen(768, 0);
  for (int k = 0; k < 16; ++k)
    for (int c = 0; c < 3; ++c) sixteen[static_cast<size_t>(3 * k + c)] = pal_default_colours.rgb[2 + k][c];
  cases.push_back({"16 colours + 240 black", sixteen});
  for (int n = 0; n < 8; ++n) {  // duplicated colours scattered over a random palette
    Palette p = random_palette(rng, 256);
    for (int d = 0; d < 40; ++d) {
      const int from = int(rng() % 256), to = int(rng() % 256);
      std::copy_n(p.begin() + 3 * from, 3, p.begin() + 3 * to);
    }
    cases.push_back({"duplicates " + std::to_string(n), p});
  }
  Palette ramp(768);  // equal neighbour distances everywhere
  for (int k = 0; k < 768; ++k) ramp[static_cast<size_t>(k)] = uint8_t(k / 3);
  cases.push_back({"grey ramp", ramp});
  // Ties at distances too large for the first search's single-precision keys: the
  // top four colours are corners of the colour cube two components apart.
  for (int n = 0; n < 4; ++n) {
    Palette p = random_palette(rng, n < 2 ? 256 : 2);
    const uint8_t corners[4][3] = {{0, 0, 0}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}};
    for (int k = 0; k < 4; ++k) std::copy_n(corners[(k + n) % 4], 3, p.begin() + 3 * (252 + k));
    cases.push_back({"far corners on top " + std::to_string(n), p});
  }
  // One colour is the nearest of five colours below it, and is itself merged first
  // (into its twin one step away): all five look for a new partner at once.
  for (int n = 0; n < 4; ++n) {
    Palette p(768);
    for (uint8_t& c : p) c = uint8_t(rng() % 61);  // far from the middle of the cube
    const int hub = 200 + n, twin = 210 + n;
    const int around[5][3] = {{-40, 0, 0}, {0, 40, 0}, {0, -40, 0}, {0, 0, 40}, {0, 0, -40}};
    for (int m = 0; m < 5; ++m)
      for (int c = 0; c < 3; ++c)
        p[static_cast<size_t>(3 * (20 + 35 * m + n) + c)] = uint8_t(128 + around[m][c]);
    std::fill_n(p.begin() + 3 * hub, 3, uint8_t(128));
    std::fill_n(p.begin() + 3 * twin, 3, uint8_t(128));
    p[static_cast<size_t>(3 * twin)] = 129;
    cases.push_back({"hub merged first " + std::to_string(n), p});
  }
  // Equal distances to the two colours of one column pair, and to colours far apart.
  for (int n = 0; n < 4; ++n) {
    Palette p = random_palette(rng, 256);
    for (int k = 1; k + 1 < 256; k += 2 + n) {
      std::copy_n(p.begin() + 3 * k, 3, p.begin() + 3 * (k + 1));
      p[static_cast<size_t>(3 * (k + 1))] = uint8_t(p[static_cast<size_t>(3 * k)] ^ 1);
    }
    cases.push_back({"twins " + std::to_string(n), p});
  }
  for (const auto& [form, kernels] : kernels_here()) {
    pal_reduction_kernels = kernels;
    for (const auto& [what, palette] : cases) {
      reduce_both(palette);
      expect_same(form + ", " + what);
    }
  }
}

// The vector searches against the portable ones on many more palettes than the literal
// algorithm has time for: random ones, few distinct values, near twins and far ones.
TEST_F(ReducePalette, VectorFormsMatchThePortableFormOnManyPalettes) {
  const auto forms = kernels_here();
  if (forms.size() < 2) GTEST_SKIP() << "no vector form in this build";
  std::mt19937 rng(777);
  for (int n = 0; n < 3000; ++n) {
    const int kind = n % 4;
    Palette p = random_palette(rng, kind == 0 ? 256 : kind == 1 ? 2 + n % 7 : 256);
    if (kind == 2)  // near twins everywhere
      for (int k = 0; k + 1 < 256; k += 1 + int(rng() % 5)) {
        std::copy_n(p.begin() + 3 * k, 3, p.begin() + 3 * (k + 1));
        p[static_cast<size_t>(3 * (k + 1)) + rng() % 3] ^= uint8_t(1u << (rng() % 3));
      }
    if (kind == 3)  // colours in a few far corners, so that the first search is inexact
      for (uint8_t& c : p) c = (c & 1) ? 255 - c % 3 : c % 3;
    std::vector<std::array<uint8_t, 236 * 3>> colours(forms.size());
    std::vector<std::array<uint8_t, 256>> map(forms.size()), live(forms.size());
    for (size_t form = 0; form < forms.size(); ++form) {
      pal_reduction_kernels = forms[form].second;
      std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
      std::copy_n(gfx_reduce_palette(0), 236 * 3, colours[form].begin());
      std::copy_n(gfx_state().flic_colour_map, 256, map[form].begin());
      std::copy_n(gfx_state().live_flags, 256, live[form].begin());
    }
    for (size_t form = 1; form < forms.size(); ++form) {
      const std::string what = forms[form].first + ", palette " + std::to_string(n);
      ASSERT_EQ(colours[0], colours[form]) << what;
      ASSERT_EQ(map[0], map[form]) << what;
      ASSERT_EQ(live[0], live[form]) << what;
    }
  }
}

TEST_F(ReducePalette, IdenticalColoursMergeFromTheTopIntoColour255) {
  reduce_both(Palette(768, 9));
  const uint8_t* map = gfx_state().flic_colour_map;
  for (int k = 0; k <= 234; ++k) EXPECT_EQ(map[k], 10 + k) << k;
  for (int k = 235; k <= 255; ++k) EXPECT_EQ(map[k], 245) << k;
  for (int k = 235; k <= 254; ++k) EXPECT_EQ(gfx_state().live_flags[k], 0) << k;
}

TEST_F(ReducePalette, SixteenColoursOverBlackKeepTheirEntries) {
  Palette p(768, 0);
  for (int k = 0; k < 16; ++k)
    for (int c = 0; c < 3; ++c) p[static_cast<size_t>(3 * k + c)] = pal_default_colours.rgb[2 + k][c];
  reduce_both(p);
  const uint8_t* map = gfx_state().flic_colour_map;
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(map[k], 10 + k);
    EXPECT_TRUE(std::equal(result_ + 3 * k, result_ + 3 * k + 3, p.begin() + 3 * k));
  }
  for (int k = 16; k <= 234; ++k) EXPECT_EQ(map[k], 10 + k);
  for (int k = 235; k <= 255; ++k) EXPECT_EQ(map[k], 245);
}

TEST_F(ReducePalette, TheClosestPairMergesFirstLowerIntoHigher) {
  Palette p(768);
  for (int k = 0; k < 256; ++k) {  // far apart: distinct corners of a coarse lattice
    p[static_cast<size_t>(3 * k)] = uint8_t((k % 8) * 36);
    p[static_cast<size_t>(3 * k + 1)] = uint8_t((k / 8 % 8) * 36);
    p[static_cast<size_t>(3 * k + 2)] = uint8_t((k / 64) * 85);
  }
  // 40 and 200 one apart; the other 19 merges need larger distances.
  std::copy_n(p.begin() + 3 * 200, 3, p.begin() + 3 * 40);
  p[3 * 40] = uint8_t(p[3 * 40] + 1);
  reduce_both(p);
  expect_same("one close pair");
  EXPECT_EQ(gfx_state().live_flags[40], 0);
  EXPECT_EQ(gfx_state().live_flags[200], 1);
  EXPECT_EQ(gfx_state().flic_colour_map[40], gfx_state().flic_colour_map[200]);
}

TEST_F(ReducePalette, NoReduceFlagKeepsIdentityMapAndLoadsColours10To245) {
  std::mt19937 rng(7);
  const Palette p = random_palette(rng, 256);
  std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
  const uint8_t* colours = gfx_reduce_palette(GFX_FLAG_NO_REDUCE);
  EXPECT_EQ(colours, gfx_state().work_palette + 30);
  EXPECT_TRUE(std::equal(colours, colours + 236 * 3, p.begin() + 30));
  for (int k = 0; k < 256; ++k) {
    EXPECT_EQ(gfx_state().flic_colour_map[k], k);
    EXPECT_EQ(gfx_state().live_flags[k], 1);
  }
}

TEST_F(ReducePalette, EachCallStartsAfreshFromTheFilePalette) {
  std::mt19937 rng(11);
  const Palette first = random_palette(rng, 4);
  const Palette second = random_palette(rng, 256);
  reduce_both(first);
  reduce_both(second);
  expect_same("second call");
}

// A file palette that comes back (colour cycling) has its reduction given again from
// those kept: the same colours, colour map and live flags as reducing it afresh.
TEST_F(ReducePalette, AReductionGivenAgainIsTheSameAsAFreshOne) {
  std::mt19937 rng(31);
  std::vector<Palette> cycle;
  for (int n = 0; n < 100; ++n) cycle.push_back(random_palette(rng, n % 3 == 0 ? 5 : 256));
  for (const auto& [form, kernels] : kernels_here()) {
    pal_reduction_kernels = kernels;
    for (int pass = 0; pass < 2; ++pass) {  // the second pass finds most of them kept
      for (size_t n = 0; n < cycle.size(); ++n) {
        Palette fresh(768 + 256 + 256);
        pal_reuse_reductions = false;
        std::copy(cycle[n].begin(), cycle[n].end(), gfx_state().flic_file_palette);
        std::copy_n(gfx_reduce_palette(0), 768, fresh.begin());
        std::copy_n(gfx_state().flic_colour_map, 256, fresh.begin() + 768);
        std::copy_n(gfx_state().live_flags, 256, fresh.begin() + 1024);
        pal_reuse_reductions = true;
        std::fill_n(gfx_state().flic_colour_map, 256, 0);
        std::fill_n(gfx_state().live_flags, 256, 0);
        Palette again(768 + 256 + 256);
        std::copy_n(gfx_reduce_palette(0), 768, again.begin());
        std::copy_n(gfx_state().flic_colour_map, 256, again.begin() + 768);
        std::copy_n(gfx_state().live_flags, 256, again.begin() + 1024);
        ASSERT_EQ(again, fresh) << form << ", pass " << pass << ", palette " << n;
      }
    }
  }
}

// Palettes that change a few colours at a time (as colour cycling does) start their
// search from the last one's: the same as reducing afresh, whichever colours changed.
TEST_F(ReducePalette, AFewColoursChangedGiveTheSameAsAFreshReduction) {
  std::mt19937 rng(53);
  for (const auto& [form, kernels] : kernels_here()) {
    pal_reduction_kernels = kernels;
    Palette p = random_palette(rng, 256);
    for (size_t n = 0; n < 400; ++n) {
      const int changes = std::array{1, 2, 3, 8, 20, 40}[n % 6];
      for (int c = 0; c < changes; ++c) {
        const size_t k = n % 7 == 0 && c == 0 ? 255 : rng() % 256;  // the top colour now and then
        // A copy of another colour (often the one just below), or a new one near it.
        const size_t twin = c % 3 == 0 && k > 0 ? k - 1 : rng() % 256;
        for (size_t b = 0; b < 3; ++b)
          p[3 * k + b] = n % 2 ? uint8_t(p[3 * twin + b] ^ (rng() % 3)) : uint8_t(rng() % 256);
      }
      std::copy(p.begin(), p.end(), gfx_state().flic_file_palette);
      Palette again(768 + 256 + 256);
      std::copy_n(gfx_reduce_palette(0), 768, again.begin());
      std::copy_n(gfx_state().flic_colour_map, 256, again.begin() + 768);
      std::copy_n(gfx_state().live_flags, 256, again.begin() + 1024);
      pal_reuse_reductions = false;
      Palette fresh(768 + 256 + 256);
      std::copy_n(gfx_reduce_palette(0), 768, fresh.begin());
      std::copy_n(gfx_state().flic_colour_map, 256, fresh.begin() + 768);
      std::copy_n(gfx_state().live_flags, 256, fresh.begin() + 1024);
      pal_reuse_reductions = true;
      ASSERT_EQ(again, fresh) << form << ", palette " << n;
    }
  }
}
