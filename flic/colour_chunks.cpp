// Colour chunks: packets of 256-level (type 4) or 64-level (type 11) colours go into
// the FLIC file palette, which is then reduced and loaded at entries 10 to 245.
#include "flic/decoder.h"
#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr uint32_t FLIC_SIX_BIT_MASK = 0x3F;
constexpr uint32_t FLIC_SIX_BIT_MAX = 63;
constexpr uint32_t FLIC_EIGHT_BIT_MAX = 255;
constexpr uint32_t FLIC_WHOLE_PALETTE = 256;  // a packet count byte of 0

uint8_t component(uint32_t value, bool six_bit) {
  if (!six_bit) return static_cast<uint8_t>(value);
  return static_cast<uint8_t>((value & FLIC_SIX_BIT_MASK) * FLIC_EIGHT_BIT_MAX / FLIC_SIX_BIT_MAX);
}

}  // namespace

// The running index is 8 bits wide: a packet that runs past entry 255 wraps to entry 0.
// A chunk cut short keeps the entries it completed; the palette is loaded in any case.
// A survey reads the packets into a palette of its own, which it then drops.
void flic_colour_chunk(FlicDecoder& d, bool six_bit) {
  FlicStream& s = d.s;
  uint8_t surveyed[3 * 256];
  uint8_t* palette = d.survey ? surveyed : gfx_state().flic_file_palette;
  const uint32_t packets = fs_word(s);
  uint8_t index = 0;
  for (uint32_t p = 0; p < packets && !fs_stopped(s); ++p) {
    index = static_cast<uint8_t>(index + fs_byte(s));
    uint32_t entries = fs_byte(s);
    if (entries == 0) entries = FLIC_WHOLE_PALETTE;
    // Entries that lie wholly in the ready bytes are taken from there, without a test
    // a byte (1% of a frame where every frame brings a whole palette); the others as
    // below.
    const uint32_t ready = fs_ready(s) / 3 < entries ? fs_ready(s) / 3 : entries;
    const uint8_t* from = s.pos;
    for (uint32_t e = 0; e < ready; ++e, from += 3) {
      uint8_t* entry = palette + 3 * index;
      entry[0] = component(from[0], six_bit);
      entry[1] = component(from[1], six_bit);
      entry[2] = component(from[2], six_bit);
      ++index;
    }
    fs_advance(s, 3 * ready);
    for (uint32_t e = ready; e < entries; ++e) {
      const uint32_t red = fs_byte(s);
      const uint32_t green = fs_byte(s);
      const uint32_t blue = fs_byte(s);
      if (fs_stopped(s)) break;
      uint8_t* entry = palette + 3 * index;
      entry[0] = component(red, six_bit);
      entry[1] = component(green, six_bit);
      entry[2] = component(blue, six_bit);
      ++index;
    }
  }
  if (!d.survey) gfx_set_palette_range(PAL_FILE_FIRST, PAL_FILE_COUNT, gfx_reduce_palette(d.flags));
  d.pairs = nullptr;  // made from the colour map as it was
}
