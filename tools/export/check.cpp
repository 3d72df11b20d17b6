// --check: decodes the whole file as the viewer does, writes nothing, and reports the
// frames decoded, the time the decoding took, and whether the file is damaged.
#include <chrono>
#include <cstdio>
#include <string>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "tools/export/export.h"

namespace {

constexpr uint32_t SMALLEST_FRAME_RECORD = 16;

using Clock = std::chrono::steady_clock;

int report(const Options& options, int frames, double seconds, const std::string& damage) {
  std::printf("frames: %d\ndecode_seconds: %.6f\n", frames, seconds);
  std::fflush(stdout);
  if (damage.empty()) return EXIT_OK;
  report_error(options.input + ": damaged: " + damage);
  return EXIT_BAD_INPUT;
}

// Decodes frames until the decoder finds no more, the ring frame included.
int decode_all(FlicContext& context, uint64_t file_size, double& seconds) {
  // No file holds more frames than 16-byte records fit in it; a bound against loops.
  uint64_t most = file_size / SMALLEST_FRAME_RECORD + 1;
  int frames = 0;
  Clock::time_point start = Clock::now();
  while (static_cast<uint64_t>(frames) < most && flic_play(&context, 1, GFX_FLAG_NO_PAUSE) == 1) frames++;
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return frames;
}

int flic_check(const Options& options) {
  FlicWalk walk;
  std::string reason;
  if (!flic_walk(options.input, walk, reason)) {
    report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  const FlicHeaderFacts& header = walk.header;
  int frames = 0;
  double seconds = 0;
  if (header.width == 0 || header.height == 0) {
    if (walk.frame_records > 0)
      return report(options, 0, 0, "its frames have no size (0 pixels wide or high)");
  } else {
    if (!canvas_open(header.width, header.height)) {
      canvas_close();
      report_error(canvas_too_large(options.input, header.width, header.height));
      return EXIT_BAD_INPUT;
    }
    FlicContext context{};
    if (flic_open(options.input.c_str(), &context) == 0) {
      frames = decode_all(context, walk.file_size, seconds);
      flic_close(&context);
    }
    canvas_close();
  }
  std::printf("ring frame: %s\n", flic_has_ring_frame(walk) ? "present" : "none");
  return report(options, frames, seconds, flic_damage(walk, frames));
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
  return report(options, shown == 0 ? 1 : 0, seconds, fault);
}

}  // namespace

int run_check(const Options& options, InputKind kind) {
  return kind == InputKind::flic ? flic_check(options) : pcx_check(options);
}
