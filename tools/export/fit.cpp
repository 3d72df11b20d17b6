// Pictures scaled down to fit a size, for thumbnails.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/export/export.h"

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
  const size_t channels = static_cast<size_t>(in.channels);
  out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * channels);
  // Source column of every output column, taken once.
  std::vector<int32_t> columns(static_cast<size_t>(out.width));
  for (int32_t x = 0; x < out.width; x++)
    columns[static_cast<size_t>(x)] =
        static_cast<int32_t>((int64_t{2 * x + 1} * in.width) / (int64_t{2} * out.width));
  for (int32_t y = 0; y < out.height; y++) {
    const int32_t sy = static_cast<int32_t>((int64_t{2 * y + 1} * in.height) / (int64_t{2} * out.height));
    const uint8_t* row =
        in.pixels.data() + static_cast<size_t>(sy) * static_cast<size_t>(in.width) * channels;
    uint8_t* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(out.width) * channels;
    for (int32_t x = 0; x < out.width; x++)
      std::memcpy(dst + static_cast<size_t>(x) * channels,
                  row + static_cast<size_t>(columns[static_cast<size_t>(x)]) * channels, channels);
  }
}
