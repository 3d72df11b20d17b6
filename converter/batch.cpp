// Many files at once: --check, --info or export over any number of files and folders.
//
// Folders are walked (in name order, symbolic links to folders not followed, an output
// folder found inside them left out). Up to --jobs files are judged at once, each for at
// most --timeout seconds, by the one-file command with its output kept to its outcome:
// - --check and --info run in worker threads of this process, each with a library
//   context of its own, so a small file costs no more than its decoding. A file past its
//   time is told to stop reading (its decoding ends at the next read); one whose worker
//   does not come back even then is given up, and its thread left behind.
// - An export runs in a process of its own, forked from this one, so that a worker past
//   its time can be killed and the temporary file it was writing removed. A worker
//   writes its verdict and facts as one record to a memory file that this process reads
//   when it ends, and names the temporary file it is writing in memory shared with this
//   process, which removes it when the worker was killed.
// Lines come out in the order of the inputs, then a summary; a run stopped by a signal
// lists what it finished.
//
// Before an export starts, every name each input will write is checked against those
// of every other input and against every file the run walked: no output replaces
// another or a file the run was given.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "converter/batch_parts.h"
#include "converter/export.h"
#include "converter/file_reader.h"
#include "flic/flic.h"
#include "gfx/gfx.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int VERDICTS = 5;
const char* const VERDICT_NAMES[VERDICTS] = {"ok", "damaged", "unreadable", "skipped", "failed"};

struct Entry {
  std::string path;
  std::string stem;    // for export: the output's name inside the output folder, without extension
  bool known = false;  // the verdict is settled without a worker
  Verdict verdict = Verdict::ok;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> facts;
  bool done = false;  // judged, by a worker or without one
};

// A folder, by the file system's identity rather than by any of its names.
struct FolderId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FolderId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
  bool operator==(const FolderId& o) const { return dev == o.dev && ino == o.ino; }
};

