// moxflic-export: turns FLIC animations and PCX pictures into PNG or GIF files, and
// describes or checks them. Runs the graphics library on the headless backend.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "flic/flic.h"

// Exit codes.
constexpr int EXIT_OK = 0;
constexpr int EXIT_BAD_INPUT = 1;  // unreadable, not a FLIC or PCX, damaged, or cannot write
constexpr int EXIT_USAGE = 2;

// --- Command line (args.cpp) -----------------------------------------------------------
enum class Command { export_file, info, check, help, version, encode };
// unset: no --palette given, which means file for a PCX picture and screen for a FLIC.
enum class PaletteMode { screen, file, unset };
enum class OutputKind { png_single, png_sequence, gif };

// An output name split around its frame number conversion (%d, %Nd or %0Nd).
struct OutputName {
  OutputKind kind;
  std::string prefix;  // text before the number, with %% already turned into %
  std::string suffix;  // text after it
  int number_width;    // minimum digits (0: as many as needed)
  bool zero_pad;
  int max_side;  // --size: pictures scaled down to fit this many pixels (0: as decoded)
};

// Making a FLIC file (encode_args.cpp, make_flic.cpp): INPUT... OUTPUT.flc or .fli.
struct EncodeOptions {
  std::vector<std::string> inputs;  // PNG files, frame number patterns, or one GIF or FLIC file
  std::string output;
  bool fli = false;     // the output's extension is .fli
  int speed_ms = 0;     // --speed (0: the GIF's delays, or 5/70 s)
  bool ring = true;     // --no-ring leaves the ring frame out
  bool dither = false;  // --dither when colours are reduced
};

struct Options {
  Command command;
  PaletteMode palette = PaletteMode::unset;
  std::string input;
  OutputName output;
  // Many inputs at once (batch.cpp): files and folders, worker processes, JSON lines,
  // and for export the folder the outputs go to and what they are.
  bool batch = false;
  std::vector<std::string> inputs;
  int jobs = 0;  // 0: one per processor
  bool json = false;
  std::string output_dir;
  std::string output_pattern = ".png";  // .png, .gif or a frame number pattern such as %04d.png
  int timeout_s = 300;                  // a worker stopped after this long (0: never)
  EncodeOptions encode;
};

// An option of making FLIC files (--speed, --ring, --no-ring, --dither): true when
// argv[i] is one (i then past its value), with error set when its value is wrong.
bool encode_option(int argc, char** argv, int& i, EncodeOptions& options, std::string& error);
// Whether a name is that of a FLIC file to make (ends in .flc or .fli).
bool is_flic_output(const std::string& name);
// Parses argv into options; on a usage error returns false with a message in error.
bool parse_args(int argc, char** argv, Options& options, std::string& error);
// Parses an output name (.png, numbered .png or .gif); false with a message in error.
bool parse_output(const std::string& text, OutputName& name, std::string& error);
// The text of --help.
const char* usage_text();
// The file name of frame number n (from 1) of a numbered output.
std::string output_frame_name(const OutputName& name, int n);

// --- One picture as the exporter hands it on ----------------------------------------
struct Picture {
  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;  // width * height palette indices, rows top first
  uint8_t palette[256][3];      // red, green, blue of every index
  int32_t channels = 1;         // 1: palette indices; 3 or 4: red, green, blue (alpha) a pixel
};

// Scales a picture down, keeping its aspect ratio, so that its longer side is max_side
// pixels; each pixel is the area average of the pixels its cell covers (sRGB values,
// alpha-weighted), so a scaled palette picture comes out RGB. A picture that already
// fits is copied unchanged.
void picture_fit(const Picture& in, int max_side, Picture& out);

// Turns a true-colour picture (3 or 4 channels; a fourth is left out) into at most 256
// palette colours and indices, exactly when it has no more; the number of colours it had.
size_t picture_reduce_to_palette(Picture& picture);

// --- Headless canvas (canvas.cpp) ---------------------------------------------------
// Starts the library as the viewer does, in the current context, and makes a buffer of
// the picture's size active: true on success. Each thread has a canvas of its own.
bool canvas_open(int32_t width, int32_t height);
// Copies the first width columns of the active buffer into picture.pixels.
void canvas_take_pixels(Picture& picture);
// Copies the colours the screen shows now into picture.palette.
void canvas_take_palette(Picture& picture);
// Frees the buffer and finishes the library.
void canvas_close();
// The message for a picture that no buffer can hold (canvas_open failed).
std::string canvas_too_large(const std::string& input, int64_t width, int64_t height);

