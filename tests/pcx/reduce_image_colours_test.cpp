// Image colour fitting: which colours merge, which one gives way, how the palette is
// packed into the range and the pixels renumbered.
#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "tests/pcx/pcx_support.h"
#include "tests/pcx/reduce_image_colours_reference.h"

namespace {

using Rgb = std::array<uint8_t, 3>;

// 256 colours at least 42 apart in every channel step: points of a 7 x 7 x 6 grid.
std::vector<uint8_t> spread_palette() {
  std::vector<uint8_t> p(768);
  for (int k = 0; k < 256; ++k) {
    p[static_cast<size_t>(3 * k)] = static_cast<uint8_t>(k % 7 * 255 / 6);
    p[static_cast<size_t>(3 * k + 1)] = static_cast<uint8_t>(k / 7 % 7 * 255 / 6);
    p[static_cast<size_t>(3 * k + 2)] = static_cast<uint8_t>(k / 49 * 51);
  }
  return p;
}

// A colour between the grid points, far from all of them; m picks which.
Rgb between(int m, int nudge = 0) {
  return {static_cast<uint8_t>(21 + 42 * (m % 6)), static_cast<uint8_t>(21 + 42 * (m / 6 % 6)),
          static_cast<uint8_t>(25 + nudge)};
}

Rgb colour_of(const std::vector<uint8_t>& palette, int k) {
  return {palette[static_cast<size_t>(3 * k)], palette[static_cast<size_t>(3 * k + 1)],
          palette[static_cast<size_t>(3 * k + 2)]};
}

class Fitting : public PcxTest {
 protected:
  // A picture in which colours 0 to used - 1 occur: each once, or as often as counts
  // says; colour 0 fills the rest of the buffer.
  void paint(int used, const std::map<int, int>& counts) {
    std::vector<uint8_t> v(
        static_cast<size_t>(gfx_state().active_width) * static_cast<size_t>(gfx_state().active_height), 0);
    size_t at = 0;
    for (int k = 1; k < used; ++k) {
      const auto c = counts.find(k);
      const int n = c == counts.end() ? 1 : c->second;
      for (int i = 0; i < n; ++i) v.at(at++) = static_cast<uint8_t>(k);
    }
    set_pixels(v);
    before_ = v;
  }
  std::vector<uint8_t> before_;
};

struct ColourUse {
  int index;
  Rgb rgb;
  int count;
};

struct MergeCase {
  const char* name;
  std::vector<ColourUse> colours;
  int gives_way;
  int survivor;
};

TEST_F(Fitting, OneMergeForOneColourTooMany) {
  const MergeCase cases[] = {
      {"identical colours: the one with fewer pixels gives way",
       {{5, between(0), 3}, {9, between(0), 5}},
       5,
       9},
      {"fewer pixels gives way also at the higher index", {{5, between(0), 5}, {9, between(0), 3}}, 9, 5},
      {"equal counts: the lower index gives way", {{5, between(0), 4}, {9, between(0), 4}}, 5, 9},
      {"the closest pair merges, whatever the counts",
       {{1, between(0), 10}, {2, between(0, 2), 20}, {3, between(1), 30}, {4, between(1, 1), 50}},
       3,
       4},
      {"equal distances: a later pair whose second colour is rarer replaces the first",
       {{1, between(0), 10}, {2, between(0, 2), 20}, {3, between(1), 30}, {4, between(1, 2), 5}},
       4,
       3},
      {"equal distances: a second colour as common as the rarer of the first pair does not",
       {{1, between(0), 10}, {2, between(0, 2), 20}, {3, between(1), 30}, {4, between(1, 2), 10}},
       1,
       2},
      {"equal distances: only the second colour of the later pair counts",
       {{1, between(0), 10}, {2, between(0, 2), 20}, {3, between(1), 3}, {4, between(1, 2), 15}},
       1,
       2},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(32, 16);
    std::vector<uint8_t> palette = spread_palette();
    std::map<int, int> counts;
    for (const ColourUse& s : c.colours) {
      std::copy(s.rgb.begin(), s.rgb.end(), palette.begin() + 3 * s.index);
      counts[s.index] = s.count;
    }
    paint(237, counts);
    const std::vector<uint8_t> file_palette = palette;
    EXPECT_EQ(gfx_reduce_image_colours(10, 236, palette.data()), 0);

    const auto after = pixels();
    std::map<int, int> now;  // old value -> new value
    for (size_t i = 0; i < after.size(); ++i) {
      ASSERT_TRUE(after[i] >= 10 && after[i] <= 245);
      const auto seen = now.emplace(before_[i], after[i]);
      ASSERT_EQ(seen.first->second, after[i]) << "one old value, one new value";
    }
    EXPECT_EQ(now[c.gives_way], now[c.survivor]);
    EXPECT_EQ(colour_of(palette, now[c.survivor]), colour_of(file_palette, c.survivor))
        << "the survivor keeps its own colour";
    std::set<int> values;
    for (const auto& [old_value, new_value] : now) values.insert(new_value);
    EXPECT_EQ(values.size(), 236u) << "only the one pair merged";
  }
}

// Counts stop at 65535, so two colours of a large picture can tie.
TEST_F(Fitting, SaturatedCountsTieAndTheLowerIndexGivesWay) {
  open_buffer(640, 480);
  std::vector<uint8_t> palette = spread_palette();
  const Rgb same = between(3);
  std::copy(same.begin(), same.end(), palette.begin() + 3 * 5);
  std::copy(same.begin(), same.end(), palette.begin() + 3 * 9);
  paint(237, {{5, 100000}, {9, 70000}});
  EXPECT_EQ(gfx_reduce_image_colours(10, 236, palette.data()), 0);
  EXPECT_EQ(gfx_state().colour_usage[5], 0);
  EXPECT_EQ(gfx_state().colour_usage[9], 65535);
}

TEST_F(Fitting, FewColoursArePackedInOrderFromTheStart) {
  open_buffer(8, 4);
  std::vector<uint8_t> values(32, 200);
  values[1] = 3;
  values[2] = 250;
  values[3] = 7;
  set_pixels(values);
  const std::vector<uint8_t> file = distinct_colours();
  std::vector<uint8_t> palette = file;
  EXPECT_EQ(gfx_reduce_image_colours(10, 236, palette.data()), 0);
  const std::map<int, int> place = {{3, 10}, {7, 11}, {200, 12}, {250, 13}};
  const auto after = pixels();
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], place.at(values[i]));
  for (const auto& [old_value, entry_now] : place) {
    EXPECT_EQ(colour_of(palette, entry_now), colour_of(file, old_value));
  }
  for (int k = 14; k <= 245; ++k) {
    EXPECT_EQ(colour_of(palette, k), colour_of(file, k - 10)) << "leftovers of the old palette at " << k;
  }
  for (int k : {0, 9, 246, 255}) EXPECT_EQ(colour_of(palette, k), (Rgb{0, 0, 0})) << k;
}

