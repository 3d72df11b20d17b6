// --info: the facts of a file as "key: value" lines on stdout.
#include <cstdio>
#include <string>

#include "converter/export.h"
#include "flic/flic.h"

namespace {

constexpr double MS_PER_S = 1000.0;

void line(const char* key, const std::string& value) { report_fact(key, value); }
void line(const char* key, uint64_t value) { report_fact(key, std::to_string(value)); }

// The time between frames in milliseconds, whole when it is whole; a file without a
// speed plays at the format's usual one.
std::string delay_ms(const FlicHeaderFacts& header) {
  if (header.flc && header.speed > 0) return std::to_string(header.speed);
  const uint32_t speed = header.speed > 0 ? header.speed : FLIC_DEFAULT_SPEED;
  double ms = speed * MS_PER_S / FLI_SPEED_UNITS_PER_S;
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

int flic_info(const Options& options) {
  FlicSurvey survey;
  std::string reason;
  if (!flic_survey_file(options.input, survey, reason)) {
    report_error(options.input + ": " + reason);
    return EXIT_BAD_INPUT;
  }
  FlicContext context{};
  bool opened = flic_open(options.input.c_str(), &context) == 0;
  if (opened) flic_close(&context);
  const FlicHeaderFacts& header = survey.header;
  const FlicVerdict verdict = flic_verdict(survey.report, header);
  line("format", header.flc ? "FLC" : "FLI");
  line("width", header.width);
  line("height", header.height);
  line("header_frames", header.frame_count);
  line("speed", header.speed);
  line("delay_ms", delay_ms(header));
  line("delay_ticks", opened ? context.delay : 0);
  line("file_size", survey.file_size);
  line("prefix_records", survey.report.prefix_records);
  for (size_t type = 0; type < survey.chunk_counts.size(); type++) {
    if (survey.chunk_counts[type] == 0) continue;
    std::string key = "chunks_type_" + std::to_string(type);
    line(key.c_str(), survey.chunk_counts[type]);
  }
  report_flic_verdict(verdict);
  line("damage", verdict.damage.empty() ? "none" : verdict.damage);
  std::fflush(stdout);
  if (verdict.damage.empty()) return EXIT_OK;
  report_damage(options.input, verdict.damage);
  return EXIT_BAD_INPUT;
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
  std::fflush(stdout);
  if (fault.empty()) return EXIT_OK;
  report_damage(options.input, fault);
  return EXIT_BAD_INPUT;
}

}  // namespace

int run_info(const Options& options, InputKind kind) {
  return kind == InputKind::flic ? flic_info(options) : pcx_info(options);
}
