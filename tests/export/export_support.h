// Helpers for the converter's tests: running the program, a scratch directory, and
// reading back PNG and GIF files through libpng and giflib.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The program's exit status and what it printed.
struct ToolRun {
  int status;  // exit code, or 128 + signal
  std::string out;
  std::string err;
};

// A directory of its own for one test, removed afterwards.
struct Scratch {
  std::string dir;
  Scratch();
  ~Scratch();
  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::vector<std::string> files() const;  // names in the directory, sorted
};

// Runs moxflic-export with args; with a file size limit (in 512-byte blocks) when given.
ToolRun run_export(const std::vector<std::string>& args, const Scratch& scratch, int size_limit_blocks = 0);
// moxflic-export started in the background in the scratch folder, for tests that
// signal it while it works; the signals in `ignored` are ignored from the start, as
// nohup or a shell's background job leaves them.
struct Background {
  int pid;
};
Background start_export(const std::vector<std::string>& args, const Scratch& scratch,
                        const std::vector<int>& ignored = {});
// Waits for a background run to end: its exit status (128 + signal when killed) and
// output. meanwhile, when given, is called every few milliseconds until then.
ToolRun finish_export(const Background& run, const Scratch& scratch,
                      const std::function<void()>& meanwhile = nullptr);
// Waits up to seconds for a condition to hold: whether it did.
bool wait_until(double seconds, const std::function<bool()>& condition);
// The processes a process has started and that run now.
std::vector<int> children_of(int pid);
// Runs a shell command line; the exit status.
int run_shell(const std::string& command);
// Whether a program can be run (an oracle such as ffmpeg).
bool have_program(const std::string& command);

// A file in the test data folder, and file helpers.
std::string data_file(const std::string& name);
std::vector<uint8_t> read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool file_exists(const std::string& path);

// A picture read back from a PNG: indices and palette when it has one, and always the
// colours of every pixel.
struct PngImage {
  int width = 0;
  int height = 0;
  bool indexed = false;
  std::vector<uint8_t> indices;  // width * height, when indexed
  std::vector<uint8_t> palette;  // 3 bytes an entry, when indexed
  std::vector<uint8_t> rgb;      // width * height * 3
  std::vector<uint8_t> alpha;    // width * height: each pixel's opacity (255 without an alpha channel)
};
// Reads a PNG; false when it is not one.
bool read_png(const std::string& path, PngImage& image);

// An animated GIF read back with giflib.
struct GifFrame {
  int left, top, width, height;
  int delay_cs;
  bool local_map;
  std::vector<uint8_t> colours;  // the colour map the frame is drawn with, 3 bytes an entry
  std::vector<uint8_t> rgb;      // the whole canvas after this frame, 3 bytes a pixel
};
struct GifAnimation {
  int width = 0;
  int height = 0;
  bool loops_forever = false;
  std::vector<GifFrame> frames;
};
bool read_gif(const std::string& path, GifAnimation& gif);

// Every "key: value" line of a text.
std::vector<std::pair<std::string, std::string>> key_values(const std::string& text);
// The value of one key, or "(absent)".
std::string value_of(const std::string& text, const std::string& key);

// A parameterised case's name for the test list: its text with every character gtest
// does not take in a name made an underscore ("f%03d.png" gives "f_03d_png").
std::string case_name(const std::string& text);