bool folder_id(const std::string& path, FolderId& id) {
  struct stat st {};
  if (stat(path.empty() ? "." : path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

// --- Signals -----------------------------------------------------------------------

// The signals this process waits for while its workers run: a worker's end and, unless
// the process was started with them ignored, those that stop the run. They are blocked
// and taken when waited for, so no handler runs between the run's steps.
struct RunSignals {
  sigset_t stops;   // the signals that stop the run
  sigset_t waited;  // those and SIGCHLD
  sigset_t original_mask;
  struct sigaction original_child;
};

void no_handler(int) {}

void take_signals(RunSignals& s) {
  sigemptyset(&s.stops);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction now {};
    if (sigaction(signal_number, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
      sigaddset(&s.stops, signal_number);
  }
  s.waited = s.stops;
  sigaddset(&s.waited, SIGCHLD);
  // A parent that ignores SIGCHLD hands that on across exec, and workers would then
  // vanish unwaited for: this run hears of each one.
  struct sigaction child {};
  child.sa_handler = no_handler;
  sigemptyset(&child.sa_mask);
  child.sa_flags = SA_NOCLDSTOP;
  sigaction(SIGCHLD, &child, &s.original_child);
  sigprocmask(SIG_BLOCK, &s.waited, &s.original_mask);
}

// A signal that stops the run, taken if one has come: the signal, or 0.
int take_stop(const RunSignals& s) {
  const timespec now{0, 0};
  siginfo_t info;
  const int signal_number = sigtimedwait(&s.stops, &info, &now);
  return signal_number < 0 ? 0 : signal_number;
}

// Whether a signal that stops the run has come, left for take_stop.
bool stop_pending(const RunSignals& s) {
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
    if (sigismember(&s.stops, signal_number) == 1 && sigismember(&pending, signal_number) == 1) return true;
  return false;
}

// --- Inputs --------------------------------------------------------------------------

struct Walk {
  const RunSignals* signals;  // a signal that stops the run ends the walk
  bool have_output_folder = false;
  FolderId output_folder{};
  std::vector<Entry> entries;
};

// Whether a folder is the output folder, which the walk does not enter: true with an
// entry that says so.
bool left_out(Walk& walk, const std::string& folder) {
  FolderId id;
  if (!walk.have_output_folder || !folder_id(folder, id) || !(id == walk.output_folder)) return false;
  Entry e;
  e.path = folder;
  e.known = true;
  e.verdict = Verdict::skipped;
  e.reason = "the output folder; left out of the walk";
  walk.entries.push_back(e);
  return true;
}

void walk_folder(Walk& walk, const fs::path& root, const fs::path& folder) {
  if (stop_pending(*walk.signals)) return;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    Entry e;
    e.path = folder.string();
    e.known = true;
    e.verdict = Verdict::unreadable;
    e.reason = "the folder cannot be read: " + ec.message();
    walk.entries.push_back(e);
    return;
  }
  std::vector<fs::directory_entry> children;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    children.push_back(*it);
  }
  std::sort(children.begin(), children.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
  for (const fs::directory_entry& child : children) {
    std::error_code kind_error;
    if (child.is_symlink(kind_error) && child.is_directory(kind_error)) continue;
    if (child.is_directory(kind_error)) {
      if (!left_out(walk, child.path().string())) walk_folder(walk, root, child.path());
      continue;
    }
    Entry e;
    e.path = child.path().string();
    e.stem = output_stem(child.path().lexically_relative(root).string());
    if (!child.is_regular_file(kind_error)) {
      e.known = true;
      e.verdict = Verdict::skipped;
      e.reason = "not a regular file";
    }
    walk.entries.push_back(e);
  }
}

std::vector<Entry> collect(const Options& options, const RunSignals& signals) {
  Walk walk;
  walk.signals = &signals;
  if (options.command == Command::export_file)
    walk.have_output_folder = folder_id(options.output_dir, walk.output_folder);
  for (const std::string& name : options.inputs) {
    std::error_code ec;
    // A folder named on the command line is walked even when it is the output folder.
    if (fs::is_directory(name, ec)) {
      walk_folder(walk, name, name);
      continue;
    }
    Entry e;
    e.path = name;
    e.stem = output_stem(fs::path(name).filename().string());
    walk.entries.push_back(e);
  }
  return walk.entries;
}

// --- Output names --------------------------------------------------------------------

// The output name of an entry, as parse_output reads it: the folder and stem with any
// percent sign doubled, so that only the pattern's number stands for the frame.
std::string output_name(const Options& options, const Entry& e) {
  std::string literal;
  for (const char c : (fs::path(options.output_dir) / e.stem).string()) {
    literal += c;
    if (c == '%') literal += '%';
  }
  return literal + options.output_pattern;
}

// The frames an input would write at most: a FLIC's header count, one picture for a
// PCX, none for anything else.
int frames_written_at_most(const std::string& path) {
  InputKind kind;
  InputFault fault;
  std::string ignored;
  if (!input_classify(path, kind, ignored, fault)) return 0;
  if (kind == InputKind::pcx) return 1;
  uint8_t header[FLIC_HEADER_SIZE];
  return flic_check_header(path.c_str(), header) == 0 ? gfx_le16(header + FLIC_FRAMES_OFFSET) : 0;
}

std::string frame_text(const NameSet& set, int frame) {
  return set.numbered ? " (frame " + std::to_string(frame) + ")" : "";
}

std::string name_of(const NameSet& set, int frame) {
  return set.head + (set.numbered ? name_number(set, frame) : "") + set.tail;
}

void refuse(Entry& e, const std::string& reason) {
  e.known = true;
  e.verdict = Verdict::failed;
  e.reason = reason;
}

// The names an input's export will write.
struct Plan {
  size_t entry;
  NameSet names;
};

std::vector<Plan> plan_outputs(const Options& options, const std::vector<Entry>& entries) {
  std::vector<Plan> plans;
  for (size_t k = 0; k < entries.size(); k++) {
    if (entries[k].known) continue;
    OutputName parsed;
    std::string ignored;
    if (!parse_output(output_name(options, entries[k]), parsed, ignored)) continue;
    NameSet names;
    names.head = parsed.prefix;
    names.tail = parsed.suffix;
    names.numbered = parsed.kind == OutputKind::png_sequence;
    names.width = parsed.number_width;
    names.zero_pad = parsed.zero_pad;
    names.count = std::min(frames_written_at_most(entries[k].path), names.numbered ? INT32_MAX : 1);
    plans.push_back({k, names});
  }
  return plans;
}

// Refuses every input one of whose outputs would replace a file the run walked. Files
// and outputs meet by the identity of their folder, since a folder has many names.
void refuse_walked(const std::vector<Plan>& plans, std::vector<Entry>& entries) {
  std::map<FolderId, std::vector<std::pair<std::string, size_t>>> walked;  // file names, entries
  for (size_t k = 0; k < entries.size(); k++) {
    const fs::path path(entries[k].path);
    FolderId id;
    if (folder_id(path.parent_path().string(), id)) walked[id].emplace_back(path.filename().string(), k);
  }
  for (auto& [id, names] : walked) std::sort(names.begin(), names.end());
  for (const Plan& plan : plans) {
    const size_t slash = plan.names.head.rfind('/');
    const std::string folder_name = slash == std::string::npos ? "."
                                    : slash == 0               ? "/"
                                                               : plan.names.head.substr(0, slash);
    FolderId id;
    if (!folder_id(folder_name, id)) continue;
    const auto folder = walked.find(id);
    if (folder == walked.end()) continue;
    NameSet local = plan.names;
    local.head = plan.names.head.substr(slash == std::string::npos ? 0 : slash + 1);
    // The names that can be the input's begin with its head: they follow it in order.
    const auto& names = folder->second;
    for (auto it =
             std::lower_bound(names.begin(), names.end(), std::pair<std::string, size_t>{local.head, 0});
         it != names.end() && it->first.starts_with(local.head); ++it) {
      const int frame = name_frame(local, it->first);
      if (frame == 0) continue;
      refuse(entries[plan.entry], "its output " + name_of(plan.names, frame) + frame_text(plan.names, frame) +
                                      " would replace " + entries[it->second].path +
                                      ", which this run was given; nothing written");
      break;
    }
  }
}

// Refuses every input one of whose outputs is also an output of an earlier input that
// is not refused.
void refuse_shared(const std::vector<Plan>& plans, std::vector<Entry>& entries) {
  // Sorted by head, a head is followed by those it begins, the only ones whose names
  // can meet its own.
  std::vector<size_t> order;
  for (size_t i = 0; i < plans.size(); i++)
    if (!entries[plans[i].entry].known) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return plans[a].names.head < plans[b].names.head; });
  struct Clash {
    size_t earlier, later;  // plans, in the order of the inputs
    int frame_earlier, frame_later;
  };
  std::vector<Clash> clashes;
  for (size_t i = 0; i < order.size(); i++) {
    for (size_t j = i + 1; j < order.size(); j++) {
      const NameSet& a = plans[order[i]].names;
      const NameSet& b = plans[order[j]].names;
      if (!b.head.starts_with(a.head)) break;
      int frame_a, frame_b;
      if (!name_clash(a, b, frame_a, frame_b)) continue;
      if (order[i] < order[j])
        clashes.push_back({order[i], order[j], frame_a, frame_b});
      else
        clashes.push_back({order[j], order[i], frame_b, frame_a});
    }
  }
  std::sort(clashes.begin(), clashes.end(), [](const Clash& a, const Clash& b) {
    return a.later != b.later ? a.later < b.later : a.earlier < b.earlier;
  });
  for (const Clash& c : clashes) {
    const Plan& earlier = plans[c.earlier];
    const Plan& later = plans[c.later];
    if (entries[later.entry].known || entries[earlier.entry].known) continue;
    refuse(entries[later.entry],
           "its output " + name_of(later.names, c.frame_later) + frame_text(later.names, c.frame_later) +
               " is also" +
               (earlier.names.numbered ? " frame " + std::to_string(c.frame_earlier) + " of" : " that of") +
               " " + entries[earlier.entry].path + "; nothing written");
  }
}

// --- One file, in a worker -----------------------------------------------------------

// The text written to fd, from its start.
std::string text_of(int fd) {
  std::string text;
  char block[4096];
  off_t at = 0;
  for (;;) {
    const ssize_t got = pread(fd, block, sizeof block, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(block, static_cast<size_t>(got));
    at += got;
  }
  return text;
}

// Decides one file with the one-file command, whose messages are kept to its outcome:
// the verdict comes from there.
void decide(const Options& options, Entry& e) {
  InputKind kind;
  InputFault fault;
  std::string why;
  if (!input_classify(e.path, kind, why, fault)) {
    e.verdict = fault == InputFault::damaged      ? Verdict::damaged
                : fault == InputFault::unreadable ? Verdict::unreadable
                                                  : Verdict::skipped;
    e.reason = why;
    return;
  }
  report_quietly(true);
  command_outcome() = Outcome{};
  Options one = options;
  one.batch = false;
  one.input = e.path;
  int status;
  if (options.command == Command::check) {
    status = run_check(one, kind);
  } else if (options.command == Command::info) {
    status = run_info(one, kind);
  } else {
    const std::string name = output_name(options, e);
    std::error_code ec;
    fs::create_directories(fs::path(name).parent_path(), ec);
    std::string error;
    status = EXIT_BAD_INPUT;
    if (parse_output(name, one.output, error)) {
      one.output.max_side = options.output.max_side;
      status = kind == InputKind::flic ? flic_export(one) : pcx_export(one);
    } else {
      report_output_error(error);
    }
    if (status == EXIT_OK) e.facts.emplace_back("output", output_frame_name(one.output, 1));
  }
  const Outcome& outcome = command_outcome();
  e.verdict = outcome.verdict;
  e.reason = outcome.reason;
  // The one-file command's messages name the file first; the record does not.
  if (e.reason.rfind(e.path + ": ", 0) == 0) e.reason.erase(0, e.path.size() + 2);
  if (options.command != Command::export_file)
    e.facts.insert(e.facts.end(), outcome.facts.begin(), outcome.facts.end());
  for (const std::string& note : outcome.notes) e.facts.emplace_back("note", note);
  if (status != EXIT_OK && e.verdict == Verdict::ok) {
    e.verdict = Verdict::failed;
    e.reason = "gave no reason for failing";
  }
  // An output that cannot be written fails an export; a file that cannot be decoded
  // is unreadable.
  if (e.verdict == Verdict::unreadable && options.command == Command::export_file)
    e.verdict = Verdict::failed;
}

// --- Output --------------------------------------------------------------------------

bool is_number(const std::string& text) {
  if (text.empty() || text.size() > 30) return false;
  bool digits = false, dot = false;
  for (size_t i = 0; i < text.size(); i++) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !dot && i > 0 && i + 1 < text.size()) {
      dot = true;
    } else {
      return false;
    }
  }
  return digits && (text.size() == 1 || text[0] != '0' || (dot && text[1] == '.'));
}