// --- Output files (output.cpp, png_file.cpp, gif_file.cpp, temp_file.cpp) ------------
// A file written under a temporary name in its own directory and renamed when complete.
struct TempFile {
  std::string final_name;
  std::string temp_name;
  int fd;
};
bool temp_file_open(TempFile& file, const std::string& final_name, std::string& error);
// Flushes, closes and renames into place; the temporary name is removed on failure.
bool temp_file_commit(TempFile& file, std::string& error);
// Closes and removes the temporary file.
void temp_file_discard(TempFile& file);
// Writes bytes into the file of that name itself, created or truncated, in one go: for
// a thumbnailer's output, which the thumbnail service may hold open and read back. On a
// failure, and on a signal while it writes, the file is emptied and removed.
bool file_write_in_place(const std::string& name, const std::vector<uint8_t>& bytes, std::string& error);
// Removes a temporary file left by a signal; installed once at start. A signal the
// process was started with ignored (nohup, a shell's background job) stays ignored.
void temp_file_guard_signals();
// The temporary file a process is writing, where its signal handler finds it and, in a
// worker, where the parent finds it when the worker was killed outright.
struct PendingTemp {
  volatile sig_atomic_t set;  // name holds a temporary file's name
  char name[4096];
};
// Keeps the pending temporary file's name in `shared` from now on (memory that a
// worker's parent sees too).
void temp_file_track_in(PendingTemp* shared);
// Removes the temporary file a pending record names, if any.
void temp_file_remove_pending(PendingTemp& pending);

// Writes one picture as an 8-bit palette PNG to an open file descriptor (not closed).
bool png_write(int fd, const Picture& picture, std::string& error);
// Encodes one picture as a whole PNG file in memory.
bool png_encode(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error);

// An animated GIF being written.
struct GifOut {
  void* gif;  // the encoder's file record
  TempFile file;
  int write_error;  // errno of a failed write, 0 while all went well
  uint8_t global_palette[256][3];
  Picture previous;  // last frame written, for the changed rectangle
  bool have_previous;
  int64_t elapsed_us;  // animation time of the frames written so far
  int64_t emitted_cs;  // sum of the delays written, in 1/100 s
};
// Compresses count pixels, each below 1 << code_size, as GIF image data: LZW codes in
// sub-blocks of up to 255 bytes, each after its length byte, appended to blocks.
void gif_lzw_compress(const uint8_t* pixels, size_t count, int code_size, std::vector<uint8_t>& blocks);
// Compresses two images of count pixels each at once, as gif_lzw_compress does each
// (faster than one after the other).
void gif_lzw_compress_two(const uint8_t* a, const uint8_t* b, size_t count, int code_size_a, int code_size_b,
                          std::vector<uint8_t>& blocks_a, std::vector<uint8_t>& blocks_b);
bool gif_begin(GifOut& out, const std::string& name, const Picture& first, std::string& error);
bool gif_add_frame(GifOut& out, const Picture& picture, uint32_t frame_us, std::string& error);
// Adds a frame that shows the previous one again for frame_us, without looking at pixels.
bool gif_add_same_frame(GifOut& out, uint32_t frame_us, std::string& error);
bool gif_finish(GifOut& out, std::string& error);
void gif_abandon(GifOut& out);

// Where the frames of an export go.
struct Output {
  OutputName name;
  int frames_written;
  GifOut gif;
  bool gif_started;
};
void output_begin(Output& out, const OutputName& name);
// Writes one frame (number frames_written + 1) that is shown for frame_us.
bool output_frame(Output& out, const Picture& picture, uint32_t frame_us, std::string& error);
// Writes the next frame as the same picture as the one before (at least one written),
// at next to no cost however large the picture.
bool output_repeat(Output& out, uint32_t frame_us, std::string& error);
// Completes the output (the GIF is renamed into place here).
bool output_end(Output& out, std::string& error);
// Drops whatever is not complete.
void output_abandon(Output& out);
// Whether the output takes only the first frame.
bool output_wants_one_frame(const OutputName& name);
// Whether the output is a thumbnail (--size, one PNG): written in place, and only of a
// picture that decodes whole.
bool output_is_thumbnail(const OutputName& name);
// Whether one of the names the output would write for frames 1 to frames is the input
// file itself (the same file through any path or link): true with that name in hit.
bool output_hits_input(const OutputName& name, int frames, const std::string& input, std::string& hit);

// --- Input recognition and description (input_kind.cpp, flic_verdict.cpp, pcx_walk.cpp) -
enum class InputKind { flic, pcx };

// The facts of a FLIC header, read without the library.
struct FlicHeaderFacts {
  bool flc;  // magic 0xAF12 (else 0xAF11)
  uint16_t frame_count;
  uint16_t width;
  uint16_t height;
  uint32_t speed;  // as stored: 1/70 s for FLI, ms for FLC
};

