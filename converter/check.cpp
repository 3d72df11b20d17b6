// --check: decodes the whole file as the viewer does, writes nothing, and reports the
// frames decoded, the time the decoding took, and whether the file is damaged.
#include <chrono>
#include <cstdio>
#include <string>

#include "converter/export.h"
#include "flic/flic.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"

namespace {

using Clock = std::chrono::steady_clock;

int report(const Options& options, const std::string& damage) {
  std::fflush(stdout);
  if (damage.empty()) return EXIT_OK;
  report_damage(options.input, damage);
  return EXIT_BAD_INPUT;
}

void report_seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", seconds);
  report_fact("decode_seconds", text);
}

// Decodes every record as the viewer does, the ring frame included, one call a frame;
// a picture without a size is walked without drawing.
int flic_check(const Options& options) {
  uint8_t header[FLIC_HEADER_SIZE];
  if (flic_check_header(options.input.c_str(), header) != 0) {
    report_error(options.input + ": cannot be opened as a FLIC file");
    return EXIT_BAD_INPUT;
  }
  const uint32_t width = gfx_le16(header + FLIC_WIDTH_OFFSET), height = gfx_le16(header + FLIC_HEIGHT_OFFSET);
  const bool drawn = width > 0 && height > 0;
  if (drawn && !canvas_open(static_cast<int32_t>(width), static_cast<int32_t>(height))) {
    canvas_close();
    report_error(canvas_too_large(options.input, width, height));
    return EXIT_BAD_INPUT;
  }
  FlicContext context{};
  double seconds = 0;
  if (flic_open(options.input.c_str(), &context) == 0) {
    const uint32_t flags = drawn ? GFX_FLAG_NO_PAUSE : GFX_FLAG_SURVEY;
    const Clock::time_point start = Clock::now();
    while (flic_play(&context, 1, flags) == 1) {
    }
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    flic_close(&context);
  }
  if (drawn) canvas_close();
  const FlicVerdict verdict = flic_verdict(context.report, flic_header_facts(header));
  report_flic_verdict(verdict);
  report_seconds(seconds);
  return report(options, verdict.damage);
}

int pcx_check(const Options& options) {
  PcxFacts facts;
  std::string reason;
  if (!pcx_facts(options.input, facts, reason)) {
    report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  const int32_t width = facts.max_x - facts.min_x + 1, height = facts.max_y - facts.min_y + 1;
  if (!canvas_open(width, height)) {
    canvas_close();
    report_error(canvas_too_large(options.input, width, height));
    return EXIT_BAD_INPUT;
  }
  pcx_set_position(0, 0);
  Clock::time_point start = Clock::now();
  int32_t shown = pcx_show(options.input.c_str(), GFX_FLAG_AT_POSITION);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  canvas_close();
  std::string fault = shown == 0 ? pcx_data_fault(options.input, facts) : "the picture cannot be decoded";
  report_fact("frames", shown == 0 ? "1" : "0");
  report_seconds(seconds);
  return report(options, fault);
}

}  // namespace

int run_check(const Options& options, InputKind kind) {
  return kind == InputKind::flic ? flic_check(options) : pcx_check(options);
}