TEST_F(Fitting, StartZeroOnlyCompacts) {
  open_buffer(4, 1);
  set_pixels({40, 20, 40, 30});
  const std::vector<uint8_t> file = distinct_colours();
  std::vector<uint8_t> palette = file;
  EXPECT_EQ(gfx_reduce_image_colours(0, 236, palette.data()), 0);
  EXPECT_EQ(pixels(), (std::vector<uint8_t>{2, 0, 2, 1}));
  EXPECT_EQ(colour_of(palette, 0), colour_of(file, 20));
  EXPECT_EQ(colour_of(palette, 2), colour_of(file, 40));
  EXPECT_TRUE(std::equal(palette.begin() + 9, palette.end(), file.begin() + 9)) << "nothing cleared";
}

TEST_F(Fitting, OneValueEverywhere) {
  open_buffer(640, 480, 77);
  const std::vector<uint8_t> file = distinct_colours();
  std::vector<uint8_t> palette = file;
  EXPECT_EQ(gfx_reduce_image_colours(10, 236, palette.data()), 0);
  EXPECT_EQ(gfx_state().colour_usage[77], 65535);
  EXPECT_EQ(pixels(), std::vector<uint8_t>(640 * 480, 10));
  EXPECT_EQ(colour_of(palette, 10), colour_of(file, 77));
}

