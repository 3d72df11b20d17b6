// Making a FLIC file from PNG frames (files, or a numbered sequence), an animated GIF
// or another FLIC file (made again: FLI to FLC or back, or smaller). The inputs are checked before anything
// is written: every name found, every frame the size of the first, the output none of the inputs. Palette
// frames keep their indices and colours; true-colour frames and GIF frames share one palette (their own
// colours, or 256 that libimagequant chooses). The file is written under a temporary name, walked by the
// decoder once complete, and only then renamed into place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "converter/encode.h"
#include "converter/export.h"
#include "converter/file_reader.h"
#include "flic/flic.h"
#include "flic/flic_writer.h"
#include "gfx/gfx.h"
#include "palette/palette.h"

namespace {

constexpr uint32_t MOST_FRAMES = 65535;  // a header's frame count
constexpr uint64_t MOST_FILE_BYTES = UINT32_MAX;
constexpr int GIF_SHORTEST_DELAY_CS = 2;  // shorter delays play as 1/10 s in GIF viewers
constexpr int GIF_SHORT_DELAY_PLAYED_CS = 10;
constexpr uint32_t MS_PER_S = 1000;
constexpr uint32_t CS_MS = 10;
// A GIF's delays are kept exactly while the records that show them are at most this
// many times its frames (a frame shown twice as long is one record more, 16 bytes):
// 1/10 s, 3/20 s and 1/4 s are kept, 7/100 s and 8/100 s in turn are not.
constexpr uint32_t MOST_RECORDS_A_FRAME = 3;
// The low half of a speed that some readers take for a record type (0xF1FA).
constexpr uint32_t SPEED_READ_AS_RECORD = 0xF1FA;

enum class InputType { png, gif, flic, other };

InputType input_type(const std::string& name, std::string& reason) {
  const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return InputType::other;
  }
  uint8_t head[8] = {};
  const ssize_t got = read(fd, head, sizeof head);
  close(fd);
  static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got == 8 && std::memcmp(head, png_signature, 8) == 0) return InputType::png;
  if (got >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0))
    return InputType::gif;
  if (got >= 6 && head[5] == 0xAF && (head[4] == 0x11 || head[4] == 0x12)) return InputType::flic;
  reason = "not a PNG, GIF or FLIC file";
  return InputType::other;
}

bool exists(const std::string& name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0;
}

// The files a numbered name stands for, from 0 or 1 up to the first number missing;
// false when the name has no frame number.
bool expand_pattern(const std::string& text, std::vector<std::string>& files, std::string& first_tried) {
  OutputName name;
  std::string error;
  if (!parse_output(text, name, error) || name.kind != OutputKind::png_sequence) return false;
  int n = exists(output_frame_name(name, 0)) ? 0 : 1;
  first_tried = output_frame_name(name, 0) + " or " + output_frame_name(name, 1);
  for (; files.size() <= MOST_FRAMES && exists(output_frame_name(name, n)); n++)
    files.push_back(output_frame_name(name, n));
  return true;
}

// "NAME: TEXT", the form of every message about a file.
std::string about(const std::string& name, const std::string& text) { return name + ": " + text; }

// The inputs, checked: the PNG files in order, or one GIF or FLIC file.
struct Inputs {
  std::vector<std::string> files;
  bool gif = false;
  int32_t width = 0, height = 0;
  bool indexed = true;  // every PNG reads as palette indices (a FLIC file's frames too)
  bool flic = false;    // one FLIC file, made again
  FlicHeaderFacts flic_header{};
};

// A FLIC file to make again: judged as --check judges it, and refused when damaged or
// when it holds no frame.
int check_flic(Inputs& in) {
  const std::string& file = in.files[0];
  FlicSurvey survey;
  std::string reason;
  if (!flic_survey_file(file, survey, reason)) {
    report_error(about(file, reason));
    return EXIT_BAD_INPUT;
  }
  const FlicVerdict verdict = flic_verdict(survey.report, survey.header);
  if (!verdict.damage.empty()) {
    report_damage(file, verdict.damage + "; nothing written");
    return EXIT_BAD_INPUT;
  }
  in.flic_header = survey.header;
  in.width = survey.header.width;
  in.height = survey.header.height;
  if (survey.header.frame_count == 0 || in.width == 0 || in.height == 0) {
    report_error(about(file, "holds no frame; nothing written"));
    return EXIT_BAD_INPUT;
  }
  return EXIT_OK;
}

