// Many files at once: --check, --info or export over any number of files and folders.
//
// Folders are walked (in name order, symbolic links to folders not followed); every
// regular file is handed to the one-file command in a process of its own, forked from
// this one, so each starts from a fresh library state exactly as a separate run would,
// without the cost of starting a program. Up to --jobs of them run at once. A worker
// writes its verdict and facts to a memory file that this process reads when it ends;
// lines come out in the order of the inputs, then a summary.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

namespace fs = std::filesystem;

const char* const VERDICT_NAMES[] = {"ok", "damaged", "unreadable", "skipped", "failed"};

struct Entry {
  std::string path;
  std::string stem;    // for export: the output's name inside the output folder, without extension
  bool known = false;  // the verdict is settled without a worker
  Verdict verdict = Verdict::ok;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> facts;
  bool done = false;
};

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

// --- Inputs --------------------------------------------------------------------------

std::string without_extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void walk_folder(const fs::path& root, const fs::path& folder, std::vector<Entry>& entries) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    Entry e;
    e.path = folder.string();
    e.known = true;
    e.verdict = Verdict::unreadable;
    e.reason = "the folder cannot be read: " + ec.message();
    entries.push_back(e);
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
      walk_folder(root, child.path(), entries);
      continue;
    }
    Entry e;
    e.path = child.path().string();
    e.stem = without_extension(child.path().lexically_relative(root).string());
    if (!child.is_regular_file(kind_error)) {
      e.known = true;
      e.verdict = Verdict::skipped;
      e.reason = "not a regular file";
    }
    entries.push_back(e);
  }
}

std::vector<Entry> collect(const std::vector<std::string>& names) {
  std::vector<Entry> entries;
  for (const std::string& name : names) {
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
      walk_folder(name, name, entries);
      continue;
    }
    Entry e;
    e.path = name;
    e.stem = without_extension(fs::path(name).filename().string());
    entries.push_back(e);
  }
  return entries;
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

// The lines of a text (a last line without its line end included).
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool is_flic(const std::string& path) {
  FileReader reader{};
  std::string ignored;
  if (!reader_open(reader, path, ignored)) return false;
  uint8_t magic[2];
  const bool read = reader_read(reader, FLIC_MAGIC_OFFSET, magic, 2);
  reader_close(reader);
  const uint16_t value = gfx_le16(magic);
  return read && (value == FLIC_MAGIC_FLI || value == FLIC_MAGIC_FLC);
}

std::string output_name(const Options& options, const Entry& e) {
  return (fs::path(options.output_dir) / e.stem).string() + options.output_pattern;
}

// Decides one file, with the one-file command's output going to memory files.
void decide(const Options& options, Entry& e) {
  FileReader reader{};
  std::string why;
  if (!reader_open(reader, e.path, why)) {
    e.verdict = Verdict::unreadable;
    e.reason = why;
    return;
  }
  reader_close(reader);
  InputKind kind;
  if (!input_classify(e.path, kind, why)) {
    e.verdict = is_flic(e.path) ? Verdict::damaged : Verdict::skipped;
    e.reason = why;
    return;
  }
  // The verdict comes from the command's outcome; its messages go nowhere.
  const int quiet = open("/dev/null", O_WRONLY);
  if (quiet < 0 || dup2(quiet, STDOUT_FILENO) < 0 || dup2(quiet, STDERR_FILENO) < 0) {
    e.verdict = Verdict::failed;
    e.reason = std::string("cannot start a worker: ") + std::strerror(errno);
    return;
  }
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
    status = parse_output(name, one.output, error)
                 ? (kind == InputKind::flic ? flic_export(one) : pcx_export(one))
                 : EXIT_BAD_INPUT;
    if (status == EXIT_OK) e.facts.emplace_back("output", name);
  }
  std::fflush(stdout);
  std::fflush(stderr);
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

