// Exporting a PCX picture: decoded as the about command shows it, through the logical
// palette after the colour fitting, or with every pixel in the colour the file gives it.
#include <cstring>
#include <string>

#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "tools/export/export.h"

namespace {

constexpr int PCX_HEADER_COLOURS = 16;
constexpr int PCX_BLOCK_COLOURS = 256;

// The file's own colours: the 256-colour block with the pixels as decoded, the header's
// 16 colours with the pixels renumbered from 10 + index to index (black and white for a
// monochrome picture whose two header colours are the same), or, for an 8-bit picture
// without a colour block, its values as grey levels.
void take_file_colours(const std::string& input, const PcxFacts& facts, Picture& picture) {
  uint8_t colours[PCX_BLOCK_COLOURS * 3] = {};
  int32_t count = pcx_read_palette(input.c_str(), colours);
  std::memset(picture.palette, 0, sizeof picture.palette);
  if (count == PCX_BLOCK_COLOURS) {
    std::memcpy(picture.palette, colours, sizeof picture.palette);
  } else if (facts.bits_per_pixel == 8) {
    for (int i = 0; i < PCX_BLOCK_COLOURS; i++)
      picture.palette[i][0] = picture.palette[i][1] = picture.palette[i][2] = static_cast<uint8_t>(i);
  } else {
    std::memcpy(picture.palette, colours, PCX_HEADER_COLOURS * 3);
    // Monochrome pictures often leave the header colours unset: black and white then.
    if (facts.bits_per_pixel == 1 && facts.planes == 1 && std::memcmp(colours, colours + 3, 3) == 0) {
      std::memset(picture.palette[0], 0, 3);
      std::memset(picture.palette[1], 0xFF, 3);
    }
    for (uint8_t& pixel : picture.pixels)
      pixel = static_cast<uint8_t>(pixel >= PAL_FILE_FIRST ? pixel - PAL_FILE_FIRST : 0);
  }
}

}  // namespace

int pcx_export(const Options& options) {
  const std::string& input = options.input;
  PcxFacts facts;
  std::string reason;
  if (!pcx_facts(input, facts, reason)) {
    report_error(input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  Picture picture{};
  picture.width = facts.max_x - facts.min_x + 1;
  picture.height = facts.max_y - facts.min_y + 1;
  if (!screen_open(picture.width, picture.height)) {
    screen_close();
    report_error(input + ": a picture of " + std::to_string(picture.width) + " x " +
                 std::to_string(picture.height) + " pixels is too large to decode");
    return EXIT_BAD_INPUT;
  }
  bool file_colours = options.palette == PaletteMode::file;
  pcx_set_position(0, 0);
  int32_t shown = pcx_show(input.c_str(), file_colours ? GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE
                                                      : GFX_FLAG_AT_POSITION);
  screen_take_pixels(picture);
  if (file_colours)
    take_file_colours(input, facts, picture);
  else
    screen_take_palette(picture);
  screen_close();
  if (shown != 0) {
    report_error(input + ": the picture cannot be decoded");
    return EXIT_BAD_INPUT;
  }
  std::string fault = pcx_data_fault(input, facts);
  if (!fault.empty()) report_error(input + ": " + fault + "; the missing lines repeat the last one");
  Output out;
  output_begin(out, options.output);
  std::string error;
  if (!output_frame(out, picture, 0, error) || !output_end(out, error)) {
    output_abandon(out);
    report_error(error);
    return EXIT_BAD_INPUT;
  }
  return EXIT_OK;
}