// A FLIC file's header facts and what the frame decoder found in it, walked once
// without drawing.
struct FlicSurvey {
  FlicHeaderFacts header;
  uint64_t file_size;
  FlicReport report;
  std::vector<uint32_t> chunk_counts;  // by chunk type, 65536 entries
};

// A FLIC file judged from what the frame decoder met: one meaning of "frames" and one
// verdict for every command.
struct FlicVerdict {
  int32_t frames;                  // animation frames decoded: the header's count for a sound file
  int32_t records;                 // frame records decoded, the ring frame and any after it included
  bool ring_frame;                 // a record follows the animation's frames
  std::vector<std::string> notes;  // writers' quirks read through, in words
  std::string damage;              // why the file is damaged ("frame N: ..."), empty when it is not
};

// The facts of a PCX header.
struct PcxFacts {
  uint8_t version;
  uint8_t encoding;
  uint8_t bits_per_pixel;
  uint8_t planes;
  uint16_t bytes_per_line;
  uint16_t min_x, min_y, max_x, max_y;
  uint64_t file_size;
  bool palette_block;  // a 256-colour block with its marker ends the file
};

// Why an input is not decoded: it cannot be read, it begins as a FLIC or PCX file whose
// header is cut short (damage), or it is a file of another kind.
enum class InputFault { unreadable, damaged, other };
// Opens and classifies an input: true with kind set, or false with the reason and fault.
bool input_classify(const std::string& name, InputKind& kind, std::string& reason, InputFault& fault);
// Reads a FLIC file's header and walks all its records with the frame decoder; false
// with reason when it cannot be read at all.
bool flic_survey_file(const std::string& name, FlicSurvey& survey, std::string& reason);
// The facts of a FLIC header read with flic_check_header.
FlicHeaderFacts flic_header_facts(const uint8_t* header);
// Judges the records a decoder walked in a file with this header. Frames missing from
// what the header gives are damage only once the decoder has met the end of the data.
FlicVerdict flic_verdict(const FlicReport& report, const FlicHeaderFacts& header);
// Prints a verdict's frame lines and notes, keeping them in the command's outcome.
void report_flic_verdict(const FlicVerdict& verdict);
// Reads a PCX header and looks for the colour block; false with reason.
bool pcx_facts(const std::string& name, PcxFacts& facts, std::string& reason);
// A reason why a PCX header is not one this program can show, or empty when it is.
std::string pcx_header_fault(const PcxFacts& facts);
// Scans the run-length data: empty when it holds every line, else what is missing.
std::string pcx_data_fault(const std::string& name, const PcxFacts& facts);

// --- Commands (flic_export.cpp, pcx_export.cpp, info.cpp, check.cpp) -----------------
int flic_export(const Options& options);
int pcx_export(const Options& options);
int run_info(const Options& options, InputKind kind);
int run_check(const Options& options, InputKind kind);
// --check, --info or export of many files and folders (batch.cpp).
int run_batch(const Options& options);
// Makes a FLIC file from PNG frames, an animated GIF or a FLIC file (make_flic.cpp).
int run_encode(const Options& options);

// --- Messages, the verdict and progress (report.cpp) ------------------------------------
// What a command decided about its input. The one-file commands fill it as they print,
// and the many-file mode reads it instead of their messages.
enum class Verdict { ok, damaged, unreadable, skipped, failed };
struct Outcome {
  Verdict verdict = Verdict::ok;
  std::string reason;                                      // why it is not ok, without the file's name
  std::vector<std::string> notes;                          // writers' quirks read through
  std::vector<std::pair<std::string, std::string>> facts;  // the "key: value" lines, in order
};
// The outcome of the command this thread runs; the many-file mode resets it for each file.
Outcome& command_outcome();
// One line on stderr: "moxflic-export: <text>". Until a verdict is given, the outcome
// becomes unreadable with text as its reason.
void report_error(const std::string& text);
// "moxflic-export: <text>" on stderr, for a message that is no failure.
void report_message(const std::string& text);
// "moxflic-export: INPUT: damaged: WHAT" on stderr; the outcome becomes damaged.
void report_damage(const std::string& input, const std::string& what);
// "moxflic-export: TEXT" for an output that could not be written; the outcome becomes failed.
void report_output_error(const std::string& text);
// A "key: value" line on stdout, kept in the outcome.
void report_fact(const std::string& key, const std::string& value);
// A "note: what" line on stdout, kept in the outcome.
void report_note(const std::string& what);
// Whether this thread's commands keep their messages, facts and progress to the outcome
// alone (the many-file mode's workers), or also print them.
void report_quietly(bool quietly);
// A progress line on stderr, only when it is a terminal and the work takes a while.
void progress_begin(int total);
void progress_step(int done);
void progress_end();
