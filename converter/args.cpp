// Command-line parsing and the names of numbered output files.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "converter/export.h"

namespace {

// Widest zero-padded frame number accepted in an output name.
constexpr int MAX_NUMBER_WIDTH = 9;
// Largest --size: more than any thumbnail, and a whole screen.
constexpr int MAX_FIT_SIZE = 16384;
// Longest --timeout: a day.
constexpr long MAX_TIMEOUT_S = 86400;

// The value of --size: a whole number from 1 to MAX_FIT_SIZE.
bool parse_size(const std::string& text, int& size, std::string& error) {
  size = 0;
  bool ok = !text.empty() && text.size() <= 5;
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  if (ok) size = std::stoi(text);
  if (!ok || size < 1 || size > MAX_FIT_SIZE) {
    error = "--size takes a number of pixels from 1 to " + std::to_string(MAX_FIT_SIZE) + ", not \"" + text +
            "\"";
    return false;
  }
  return true;
}

bool ends_with_nocase(const std::string& text, const char* tail) {
  size_t n = std::strlen(tail);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; i++) {
    char c = text[text.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

// Splits a PNG name around its one %d / %Nd / %0Nd; %% stands for a percent sign.
bool split_number(const std::string& text, OutputName& name, std::string& error) {
  std::string* part = &name.prefix;
  bool found = false;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    size_t j = i + 1;
    if (j < text.size() && text[j] == '%') {
      *part += '%';
      i = j;
      continue;
    }
    bool zero = j < text.size() && text[j] == '0';
    if (zero) j++;
    int width = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width <= MAX_NUMBER_WIDTH) {
      width = width * 10 + (text[j] - '0');
      j++;
    }
    if (j >= text.size() || text[j] != 'd' || width > MAX_NUMBER_WIDTH) {
      error = "output name \"" + text + "\": only %d, %Nd or %0Nd (N up to 9) may stand for the frame number";
      return false;
    }
    if (found) {
      error = "output name \"" + text + "\" has more than one frame number";
      return false;
    }
    found = true;
    name.number_width = width;
    name.zero_pad = zero;
    part = &name.suffix;
    i = j;
  }
  name.kind = found ? OutputKind::png_sequence : OutputKind::png_single;
  return true;
}

}  // namespace

bool parse_output(const std::string& text, OutputName& name, std::string& error) {
  name = OutputName{OutputKind::png_single, "", "", 0, false, 0};
  if (ends_with_nocase(text, ".gif")) {
    name.kind = OutputKind::gif;
    name.prefix = text;
    return true;
  }
  if (ends_with_nocase(text, ".png")) return split_number(text, name, error);
  error = "output name \"" + text +
          "\" must end in .png or .gif (or .flc or .fli, made from PNG, GIF or FLIC files)";
  return false;
}

namespace {

bool is_folder(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The options of many-file runs, as --name VALUE or --name=VALUE: true when argv[i] is
// one (i then past its value), with error set when its value is wrong.
bool batch_option(int argc, char** argv, int& i, Options& options, std::string& value, std::string& error) {
  const std::string arg = argv[i];
  static const char* const with_value[] = {"--jobs", "--output-dir", "--as", "--timeout"};
  if (arg == "--json") {
    options.json = true;
    return true;
  }
  for (const char* name : with_value) {
    const std::string n = name;
    if (arg == n) {
      if (i + 1 >= argc) {
        error = n + " needs a value";
        return true;
      }
      value = argv[++i];
    } else if (arg.rfind(n + "=", 0) == 0) {
      value = arg.substr(n.size() + 1);
    } else {
      continue;
    }
    if (n == "--jobs") {
      char* end = nullptr;
      const long jobs = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || jobs < 1 || jobs > 256)
        error = "--jobs takes a number from 1 to 256, not \"" + value + "\"";
      else
        options.jobs = static_cast<int>(jobs);
    } else if (n == "--timeout") {
      char* end = nullptr;
      const long seconds = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || seconds < 0 || seconds > MAX_TIMEOUT_S)
        error = "--timeout takes a number of seconds from 0 (no limit) to " + std::to_string(MAX_TIMEOUT_S) +
                ", not \"" + value + "\"";
      else
        options.timeout_s = static_cast<int>(seconds);
    } else if (n == "--output-dir") {
      if (value.empty()) error = "--output-dir needs a folder";
      options.output_dir = value;
    } else {
      options.output_pattern = value;
    }
    return true;
  }
  return false;
}

}  // namespace