// Every frame of a FLIC file as the export takes it with --palette=file: file indices
// and the file's colours.
bool flic_frames(const Inputs& in, const FrameVisitor& each, std::string& error) {
  const std::string& file = in.files[0];
  if (!canvas_open(in.width, in.height)) {
    canvas_close();
    error = canvas_too_large(file, in.width, in.height);
    return false;
  }
  FlicContext context{};
  const bool opened = flic_open(file.c_str(), &context) == 0;
  bool ok = opened;
  if (!ok) error = about(file, "cannot be opened as a FLIC file");
  gfx_reduce_palette(GFX_FLAG_NO_REDUCE);  // file indices from the first pixel on
  Picture frame{};
  frame.width = in.width;
  frame.height = in.height;
  for (int n = 1; ok && n <= in.flic_header.frame_count; n++) {
    if (flic_play(&context, 1, GFX_FLAG_NO_PAUSE | GFX_FLAG_NO_REDUCE) != 1) {
      error = about(file, "frame " + std::to_string(n) + " does not decode");
      ok = false;
      break;
    }
    canvas_take_pixels(frame);
    std::memcpy(frame.palette, gfx_state().flic_file_palette, sizeof frame.palette);
    ok = each(frame, -1, error);
    if (!ok) error = about(file, error);
  }
  if (opened) flic_close(&context);
  canvas_close();
  return ok;
}

// Fills inputs from the names: exit status 0, or 1 or 2 with the message given.
int gather_inputs(const EncodeOptions& options, Inputs& in) {
  for (const std::string& name : options.inputs) {
    std::string tried;
    const size_t before = in.files.size();
    if (expand_pattern(name, in.files, tried)) {
      if (in.files.size() == before) {
        report_error(about(name, "no file matches (looked for " + tried.append(")")));
        return EXIT_BAD_INPUT;
      }
    } else {
      in.files.push_back(name);
    }
  }
  if (in.files.size() > MOST_FRAMES) {
    report_error(options.inputs.front() + ": more than " + std::to_string(MOST_FRAMES) +
                 " frames; a FLIC file holds at most " + std::to_string(MOST_FRAMES));
    return EXIT_BAD_INPUT;
  }
  for (const std::string& file : in.files) {
    std::string reason;
    switch (input_type(file, reason)) {
      case InputType::png:
        break;
      case InputType::gif:
        in.gif = true;
        break;
      case InputType::flic:
        in.flic = true;
        break;
      case InputType::other:
        report_error(about(file, reason));
        return EXIT_BAD_INPUT;
    }
  }
  if ((in.gif || in.flic) && in.files.size() > 1) {
    report_error(std::string(in.gif ? "a GIF" : "a FLIC") +
                 " file makes a FLIC file alone: give it as the only input");
    return EXIT_USAGE;
  }
  // Nothing is written over an input.
  struct stat out {};
  if (stat(options.output.c_str(), &out) == 0) {
    for (const std::string& file : in.files) {
      struct stat st {};
      if (stat(file.c_str(), &st) == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino) {
        report_error(options.output + ": is an input file; choose another output name");
        return EXIT_USAGE;
      }
    }
  }
  if (in.flic) return check_flic(in);
  if (in.gif) {
    std::string error;
    if (!gif_read_screen(in.files[0], in.width, in.height, error)) {
      report_error(in.files[0] + ": " + error);
      return EXIT_BAD_INPUT;
    }
    in.indexed = false;
    return EXIT_OK;
  }
  for (size_t k = 0; k < in.files.size(); k++) {
    PngFacts facts{};
    std::string error;
    if (!png_read_facts(in.files[k], facts, error)) {
      report_error(in.files[k] + ": " + error);
      return EXIT_BAD_INPUT;
    }
    if (k == 0) {
      in.width = facts.width;
      in.height = facts.height;
    } else if (facts.width != in.width || facts.height != in.height) {
      report_error(in.files[k] + ": frame " + std::to_string(k + 1) + " is " + std::to_string(facts.width) +
                   " x " + std::to_string(facts.height) + " pixels, frame 1 (" + in.files[0] + ") " +
                   std::to_string(in.width) + " x " + std::to_string(in.height) +
                   "; every frame must be the size of the first");
      return EXIT_BAD_INPUT;
    }
    in.indexed = in.indexed && facts.indexed;
  }
  return EXIT_OK;
}

// Every frame in order; a failed read names its file.
bool for_each_frame(const Inputs& in, const FrameVisitor& each, std::string& error) {
  if (in.flic) return flic_frames(in, each, error);
  if (in.gif) {
    if (gif_read_frames(in.files[0], each, error)) return true;
    error = in.files[0] + ": " + error;
    return false;
  }
  Picture frame{};
  for (const std::string& file : in.files) {
    PngFacts facts{};
    if (!png_read(file, facts, frame, error)) {
      error = about(file, error);
      return false;
    }
    if (frame.width != in.width || frame.height != in.height) {
      error = file + ": changed while it was being read";
      return false;
    }
    if (!each(frame, -1, error)) {
      error = about(file, error);
      return false;
    }
  }
  return true;
}

