// Exporting a FLIC: every frame the header announces (the ring frame excluded), or only
// the first, decoded as the viewer decodes it and paired with the colours the screen
// shows, or decoded without the colour reduction and paired with the file's colours.
#include <cstring>
#include <string>
#include <vector>

#include "converter/export.h"
#include "flic/flic.h"
#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

uint32_t decode_flags(PaletteMode palette) {
  return palette == PaletteMode::file ? GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE : GFX_FLAG_NO_PAUSE;
}

void take_colours(Picture& picture, PaletteMode palette) {
  if (palette == PaletteMode::file)
    std::memcpy(picture.palette, gfx_state().flic_file_palette, sizeof picture.palette);
  else
    canvas_take_palette(picture);
}

// The chunks met so far that draw pixels or change colours.
uint32_t drawing_chunks(const std::vector<uint32_t>& tally) {
  uint32_t n = 0;
  for (const uint16_t type :
       {FLIC_CHUNK_COLOUR_256, FLIC_CHUNK_COLOUR_64, FLIC_CHUNK_WORD_DELTA, FLIC_CHUNK_BYTE_DELTA,
        FLIC_CHUNK_BLACK, FLIC_CHUNK_BYTE_RUN, FLIC_CHUNK_UNCOMPRESSED})
    n += tally[type];
  return n;
}

// Decodes and writes up to wanted frames; false when writing failed. A frame that
// does not decode ends the export, but for the first: the viewer shows what the decoder
// drew of it, and so does the export, when the decoder began it (but a thumbnail is of
// a sound first frame or none, so that a file manager shows no broken picture). A frame
// without a chunk that draws or changes colours shows the picture before it again: it
// is neither taken from the buffer nor compared, however large the picture.
bool export_frames(const Options& options, FlicContext& context, int wanted, Output& out,
                   std::string& error) {
  Picture picture{};
  picture.width = context.width;
  picture.height = context.height;
  uint32_t flags = decode_flags(options.palette);
  std::vector<uint32_t> tally(UINT16_MAX + 1, 0);
  context.chunk_tally = tally.data();
  struct TallyEnd {
    FlicContext& context;
    ~TallyEnd() { context.chunk_tally = nullptr; }
  } tally_end{context};
  progress_begin(wanted);
  for (int n = 1; n <= wanted; n++) {
    const uint32_t drawn = drawing_chunks(tally);
    if (flic_play(&context, 1, flags) != 1) {
      if (n > 1 || context.report.damage == FlicDamage::none) break;
      wanted = 1;
    } else if (n > 1 && drawing_chunks(tally) == drawn) {
      if (!output_repeat(out, context.frame_us, error)) return false;
      progress_step(n);
      continue;
    }
    if (output_is_thumbnail(out.name) && context.report.damage != FlicDamage::none) break;
    canvas_take_pixels(picture);
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
  if (flic_check_header(input.c_str(), header) != 0) {
    report_error(input + ": cannot be opened as a FLIC file");
    return EXIT_BAD_INPUT;
  }
  const int width = gfx_le16(header + FLIC_WIDTH_OFFSET), height = gfx_le16(header + FLIC_HEIGHT_OFFSET);
  const int frame_count = gfx_le16(header + FLIC_FRAMES_OFFSET);
  if (frame_count == 0 || width == 0 || height == 0) {
    // Nothing to write; the file is judged as --check judges it.
    FlicSurvey survey;
    std::string reason;
    if (!flic_survey_file(input, survey, reason)) {
      report_error(input + ": " + reason);
      return EXIT_BAD_INPUT;
    }
    const FlicVerdict verdict = flic_verdict(survey.report, survey.header);
    if (!verdict.damage.empty()) {
      report_damage(input, verdict.damage + "; nothing written");
      return EXIT_BAD_INPUT;
    }
    const std::string note = "holds no frame to export (its header gives " + std::to_string(frame_count) +
                             " frames of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels); nothing written";
    command_outcome().notes.push_back(note);
    report_message(input + ": " + note);
    return EXIT_OK;
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
  const bool one_picture = output_wants_one_frame(options.output);
  const int wanted = one_picture ? 1 : frame_count;
  Output out;
  output_begin(out, options.output);
  std::string error;
  const bool written = export_frames(options, context, wanted, out, error);
  // A full export judges the whole file as --check does (the ring frame and any
  // records after it decoded too); a single picture only the frame it shows.
  if (written && !one_picture && context.report.damage == FlicDamage::none)
    while (flic_play(&context, 1, GFX_FLAG_NO_PAUSE) == 1) {
    }
  flic_close(&context);
  canvas_close();
  if (!written) {
    output_abandon(out);
    report_output_error(error);
    return EXIT_BAD_INPUT;
  }
  const FlicVerdict verdict = flic_verdict(context.report, flic_header_facts(header));
  command_outcome().notes = verdict.notes;
  if (out.frames_written == 0) {
    output_abandon(out);
    report_damage(input,
                  (verdict.damage.empty() ? std::string("its first frame does not decode") : verdict.damage) +
                      "; nothing written");
    return EXIT_BAD_INPUT;
  }
  if (!output_end(out, error)) {
    report_output_error(error);
    return EXIT_BAD_INPUT;
  }
  if (verdict.damage.empty()) return EXIT_OK;
  const int n = out.frames_written;
  report_damage(input, verdict.damage + "; wrote " +
                           (n == 1 ? "frame 1 as the viewer shows it"
                                   : "frames 1 to " + std::to_string(n) + " as the viewer shows them"));
  return EXIT_BAD_INPUT;
}