const char* usage_text() {
  return "Usage: moxflic-export [--palette=screen|file] [--size=N] INPUT OUTPUT\n"
         "       moxflic-export --info INPUT\n"
         "       moxflic-export --check INPUT\n"
         "       moxflic-export --check|--info [--jobs N] [--json] [--timeout S] PATH...\n"
         "       moxflic-export [--palette=...] [--size=N] [--jobs N] [--json] [--timeout S]\n"
         "                      INPUT... --output-dir DIR [--as EXT]\n"
         "       moxflic-export [--speed MS] [--no-ring] [--dither] PICTURES... OUTPUT.flc|.fli\n"
         "       moxflic-export --help | --version\n"
         "\n"
         "INPUT is a FLI/FLC animation or a PCX picture, recognised by its contents.\n"
         "OUTPUT:\n"
         "  NAME.png        the first frame\n"
         "  NAME%04d.png    one PNG per frame, numbered from 1 (%d, %Nd, %0Nd)\n"
         "  NAME.gif        an animated GIF at the file's speed, looping forever\n"
         "Options:\n"
         "  --palette=file    every pixel in the colour the file gives it: lossless, a\n"
         "                    true-colour PCX as an RGB or RGBA PNG (a GIF holds 256\n"
         "                    colours); the default for PCX pictures\n"
         "  --palette=screen  the colours of the viewer's 256-colour screen (the default\n"
         "                    for FLIC files): a FLIC's reduced to 236, a PCX's fitted\n"
         "                    to them; a true-colour PCX in false colours, its red\n"
         "                    plane's values taken as screen entries\n"
         "  --size=N          scale pictures down to at most N pixels on the longer side\n"
         "  --info            describe the file as key: value lines\n"
         "  --check           decode the whole file, report frames and decoding time;\n"
         "                    exit 1 when the file is damaged\n"
         "Making a FLIC file (the output's .flc or .fli says which; FLI colours keep 6 bits):\n"
         "  PICTURES        PNG files, a numbered sequence such as frame%04d.png (from 0\n"
         "                  or 1), one animated GIF, or one FLIC file to make again\n"
         "  --speed MS      the time of every frame (default: the GIF's delays, else 5/70 s)\n"
         "  --no-ring       no ring frame (the record that turns the last frame into the first)\n"
         "  --dither        dither when more than 256 colours are reduced to 256\n"
         "Many files at once (folders are walked; files are recognised by their contents):\n"
         "  --jobs N          worker processes (default: one per processor)\n"
         "  --json            one JSON object per file, and a summary object last\n"
         "  --output-dir DIR  export every INPUT to DIR/NAME.png, or as --as says\n"
         "                    (with --size, every output is a thumbnail)\n"
         "  --as EXT          .png, .gif, or a frame pattern such as %04d.png\n"
         "  --timeout S       a file still at work after S seconds fails (default 300,\n"
         "                    0: no limit)\n"
         "Exit status: 0 success, 1 unreadable, unknown, too large or damaged input (what\n"
         "decodes is still written, but no thumbnail) or an output not written, 2 usage\n"
         "error (also an output that is the input); a many-file run stopped by a signal:\n"
         "128 + its number.\n";
}