// The speed of a file whose frames all last ms milliseconds.
uint32_t speed_of_ms(uint32_t ms, bool fli) {
  if (!fli) return ms;
  return std::max<uint32_t>(1, (ms * FLI_SPEED_UNITS_PER_S + MS_PER_S / 2) / MS_PER_S);
}

bool write_all(int fd, const std::vector<uint8_t>& bytes, std::string& error) {
  int why = 0;
  if (write_fully(fd, bytes.data(), bytes.size(), why) == bytes.size()) return true;
  error = std::strerror(why);
  return false;
}

}  // namespace

FlicTiming timing_from_delays(const std::vector<int>& delays_cs, bool fli) {
  FlicTiming timing{speed_of_ms(FLIC_DEFAULT_FRAME_US / MS_PER_S, fli), {}, false};
  if (delays_cs.empty()) return timing;
  std::vector<uint32_t> units;
  for (int cs : delays_cs) {
    if (cs < GIF_SHORTEST_DELAY_CS) cs = GIF_SHORT_DELAY_PLAYED_CS;
    units.push_back(speed_of_ms(static_cast<uint32_t>(cs) * CS_MS, fli));
  }
  uint32_t common = 0;
  for (uint32_t u : units) common = std::gcd(common, u);
  uint64_t records = 0;
  for (uint32_t u : units) records += u / common;
  if (records <= std::min<uint64_t>(MOST_FRAMES, uint64_t{MOST_RECORDS_A_FRAME} * units.size())) {
    timing.speed = common;
    for (uint32_t u : units) timing.records.push_back(u / common);
  } else {
    // The frames' mean delay is the speed, and each frame is shown for the whole
    // number of records nearest its delay: the animation keeps its length.
    uint64_t total = 0;
    for (uint32_t u : units) total += u;
    timing.speed = static_cast<uint32_t>(std::max<uint64_t>(1, (total + units.size() / 2) / units.size()));
    records = 0;
    for (uint32_t u : units) {
      timing.records.push_back(std::max<uint32_t>(1, (u + timing.speed / 2) / timing.speed));
      records += timing.records.back();
    }
    if (records > MOST_FRAMES) timing.records.assign(units.size(), 1);
    timing.approximate = true;
  }
  if ((timing.speed & 0xFFFF) == SPEED_READ_AS_RECORD) timing.speed++;
  if (std::all_of(timing.records.begin(), timing.records.end(), [](uint32_t r) { return r == 1; }))
    timing.records.clear();
  return timing;
}

