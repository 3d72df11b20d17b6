// Pictures scaled down to fit a size, for thumbnails: each pixel of the small picture is
// the average of the pixels its cell covers, weighted by how much of each it covers (the
// area average), on the stored sRGB values as other image tools average them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "converter/export.h"

namespace {

constexpr int RGB = 3;
constexpr int RGBA = 4;

// How the cells of a scaled-down axis cover the source pixels. Cell d of D covers the
// source interval [d * S / D, (d + 1) * S / D); in units of 1/D of a source pixel, source
// pixel s spans [s * D, (s + 1) * D) and each cell S, so the weights are whole numbers
// and those of one cell add up to S.
struct Axis {
  std::vector<int32_t> first;    // the first source pixel of each cell
  std::vector<int32_t> count;    // how many source pixels it touches
  std::vector<uint32_t> offset;  // where its weights start in weight
  std::vector<uint32_t> weight;  // the weights of all cells, one after another
};

Axis make_axis(int32_t source, int32_t cells) {
  Axis axis;
  const auto n = static_cast<size_t>(cells);
  axis.first.resize(n);
  axis.count.resize(n);
  axis.offset.resize(n);
  axis.weight.reserve(static_cast<size_t>(source) + n);
  const int64_t s_len = source, d_len = cells;
  for (int64_t d = 0; d < d_len; d++) {
    const int64_t begin = d * s_len, end = (d + 1) * s_len;
    const int64_t first = begin / d_len, last = (end - 1) / d_len;
    axis.first[static_cast<size_t>(d)] = static_cast<int32_t>(first);
    axis.count[static_cast<size_t>(d)] = static_cast<int32_t>(last - first + 1);
    axis.offset[static_cast<size_t>(d)] = static_cast<uint32_t>(axis.weight.size());
    for (int64_t s = first; s <= last; s++)
      axis.weight.push_back(
          static_cast<uint32_t>(std::min(end, (s + 1) * d_len) - std::max(begin, s * d_len)));
  }
  return axis;
}

// One source row averaged across: for every cell of the row, the weighted sums of its
// red, green, blue (premultiplied by alpha when there is one) and alpha.
void sum_row(const Picture& in, int32_t y, const Axis& across, int channels_out,
             std::vector<uint64_t>& sums) {
  const size_t in_channels = static_cast<size_t>(in.channels);
  const uint8_t* row =
      in.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(in.width) * in_channels;
  const size_t cells = across.first.size();
  const auto out_channels = static_cast<size_t>(channels_out);
  for (size_t x = 0; x < cells; x++) {
    uint64_t r = 0, g = 0, b = 0, a = 0;
    const uint32_t* w = across.weight.data() + across.offset[x];
    const uint8_t* p = row + static_cast<size_t>(across.first[x]) * in_channels;
    for (int32_t k = 0; k < across.count[x]; k++, p += in_channels) {
      const uint64_t weight = w[k];
      if (in_channels == 1) {
        const uint8_t* c = in.palette[*p];
        r += c[0] * weight;
        g += c[1] * weight;
        b += c[2] * weight;
      } else if (in_channels == RGBA) {
        const uint64_t aw = p[3] * weight;
        r += p[0] * aw;
        g += p[1] * aw;
        b += p[2] * aw;
        a += aw;
      } else {
        r += p[0] * weight;
        g += p[1] * weight;
        b += p[2] * weight;
      }
    }
    uint64_t* s = sums.data() + x * out_channels;
    s[0] = r;
    s[1] = g;
    s[2] = b;
    if (out_channels == RGBA) s[3] = a;
  }
}

uint8_t rounded(uint64_t sum, uint64_t total) { return static_cast<uint8_t>((sum + total / 2) / total); }

}  // namespace

void picture_fit(const Picture& in, int max_side, Picture& out) {
  std::memcpy(out.palette, in.palette, sizeof out.palette);
  out.channels = in.channels;
  const int64_t longer = std::max(in.width, in.height);
  if (longer <= max_side) {
    out.width = in.width;
    out.height = in.height;
    out.pixels = in.pixels;
    return;
  }
  // The shorter side rounded to the nearest pixel, never below one.
  auto scaled = [&](int64_t side) {
    return static_cast<int32_t>(std::max<int64_t>(1, (side * max_side * 2 + longer) / (longer * 2)));
  };
  out.width = scaled(in.width);
  out.height = scaled(in.height);
  // Averages of palette colours are colours of their own: the small picture is RGB.
  out.channels = in.channels == RGBA ? RGBA : RGB;
  const auto channels = static_cast<size_t>(out.channels);
  const Axis across = make_axis(in.width, out.width);
  const Axis down = make_axis(in.height, out.height);
  const auto width = static_cast<size_t>(out.width);
  out.pixels.resize(width * static_cast<size_t>(out.height) * channels);
  std::vector<uint64_t> row(width * channels), cell(width * channels);
  // Every cell's weights add up to the source's width times its height.
  const uint64_t total = static_cast<uint64_t>(in.width) * static_cast<uint64_t>(in.height);
  for (int32_t y = 0; y < out.height; y++) {
    const auto oy = static_cast<size_t>(y);
    std::fill(cell.begin(), cell.end(), 0);
    const uint32_t* w = down.weight.data() + down.offset[oy];
    for (int32_t k = 0; k < down.count[oy]; k++) {
      sum_row(in, down.first[oy] + k, across, out.channels, row);
      for (size_t i = 0; i < row.size(); i++) cell[i] += row[i] * w[k];
    }
    uint8_t* dst = out.pixels.data() + oy * width * channels;
    for (size_t x = 0; x < width; x++, dst += channels) {
      const uint64_t* s = cell.data() + x * channels;
      if (channels == RGB) {
        for (size_t c = 0; c < RGB; c++) dst[c] = rounded(s[c], total);
        continue;
      }
      // Colours were weighted by their alpha: divided by the alpha they hold, so that
      // transparent pixels lend the cell none of their colour.
      for (size_t c = 0; c < RGB; c++) dst[c] = s[3] == 0 ? 0 : rounded(s[c], s[3]);
      dst[3] = rounded(s[3], total);
    }
  }
}
