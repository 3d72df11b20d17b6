// Writes the larger animations of the frames-per-second benchmark with the FLIC writer:
//   run-delta-640x480.flc   300 frames: a run-length frame, then word-oriented line deltas
//   byte-delta-320x200.fli  1000 frames of byte-oriented line deltas
//   colours-640x480.flc     100 frames, each with a 256-colour chunk and a word delta
// Usage: make_fps_files DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include "tools/writers/flic_writer.h"

namespace {

constexpr uint32_t FLC_SPEED_MS = 40;
constexpr uint32_t FLI_SPEED = 3;

// A scene that changes in part each frame: bands scrolling at the top, a square
// bouncing over a still background, and speckles that flicker.
std::vector<uint8_t> scene(int width, int height, int k) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * height);
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
      p[static_cast<size_t>(y) * width + x] = v;
    }
  }
  return p;
}

std::vector<uint8_t> palette(int k) {
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 256; i++) {
    rgb[i * 3] = static_cast<uint8_t>((i * 5 + k) % 256);
    rgb[i * 3 + 1] = static_cast<uint8_t>((i * 3 + 2 * k) % 256);
    rgb[i * 3 + 2] = static_cast<uint8_t>((255 - i + 3 * k) % 256);
  }
  return rgb;
}

enum class Delta { word, byte };

bool write(const std::string& path, uint16_t magic, int width, int height, int frames, uint32_t speed, Delta delta,
           bool colours_every_frame) {
  FlicWriter w;
  fw_begin(w, magic, static_cast<uint16_t>(width), static_cast<uint16_t>(height), speed);
  uint16_t colour_type = magic == FW_FLI ? FW_CHUNK_COLOUR_64 : FW_CHUNK_COLOUR_256;
  std::vector<uint8_t> first = scene(width, height, 0);
  fw_begin_frame(w);
  fw_palette(w, colour_type, palette(0).data());
  fw_byte_run(w, first.data());
  fw_end_frame(w);
  std::vector<uint8_t> prev = first;
  for (int k = 1; k <= frames; k++) {
    std::vector<uint8_t> next = k == frames ? first : scene(width, height, k);  // the last is the ring frame
    fw_begin_frame(w);
    if (colours_every_frame) fw_palette(w, colour_type, palette(k).data());
    if (delta == Delta::word)
      fw_word_delta(w, prev.data(), next.data());
    else
      fw_byte_delta(w, prev.data(), next.data());
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
  bool ok = write(dir + "/run-delta-640x480.flc", FW_FLC, 640, 480, 300, FLC_SPEED_MS, Delta::word, false) &&
            write(dir + "/byte-delta-320x200.fli", FW_FLI, 320, 200, 1000, FLI_SPEED, Delta::byte, false) &&
            write(dir + "/colours-640x480.flc", FW_FLC, 640, 480, 100, FLC_SPEED_MS, Delta::word, true);
  return ok ? 0 : 1;
}
