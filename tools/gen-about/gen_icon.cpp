// Writes the class icon "FGICON" as a PNG file of SIZE x SIZE pixels for the desktop's
// icon theme. Each pixel is the average of the icon pixels it covers, so whole multiples
// of the icon's size keep its pixels sharp and smaller sizes are not aliased.
// Usage: gen-icon OUTPUT [SIZE]
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/resources.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: gen-icon OUTPUT [SIZE]\n");
    return 2;
  }
  const win_icon* icon = res_find_icon(RES_ICON_NAME);
  if (icon == nullptr) return 1;
  const int size = argc == 3 ? std::atoi(argv[2]) : icon->width;
  if (size < 1 || size > 1024) {
    std::fprintf(stderr, "gen-icon: SIZE must be 1 to 1024\n");
    return 2;
  }
  const int width = size;
  const int height = size;
  std::vector<png_byte> rows(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The icon area under this pixel, in icon pixels, and how much of each it covers.
      const double x0 = double(x) * icon->width / width, x1 = double(x + 1) * icon->width / width;
      const double y0 = double(y) * icon->height / height, y1 = double(y + 1) * icon->height / height;
      double sum[3] = {0, 0, 0};
      for (int iy = int(y0); iy < icon->height && iy < y1; ++iy) {
        const double h = std::min<double>(iy + 1, y1) - std::max<double>(iy, y0);
        for (int ix = int(x0); ix < icon->width && ix < x1; ++ix) {
          const double w = (std::min<double>(ix + 1, x1) - std::max<double>(ix, x0)) * h;
          const uint8_t* c = icon->colours[win_icon_index(icon, ix, iy)];
          for (int k = 0; k < 3; ++k) sum[k] += w * c[k];
        }
      }
      const double area = (x1 - x0) * (y1 - y0);
      png_byte* out = &rows[static_cast<size_t>(
          (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3)];
      for (int k = 0; k < 3; ++k) out[k] = static_cast<png_byte>(std::lround(sum[k] / area));
    }
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "gen-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return 1;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, &rows[static_cast<size_t>(y) * static_cast<size_t>(width) * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 ? 0 : 1;
}