// Ranges the viewer never asks for: nothing outside the palette is touched.
TEST_F(Fitting, RangesBeyondThePalette) {
  struct Case {
    const char* name;
    int32_t start, count;
    bool changes;
  };
  const Case cases[] = {
      {"count 0 changes nothing", 10, 0, false},
      {"a negative count changes nothing", 10, -5, false},
      {"a negative start changes nothing", -1, 236, false},
      {"a start beyond 255 changes nothing", 256, 10, false},
      {"a range past 255 ends at 255", 250, 236, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(16, 16);
    std::vector<uint8_t> values(256);
    for (int k = 0; k < 256; ++k) values[static_cast<size_t>(k)] = static_cast<uint8_t>(k);
    set_pixels(values);
    const std::vector<uint8_t> file = distinct_colours();
    std::vector<uint8_t> palette = file;
    EXPECT_EQ(gfx_reduce_image_colours(c.start, c.count, palette.data()), 0);
    const auto after = pixels();
    if (!c.changes) {
      EXPECT_EQ(after, values);
      EXPECT_EQ(palette, file);
      continue;
    }
    const int end = std::min(c.start + c.count, 256);
    for (uint8_t v : after) ASSERT_TRUE(v >= c.start && v < end) << int{v};
    EXPECT_EQ(std::set<uint8_t>(after.begin(), after.end()).size(), static_cast<size_t>(end - c.start));
    EXPECT_TRUE(
        std::all_of(palette.begin(), palette.begin() + 3 * c.start, [](uint8_t b) { return b == 0; }));
  }
}

TEST_F(Fitting, NoActiveBufferChangesNothing) {
  std::vector<uint8_t> palette = distinct_colours();
  EXPECT_EQ(gfx_reduce_image_colours(10, 236, palette.data()), 0);
  EXPECT_EQ(palette, distinct_colours());
}

}  // namespace

namespace {

// The library's fitting against the plain step-by-step version, on pictures full of
// ties: few distinct channel levels, repeated colours, counts that saturate.
TEST_F(Fitting, SameResultAsThePlainVersion) {
  struct Case {
    const char* name;
    int width, height;
    int values;  // pixel values used
    int levels;  // distinct levels per colour channel
    int32_t start, count;
  };
  const Case cases[] = {
      {"all 256 values, coarse colours", 64, 32, 256, 3, 10, 236},
      {"all 256 values, fine colours", 64, 32, 256, 256, 10, 236},
      {"a large picture whose counts saturate", 640, 480, 256, 4, 10, 236},
      {"sixteen entries from 0", 32, 32, 200, 2, 0, 16},
      {"one entry", 16, 16, 50, 5, 100, 1},
      {"a range cut at 255", 16, 16, 256, 6, 200, 236},
  };
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close_buffer();
    open_buffer(c.width, c.height);
    std::vector<uint8_t> values(static_cast<size_t>(gfx_state().active_width) *
                                static_cast<size_t>(gfx_state().active_height));
    for (uint8_t& v : values) {
      // Skewed, so that counts differ and some tie.
      const uint32_t r = next() % static_cast<uint32_t>(c.values);
      v = static_cast<uint8_t>(next() % 3 == 0 ? r / 4 : r);
    }
    std::vector<uint8_t> palette(768);
    for (uint8_t& b : palette)
      b = static_cast<uint8_t>(next() % static_cast<uint32_t>(c.levels) *
                               static_cast<uint32_t>(255 / std::max(c.levels - 1, 1)));

    set_pixels(values);
    std::vector<uint8_t> fast_palette = palette;
    gfx_reduce_image_colours(c.start, c.count, fast_palette.data());
    const auto fast_pixels = pixels();
    const std::vector<uint16_t> fast_usage(gfx_state().colour_usage, gfx_state().colour_usage + 256);
    const std::vector<uint8_t> fast_map(gfx_state().image_colour_map, gfx_state().image_colour_map + 256);

    set_pixels(values);
    std::vector<uint8_t> plain_palette = palette;
    reference_reduce_image_colours(c.start, c.count, plain_palette.data());
    EXPECT_EQ(fast_pixels, pixels());
    EXPECT_EQ(fast_palette, plain_palette);
    EXPECT_EQ(fast_usage, std::vector<uint16_t>(gfx_state().colour_usage, gfx_state().colour_usage + 256));
    EXPECT_EQ(fast_map,
              std::vector<uint8_t>(gfx_state().image_colour_map, gfx_state().image_colour_map + 256));
  }
}

}  // namespace
