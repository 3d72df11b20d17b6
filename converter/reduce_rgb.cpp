// A true-colour picture turned into palette indices for a GIF: its colours as they are
// when there are at most 256 of them, else 256 colours found by cutting the colour
// cube at its medians.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "converter/export.h"

namespace {

constexpr size_t MOST_COLOURS = 256;

struct Colour {
  uint32_t rgb;    // 0xRRGGBB
  uint32_t count;  // pixels of this colour
};

uint8_t component(uint32_t rgb, int c) { return static_cast<uint8_t>(rgb >> (16 - 8 * c)); }

// The colours [first, last) of the list, their widest component and its spread.
struct Box {
  size_t first, last;
  uint64_t pixels;
  int axis;
  int spread;
};

Box box_of(const std::vector<Colour>& colours, size_t first, size_t last) {
  Box box{first, last, 0, 0, 0};
  std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
  for (size_t i = first; i < last; i++) {
    box.pixels += colours[i].count;
    for (int c = 0; c < 3; c++) {
      low[static_cast<size_t>(c)] = std::min<int>(low[static_cast<size_t>(c)], component(colours[i].rgb, c));
      high[static_cast<size_t>(c)] =
          std::max<int>(high[static_cast<size_t>(c)], component(colours[i].rgb, c));
    }
  }
  for (int c = 0; c < 3; c++) {
    const int spread = high[static_cast<size_t>(c)] - low[static_cast<size_t>(c)];
    if (spread > box.spread) {
      box.spread = spread;
      box.axis = c;
    }
  }
  return box;
}

// Splits the box that covers the most pixels over the widest spread at the pixels'
// median along that spread; false when every box holds a single colour.
bool split_one(std::vector<Colour>& colours, std::vector<Box>& boxes) {
  size_t pick = boxes.size();
  uint64_t best = 0;
  for (size_t b = 0; b < boxes.size(); b++) {
    const uint64_t weight = boxes[b].pixels * static_cast<uint64_t>(boxes[b].spread);
    if (boxes[b].spread > 0 && (pick == boxes.size() || weight > best)) {
      pick = b;
      best = weight;
    }
  }
  if (pick == boxes.size()) return false;
  const Box box = boxes[pick];
  const auto begin = colours.begin() + static_cast<std::ptrdiff_t>(box.first);
  const auto end = colours.begin() + static_cast<std::ptrdiff_t>(box.last);
  std::sort(begin, end, [axis = box.axis](const Colour& a, const Colour& b) {
    const uint8_t ka = component(a.rgb, axis), kb = component(b.rgb, axis);
    return ka != kb ? ka < kb : a.rgb < b.rgb;
  });
  // The first colour past half the box's pixels starts the upper part; each part
  // keeps at least one colour.
  size_t cut = box.first + 1;
  uint64_t below = colours[box.first].count;
  while (cut + 1 < box.last && below * 2 < box.pixels) below += colours[cut++].count;
  boxes[pick] = box_of(colours, box.first, cut);
  boxes.push_back(box_of(colours, cut, box.last));
  return true;
}

}  // namespace

size_t picture_reduce_to_palette(Picture& picture) {
  const size_t channels = static_cast<size_t>(picture.channels);
  const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  std::vector<uint32_t> rgb(count);
  for (size_t i = 0; i < count; i++) {
    const uint8_t* p = &picture.pixels[i * channels];
    rgb[i] = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  std::vector<uint32_t> sorted = rgb;
  std::sort(sorted.begin(), sorted.end());
  std::vector<Colour> colours;
  for (uint32_t value : sorted) {
    if (colours.empty() || colours.back().rgb != value)
      colours.push_back({value, 1});
    else
      colours.back().count++;
  }
  const size_t distinct = colours.size();

  std::vector<Box> boxes;
  if (!colours.empty()) boxes.push_back(box_of(colours, 0, colours.size()));
  while (boxes.size() < MOST_COLOURS && split_one(colours, boxes)) {
  }

  // Each box's colour is the mean of its pixels; every colour of the picture is
  // looked up in the box that holds it.
  std::memset(picture.palette, 0, sizeof picture.palette);
  std::vector<std::pair<uint32_t, uint8_t>> index_of;
  index_of.reserve(distinct);
  for (size_t b = 0; b < boxes.size(); b++) {
    uint64_t sum[3] = {0, 0, 0};
    for (size_t i = boxes[b].first; i < boxes[b].last; i++) {
      for (int c = 0; c < 3; c++) sum[c] += uint64_t{component(colours[i].rgb, c)} * colours[i].count;
      index_of.emplace_back(colours[i].rgb, static_cast<uint8_t>(b));
    }
    for (int c = 0; c < 3; c++)
      picture.palette[b][c] = static_cast<uint8_t>((sum[c] + boxes[b].pixels / 2) / boxes[b].pixels);
  }
  std::sort(index_of.begin(), index_of.end());
  std::vector<uint8_t> indices(count);
  for (size_t i = 0; i < count; i++)
    indices[i] =
        std::lower_bound(index_of.begin(), index_of.end(), std::make_pair(rgb[i], uint8_t{0}))->second;
  picture.pixels = std::move(indices);
  picture.channels = 1;
  return distinct;
}