int run_encode(const Options& options) {
  const EncodeOptions& o = options.encode;
  temp_file_guard_signals();
  Inputs in;
  if (const int status = gather_inputs(o, in); status != EXIT_OK) return status;
  const std::string label = o.inputs.size() == 1 ? o.inputs[0] : in.files[0];

  // First pass, when colours are to be chosen: every frame's colours, and the delays.
  ColourPlanPtr plan;
  std::vector<int> delays;
  std::string error;
  if (!in.indexed) {
    plan = colour_plan_new(o.fli, o.dither);
    const bool read = for_each_frame(
        in,
        [&](const Picture& frame, int delay_cs, std::string& why) {
          if (frame.channels == 1) {  // a palette PNG among true-colour ones: its colours
            Picture rgb = frame;
            rgb.channels = 3;
            rgb.pixels.resize(3 * frame.pixels.size());
            for (size_t i = 0; i < frame.pixels.size(); i++)
              std::memcpy(&rgb.pixels[3 * i], frame.palette[frame.pixels[i]], 3);
            colour_plan_add(*plan, rgb);
          } else {
            colour_plan_add(*plan, frame);
          }
          delays.push_back(delay_cs);
          if (delays.size() > MOST_FRAMES) {
            why = "more than " + std::to_string(MOST_FRAMES) + " frames; a FLIC file holds at most " +
                  std::to_string(MOST_FRAMES);
            return false;
          }
          return true;
        },
        error);
    size_t colours = 0;
    if (!read || !colour_plan_finish(*plan, colours, error)) {
      report_error(read ? label + ": " + error : error);
      return EXIT_BAD_INPUT;
    }
    if (colour_plan_reduces(*plan))
      report_message(label + ": more than 256 colours in all, reduced to 256" +
                     std::string(o.dither ? ", dithered" : ""));
  }

  FlicTiming timing{};
  if (o.speed_ms > 0) {
    timing.speed = speed_of_ms(static_cast<uint32_t>(o.speed_ms), o.fli);
  } else if (in.flic) {
    // The file's own speed, in the new file's unit.
    const FlicHeaderFacts& h = in.flic_header;
    const uint32_t speed = h.speed > 0 ? h.speed
                           : h.flc     ? FLIC_DEFAULT_FRAME_US / MS_PER_S
                                       : FLIC_DEFAULT_SPEED;
    if (h.flc == !o.fli)
      timing.speed = speed;
    else if (h.flc)
      timing.speed = speed_of_ms(speed, true);
    else
      timing.speed = (speed * MS_PER_S + FLI_SPEED_UNITS_PER_S / 2) / FLI_SPEED_UNITS_PER_S;
  } else if (in.gif) {
    timing = timing_from_delays(delays, o.fli);
    if (timing.approximate)
      report_message(label + ": its frames' delays are no multiples of one time; the speed is their mean (" +
                     std::to_string(timing.speed) + (o.fli ? "/70 s" : " ms") +
                     "), each frame shown the whole number of times nearest its delay");
  } else {
    timing = timing_from_delays({}, o.fli);
  }

  FlicEncoder encoder;
  if (!fe_begin(encoder, o.fli ? FLIC_MAGIC_FLI : FLIC_MAGIC_FLC, static_cast<uint16_t>(in.width),
                static_cast<uint16_t>(in.height))) {
    report_error(label + ": frames of " + std::to_string(in.width) + " x " + std::to_string(in.height) +
                 " pixels cannot be a FLIC file");
    return EXIT_BAD_INPUT;
  }
  TempFile file{};
  if (!temp_file_open(file, o.output, error)) {
    report_output_error(error);
    return EXIT_BAD_INPUT;
  }
  const auto fail = [&](const std::string& why, bool output) {
    temp_file_discard(file);
    if (output)
      report_output_error(o.output + ": " + why);
    else
      report_error(why);
    return EXIT_BAD_INPUT;
  };
  std::vector<uint8_t> record(FLIC_HEADER_SIZE, 0);
  uint64_t size = 0;
  bool write_failed = false;
  const auto put = [&](std::string& why) {
    size += record.size();
    if (size > MOST_FILE_BYTES) {
      why = "the animation takes more than 4 GiB, more than a FLIC file can hold";
      return false;
    }
    if (!write_all(file.fd, record, why)) {
      write_failed = true;
      why = o.output + ": cannot write: " + why;
      return false;
    }
    return true;
  };
  if (!put(error)) return fail(error, true);
  size_t frame_index = 0;
  progress_begin(static_cast<int>(in.gif    ? delays.size()
                                  : in.flic ? in.flic_header.frame_count
                                            : in.files.size()));
  const bool encoded = for_each_frame(
      in,
      [&](const Picture& input, int, std::string& why) {
        Picture frame = input;
        if (plan) {
          if (frame.channels == 1) {
            frame.channels = 3;
            frame.pixels.resize(3 * input.pixels.size());
            for (size_t i = 0; i < input.pixels.size(); i++)
              std::memcpy(&frame.pixels[3 * i], input.palette[input.pixels[i]], 3);
          }
          if (!colour_plan_map(*plan, frame, why)) return false;
        }
        const uint32_t shows =
            timing.records.empty() || frame_index >= timing.records.size() ? 1 : timing.records[frame_index];
        if (encoder.frames + shows > MOST_FRAMES) {
          why = "more than " + std::to_string(MOST_FRAMES) + " frames; a FLIC file holds at most " +
                std::to_string(MOST_FRAMES);
          return false;
        }
        for (uint32_t r = 0; r < shows; r++) {
          fe_frame(encoder, frame.pixels.data(), &frame.palette[0][0], record);
          if (!put(why)) return false;
        }
        progress_step(static_cast<int>(++frame_index));
        return true;
      },
      error);
  progress_end();
  if (!encoded) return fail(error, write_failed);
  if (o.ring) {
    fe_ring(encoder, record);
    if (!put(error)) return fail(error, write_failed);
  }
  uint8_t header[FLIC_HEADER_SIZE];
  fe_header(encoder, timing.speed, static_cast<uint32_t>(size), header);
  if (pwrite(file.fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
    return fail(std::string("cannot write: ") + std::strerror(errno), true);

  // The file as the decoder finds it: every frame record whole and nothing damaged.
  FlicSurvey survey;
  std::string reason;
  if (!flic_survey_file(file.temp_name, survey, reason)) return fail(reason, true);
  const FlicVerdict verdict = flic_verdict(survey.report, survey.header);
  const int32_t records = static_cast<int32_t>(encoder.frames) + (o.ring ? 1 : 0);
  if (!verdict.damage.empty() || verdict.records != records)
    return fail("the file written does not read back whole (" +
                    (verdict.damage.empty() ? std::to_string(verdict.records) + " records" : verdict.damage) +
                    "); nothing written",
                true);
  if (!temp_file_commit(file, error)) {
    report_output_error(error);
    return EXIT_BAD_INPUT;
  }
  return EXIT_OK;
}
