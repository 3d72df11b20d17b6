// moxflic-export: entry, dispatch and exit status.
#include <cstdio>
#include <string>

#include "converter/export.h"
#include "converter/file_reader.h"
#include "flic/flic.h"
#include "gfx/gfx.h"

namespace {

// The frames a FLIC header gives (0 when it cannot be read).
int flic_frame_count(const std::string& input) {
  uint8_t header[FLIC_HEADER_SIZE];
  if (flic_check_header(input.c_str(), header) != 0) return 0;
  return gfx_le16(header + FLIC_FRAMES_OFFSET);
}

}  // namespace

#ifndef MOXFLIC_VERSION
#define MOXFLIC_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parse_args(argc, argv, options, error)) {
    report_error(error);
    std::fprintf(stderr, "Try 'moxflic-export --help'.\n");
    return EXIT_USAGE;
  }
  if (options.command == Command::help) {
    std::fputs(usage_text(), stdout);
    return EXIT_OK;
  }
  if (options.command == Command::version) {
    std::printf("moxflic-export %s\nvector code: %s\n", MOXFLIC_VERSION, gfx_vector_code());
    return EXIT_OK;
  }
  if (options.command == Command::encode) return run_encode(options);
  if (options.batch) return run_batch(options);
  InputKind kind;
  std::string reason;
  InputFault fault;
  if (!input_classify(options.input, kind, reason, fault)) {
    if (fault == InputFault::damaged)
      report_damage(options.input, reason);
    else
      report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  temp_file_guard_signals();
  switch (options.command) {
    case Command::info:
      return run_info(options, kind);
    case Command::check:
      return run_check(options, kind);
    default:
      break;
  }
  // Nothing is written when any output name is the input itself.
  std::string hit;
  if (output_hits_input(options.output, kind == InputKind::flic ? flic_frame_count(options.input) : 1,
                        options.input, hit)) {
    report_error(hit + ": is the input file; choose another output name");
    return EXIT_USAGE;
  }
  switch (kind) {
    case InputKind::flic:
      return flic_export(options);
    case InputKind::pcx:
      return pcx_export(options);
  }
}
