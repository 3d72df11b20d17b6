// Error lines and the progress line on stderr.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "converter/batch_parts.h"
#include "converter/export.h"

namespace {

// A progress line appears only for work that has run this long.
constexpr double PROGRESS_AFTER_S = 0.5;
constexpr double PROGRESS_EVERY_S = 0.1;

using Clock = std::chrono::steady_clock;

// Each thread runs its own command: its progress, outcome and quietness are its own.
thread_local bool progress_on = false;
thread_local bool progress_shown = false;
thread_local int progress_total = 0;
thread_local Clock::time_point progress_start;
thread_local Clock::time_point progress_last;
thread_local bool quiet = false;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

Outcome& command_outcome() {
  thread_local Outcome outcome;
  return outcome;
}

namespace {

void give_verdict(Verdict verdict, const std::string& reason) {
  Outcome& o = command_outcome();
  if (o.verdict != Verdict::ok) return;  // the first verdict stands
  o.verdict = verdict;
  o.reason = reason;
}

void print_error(const std::string& text) {
  if (quiet) return;
  progress_end();
  // File names may hold control characters: shown escaped, they cannot move the
  // cursor, clear the screen or forge another line.
  std::fprintf(stderr, "moxflic-export: %s\n", escape_controls(text).c_str());
}

}  // namespace

void report_error(const std::string& text) {
  give_verdict(Verdict::unreadable, text);
  print_error(text);
}

void report_message(const std::string& text) { print_error(text); }

void report_damage(const std::string& input, const std::string& what) {
  give_verdict(Verdict::damaged, what);
  print_error(input + ": damaged: " + what);
}

void report_output_error(const std::string& text) {
  give_verdict(Verdict::failed, text);
  print_error(text);
}

void report_fact(const std::string& key, const std::string& value) {
  command_outcome().facts.emplace_back(key, value);
  if (!quiet) std::printf("%s: %s\n", key.c_str(), value.c_str());
}

void report_note(const std::string& what) {
  command_outcome().notes.push_back(what);
  if (!quiet) std::printf("note: %s\n", what.c_str());
}

void report_quietly(bool quietly) { quiet = quietly; }

void progress_begin(int total) {
  progress_on = !quiet && isatty(STDERR_FILENO) != 0;
  progress_shown = false;
  progress_total = total;
  progress_start = Clock::now();
  progress_last = progress_start;
}

void progress_step(int done) {
  if (!progress_on || seconds_since(progress_start) < PROGRESS_AFTER_S ||
      seconds_since(progress_last) < PROGRESS_EVERY_S)
    return;
  progress_last = Clock::now();
  progress_shown = true;
  std::fprintf(stderr, "\rmoxflic-export: frame %d of %d", done, progress_total);
  std::fflush(stderr);
}

void progress_end() {
  if (progress_shown) std::fprintf(stderr, "\r\033[K");
  progress_shown = false;
  progress_on = false;
}
