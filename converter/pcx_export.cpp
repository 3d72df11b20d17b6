// Exporting a PCX picture: by default with every pixel in the colour the file gives it,
// or, asked for, as the about command would show it, through the logical palette after
// the colour fitting.
#include <cstring>
#include <string>

#include "converter/export.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "pcx/pcx.h"
#include "pcx/pcx_io.h"
#include "pcx/pcx_lines.h"

namespace {

constexpr int PCX_TRUE_COLOUR_PLANES = 3;
constexpr int PCX_ALPHA_PLANES = 4;

// The file's own colours: black and white for one plane of one bit, the 256-colour
// block with the pixels as decoded, the header's 16 colours with the pixels renumbered
// from 10 + index to index, or, for an 8-bit picture without a colour block, its values
// as grey levels.
void take_file_colours(const std::string& input, const PcxFacts& facts, Picture& picture) {
  uint8_t colours[PCX_BLOCK_COLOURS * 3] = {};
  const bool black_and_white = facts.bits_per_pixel == 1 && facts.planes == 1;
  const int32_t count = black_and_white ? PCX_HEADER_COLOURS : pcx_read_palette(input.c_str(), colours);
  std::memset(picture.palette, 0, sizeof picture.palette);
  if (count == PCX_BLOCK_COLOURS) {
    std::memcpy(picture.palette, colours, sizeof picture.palette);
    return;
  }
  if (facts.bits_per_pixel == 8) {
    for (int i = 0; i < PCX_BLOCK_COLOURS; i++)
      picture.palette[i][0] = picture.palette[i][1] = picture.palette[i][2] = static_cast<uint8_t>(i);
    return;
  }
  if (black_and_white)
    std::memset(picture.palette[1], 0xFF, 3);
  else
    std::memcpy(picture.palette, colours, PCX_HEADER_COLOURS * 3);
  for (uint8_t& pixel : picture.pixels)
    pixel = static_cast<uint8_t>(pixel >= PAL_FILE_FIRST ? pixel - PAL_FILE_FIRST : 0);
}

// A picture of three or four 8-bit planes holds red, green, blue (and alpha) in its
// planes: the library shows its first plane, but its own colours are true colours.
bool true_colour(const PcxFacts& facts) {
  return facts.bits_per_pixel == 8 &&
         (facts.planes == PCX_TRUE_COLOUR_PLANES || facts.planes == PCX_ALPHA_PLANES);
}

// Decodes every plane of a true-colour picture into picture.pixels, pixel by pixel,
// with the library's run-length line decoder; lines missing from the data repeat the
// last one, as on screen.
bool take_true_colours(const std::string& input, const PcxFacts& facts, Picture& picture) {
  if (!pcx_io_open(input.c_str())) return false;
  uint8_t header[PCX_HEADER_SIZE];
  const bool have_header = pcx_io_read(header, PCX_HEADER_SIZE) == PCX_HEADER_SIZE;
  const uint32_t plane = facts.bytes_per_line, planes = facts.planes;
  PcxLineDecoder lines{};
  if (!have_header ||
      !pcx_lines_start(lines, PcxReader{gfx_state().stream_buffer, 0, true}, plane * planes)) {
    pcx_io_close();
    return false;
  }
  picture.channels = static_cast<int32_t>(planes);
  picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * planes, 0);
  uint8_t* out = picture.pixels.data();
  for (int32_t y = 0; y < picture.height; y++) {
    pcx_next_line(lines);
    for (int32_t x = 0; x < picture.width; x++)
      for (uint32_t p = 0; p < planes; p++) *out++ = lines.line[p * plane + static_cast<uint32_t>(x)];
  }
  pcx_io_close();
  return true;
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
  if (!canvas_open(picture.width, picture.height)) {
    canvas_close();
    report_error(canvas_too_large(input, picture.width, picture.height));
    return EXIT_BAD_INPUT;
  }
  // The viewer shows no PCX file but its own about picture: a picture goes in its own
  // colours unless the screen's are asked for.
  const bool file_colours = options.palette != PaletteMode::screen;
  const bool rgb = file_colours && true_colour(facts);
  pcx_set_position(0, 0);
  int32_t shown = pcx_show(input.c_str(),
                           file_colours ? GFX_FLAG_AT_POSITION | GFX_FLAG_NO_REDUCE : GFX_FLAG_AT_POSITION);
  canvas_take_pixels(picture);
  if (!file_colours)
    canvas_take_palette(picture);
  else if (!rgb)
    take_file_colours(input, facts, picture);
  else if (!take_true_colours(input, facts, picture))
    shown = PCX_CANNOT_OPEN;
  canvas_close();
  if (shown != 0) {
    report_error(input + ": the picture cannot be decoded");
    return EXIT_BAD_INPUT;
  }
  if (rgb && options.output.kind == OutputKind::gif) {
    // A GIF holds 256 colours: more are reduced, which --palette=file, asked for as a
    // lossless export, is told of.
    const size_t colours = picture_reduce_to_palette(picture);
    if (colours > PCX_BLOCK_COLOURS && options.palette == PaletteMode::file)
      report_message(input + ": a GIF holds 256 colours; reduced this picture's " + std::to_string(colours) +
                     " colours to 256");
  }
  // A thumbnail is of a sound picture or none, so that a file manager shows no broken one.
  const std::string fault = pcx_data_fault(input, facts);
  if (!fault.empty() && output_is_thumbnail(options.output)) {
    report_damage(input, fault + "; nothing written");
    return EXIT_BAD_INPUT;
  }
  Output out;
  output_begin(out, options.output);
  std::string error;
  if (!output_frame(out, picture, 0, error) || !output_end(out, error)) {
    output_abandon(out);
    report_output_error(error);
    return EXIT_BAD_INPUT;
  }
  if (fault.empty()) return EXIT_OK;
  report_damage(input, fault + "; wrote the picture as it decodes");
  return EXIT_BAD_INPUT;
}
