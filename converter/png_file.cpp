// One picture as a PNG (8-bit palette, RGB or RGBA), through libpng: to a file, or whole
// into memory.
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "converter/export.h"

namespace {

constexpr int PNG_BIT_DEPTH = 8;

// The encoder writes through this, so that a failed write keeps the system's reason
// (a full disk says so, rather than "the PNG encoder failed").
struct Sink {
  FILE* stream;
  int write_error;  // errno of the first failed write
};

void sink_write(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, sink->stream) != length) {
    sink->write_error = errno ? errno : EIO;
    png_error(png, "write failed");
  }
}

// Encoder errors end the write through its jump buffer; the message is made here.
[[noreturn]] void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quiet_warning(png_structp, png_const_charp) {}

void sink_flush(png_structp png) { std::fflush(static_cast<Sink*>(png_get_io_ptr(png))->stream); }

// Writes through a stdio stream on a duplicate of fd; false when anything failed.
bool write_stream(FILE* stream, const Picture& picture, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "cannot start the PNG encoder";
    return false;
  }
  png_color colours[256];
  for (int i = 0; i < 256; i++) {
    colours[i].red = picture.palette[i][0];
    colours[i].green = picture.palette[i][1];
    colours[i].blue = picture.palette[i][2];
  }
  Sink sink{stream, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = sink.write_error ? std::string("cannot write: ") + std::strerror(sink.write_error)
                             : "the PNG encoder failed";
    return false;
  }
  errno = 0;
  png_set_write_fn(png, &sink, sink_write, sink_flush);
  const int colour_type = picture.channels == 4   ? PNG_COLOR_TYPE_RGB_ALPHA
                          : picture.channels == 3 ? PNG_COLOR_TYPE_RGB
                                                  : PNG_COLOR_TYPE_PALETTE;
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
               PNG_BIT_DEPTH, colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, colours, 256);
  png_write_info(png, info);
  const size_t row_bytes = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.channels);
  for (int32_t y = 0; y < picture.height; y++) {
    png_write_row(png, picture.pixels.data() + static_cast<size_t>(y) * row_bytes);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool png_write(int fd, const Picture& picture, std::string& error) {
  int own = dup(fd);
  FILE* stream = own >= 0 ? fdopen(own, "wb") : nullptr;
  if (!stream) {
    if (own >= 0) close(own);
    error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  bool ok = write_stream(stream, picture, error);
  errno = 0;
  bool flushed = std::fflush(stream) == 0 && !std::ferror(stream);
  int saved = errno;
  bool closed = std::fclose(stream) == 0;
  if (ok && !(flushed && closed)) {
    error = std::string("cannot write: ") + std::strerror(saved ? saved : EIO);
    ok = false;
  }
  return ok;
}

bool png_encode(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error) {
  char* data = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&data, &size);
  if (!stream) {
    error = std::string("cannot encode: ") + std::strerror(errno);
    return false;
  }
  const bool ok = write_stream(stream, picture, error);
  const bool closed = std::fclose(stream) == 0;
  if (ok && closed) bytes.assign(data, data + size);
  std::free(data);
  if (ok && !closed) error = "cannot encode: out of memory";
  return ok && closed;
}
