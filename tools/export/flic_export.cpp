// Exporting a FLIC: every frame the header announces (the ring frame excluded), or only
// the first, decoded as the viewer decodes it and paired with the colours the screen
// shows, or decoded without the colour reduction and paired with the file's colours.
#include <cstring>
#include <string>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "palette/palette.h"
#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

constexpr int FLIC_FRAME_COUNT_OFFSET = 6;

uint32_t decode_flags(PaletteMode palette) {
  return palette == PaletteMode::file ? GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE : GFX_FLAG_NO_PAUSE;
}

void take_colours(Picture& picture, PaletteMode palette) {
  if (palette == PaletteMode::file)
    std::memcpy(picture.palette, gfx_state.flic_file_palette, sizeof picture.palette);
  else
    screen_take_palette(picture);
}

// Whether the first frame record lies in the file, so that the decoder drew into the
// buffer even when it reports the frame as not decoded (a chunk's data runs past its
// size, or the file ends inside the frame).
bool first_frame_drawn(const std::string& input) {
  FlicWalk walk;
  std::string reason;
  return flic_walk(input, walk, reason) && walk.frame_records_begun > 0;
}

// Decodes and writes up to wanted frames; false when writing failed. The viewer shows
// its first frame whatever the decoder reports, and no frame after a damaged one.
bool export_frames(const Options& options, FlicContext& context, int wanted, Output& out, std::string& error) {
  Picture picture{};
  picture.width = context.width;
  picture.height = context.height;
  uint32_t flags = decode_flags(options.palette);
  progress_begin(wanted);
  for (int n = 1; n <= wanted; n++) {
    if (flic_play(&context, 1, flags) != 1) {
      if (n > 1 || !first_frame_drawn(options.input)) break;
      report_error(options.input + ": the first frame is damaged (its data runs past its chunk or the file);"
                   " exported as the viewer shows it");
      wanted = 1;
    }
    screen_take_pixels(picture);
    take_colours(picture, options.palette);
    if (!output_frame(out, picture, context.frame_us, error)) return false;
    progress_step(n);
  }
  progress_end();
  return true;
}

}  // namespace

int flic_export(const Options& options) {
  const std::string& input = options.input;
  uint8_t header[FLIC_HEADER_SIZE];
  int32_t width = -1, height = -1;
  if (flic_check_header(input.c_str(), header) != 0 || flic_size(header, &width, &height) != 0 || width < 0) {
    report_error(input + ": cannot be opened as a FLIC file");
    return EXIT_BAD_INPUT;
  }
  uint16_t frame_count = get_u16(header + FLIC_FRAME_COUNT_OFFSET);
  if (frame_count == 0 || width == 0 || height == 0) {
    report_error(input + ": holds no frame to export (its header gives " + std::to_string(frame_count) +
                 " frames of " + std::to_string(width) + " x " + std::to_string(height) + " pixels)");
    return EXIT_BAD_INPUT;
  }
  FlicContext context{};
  if (!screen_open(width, height)) {
    screen_close();
    report_error(input + ": a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large to decode");
    return EXIT_BAD_INPUT;
  }
  if (flic_open(input.c_str(), &context) != 0) {
    screen_close();
    report_error(input + ": cannot be opened as a FLIC file");
    return EXIT_BAD_INPUT;
  }
  // Without the reduction every pixel keeps its file index, also those decoded before
  // the file's first colour chunk: the colour map starts as the identity.
  if (options.palette == PaletteMode::file) gfx_reduce_palette(GFX_FLAG_NO_REDUCE);
  int wanted = output_wants_one_frame(options.output) ? 1 : context.frame_count;
  Output out;
  output_begin(out, options.output);
  std::string error;
  bool written = export_frames(options, context, wanted, out, error);
  flic_close(&context);
  screen_close();
  if (!written) {
    output_abandon(out);
    report_error(error);
    return EXIT_BAD_INPUT;
  }
  if (out.frames_written == 0) {
    output_abandon(out);
    report_error(input + ": its first frame does not decode; nothing written");
    return EXIT_BAD_INPUT;
  }
  if (!output_end(out, error)) {
    report_error(error);
    return EXIT_BAD_INPUT;
  }
  if (out.frames_written < wanted)
    report_error(input + ": holds only " + std::to_string(out.frames_written) + " of the " +
                 std::to_string(wanted) + " frames its header gives; exported those");
  return EXIT_OK;
}
