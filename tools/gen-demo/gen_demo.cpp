// Makes the demo animation: a 320 x 200 FLC of five seconds with colour-cycled
// diagonal bands behind a bouncing ball, a turning square and a sliding bar.
// Frame 1 holds a full colour chunk and a byte run-length picture; later frames a
// colour chunk for the cycled band colours and a word or byte line delta, one frame
// an uncompressed picture; a ring frame turns the last picture back into the first.
// Usage: gen-demo OUTPUT
#include <cmath>
#include <cstdio>
#include <vector>

#include "flic/flic_writer.h"

namespace {

constexpr int WIDTH = 320;
constexpr int HEIGHT = 200;
constexpr int FRAMES = 100;
constexpr uint32_t SPEED_MS = 50;
constexpr int UNCOMPRESSED_FRAME = 50;
constexpr int BYTE_DELTA_EVERY = 10;

// Palette layout.
constexpr int BAND_FIRST = 16;
constexpr int BAND_COUNT = 64;
constexpr int BALL = 200;
constexpr int BALL_SHINE = 201;
constexpr int SQUARE = 202;
constexpr int BAR = 203;
constexpr int OUTLINE = 204;
constexpr double PI = 3.14159265358979323846;

using Picture = std::vector<uint8_t>;

void band_colour(int k, uint8_t* rgb) {
  double t = 2.0 * PI * k / BAND_COUNT;
  rgb[0] = static_cast<uint8_t>(110 + 90 * std::sin(t));
  rgb[1] = static_cast<uint8_t>(110 + 90 * std::sin(t + 2.0 * PI / 3.0));
  rgb[2] = static_cast<uint8_t>(110 + 90 * std::sin(t + 4.0 * PI / 3.0));
}

void full_palette(uint8_t rgb[768]) {
  for (int i = 0; i < 768; ++i) rgb[i] = 0;
  for (int k = 0; k < BAND_COUNT; ++k) band_colour(k, rgb + (BAND_FIRST + k) * 3);
  const uint8_t fixed[][3] = {{230, 40, 40}, {255, 210, 210}, {250, 220, 40}, {40, 40, 60}, {0, 0, 0}};
  for (int i = 0; i < 5; ++i) {
    for (int c = 0; c < 3; ++c) rgb[(BALL + i) * 3 + c] = fixed[i][c];
  }
}

// The band colours of frame f: the ring of band colours turned by f steps.
FwColourPacket band_packet(int f) {
  FwColourPacket packet{static_cast<uint8_t>(BAND_FIRST), std::vector<uint8_t>(BAND_COUNT * 3)};
  for (int k = 0; k < BAND_COUNT; ++k) band_colour((k + f) % BAND_COUNT, packet.rgb.data() + k * 3);
  return packet;
}

void put(Picture& p, int x, int y, int index) {
  if (x >= 0 && y >= 0 && x < WIDTH && y < HEIGHT)
    p[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)] = static_cast<uint8_t>(index);
}

Picture draw(int f) {
  Picture p(static_cast<size_t>(WIDTH) * HEIGHT);
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) put(p, x, y, BAND_FIRST + ((x + y) / 5) % BAND_COUNT);
  }
  // Bar sliding along the bottom, back and forth.
  double s = 0.5 - 0.5 * std::cos(2.0 * PI * f / FRAMES);
  int bar_x = static_cast<int>(s * (WIDTH - 60));
  for (int y = HEIGHT - 22; y < HEIGHT - 10; ++y) {
    for (int x = bar_x; x < bar_x + 60; ++x) put(p, x, y, BAR);
  }
  // Square turning about its centre.
  double a = 2.0 * PI * f / FRAMES;
  for (int y = -30; y <= 30; ++y) {
    for (int x = -30; x <= 30; ++x) {
      double u = x * std::cos(a) + y * std::sin(a);
      double v = -x * std::sin(a) + y * std::cos(a);
      double m = std::fmax(std::fabs(u), std::fabs(v));
      if (m <= 20) put(p, 240 + x, 70 + y, m >= 18 ? OUTLINE : SQUARE);
    }
  }
  // Ball bouncing: two bounces over the whole animation, left to right and back.
  double t = static_cast<double>(f) / FRAMES;
  const int travel = WIDTH / 2 - 30;
  int cx = 30 + static_cast<int>(travel * (0.5 - 0.5 * std::cos(2.0 * PI * t)));
  int cy = HEIGHT - 45 - static_cast<int>(110 * std::fabs(std::sin(2.0 * PI * t)));
  for (int y = -16; y <= 16; ++y) {
    for (int x = -16; x <= 16; ++x) {
      int d = x * x + y * y;
      if (d > 16 * 16) continue;
      int shine = (x + 6) * (x + 6) + (y + 6) * (y + 6);
      put(p, cx + x, cy + y, d >= 15 * 15 ? OUTLINE : shine <= 16 ? BALL_SHINE : BALL);
    }
  }
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen-demo OUTPUT\n");
    return 2;
  }
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, WIDTH, HEIGHT, SPEED_MS);
  uint8_t rgb[768];
  full_palette(rgb);
  Picture first = draw(0);
  Picture prev = first;
  fw_begin_frame(w);
  fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb);
  fw_byte_run(w, first.data());
  fw_end_frame(w);
  for (int f = 1; f < FRAMES; ++f) {
    Picture next = draw(f);
    fw_begin_frame(w);
    fw_colour_chunk(w, FLIC_CHUNK_COLOUR_256, {band_packet(f)});
    if (f == UNCOMPRESSED_FRAME) {
      fw_uncompressed(w, next.data());
    } else if (f % BYTE_DELTA_EVERY == 0) {
      fw_byte_delta(w, prev.data(), next.data());
    } else {
      fw_word_delta(w, prev.data(), next.data());
    }
    fw_end_frame(w);
    prev = next;
  }
  // Ring frame: back to the first picture and the first band colours.
  fw_begin_frame(w);
  fw_colour_chunk(w, FLIC_CHUNK_COLOUR_256, {band_packet(0)});
  fw_word_delta(w, prev.data(), first.data());
  fw_end_frame(w);
  fw_finish(w, FRAMES);
  if (!fw_save(w, argv[1])) {
    std::fprintf(stderr, "gen-demo: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