bool parse_args(int argc, char** argv, Options& options, std::string& error) {
  options = Options{};
  std::vector<std::string> names;
  bool palette_given = false;
  int size = 0;
  bool info = false, check = false, help = false, version = false;
  bool options_end = false;
  bool many = false;      // an option that only many-file runs take
  bool encoding = false;  // an option that only making a FLIC file takes
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    std::string value;
    if (options_end || arg.size() < 2 || arg[0] != '-') {
      names.push_back(arg);
    } else if (batch_option(argc, argv, i, options, value, error)) {
      if (!error.empty()) return false;
      many = true;
    } else if (encode_option(argc, argv, i, options.encode, error)) {
      if (!error.empty()) return false;
      encoding = true;
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--palette=screen" || arg == "--palette=file") {
      options.palette = arg == "--palette=file" ? PaletteMode::file : PaletteMode::screen;
      palette_given = true;
    } else if (arg == "--size" || arg.rfind("--size=", 0) == 0) {
      // Both --size=N and --size N, as thumbnailer command lines are written either way.
      std::string size_text;
      if (arg.size() > 6) {
        size_text = arg.substr(7);
      } else if (i + 1 < argc) {
        size_text = argv[++i];
      }
      if (!parse_size(size_text, size, error)) return false;
    } else if (arg == "--info") {
      info = true;
    } else if (arg == "--check") {
      check = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg.rfind("--palette", 0) == 0) {
      error = "--palette takes =screen or =file, not \"" + arg + "\"";
      return false;
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (help || version) {
    options.command = help ? Command::help : Command::version;
    return true;
  }
  // Names of which the last is a .flc or .fli file make a FLIC file of the others.
  if (!info && !check && options.output_dir.empty() && !names.empty() && is_flic_output(names.back()) &&
      (names.size() > 1 || encoding)) {
    options.command = Command::encode;
    if (palette_given || size != 0 || many) {
      error = std::string(palette_given ? "--palette"
                          : size != 0   ? "--size"
                                        : "--jobs, --json, --timeout and --as") +
              " cannot be used in making a FLIC file";
      return false;
    }
    if (names.size() < 2)
      error = "no input file given: PNG files, a frame number pattern, a GIF or a FLIC file";
    options.encode.inputs.assign(names.begin(), names.end() - 1);
    options.encode.output = names.back();
    options.encode.fli = ends_with_nocase(names.back(), ".fli");
    return error.empty();
  }
  if (encoding) {
    error = "--speed, --ring, --no-ring and --dither apply to making a FLIC file (INPUT... OUTPUT.flc)";
    return false;
  }
  if (info && check) {
    error = "--info and --check cannot be combined";
    return false;
  }
  if (info || check) {
    options.command = info ? Command::info : Command::check;
    if (palette_given || size != 0) {
      error = std::string(palette_given ? "--palette" : "--size") +
              " applies to exporting, not to --info or --check";
      return false;
    }
    if (!options.output_dir.empty()) {
      error = "--output-dir applies to exporting, not to --info or --check";
      return false;
    }
    if (many || names.size() > 1 || (names.size() == 1 && is_folder(names[0]))) {
      options.batch = true;
      options.inputs = names;
      if (names.empty()) error = std::string(info ? "--info" : "--check") + " needs a file or folder";
      return error.empty();
    }
    if (names.size() != 1) {
      error = std::string(info ? "--info" : "--check") + " takes exactly one input file";
      return false;
    }
    options.input = names[0];
    return true;
  }
  if (!options.output_dir.empty()) {
    options.batch = true;
    options.inputs = names;
    if (names.empty()) error = "no input file given";
    if (!error.empty()) return false;
    // Each input's frames go into one folder: the frame number is in the file name.
    if (!parse_output("NAME" + options.output_pattern, options.output, error) ||
        options.output.suffix.find('/') != std::string::npos) {
      error = "--as takes .png, .gif or a frame number pattern such as %04d.png, not \"" +
              options.output_pattern + "\"";
      return false;
    }
    options.output.max_side = size;
    return true;
  }
  if (many) {
    error = "--jobs, --json, --timeout and --as need --check, --info or --output-dir";
    return false;
  }
  if (names.size() != 2) {
    error = names.empty() ? "no input file given" : "give one input file and one output name";
    return false;
  }
  options.input = names[0];
  if (!parse_output(names[1], options.output, error)) return false;
  options.output.max_side = size;
  return true;
}

std::string output_frame_name(const OutputName& name, int n) {
  if (name.kind != OutputKind::png_sequence) return name.prefix;
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < name.number_width)
    digits.insert(0, static_cast<size_t>(name.number_width) - digits.size(), name.zero_pad ? '0' : ' ');
  return name.prefix + digits + name.suffix;
}
