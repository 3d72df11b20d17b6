// moxflic-export: entry, dispatch and exit status.
#include <cstdio>
#include <string>

#include "tools/export/export.h"

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
    std::printf("moxflic-export %s\n", MOXFLIC_VERSION);
    return EXIT_OK;
  }
  if (options.batch) return run_batch(options);
  InputKind kind;
  std::string reason;
  if (!input_classify(options.input, kind, reason)) {
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
      return kind == InputKind::flic ? flic_export(options) : pcx_export(options);
  }
}
