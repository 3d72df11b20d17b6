// Where exported frames go: one PNG, a numbered PNG sequence or an animated GIF.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "converter/export.h"
#include "converter/file_reader.h"

namespace {

bool write_png_file(const std::string& name, const Picture& picture, std::string& error) {
  TempFile file{};
  if (!temp_file_open(file, name, error)) return false;
  std::string why;
  if (!png_write(file.fd, picture, why)) {
    error = name + ": " + why;
    temp_file_discard(file);
    return false;
  }
  return temp_file_commit(file, error);
}

// A thumbnailer's output: the thumbnail service may have made the file and hold it open
// to read the picture back from it, so it is written into, not replaced by a new file.
// The whole PNG is made first and written in one go.
bool write_thumbnail_file(const std::string& name, const Picture& picture, std::string& error) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!png_encode(picture, bytes, why)) {
    error = name + ": " + why;
    return false;
  }
  return file_write_in_place(name, bytes, error);
}

// Writes a copy of the file `from` (a frame just written) under the name `to`.
bool copy_png_file(const std::string& from, const std::string& to, std::string& error) {
  const int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) {
    error = from + ": cannot read back: " + std::strerror(errno);
    return false;
  }
  TempFile file{};
  if (!temp_file_open(file, to, error)) {
    close(source);
    return false;
  }
  char block[65536];
  int write_error = 0;
  for (;;) {
    const ssize_t got = read(source, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) write_error = errno;
    if (got <= 0) break;
    if (write_fully(file.fd, block, static_cast<size_t>(got), write_error) != static_cast<size_t>(got)) break;
  }
  close(source);
  if (write_error != 0) {
    error = to + ": cannot write: " + std::strerror(write_error);
    temp_file_discard(file);
    return false;
  }
  return temp_file_commit(file, error);
}

}  // namespace

void output_begin(Output& out, const OutputName& name) {
  out.name = name;
  out.frames_written = 0;
  out.gif_started = false;
  out.gif.gif = nullptr;
  out.gif.file.fd = -1;
}

bool output_wants_one_frame(const OutputName& name) { return name.kind == OutputKind::png_single; }

bool output_is_thumbnail(const OutputName& name) {
  return name.kind == OutputKind::png_single && name.max_side > 0;
}

bool output_frame(Output& out, const Picture& decoded, uint32_t frame_us, std::string& error) {
  Picture fitted;
  if (out.name.max_side > 0) {
    picture_fit(decoded, out.name.max_side, fitted);
    // A GIF holds palette pictures: the averaged colours are cut down to 256.
    if (out.name.kind == OutputKind::gif && fitted.channels != 1) picture_reduce_to_palette(fitted);
  }
  const Picture& picture = out.name.max_side > 0 ? fitted : decoded;
  bool ok = true;
  switch (out.name.kind) {
    case OutputKind::png_single:
      ok = out.frames_written > 0 ||
           (output_is_thumbnail(out.name) ? write_thumbnail_file(out.name.prefix, picture, error)
                                          : write_png_file(out.name.prefix, picture, error));
      break;
    case OutputKind::png_sequence:
      ok = write_png_file(output_frame_name(out.name, out.frames_written + 1), picture, error);
      break;
    case OutputKind::gif:
      if (!out.gif_started) {
        ok = gif_begin(out.gif, out.name.prefix, picture, error);
        out.gif_started = ok;
      }
      ok = ok && gif_add_frame(out.gif, picture, frame_us, error);
      break;
  }
  if (ok) out.frames_written++;
  return ok;
}

bool output_repeat(Output& out, uint32_t frame_us, std::string& error) {
  bool ok = true;
  switch (out.name.kind) {
    case OutputKind::png_single:
      break;
    case OutputKind::png_sequence:
      ok = copy_png_file(output_frame_name(out.name, out.frames_written),
                         output_frame_name(out.name, out.frames_written + 1), error);
      break;
    case OutputKind::gif:
      ok = gif_add_same_frame(out.gif, frame_us, error);
      break;
  }
  if (ok) out.frames_written++;
  return ok;
}

bool output_end(Output& out, std::string& error) {
  if (out.name.kind != OutputKind::gif || !out.gif_started) return true;
  out.gif_started = false;
  return gif_finish(out.gif, error);
}

void output_abandon(Output& out) {
  if (out.name.kind == OutputKind::gif && out.gif_started) gif_abandon(out.gif);
  out.gif_started = false;
}

bool output_hits_input(const OutputName& name, int frames, const std::string& input, std::string& hit) {
  struct stat in {};
  if (stat(input.c_str(), &in) != 0) return false;
  const int names = name.kind == OutputKind::png_sequence ? frames : 1;
  for (int n = 1; n <= names; n++) {
    const std::string candidate = output_frame_name(name, n);
    struct stat out {};
    if (stat(candidate.c_str(), &out) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino) {
      hit = candidate;
      return true;
    }
  }
  return false;
}