// A settled entry as lines: the verdict and reason, then each fact, tab-separated
// (tabs and line ends inside values become spaces).
std::string flatten(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

void write_record(int fd, const Entry& e) {
  std::string record = std::to_string(static_cast<int>(e.verdict)) + "\t" + flatten(e.reason) + "\n";
  for (const auto& [key, value] : e.facts) record += flatten(key) + "\t" + flatten(value) + "\n";
  int error = 0;
  write_fully(fd, record.data(), record.size(), error);
}

bool read_record(const std::string& text, Entry& e) {
  bool first = true;
  for (const std::string& line : lines_of(text)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) return false;
    if (first) {
      const int v = std::atoi(line.substr(0, tab).c_str());
      if (v < 0 || v > static_cast<int>(Verdict::failed)) return false;
      e.verdict = static_cast<Verdict>(v);
      e.reason = line.substr(tab + 1);
      first = false;
    } else {
      e.facts.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
  }
  return !first;
}

// --- Output --------------------------------------------------------------------------

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

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

void print_entry(const Options& options, const Entry& e) {
  const char* verdict = VERDICT_NAMES[static_cast<int>(e.verdict)];
  if (options.json) {
    std::string line = "{\"path\": " + json_string(e.path) + ", \"verdict\": \"" + verdict + "\"";
    if (!e.reason.empty()) line += ", \"reason\": " + json_string(e.reason);
    for (const auto& [key, value] : e.facts)
      line += ", " + json_string(key) + ": " + (is_number(value) ? value : json_string(value));
    std::printf("%s}\n", line.c_str());
    return;
  }
  std::string line = e.path + ": " + verdict;
  if (!e.reason.empty()) line += ": " + e.reason;
  if (e.verdict == Verdict::ok || options.command == Command::info) {
    for (const auto& [key, value] : e.facts) {
      if (options.command == Command::check && key != "frames") continue;
      const bool quote = value.find(' ') != std::string::npos || value.empty();
      line += " " + key + "=" + (quote ? "\"" + value + "\"" : value);
    }
  }
  std::printf("%s\n", line.c_str());
}

// --- Workers -------------------------------------------------------------------------

struct Running {
  size_t entry;
  int result_fd;
};

// Starts a worker for entries[k]; false when it cannot, with the entry settled.
bool start_worker(const Options& options, std::vector<Entry>& entries, size_t k,
                  std::map<pid_t, Running>& running) {
  Entry& e = entries[k];
  const int result = memfd_create("moxflic-result", 0);
  if (result < 0) {
    e.verdict = Verdict::failed;
    e.reason = std::string("cannot start a worker: ") + std::strerror(errno);
    e.done = true;
    return false;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    temp_file_guard_signals();
    Entry settled = e;
    decide(options, settled);
    write_record(result, settled);
    _exit(0);
  }
  if (pid < 0) {
    close(result);
    e.verdict = Verdict::failed;
    e.reason = std::string("cannot start a worker: ") + std::strerror(errno);
    e.done = true;
    return false;
  }
  running[pid] = {k, result};
  return true;
}

void finish_worker(std::vector<Entry>& entries, const Running& r, int status) {
  Entry& e = entries[r.entry];
  if (!read_record(text_of(r.result_fd), e)) {
    e.facts.clear();
    e.verdict = Verdict::failed;
    e.reason = WIFSIGNALED(status)
                   ? std::string("the worker stopped on signal ") + std::to_string(WTERMSIG(status))
                   : "the worker gave no verdict";
  }
  close(r.result_fd);
  e.done = true;
}

}  // namespace

int run_batch(const Options& options) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<Entry> entries = collect(options.inputs);
  const bool exporting = options.command == Command::export_file;

  if (exporting) {
    std::error_code ec;
    fs::create_directories(options.output_dir, ec);
    // Never an input overwritten, nor one output by another.
    std::set<FileId> inputs;
    for (const Entry& e : entries) {
      struct stat st;
      if (stat(e.path.c_str(), &st) == 0) inputs.insert({st.st_dev, st.st_ino});
    }
    std::map<std::string, std::string> outputs;
    for (Entry& e : entries) {
      if (e.known) continue;
      const std::string name = output_name(options, e);
      std::string probe = name;
      OutputName parsed;
      std::string ignored;
      if (parse_output(name, parsed, ignored)) probe = output_frame_name(parsed, 1);
      struct stat st;
      if (stat(probe.c_str(), &st) == 0 && inputs.count({st.st_dev, st.st_ino})) {
        e.known = true;
        e.verdict = Verdict::failed;
        e.reason = "its output " + probe + " is an input; not overwritten";
      } else if (!outputs.emplace(name, e.path).second) {
        e.known = true;
        e.verdict = Verdict::failed;
        e.reason = "its output " + name + " is already that of " + outputs[name];
      }
    }
  }

  int jobs = options.jobs;
  if (jobs <= 0) jobs = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  std::map<pid_t, Running> running;
  size_t next = 0, printed = 0;
  while (printed < entries.size()) {
    while (next < entries.size() && static_cast<int>(running.size()) < jobs) {
      Entry& e = entries[next];
      if (e.known)
        e.done = true;
      else
        start_worker(options, entries, next, running);
      ++next;
    }
    while (printed < entries.size() && entries[printed].done) print_entry(options, entries[printed++]);
    if (running.empty()) continue;
    int status = 0;
    const pid_t pid = waitpid(-1, &status, 0);
    if (pid < 0) {
      if (errno == EINTR) continue;
      break;
    }
    const auto it = running.find(pid);
    if (it == running.end()) continue;
    finish_worker(entries, it->second, status);
    running.erase(it);
  }

  int counts[5] = {};
  for (const Entry& e : entries) counts[static_cast<int>(e.verdict)]++;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.json) {
    std::string line = "{\"summary\": true, \"files\": " + std::to_string(entries.size());
    for (int v = 0; v < 5; v++)
      line += std::string(", \"") + VERDICT_NAMES[v] + "\": " + std::to_string(counts[v]);
    std::printf("%s, \"seconds\": %.3f}\n", line.c_str(), seconds);
  } else {
    std::printf("%zu files: %d ok, %d damaged, %d unreadable, %d skipped", entries.size(), counts[0],
                counts[1], counts[2], counts[3]);
    if (exporting || counts[4] > 0) std::printf(", %d failed", counts[4]);
    std::printf(" (%.2f s)\n", seconds);
  }
  std::fflush(stdout);
  const bool bad = counts[static_cast<int>(Verdict::damaged)] +
                       counts[static_cast<int>(Verdict::unreadable)] +
                       counts[static_cast<int>(Verdict::failed)] >
                   0;
  return bad ? EXIT_BAD_INPUT : EXIT_OK;
}