// A fact's key as one word ("ring frame" becomes ring_frame).
std::string key_name(std::string key) {
  for (char& c : key)
    if (c == ' ') c = '_';
  return key;
}

void print_entry(const Options& options, const Entry& e) {
  const char* verdict = VERDICT_NAMES[static_cast<int>(e.verdict)];
  if (options.json) {
    std::string line = "{" + json_member("path", e.path) + ", \"verdict\": \"" + verdict + "\"";
    if (!e.reason.empty()) line += ", " + json_member("reason", e.reason);
    std::string notes;
    for (const auto& [key, value] : e.facts) {
      if (key == "note") {
        notes += (notes.empty() ? "" : ", ") + json_string(value);
        continue;
      }
      const std::string name = key_name(key);
      line += ", " + (is_number(value) ? json_string(name) + ": " + value : json_member(name, value));
    }
    if (!notes.empty()) line += ", \"notes\": [" + notes + "]";
    std::printf("%s}\n", line.c_str());
    return;
  }
  std::string line = e.path + ": " + verdict;
  if (!e.reason.empty()) line += ": " + e.reason;
  for (const auto& [key, value] : e.facts) {
    // Notes always; --info every fact; otherwise a sound file's facts (for --check its frames).
    const bool shown = key == "note" || options.command == Command::info ||
                       (e.verdict == Verdict::ok && (options.command != Command::check || key == "frames"));
    if (!shown) continue;
    const bool quote = value.find(' ') != std::string::npos || value.empty();
    line += " " + key_name(key) + "=" + (quote ? "\"" + value + "\"" : value);
  }
  std::printf("%s\n", escape_controls(line).c_str());
}

