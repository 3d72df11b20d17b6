// Small FLIC files made with the FLIC writer.
#include "tests/export/made_files.h"

std::vector<uint8_t> made_pixels(int width, int height, int k, int colours) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      p[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<uint8_t>((x / 3 + y / 2 + 5 * k) % colours);
  return p;
}

std::vector<uint8_t> made_palette(int distinct) {
  std::vector<uint8_t> rgb(768, 0);
  for (int i = 0; i < distinct; i++) {
    rgb[static_cast<size_t>(i * 3)] = static_cast<uint8_t>(i * 37 % 256);
    rgb[static_cast<size_t>(i * 3 + 1)] = static_cast<uint8_t>(255 - i);
    rgb[static_cast<size_t>(i * 3 + 2)] = static_cast<uint8_t>(i * 101 % 256);
  }
  for (int i = distinct; i < 256; i++)
    for (int c = 0; c < 3; c++) rgb[static_cast<size_t>(i * 3 + c)] = rgb[static_cast<size_t>(c)];
  return rgb;
}

FlicWriter made_animation(uint16_t magic, int width, int height, int frames, uint32_t speed, int colours,
                          MadeColours where) {
  FlicWriter w;
  fw_begin(w, magic, static_cast<uint16_t>(width), static_cast<uint16_t>(height), speed);
  std::vector<uint8_t> first = made_pixels(width, height, 0, colours);
  std::vector<uint8_t> rgb = made_palette(colours);
  if (magic == FLIC_MAGIC_FLI)
    for (uint8_t& c : rgb) c = static_cast<uint8_t>(c & 0xFC);  // exact in 64 levels
  const uint16_t colour_type = magic == FLIC_MAGIC_FLI ? FLIC_CHUNK_COLOUR_64 : FLIC_CHUNK_COLOUR_256;
  fw_begin_frame(w);
  if (where == MadeColours::first) fw_palette(w, colour_type, rgb.data());
  fw_byte_run(w, first.data());
  if (where == MadeColours::after_pixels) fw_palette(w, colour_type, rgb.data());
  fw_end_frame(w);
  std::vector<uint8_t> prev = first;
  for (int k = 1; k <= frames; k++) {
    std::vector<uint8_t> next = k == frames ? first : made_pixels(width, height, k, colours);
    fw_begin_frame(w);
    if (magic == FLIC_MAGIC_FLI)
      fw_byte_delta(w, prev.data(), next.data());
    else
      fw_word_delta(w, prev.data(), next.data());
    if (k == 1 && where == MadeColours::in_frame_2) fw_palette(w, colour_type, rgb.data());
    fw_end_frame(w);
    prev = next;
  }
  fw_finish(w, frames);
  return w;
}
