// Helpers for the converter's tests.
#include "tests/export/export_support.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr int NETSCAPE_ID_SIZE = 11;
constexpr int LOOP_BLOCK_SIZE = 3;

}  // namespace

Scratch::Scratch() {
  std::string pattern = (fs::temp_directory_path() / "moxflic-export-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  dir = made ? made : "";
}

Scratch::~Scratch() {
  std::error_code ignored;
  if (!dir.empty()) fs::remove_all(dir, ignored);
}

std::vector<std::string> Scratch::files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(".run-", 0) != 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int run_shell(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool have_program(const std::string& command) { return run_shell(command + " >/dev/null 2>&1") == 0; }

ToolRun run_export(const std::vector<std::string>& args, const Scratch& scratch, int size_limit_blocks) {
  std::string out = scratch.path(".run-out"), err = scratch.path(".run-err");
  std::string command = "cd " + quote(scratch.dir) + " && ";
  if (size_limit_blocks > 0) command += "ulimit -f " + std::to_string(size_limit_blocks) + " && ";
  command += quote(MOXFLIC_EXPORT_PROGRAM);
  for (const auto& a : args) command += " " + quote(a);
  command += " >" + quote(out) + " 2>" + quote(err) + " </dev/null";
  ToolRun run;
  run.status = run_shell("/bin/sh -c " + quote(command));
  run.out = slurp(out);
  run.err = slurp(err);
  return run;
}

Background start_export(const std::vector<std::string>& args, const Scratch& scratch,
                        const std::vector<int>& ignored) {
  std::vector<std::string> argv_text = {MOXFLIC_EXPORT_PROGRAM};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string out = scratch.path(".run-out"), err = scratch.path(".run-err");
  // The pipe closes when the program starts, so that no signal meant for it reaches
  // the child before.
  int started[2];
  if (pipe2(started, O_CLOEXEC) != 0) return Background{-1};
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || dup2(in, 0) < 0 ||
        chdir(scratch.dir.c_str()) != 0)
      _exit(127);
    for (int s : ignored) signal(s, SIG_IGN);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(started[1]);
  char nothing;
  while (read(started[0], &nothing, 1) < 0 && errno == EINTR) {
  }
  close(started[0]);
  return Background{pid};
}

ToolRun finish_export(const Background& run, const Scratch& scratch, const std::function<void()>& meanwhile) {
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(run.pid, &status, meanwhile ? WNOHANG : 0);
    if (ended == run.pid || (ended < 0 && errno != EINTR)) break;
    if (ended == 0) {
      meanwhile();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ToolRun result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = slurp(scratch.path(".run-out"));
  result.err = slurp(scratch.path(".run-err"));
  return result;
}

bool wait_until(double seconds, const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<int> children_of(int pid) {
  std::vector<int> children;
  std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children"));
  for (int child; in >> child;) children.push_back(child);
  return children;
}

std::string data_file(const std::string& name) { return std::string(MOXFLIC_TEST_DATA) + "/" + name; }

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::string s = slurp(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) { return fs::exists(path); }

bool read_png(const std::string& path, PngImage& image) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  image.width = static_cast<int>(png_get_image_width(png, info));
  image.height = static_cast<int>(png_get_image_height(png, info));
  int type = png_get_color_type(png, info);
  int depth = png_get_bit_depth(png, info);
  image.indexed = type == PNG_COLOR_TYPE_PALETTE;
  std::vector<png_color> colours;
  if (image.indexed) {
    png_colorp plte = nullptr;
    int n = 0;
    png_get_PLTE(png, info, &plte, &n);
    colours.assign(plte, plte + n);
    image.palette.clear();
    for (const auto& c : colours) image.palette.insert(image.palette.end(), {c.red, c.green, c.blue});
    if (depth < 8) png_set_packing(png);
  } else {
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  }
  const bool has_alpha = (type & PNG_COLOR_MASK_ALPHA) != 0;
  png_read_update_info(png, info);
  size_t row_bytes = png_get_rowbytes(png, info);
  std::vector<uint8_t> rows(row_bytes * static_cast<size_t>(image.height));
  std::vector<png_bytep> pointers(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; y++)
    pointers[static_cast<size_t>(y)] = rows.data() + static_cast<size_t>(y) * row_bytes;
  png_read_image(png, pointers.data());
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  image.rgb.assign(pixels * 3, 0);
  image.alpha.assign(pixels, 255);
  if (image.indexed) {
    image.indices.assign(pixels, 0);
    for (int y = 0; y < image.height; y++)
      std::memcpy(image.indices.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width),
                  pointers[static_cast<size_t>(y)], static_cast<size_t>(image.width));
    for (size_t i = 0; i < pixels; i++) {
      size_t k = image.indices[i];
      if (k < colours.size()) std::memcpy(&image.rgb[i * 3], &image.palette[k * 3], 3);
    }
  } else {
    const size_t channels = has_alpha ? 4 : 3;
    for (size_t i = 0; i < pixels; i++) {
      const uint8_t* p =
          pointers[i / static_cast<size_t>(image.width)] + i % static_cast<size_t>(image.width) * channels;
      std::memcpy(&image.rgb[i * 3], p, 3);
      if (has_alpha) image.alpha[i] = p[3];
    }
  }
  return true;
}

bool read_gif(const std::string& path, GifAnimation& gif) {
  int code = 0;
  GifFileType* file = DGifOpenFileName(path.c_str(), &code);
  if (!file) return false;
  if (DGifSlurp(file) != GIF_OK) {
    DGifCloseFile(file, &code);
    return false;
  }
  gif.width = file->SWidth;
  gif.height = file->SHeight;
  gif.loops_forever = false;
  gif.frames.clear();
  std::vector<uint8_t> canvas(static_cast<size_t>(gif.width) * static_cast<size_t>(gif.height) * 3, 0);
  for (int i = 0; i < file->ImageCount; i++) {
    const SavedImage& image = file->SavedImages[i];
    for (int e = 0; e + 1 < image.ExtensionBlockCount; e++) {
      const ExtensionBlock& id = image.ExtensionBlocks[e];
      const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
      if (id.Function == APPLICATION_EXT_FUNC_CODE && id.ByteCount == NETSCAPE_ID_SIZE &&
          std::memcmp(id.Bytes, "NETSCAPE2.0", NETSCAPE_ID_SIZE) == 0 && data.ByteCount == LOOP_BLOCK_SIZE &&
          data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0)
        gif.loops_forever = true;
    }
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(file, i, &control);
    GifFrame frame;
    frame.left = image.ImageDesc.Left;
    frame.top = image.ImageDesc.Top;
    frame.width = image.ImageDesc.Width;
    frame.height = image.ImageDesc.Height;
    frame.delay_cs = control.DelayTime;
    frame.local_map = image.ImageDesc.ColorMap != nullptr;
    const ColorMapObject* map = frame.local_map ? image.ImageDesc.ColorMap : file->SColorMap;
    for (int k = 0; map && k < map->ColorCount; k++)
      frame.colours.insert(frame.colours.end(),
                           {map->Colors[k].Red, map->Colors[k].Green, map->Colors[k].Blue});
    for (int y = 0; y < frame.height; y++) {
      for (int x = 0; x < frame.width; x++) {
        int k = image.RasterBits[y * frame.width + x];
        size_t at = (static_cast<size_t>(frame.top + y) * static_cast<size_t>(gif.width) +
                     static_cast<size_t>(frame.left) + static_cast<size_t>(x)) *
                    3;
        if (!map || k >= map->ColorCount || k == control.TransparentColor || at + 3 > canvas.size()) continue;
        canvas[at] = map->Colors[k].Red;
        canvas[at + 1] = map->Colors[k].Green;
        canvas[at + 2] = map->Colors[k].Blue;
      }
    }
    frame.rgb = canvas;
    gif.frames.push_back(std::move(frame));
  }
  DGifCloseFile(file, &code);
  return true;
}

std::vector<std::pair<std::string, std::string>> key_values(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t colon = line.find(": ");
    if (colon != std::string::npos) pairs.emplace_back(line.substr(0, colon), line.substr(colon + 2));
  }
  return pairs;
}

std::string value_of(const std::string& text, const std::string& key) {
  for (const auto& [k, v] : key_values(text))
    if (k == key) return v;
  return "(absent)";
}

std::string case_name(const std::string& text) {
  std::string name = text;
  for (char& c : name)
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
  return name;
}
