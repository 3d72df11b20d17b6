// Writes the larger animations of the frames-per-second benchmark with the FLIC writer:
//   run-delta-640x480.flc   300 frames: a run-length frame, then word-oriented line deltas
//   byte-delta-320x200.fli  1000 frames of byte-oriented line deltas
//   colours-640x480.flc     100 frames, each with a 256-colour chunk and a word delta
//   scroll-640x480.flc      300 frames: a quarter of the picture scrolls every frame
//   cycle-640x480.flc       300 frames, each with a 256-colour chunk of cycling colours
//   fade-640x480.flc        300 frames, each with a 256-colour chunk never seen before
//   raw-640x480.flc         100 uncompressed frames
// Usage: make_fps_files DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "flic/flic_writer.h"

namespace {

constexpr uint32_t FLC_SPEED_MS = 40;
constexpr uint32_t FLI_SPEED = 3;

// A scene that changes in part each frame: bands scrolling at the top, a square
// bouncing over a still background, and speckles that flicker.
std::vector<uint8_t> scene(int width, int height, int k) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * static_cast<size_t>(height));
  int square = height / 4;
  int sx = (k * 7) % (width - square);
  int sy = height / 3 + (k * 3) % (height / 2);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      uint8_t v;
      if (y < height / 5)
        v = static_cast<uint8_t>(((x + 4 * k) / 16) % 64 + 16);
      else if (x >= sx && x < sx + square && y >= sy && y < sy + square)
        v = static_cast<uint8_t>(200 + ((x - sx) ^ (y - sy)) % 40);
      else
        v = static_cast<uint8_t>(100 + (x / 40 + y / 30) % 8);
      if (((x * 31 + y * 17 + k * 13) % 97) == 0) v = static_cast<uint8_t>((k + x) % 256);
      p[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = v;
    }
  }
  return p;
}

std::vector<uint8_t> palette(int k) {
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 256; i++) {
    rgb[static_cast<size_t>(i * 3)] = static_cast<uint8_t>((i * 5 + k) % 256);
    rgb[static_cast<size_t>(i * 3 + 1)] = static_cast<uint8_t>((i * 3 + 2 * k) % 256);
    rgb[static_cast<size_t>(i * 3 + 2)] = static_cast<uint8_t>((255 - i + 3 * k) % 256);
  }
  return rgb;
}

// A picture whose top quarter scrolls left by 3 pixels a frame over a still rest.
std::vector<uint8_t> scrolling(int width, int height, int k) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      const int u = y < height / 4 ? x + 3 * k : x;
      p[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>((u / 5 + y / 7 + (u * y) % 11) % 256);
    }
  return p;
}

// Colour cycling: entries 32 to 95 rotate by one a frame, the rest stay.
std::vector<uint8_t> cycled(int k) {
  std::vector<uint8_t> rgb = palette(0);
  const std::vector<uint8_t> base = rgb;
  for (int i = 0; i < 64; i++)
    for (int c = 0; c < 3; c++)
      rgb[static_cast<size_t>((32 + i) * 3 + c)] = base[static_cast<size_t>((32 + (i + k) % 64) * 3 + c)];
  return rgb;
}

// A fade to black: every frame a little darker than the one before.
std::vector<uint8_t> faded(int k, int frames) {
  std::vector<uint8_t> rgb = palette(0);
  for (uint8_t& c : rgb) c = static_cast<uint8_t>(c * (frames - k) / frames);
  return rgb;
}

enum class Delta { word, byte, uncompressed };
enum class Colours { once, changing, cycling, fading };

bool write(const std::string& path, uint16_t magic, int width, int height, int frames, uint32_t speed,
           Delta delta, Colours colours, bool scroll = false) {
  const auto picture = [&](int k) { return scroll ? scrolling(width, height, k) : scene(width, height, k); };
  const auto colours_of = [&](int k) {
    switch (colours) {
      case Colours::cycling:
        return cycled(k);
      case Colours::fading:
        return faded(k, frames);
      default:
        return palette(k);
    }
  };
  FlicWriter w;
  fw_begin(w, magic, static_cast<uint16_t>(width), static_cast<uint16_t>(height), speed);
  uint16_t colour_type = magic == FLIC_MAGIC_FLI ? FLIC_CHUNK_COLOUR_64 : FLIC_CHUNK_COLOUR_256;
  std::vector<uint8_t> first = picture(0);
  fw_begin_frame(w);
  fw_palette(w, colour_type, colours_of(0).data());
  if (delta == Delta::uncompressed)
    fw_uncompressed(w, first.data());
  else
    fw_byte_run(w, first.data());
  fw_end_frame(w);
  std::vector<uint8_t> prev = first;
  for (int k = 1; k <= frames; k++) {
    std::vector<uint8_t> next = k == frames ? first : picture(k);  // the last is the ring frame
    fw_begin_frame(w);
    if (colours != Colours::once) fw_palette(w, colour_type, colours_of(k % frames).data());
    if (delta == Delta::word)
      fw_word_delta(w, prev.data(), next.data());
    else if (delta == Delta::byte)
      fw_byte_delta(w, prev.data(), next.data());
    else
      fw_uncompressed(w, next.data());
    fw_end_frame(w);
    prev = next;
  }
  fw_finish(w, frames);
  bool ok = fw_save(w, path);
  std::printf("%s %s (%zu bytes)\n", ok ? "wrote" : "cannot write", path.c_str(), w.bytes.size());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fps_files DIRECTORY\n");
    return 2;
  }
  std::string dir = argv[1];
  bool ok = write(dir + "/run-delta-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 300, FLC_SPEED_MS, Delta::word,
                  Colours::once) &&
            write(dir + "/byte-delta-320x200.fli", FLIC_MAGIC_FLI, 320, 200, 1000, FLI_SPEED, Delta::byte,
                  Colours::once) &&
            write(dir + "/colours-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 100, FLC_SPEED_MS, Delta::word,
                  Colours::changing) &&
            write(dir + "/scroll-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 300, FLC_SPEED_MS, Delta::word,
                  Colours::once, true) &&
            write(dir + "/cycle-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 300, FLC_SPEED_MS, Delta::word,
                  Colours::cycling) &&
            write(dir + "/fade-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 300, FLC_SPEED_MS, Delta::word,
                  Colours::fading) &&
            write(dir + "/raw-640x480.flc", FLIC_MAGIC_FLC, 640, 480, 100, FLC_SPEED_MS, Delta::uncompressed,
                  Colours::once);
  return ok ? 0 : 1;
}
