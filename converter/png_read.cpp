// PNG files read through libpng, for making FLIC files: a palette picture keeps its
// indices and colours, a grey one of at most 8 bits becomes indices of grey levels,
// and any other is read as 8-bit red, green and blue, with its alpha laid over black.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "converter/encode.h"
#include "platform/display.h"

namespace {

constexpr int PNG_SIGNATURE_BYTES = 8;
constexpr uint32_t MOST_SIDE = 65535;  // a FLIC header's width and height are 16-bit

// The decoder's error message, kept for the caller; errors end the read through the
// jump buffer.
struct ReadState {
  char message[256];
};

[[noreturn]] void keep_error(png_structp png, png_const_charp text) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", text ? text : "not a PNG file");
  png_longjmp(png, 1);
}
void no_warning(png_structp, png_const_charp) {}

// The parts of a read that outlive a jump out of libpng: kept by the caller, so that
// no local of the function that calls setjmp changes after it.
struct PngRead {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ReadState state{};
  std::vector<png_bytep> rows;
  std::vector<uint8_t> buffer;  // RGBA rows before the alpha is laid over black
  ~PngRead() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (file) std::fclose(file);
  }
};

bool open_read(PngRead& r, const std::string& name, std::string& error) {
  r.file = std::fopen(name.c_str(), "rb");
  if (!r.file) {
    error = std::strerror(errno);
    return false;
  }
  png_byte signature[PNG_SIGNATURE_BYTES];
  if (std::fread(signature, 1, sizeof signature, r.file) != sizeof signature ||
      png_sig_cmp(signature, 0, sizeof signature) != 0) {
    error = "not a PNG file";
    return false;
  }
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.state, keep_error, no_warning);
  r.info = r.png ? png_create_info_struct(r.png) : nullptr;
  if (!r.info) {
    error = "cannot start the PNG decoder";
    return false;
  }
  return true;
}

// Reads the header into facts; the transformations that give indices or RGBA are set.
bool read_header(PngRead& r, PngFacts& facts, std::string& error) {
  if (setjmp(png_jmpbuf(r.png))) {
    error = r.state.message;
    return false;
  }
  png_init_io(r.png, r.file);
  png_set_sig_bytes(r.png, PNG_SIGNATURE_BYTES);
  png_read_info(r.png, r.info);
  const png_uint_32 width = png_get_image_width(r.png, r.info);
  const png_uint_32 height = png_get_image_height(r.png, r.info);
  const int colour_type = png_get_color_type(r.png, r.info);
  const int depth = png_get_bit_depth(r.png, r.info);
  facts.width = static_cast<int32_t>(width);
  facts.height = static_cast<int32_t>(height);
  facts.indexed = colour_type == PNG_COLOR_TYPE_PALETTE || (colour_type == PNG_COLOR_TYPE_GRAY && depth <= 8);
  facts.grey_depth = colour_type == PNG_COLOR_TYPE_GRAY ? depth : 0;
  if (width > MOST_SIDE || height > MOST_SIDE ||
      static_cast<int64_t>(width) * static_cast<int64_t>(height) > PLAT_MAX_SURFACE_PIXELS) {
    error = "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels is too large for a FLIC file (at most 65535 pixels a side and " +
            std::to_string(PLAT_MAX_SURFACE_PIXELS) + " pixels in all)";
    return false;
  }
  if (facts.indexed) {
    png_set_packing(r.png);  // 1, 2 and 4 bits a pixel become one byte each
  } else {
    png_set_strip_16(r.png);
    png_set_expand(r.png);  // palette with transparency, grey below 8 bits, tRNS: to 8 bits and alpha
    png_set_gray_to_rgb(r.png);
    png_set_add_alpha(r.png, 0xFF, PNG_FILLER_AFTER);
  }
  png_read_update_info(r.png, r.info);
  return true;
}

bool read_pixels(PngRead& r, const PngFacts& facts, Picture& picture, std::string& error) {
  const size_t width = static_cast<size_t>(facts.width), height = static_cast<size_t>(facts.height);
  picture.width = facts.width;
  picture.height = facts.height;
  picture.channels = facts.indexed ? 1 : 3;
  std::memset(picture.palette, 0, sizeof picture.palette);
  const size_t row_bytes = facts.indexed ? width : 4 * width;
  r.buffer.resize(row_bytes * height);
  r.rows.resize(height);
  for (size_t y = 0; y < height; y++) r.rows[y] = r.buffer.data() + y * row_bytes;
  if (setjmp(png_jmpbuf(r.png))) {
    error = r.state.message;
    return false;
  }
  png_read_image(r.png, r.rows.data());
  png_read_end(r.png, nullptr);
  if (facts.indexed) {
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(r.png, r.info, &colours, &count) == PNG_INFO_PLTE) {
      for (int i = 0; i < count && i < 256; i++) {
        picture.palette[i][0] = colours[i].red;
        picture.palette[i][1] = colours[i].green;
        picture.palette[i][2] = colours[i].blue;
      }
    } else {  // grey: each value its own level (1, 2 and 4 bits widened to 0-255)
      const int most = (1 << facts.grey_depth) - 1;
      for (int i = 0; i <= most; i++)
        for (int c = 0; c < 3; c++) picture.palette[i][c] = static_cast<uint8_t>(i * 255 / most);
    }
    picture.pixels.swap(r.buffer);
    return true;
  }
  picture.pixels.resize(3 * width * height);
  const uint8_t* from = r.buffer.data();
  uint8_t* to = picture.pixels.data();
  for (size_t i = 0; i < width * height; i++, from += 4, to += 3) {
    const unsigned alpha = from[3];
    for (int c = 0; c < 3; c++) to[c] = static_cast<uint8_t>((from[c] * alpha + 127) / 255);
  }
  return true;
}

}  // namespace

bool png_read_facts(const std::string& name, PngFacts& facts, std::string& error) {
  PngRead r;
  return open_read(r, name, error) && read_header(r, facts, error);
}

bool png_read(const std::string& name, PngFacts& facts, Picture& picture, std::string& error) {
  PngRead r;
  return open_read(r, name, error) && read_header(r, facts, error) && read_pixels(r, facts, picture, error);
}
