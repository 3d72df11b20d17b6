// --info: the facts of a file as "key: value" lines on stdout.
#include <cstdio>
#include <string>

#include "flic/flic.h"
#include "tools/export/export.h"

namespace {

constexpr double MS_PER_S = 1000.0;

void line(const char* key, const std::string& value) { std::printf("%s: %s\n", key, value.c_str()); }
void line(const char* key, uint64_t value) {
  std::printf("%s: %llu\n", key, static_cast<unsigned long long>(value));
}

// The time between frames in milliseconds, whole when it is whole.
std::string delay_ms(const FlicHeaderFacts& header) {
  if (header.flc) return std::to_string(header.speed);
  double ms = header.speed * MS_PER_S / FLI_SPEED_UNITS_PER_S;
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

int flic_info(const Options& options) {
  FlicWalk walk;
  std::string reason;
  if (!flic_walk(options.input, walk, reason)) {
    report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  FlicContext context{};
  bool opened = flic_open(options.input.c_str(), &context) == 0;
  if (opened) flic_close(&context);
  line("format", walk.header.flc ? "FLC" : "FLI");
  line("width", walk.header.width);
  line("height", walk.header.height);
  line("frames", walk.header.frame_count);
  line("speed", walk.header.speed);
  line("delay_ms", delay_ms(walk.header));
  line("delay_ticks", opened ? context.delay : 0);
  line("file_size", walk.file_size);
  line("frame_records", static_cast<uint64_t>(walk.frame_records));
  line("prefix_records", static_cast<uint64_t>(walk.prefix_records));
  for (size_t type = 0; type < walk.chunk_counts.size(); type++) {
    if (walk.chunk_counts[type] == 0) continue;
    std::string key = "chunks_type_" + std::to_string(type);
    line(key.c_str(), walk.chunk_counts[type]);
  }
  line("damage", walk.damaged ? walk.damage : "none");
  return EXIT_OK;
}

int pcx_info(const Options& options) {
  PcxFacts facts;
  std::string reason;
  if (!pcx_facts(options.input, facts, reason)) {
    report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  line("format", "PCX");
  line("width", static_cast<uint64_t>(int64_t{facts.max_x} - facts.min_x + 1));
  line("height", static_cast<uint64_t>(int64_t{facts.max_y} - facts.min_y + 1));
  line("version", facts.version);
  line("bits_per_pixel", facts.bits_per_pixel);
  line("planes", facts.planes);
  line("bytes_per_line", facts.bytes_per_line);
  line("min_x", facts.min_x);
  line("max_x", facts.max_x);
  line("min_y", facts.min_y);
  line("max_y", facts.max_y);
  line("palette_block", facts.palette_block ? "yes" : "no");
  std::string fault = pcx_data_fault(options.input, facts);
  line("damage", fault.empty() ? "none" : fault);
  return EXIT_OK;
}

}  // namespace

int run_info(const Options& options, InputKind kind) {
  return kind == InputKind::flic ? flic_info(options) : pcx_info(options);
}