std::string signal_name(int signal_number) {
  switch (signal_number) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGPIPE:
      return "SIGPIPE";
    case SIGKILL:
      return "SIGKILL";
    default:
      return "signal " + std::to_string(signal_number);
  }
}

// --- Workers -------------------------------------------------------------------------

struct Running {
  size_t entry;
  int result_fd;
  PendingTemp* pending;  // shared with the worker
  Clock::time_point deadline;
  bool timed_out;
};

[[noreturn]] void run_worker(const Options& options, Entry e, int result_fd, PendingTemp* pending,
                             const RunSignals& signals) {
  sigaction(SIGCHLD, &signals.original_child, nullptr);
  sigprocmask(SIG_SETMASK, &signals.original_mask, nullptr);
  temp_file_track_in(pending);
  temp_file_guard_signals();
  // Whatever else an export may print goes nowhere.
  const int nowhere = open("/dev/null", O_WRONLY);
  if (nowhere < 0 || dup2(nowhere, STDOUT_FILENO) < 0 || dup2(nowhere, STDERR_FILENO) < 0) {
    e.verdict = Verdict::failed;
    e.reason = std::string("cannot start a worker: ") + std::strerror(errno);
  } else {
    decide(options, e);
  }
  const std::string record = record_encode({static_cast<int>(e.verdict), e.reason, e.facts});
  int error = 0;
  write_fully(result_fd, record.data(), record.size(), error);
  _exit(0);
}

