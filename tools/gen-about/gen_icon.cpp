// Writes the class icon "FGICON" as a PNG file for the desktop entry.
// Usage: gen-icon OUTPUT [SCALE]
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/resources.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: gen-icon OUTPUT [SCALE]\n");
    return 2;
  }
  int scale = argc == 3 ? std::atoi(argv[2]) : 1;
  if (scale < 1 || scale > 16) scale = 1;
  const win_icon* icon = res_find_icon(RES_ICON_NAME);
  if (icon == nullptr) return 1;
  const int width = icon->width * scale;
  const int height = icon->height * scale;
  std::vector<png_byte> rows(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* c = icon->colours[win_icon_index(icon, x / scale, y / scale)];
      png_byte* out = &rows[(static_cast<size_t>(y) * width + x) * 3];
      out[0] = c[0];
      out[1] = c[1];
      out[2] = c[2];
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
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, &rows[static_cast<size_t>(y) * width * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 ? 0 : 1;
}
