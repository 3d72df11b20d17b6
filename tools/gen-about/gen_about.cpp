// Draws the viewer's about picture "moxflic.res": a 320 x 200 PCX of 8 bits with
// its own 256-colour block. Usage: gen-about OUTPUT
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/writers/pcx_writer.h"

namespace {

constexpr int WIDTH = 320;
constexpr int HEIGHT = 200;
constexpr int COLOURS = 256;

// Palette layout: a 64-step sky ramp, a 32-step ground ramp, and a few plain colours.
constexpr int SKY = 0;
constexpr int SKY_STEPS = 64;
constexpr int GROUND = 64;
constexpr int GROUND_STEPS = 32;
constexpr int FILM = 100;
constexpr int HOLE = 101;
constexpr int SUN = 102;
constexpr int TEXT = 103;
constexpr int SHADOW = 104;

// A 5 x 7 font for the letters of the picture, one string of 7 rows of 5 bits each.
struct Glyph {
  char c;
  const char* rows[7];
};
constexpr Glyph glyphs[] = {
    {'M', {"10001", "11011", "10101", "10101", "10001", "10001", "10001"}},
    {'O', {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'X', {"10001", "10001", "01010", "00100", "01010", "10001", "10001"}},
    {'F', {"11111", "10000", "10000", "11110", "10000", "10000", "10000"}},
    {'L', {"10000", "10000", "10000", "10000", "10000", "10000", "11111"}},
    {'I', {"01110", "00100", "00100", "00100", "00100", "00100", "01110"}},
    {'C', {"01110", "10001", "10000", "10000", "10000", "10001", "01110"}},
    {'P', {"11110", "10001", "10001", "11110", "10000", "10000", "10000"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'Y', {"10001", "10001", "01010", "00100", "00100", "00100", "00100"}},
    {'E', {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
    {'R', {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
    {'V', {"10001", "10001", "10001", "10001", "10001", "01010", "00100"}},
    {'0', {"01110", "10001", "10011", "10101", "11001", "10001", "01110"}},
    {'4', {"00010", "00110", "01010", "10010", "11111", "00010", "00010"}},
    {'.', {"00000", "00000", "00000", "00000", "00000", "01100", "01100"}},
    {'/', {"00001", "00010", "00010", "00100", "01000", "01000", "10000"}},
};

const Glyph* find_glyph(char c) {
  for (const Glyph& g : glyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

struct Picture {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(WIDTH * HEIGHT);
  void put(int x, int y, int index) {
    if (x >= 0 && y >= 0 && x < WIDTH && y < HEIGHT)
      pixels[static_cast<size_t>(y) * WIDTH + static_cast<size_t>(x)] = static_cast<uint8_t>(index);
  }
};

void text(Picture& p, int x, int y, int scale, const char* s, int index) {
  for (; *s != '\0'; ++s, x += 6 * scale) {
    const Glyph* g = find_glyph(*s);
    if (g == nullptr) continue;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (g->rows[row][col] != '1') continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) p.put(x + col * scale + dx, y + row * scale + dy, index);
        }
      }
    }
  }
}

int text_width(const char* s, int scale) { return static_cast<int>(std::strlen(s)) * 6 * scale - scale; }

void colours(uint8_t rgb[COLOURS * 3]) {
  std::memset(rgb, 0, COLOURS * 3);
  auto set = [&](int i, int r, int g, int b) {
    rgb[i * 3] = static_cast<uint8_t>(r);
    rgb[i * 3 + 1] = static_cast<uint8_t>(g);
    rgb[i * 3 + 2] = static_cast<uint8_t>(b);
  };
  for (int i = 0; i < SKY_STEPS; ++i) set(SKY + i, 20 + i * 2, 40 + i * 2, 120 + i * 2);
  for (int i = 0; i < GROUND_STEPS; ++i) set(GROUND + i, 20 + i * 2, 90 + i * 3, 30 + i);
  set(FILM, 40, 40, 44);
  set(HOLE, 230, 230, 220);
  set(SUN, 255, 220, 60);
  set(TEXT, 255, 255, 255);
  set(SHADOW, 10, 10, 30);
}

void draw(Picture& p) {
  constexpr int STRIP = 18;
  constexpr int HORIZON = 130;
  for (int y = 0; y < HEIGHT; ++y) {
    for (int x = 0; x < WIDTH; ++x) {
      int index;
      if (y < STRIP || y >= HEIGHT - STRIP) {
        bool hole =
            (x % 16) >= 4 && (x % 16) < 12 && (y % (HEIGHT - STRIP)) >= 5 && (y % (HEIGHT - STRIP)) < 13;
        index = hole ? HOLE : FILM;
      } else if (y < HORIZON) {
        index = SKY + (y - STRIP) * SKY_STEPS / (HORIZON - STRIP);
      } else {
        double hill = 8.0 * std::sin(x / 23.0) + 5.0 * std::sin(x / 9.0 + 1.0);
        index = y < HORIZON + hill ? SKY + SKY_STEPS - 1
                                   : GROUND + (y - HORIZON) * GROUND_STEPS / (HEIGHT - STRIP - HORIZON);
      }
      p.put(x, y, index);
    }
  }
  for (int y = -14; y <= 14; ++y) {
    for (int x = -14; x <= 14; ++x) {
      if (x * x + y * y <= 14 * 14) p.put(290 + x, 38 + y, SUN);
    }
  }
  const char* title = "MOXFLIC";
  const char* line = "FLI/FLC PLAYER V0.4";
  int tx = (WIDTH - text_width(title, 5)) / 2;
  text(p, tx + 2, 42 + 2, 5, title, SHADOW);
  text(p, tx, 42, 5, title, TEXT);
  int lx = (WIDTH - text_width(line, 2)) / 2;
  text(p, lx + 1, 100 + 1, 2, line, SHADOW);
  text(p, lx, 100, 2, line, TEXT);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen-about OUTPUT\n");
    return 2;
  }
  Picture picture;
  draw(picture);
  uint8_t rgb[COLOURS * 3];
  colours(rgb);
  PcxWriterHeader header = pcx_writer_header(WIDTH, HEIGHT, 8, 1);
  std::vector<uint8_t> file;
  pcx_writer_put_header(file, header);
  pcx_writer_put_image(file, header, picture.pixels.data());
  pcx_writer_put_palette_block(file, rgb);
  if (!pcx_writer_save(file, argv[1])) {
    std::fprintf(stderr, "gen-about: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