void settle(Entry& e, Verdict verdict, const std::string& reason) {
  e.facts.clear();
  e.verdict = verdict;
  e.reason = reason;
  e.done = true;
}

// Starts a worker for entries[k]; when it cannot, the entry is settled as failed.
void start_worker(const Options& options, std::vector<Entry>& entries, size_t k, const RunSignals& signals,
                  std::map<pid_t, Running>& running) {
  Entry& e = entries[k];
  const int result = memfd_create("moxflic-result", MFD_CLOEXEC);
  void* shared = result < 0 ? MAP_FAILED
                            : mmap(nullptr, sizeof(PendingTemp), PROT_READ | PROT_WRITE,
                                   MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    if (result >= 0) close(result);
    settle(e, Verdict::failed, std::string("cannot start a worker: ") + std::strerror(errno));
    return;
  }
  auto* pending = new (shared) PendingTemp{};
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) run_worker(options, e, result, pending, signals);
  if (pid < 0) {
    const int error = errno;
    close(result);
    munmap(shared, sizeof(PendingTemp));
    settle(e, Verdict::failed, std::string("cannot start a worker: ") + std::strerror(error));
    return;
  }
  const auto limit =
      options.timeout_s > 0 ? std::chrono::seconds(options.timeout_s) : std::chrono::hours(24 * 365);
  running[pid] = {k, result, pending, Clock::now() + limit, false};
}

// Settles the entry of a worker that has ended (status from waitpid), removes the
// temporary file it may have left, and frees what it used. stop: the signal that
// stopped the run, or 0.
void finish_worker(const Options& options, std::vector<Entry>& entries, const Running& r, bool status_known,
                   int status, int stop) {
  Entry& e = entries[r.entry];
  temp_file_remove_pending(*r.pending);
  munmap(r.pending, sizeof(PendingTemp));
  WorkerRecord record;
  const bool exited = status_known && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (exited && record_decode(text_of(r.result_fd), record) && record.verdict >= 0 &&
      record.verdict < VERDICTS) {
    e.verdict = static_cast<Verdict>(record.verdict);
    e.reason = record.reason;
    e.facts = record.facts;
    e.done = true;
  } else if (r.timed_out) {
    settle(e, Verdict::failed,
           "took too long (more than " + std::to_string(options.timeout_s) + " s); stopped");
  } else if (stop != 0) {
    settle(e, Verdict::failed, "stopped by " + signal_name(stop));
  } else if (!status_known) {
    settle(e, Verdict::failed, "its worker was lost");
  } else if (WIFSIGNALED(status)) {
    settle(e, Verdict::failed, "its worker stopped on " + signal_name(WTERMSIG(status)));
  } else {
    settle(e, Verdict::failed, "its worker gave no verdict");
  }
  close(r.result_fd);
}

