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

uint32_t decode_flags(PaletteMode palette) {
  return palette == PaletteMode::file ? GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE : GFX_FLAG_NO_PAUSE;
}

void take_colours(Picture& picture, PaletteMode palette) {
  if (palette == PaletteMode::file)
    std::memcpy(picture.palette, gfx_state.flic_file_palette, sizeof picture.palette);
  else
    canvas_take_palette(picture);
}

// Decodes and writes up to wanted frames; false when writing failed. decoded counts the
// frames that decoded whole. The viewer shows its first frame whatever the decoder
// reports (so does the export, when the first frame record was begun), and no frame
// after a damaged one.
bool export_frames(const Options& options, const FlicWalk& walk, FlicContext& context, int wanted,
                   Output& out, int& decoded, std::string& error) {
  Picture picture{};
  picture.width = context.width;
  picture.height = context.height;
  uint32_t flags = decode_flags(options.palette);
  decoded = 0;
  progress_begin(wanted);
  for (int n = 1; n <= wanted; n++) {
    if (flic_play(&context, 1, flags) == 1) {
      decoded++;
    } else if (n > 1 || walk.frame_records_begun == 0) {
      break;
    } else {
      wanted = 1;
    }
    canvas_take_pixels(picture);
    take_colours(picture, options.palette);
    if (!output_frame(out, picture, context.frame_us, error)) return false;
    progress_step(n);
  }
  progress_end();
  return true;
}

// The records that decode after the exported frames (the ring frame), so that the
// export judges a file as --check does.
int decode_rest(FlicContext& context, const FlicWalk& walk, int decoded) {
  while (decoded < walk.frame_records && flic_play(&context, 1, GFX_FLAG_NO_PAUSE) == 1) decoded++;
  return decoded;
}

}  // namespace

int flic_export(const Options& options) {
  const std::string& input = options.input;
  FlicWalk walk;
  std::string reason;
  if (!flic_walk(input, walk, reason)) {
    report_error(input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  const int width = walk.header.width, height = walk.header.height, frame_count = walk.header.frame_count;
  if (frame_count == 0 || width == 0 || height == 0) {
    report_error(input + ": holds no frame to export (its header gives " + std::to_string(frame_count) +
                 " frames of " + std::to_string(width) + " x " + std::to_string(height) + " pixels)");
    return EXIT_BAD_INPUT;
  }
  FlicContext context{};
  if (!canvas_open(width, height)) {
    canvas_close();
    report_error(canvas_too_large(input, width, height));
    return EXIT_BAD_INPUT;
  }
  if (flic_open(input.c_str(), &context) != 0) {
    canvas_close();
    report_error(input + ": cannot be opened as a FLIC file");
    return EXIT_BAD_INPUT;
  }
  // Without the reduction every pixel keeps its file index, also those decoded before
  // the file's first colour chunk: the colour map starts as the identity.
  if (options.palette == PaletteMode::file) gfx_reduce_palette(GFX_FLAG_NO_REDUCE);
  int wanted = output_wants_one_frame(options.output) ? 1 : frame_count;
  Output out;
  output_begin(out, options.output);
  std::string error;
  int decoded = 0;
  bool written = export_frames(options, walk, context, wanted, out, decoded, error);
  // A full export judges the whole file as --check does; a single picture only its
  // first frame.
  const bool all_frames = wanted == frame_count;
  if (written && all_frames && decoded == wanted) decoded = decode_rest(context, walk, decoded);
  flic_close(&context);
  canvas_close();
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
  const std::string damage = all_frames     ? flic_damage(walk, decoded)
                             : decoded == 0 ? flic_damage(walk, 0)
                                            : "";
  if (damage.empty()) return EXIT_OK;
  const int n = out.frames_written;
  report_error(input + ": damaged: " + damage + "; wrote " +
               (n == 1 ? "frame 1 as the viewer shows it"
                       : "frames 1 to " + std::to_string(n) + " as the viewer shows them"));
  return EXIT_BAD_INPUT;
}