// Collects every worker that has ended, without waiting.
void reap(const Options& options, std::vector<Entry>& entries, std::map<pid_t, Running>& running) {
  while (!running.empty()) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid == 0) return;
    if (pid < 0) {
      if (errno == EINTR) continue;
      // No child is left to wait for, though some were not waited for: their ends
      // were taken by another, and their verdicts with them.
      for (const auto& [lost, r] : running) finish_worker(options, entries, r, false, 0, 0);
      running.clear();
      return;
    }
    const auto it = running.find(pid);
    if (it == running.end()) continue;
    finish_worker(options, entries, it->second, true, status, 0);
    running.erase(it);
  }
}

// Waits for a signal of the set until the earliest deadline: the signal, or 0.
int wait_signal(const RunSignals& signals, const std::map<pid_t, Running>& running) {
  Clock::time_point deadline = Clock::time_point::max();
  for (const auto& [pid, r] : running)
    if (!r.timed_out) deadline = std::min(deadline, r.deadline);
  const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
  const timespec wait{
      static_cast<time_t>(std::min<int64_t>(seconds.count(), INT32_MAX)),
      static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
  siginfo_t info;
  const int signal_number = sigtimedwait(&signals.waited, &info, &wait);
  return signal_number < 0 ? 0 : signal_number;
}

// The worker processes of an export, up to jobs at once, until every entry is judged or
// a signal stops the run: that signal, or 0. Lines are printed as entries are judged.
int run_processes(const Options& options, std::vector<Entry>& entries, const RunSignals& signals, int jobs,
                  size_t& printed) {
  std::map<pid_t, Running> running;
  size_t next = 0;
  int stop = 0;
  for (;;) {
    if ((stop = take_stop(signals)) != 0) break;
    while (next < entries.size() && static_cast<int>(running.size()) < jobs) {
      Entry& e = entries[next];
      if (e.known)
        e.done = true;
      else
        start_worker(options, entries, next, signals, running);
      ++next;
    }
    while (printed < entries.size() && entries[printed].done) print_entry(options, entries[printed++]);
    std::fflush(stdout);
    if (running.empty()) {
      if (next >= entries.size()) break;
      continue;
    }
    const int signal_number = wait_signal(signals, running);
    if (signal_number != 0 && signal_number != SIGCHLD) {
      stop = signal_number;
      break;
    }
    for (auto& [pid, r] : running) {
      if (!r.timed_out && Clock::now() >= r.deadline) {
        kill(pid, SIGKILL);
        r.timed_out = true;
      }
    }
    reap(options, entries, running);
  }

  // Stopped: the workers are killed and waited for, and what they were writing removed.
  for (const auto& [pid, r] : running) kill(pid, SIGKILL);
  for (const auto& [pid, r] : running) {
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    finish_worker(options, entries, r, ended == pid, status, stop);
  }
  return stop;
}

// --- Workers in threads --------------------------------------------------------------

// How long a worker told to stop reading is waited for before its file is given up
// (a read that never returns, from a file system that no longer answers).
constexpr auto GIVE_UP_AFTER = std::chrono::seconds(5);
// How often a waiting run looks for signals and for files past their time.
constexpr auto LOOK_EVERY = std::chrono::milliseconds(20);

// One worker thread. Its fields but stop are guarded by the run's mutex.
struct Worker {
  std::atomic<bool> stop{false};  // its context stops reading once this is set
  bool busy = false;              // judging entry
  size_t entry = 0;
  Clock::time_point deadline;  // when it is told to stop, then when it is given up
  bool told = false;           // told to stop, as its file took too long
  bool given_up = false;       // the run no longer waits for it
  std::thread thread;
};

// What the run's threads share. A thread that was given up may still use it after the
// run, so that a run which gave one up keeps it and ends the process itself.
struct ThreadRun {
  const Options& options;
  std::vector<Entry>& entries;
  std::vector<size_t> todo;  // the entries workers judge, in order
  size_t next = 0;           // in todo
  int stop = 0;              // the signal that stopped the run
  std::mutex mutex;
  std::condition_variable judged;
  std::vector<std::unique_ptr<Worker>> workers;
};

void work(ThreadRun& run, Worker& w) {
  GfxContext* context = gfx_context_create();
  if (context != nullptr) gfx_context_make_current(context);
  gfx_stop_when(&w.stop);
  for (;;) {
    Entry e;
    {
      const std::lock_guard lock(run.mutex);
      w.busy = false;
      if (w.given_up || run.stop != 0 || run.next >= run.todo.size()) break;
      w.entry = run.todo[run.next++];
      w.busy = true;
      w.told = false;
      w.stop.store(false);
      const auto limit = run.options.timeout_s > 0 ? std::chrono::seconds(run.options.timeout_s)
                                                   : std::chrono::hours(24 * 365);
      w.deadline = Clock::now() + limit;
      e.path = run.entries[w.entry].path;
    }
    decide(run.options, e);
    {
      const std::lock_guard lock(run.mutex);
      if (w.given_up) break;  // the run settled its entry
      Entry& out = run.entries[w.entry];
      if (w.told)
        settle(out, Verdict::failed,
               "took too long (more than " + std::to_string(run.options.timeout_s) + " s); stopped");
      else if (w.stop.load())
        settle(out, Verdict::failed, "stopped by " + signal_name(run.stop));
      else
        out = {out.path, out.stem, out.known, e.verdict, e.reason, e.facts, true};
    }
    run.judged.notify_one();
  }
  run.judged.notify_one();
  gfx_stop_when(nullptr);
  if (context != nullptr) gfx_context_destroy(context);
}

void start_thread(ThreadRun& run) {
  run.workers.push_back(std::make_unique<Worker>());
  Worker& w = *run.workers.back();
  w.thread = std::thread(work, std::ref(run), std::ref(w));
}

// Tells the workers past their time to stop, and gives up those that were told and
// have not come back since; a worker given up is replaced. With the run's mutex held.
void watch_time(ThreadRun& run, size_t& given_up) {
  const Clock::time_point now = Clock::now();
  const size_t count = run.workers.size();
  for (size_t i = 0; i < count; i++) {
    Worker& w = *run.workers[i];
    if (!w.busy || w.given_up || now < w.deadline) continue;
    if (!w.told) {
      w.told = true;
      w.stop.store(true);
      w.deadline = now + GIVE_UP_AFTER;
      continue;
    }
    w.given_up = true;
    w.thread.detach();
    given_up++;
    settle(run.entries[w.entry], Verdict::failed,
           "took too long (more than " + std::to_string(run.options.timeout_s) +
               " s), and did not stop when told; given up");
    if (run.next < run.todo.size()) start_thread(run);
  }
}

// Whether a worker is still judging a file the run waits for. With the mutex held.
bool any_busy(const ThreadRun& run) {
  return std::any_of(run.workers.begin(), run.workers.end(),
                     [](const std::unique_ptr<Worker>& w) { return w->busy && !w->given_up; });
}

// --check or --info in up to jobs worker threads, until every entry is judged or a
// signal stops the run: that signal, or 0. Lines are printed as entries are judged.
// given_up counts the threads left behind, still running.
int run_threads(const Options& options, std::vector<Entry>& entries, const RunSignals& signals, int jobs,
                size_t& printed, size_t& given_up) {
  auto* run = new ThreadRun{options, entries, {}, 0, 0, {}, {}, {}};
  for (size_t k = 0; k < entries.size(); k++) {
    if (entries[k].known)
      entries[k].done = true;
    else
      run->todo.push_back(k);
  }
  const size_t threads = std::min(static_cast<size_t>(std::max(jobs, 1)), run->todo.size());
  {
    const std::lock_guard lock(run->mutex);
    for (size_t i = 0; i < threads; i++) start_thread(*run);
  }
  int stop = 0;
  Clock::time_point stopped_at;
  for (;;) {
    const int signal_number = take_stop(signals);
    size_t ready = printed;
    bool finished;
    {
      std::unique_lock lock(run->mutex);
      if (signal_number != 0 && stop == 0) {
        // Every worker stops reading: the files they judge are settled as stopped.
        stop = run->stop = signal_number;
        stopped_at = Clock::now();
        for (const auto& w : run->workers) w->stop.store(true);
      }
      if (stop == 0) {
        watch_time(*run, given_up);
      } else if (Clock::now() - stopped_at >= GIVE_UP_AFTER) {
        for (const auto& w : run->workers) {
          if (!w->busy || w->given_up) continue;
          w->given_up = true;
          w->thread.detach();
          given_up++;
          settle(entries[w->entry], Verdict::failed, "stopped by " + signal_name(stop));
        }
      }
      while (ready < entries.size() && entries[ready].done) ready++;
      finished = !any_busy(*run) && (stop != 0 || run->next >= run->todo.size());
      if (!finished && ready == printed) run->judged.wait_for(lock, LOOK_EVERY);
    }
    // The entries before ready are settled and no longer change.
    for (; printed < ready; printed++) print_entry(options, entries[printed]);
    std::fflush(stdout);
    if (finished) break;
  }
  for (const auto& w : run->workers)
    if (!w->given_up) w->thread.join();
  if (given_up == 0) delete run;
  return stop;
}
}  // namespace

int run_batch(const Options& options) {
  const auto start = Clock::now();
  // Signals are taken before anything else: one that comes during the walk stops the
  // run as soon as it waits.
  RunSignals signals;
  take_signals(signals);
  const bool exporting = options.command == Command::export_file;
  if (exporting) {
    std::error_code ec;
    fs::create_directories(options.output_dir, ec);
  }
  std::vector<Entry> entries = collect(options, signals);
  // Before anything is written, every name each input will write is checked.
  if (exporting && !stop_pending(signals)) {
    const std::vector<Plan> plans = plan_outputs(options, entries);
    refuse_walked(plans, entries);
    refuse_shared(plans, entries);
  }

  int jobs = options.jobs;
  if (jobs <= 0) jobs = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  size_t printed = 0, given_up = 0;
  const int stop = exporting ? run_processes(options, entries, signals, jobs, printed)
                             : run_threads(options, entries, signals, jobs, printed, given_up);

  size_t not_judged = 0;
  for (Entry& e : entries) {
    if (e.known) e.done = true;
    if (e.done) continue;
    if (stop != 0)
      not_judged++;
    else
      settle(e, Verdict::failed, "no worker judged it");
  }
  for (; printed < entries.size(); printed++)
    if (entries[printed].done) print_entry(options, entries[printed]);

  int counts[VERDICTS] = {};
  for (const Entry& e : entries)
    if (e.done) counts[static_cast<int>(e.verdict)]++;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (options.json) {
    std::string line = "{\"summary\": true, \"files\": " + std::to_string(entries.size());
    for (int v = 0; v < VERDICTS; v++)
      line += std::string(", \"") + VERDICT_NAMES[v] + "\": " + std::to_string(counts[v]);
    if (stop != 0)
      line += ", \"not_judged\": " + std::to_string(not_judged) + ", \"stopped_by\": \"" + signal_name(stop) +
              "\"";
    std::printf("%s, \"seconds\": %.3f}\n", line.c_str(), seconds);
  } else {
    std::printf("%zu files: %d ok, %d damaged, %d unreadable, %d skipped", entries.size(), counts[0],
                counts[1], counts[2], counts[3]);
    if (exporting || counts[4] > 0 || stop != 0) std::printf(", %d failed", counts[4]);
    if (stop != 0) std::printf(", %zu not judged: stopped by %s", not_judged, signal_name(stop).c_str());
    std::printf(" (%.2f s)\n", seconds);
  }
  std::fflush(stdout);
  // The process ends after the run, with the signals still blocked: one that came
  // after the last wait does not cut the summary short.
  const bool bad = counts[static_cast<int>(Verdict::damaged)] +
                       counts[static_cast<int>(Verdict::unreadable)] +
                       counts[static_cast<int>(Verdict::failed)] >
                   0;
  const int status = stop != 0 ? 128 + stop : bad ? EXIT_BAD_INPUT : EXIT_OK;
  // A thread that was given up may still be inside a read: the process ends at once,
  // without running the destructors of what it uses.
  if (given_up > 0) {
    std::fflush(stderr);
    _exit(status);
  }
  return status;
}
