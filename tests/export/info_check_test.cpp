// --info and --check: the facts of a file, and what counts as damage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tests/export/made_files.h"
#include "tools/writers/pcx_writer.h"

namespace {

constexpr int W = 32;
constexpr int H = 24;

std::string save(const Scratch& scratch, const FlicWriter& w, const std::string& name) {
  std::string path = scratch.path(name);
  EXPECT_TRUE(fw_save(w, path));
  return path;
}

TEST(Info, CountsEveryChunkTypeOfAMadeFile) {
  Scratch scratch;
  // A prefix record, then a postage stamp (which the decoder skips) before the colours.
  FlicWriter with_stamp;
  fw_begin(with_stamp, FLIC_MAGIC_FLC, W, H, 70);
  fw_begin_prefix(with_stamp);
  fw_end_frame(with_stamp);
  std::vector<uint8_t> p = made_pixels(W, H, 0, 40);
  fw_begin_frame(with_stamp);
  fw_chunk(with_stamp, FLIC_CHUNK_STAMP, {1, 2, 3, 4});
  fw_palette(with_stamp, FLIC_CHUNK_COLOUR_256, made_palette(40).data());
  fw_byte_run(with_stamp, p.data());
  fw_end_frame(with_stamp);
  fw_begin_frame(with_stamp);
  fw_black(with_stamp);
  fw_end_frame(with_stamp);
  fw_begin_frame(with_stamp);
  fw_uncompressed(with_stamp, p.data());
  fw_end_frame(with_stamp);
  fw_finish(with_stamp, 2);

  ToolRun run = run_export({"--info", save(scratch, with_stamp, "stamp.flc")}, scratch);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::pair<std::string, std::string>> expected = {
      {"format", "FLC"},       {"width", "32"},
      {"height", "24"},        {"header_frames", "2"},
      {"speed", "70"},         {"delay_ms", "70"},
      {"delay_ticks", "1"},    {"file_size", std::to_string(with_stamp.bytes.size())},
      {"prefix_records", "1"}, {"chunks_type_4", "1"},
      {"chunks_type_13", "1"}, {"chunks_type_15", "1"},
      {"chunks_type_16", "1"}, {"chunks_type_18", "1"},
      {"frames", "2"},         {"ring frame", "present"},
      {"records", "3"},        {"damage", "none"}};
  EXPECT_EQ(key_values(run.out), expected);
}

struct DelayCase {
  uint16_t magic;
  uint32_t speed;
  const char* format;
  const char* ms;
  const char* ticks;
};

void PrintTo(const DelayCase& c, std::ostream* os) { *os << c.format << " speed " << c.speed; }

class FrameDelay : public ::testing::TestWithParam<DelayCase> {};

TEST_P(FrameDelay, InMillisecondsAndViewerTicks) {
  Scratch scratch;
  const DelayCase& c = GetParam();
  ToolRun run =
      run_export({"--info", save(scratch, made_animation(c.magic, W, H, 1, c.speed, 8), "d.fli")}, scratch);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value_of(run.out, "format"), c.format);
  EXPECT_EQ(value_of(run.out, "speed"), std::to_string(c.speed));
  EXPECT_EQ(value_of(run.out, "delay_ms"), c.ms);
  EXPECT_EQ(value_of(run.out, "delay_ticks"), c.ticks);
}

INSTANTIATE_TEST_SUITE_P(Info, FrameDelay,
                         ::testing::Values(DelayCase{FLIC_MAGIC_FLI, 5, "FLI", "71.429", "1"},
                                           DelayCase{FLIC_MAGIC_FLI, 70, "FLI", "1000", "18"},
                                           DelayCase{FLIC_MAGIC_FLI, 3, "FLI", "42.857", "0"},
                                           DelayCase{FLIC_MAGIC_FLC, 54, "FLC", "54", "0"},
                                           DelayCase{FLIC_MAGIC_FLC, 110, "FLC", "110", "2"},
                                           // No speed: the format's usual 5/70 s.
                                           DelayCase{FLIC_MAGIC_FLI, 0, "FLI", "71.429", "1"},
                                           DelayCase{FLIC_MAGIC_FLC, 0, "FLC", "71.429", "1"}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.format) + "_" +
                                  std::to_string(param_info.param.speed);
                         });

TEST(Info, DescribesTheSampleAnimations) {
  Scratch scratch;
  struct Expect {
    const char* file;
    const char* format;
    const char* size[2];
    const char* frames;
    const char* speed;
    const char* chunk_key;  // a chunk type the sample is known to hold
  };
  for (const Expect& e : {Expect{"walk-320x200.fli", "FLI", {"320", "200"}, "19", "5", "chunks_type_12"},
                          Expect{"sun-146x140.flc", "FLC", {"146", "140"}, "10", "5", "chunks_type_7"},
                          Expect{"text-321x74.flc", "FLC", {"321", "74"}, "1", "71", "chunks_type_18"},
                          Expect{"cycle-320x200.fli", "FLI", {"320", "200"}, "90", "3", "chunks_type_11"}}) {
    ToolRun run = run_export({"--info", data_file(e.file)}, scratch);
    ASSERT_EQ(run.status, 0) << e.file << run.err;
    EXPECT_EQ(value_of(run.out, "format"), e.format) << e.file;
    EXPECT_EQ(value_of(run.out, "width"), e.size[0]) << e.file;
    EXPECT_EQ(value_of(run.out, "height"), e.size[1]) << e.file;
    EXPECT_EQ(value_of(run.out, "frames"), e.frames) << e.file;
    EXPECT_EQ(value_of(run.out, "speed"), e.speed) << e.file;
    EXPECT_EQ(value_of(run.out, "records"), std::to_string(std::atoi(e.frames) + 1)) << e.file;
    EXPECT_NE(value_of(run.out, e.chunk_key), "(absent)") << e.file;
    EXPECT_EQ(value_of(run.out, "damage"), "none") << e.file;
  }
}

TEST(Info, DescribesPcxPictures) {
  Scratch scratch;
  struct Expect {
    const char* file;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  for (const Expect& e :
       {Expect{"testcard-160x120-8bit.pcx",
               {{"format", "PCX"},
                {"width", "160"},
                {"height", "120"},
                {"version", "5"},
                {"bits_per_pixel", "8"},
                {"planes", "1"},
                {"palette_block", "yes"},
                {"damage", "none"}}},
        Expect{
            "testcard-160x120-1bit.pcx",
            {{"version", "2"}, {"bits_per_pixel", "1"}, {"bytes_per_line", "20"}, {"palette_block", "no"}}},
        Expect{"marbles-141x99-8bit.pcx",
               {{"width", "141"},
                {"height", "99"},
                {"bytes_per_line", "142"},
                {"min_x", "0"},
                {"max_x", "140"}}},
        Expect{"tiny-3x3-4plane.pcx", {{"width", "3"}, {"planes", "4"}, {"version", "3"}}}}) {
    ToolRun run = run_export({"--info", data_file(e.file)}, scratch);
    ASSERT_EQ(run.status, 0) << e.file << run.err;
    for (const auto& [key, value] : e.keys) EXPECT_EQ(value_of(run.out, key), value) << e.file << " " << key;
  }
}

// --check, --info and the export: one verdict and one frame count ----------------------

struct VerdictCase {
  const char* name;
  std::function<std::vector<uint8_t>()> make;
  int status;
  const char* said;  // part of the damage line (status 1) or of a note (status 0); may be empty
  int frames;        // animation frames decoded, -1 when not fixed
  bool first_frame_damaged = false;  // a picture of frame 1 alone is damaged too
};

std::vector<uint8_t> sample(const char* name) { return read_bytes(data_file(name)); }

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> made(int frames) { return made_animation(FLIC_MAGIC_FLC, W, H, frames, 70, 40).bytes; }

std::vector<uint8_t> without_ring_frame() {
  FlicWriter w = made_animation(FLIC_MAGIC_FLC, W, H, 3, 70, 40);
  fw_finish(w, 4);  // the header now counts the ring frame as a frame
  return w.bytes;
}

std::vector<uint8_t> fewer_frames_than_the_header_gives() {
  FlicWriter w = made_animation(FLIC_MAGIC_FLC, W, H, 3, 70, 40);
  fw_finish(w, 6);
  return w.bytes;
}

std::vector<uint8_t> last_record_one_byte_past_the_end() {
  FlicWriter w = made_animation(FLIC_MAGIC_FLC, W, H, 3, 70, 40);
  const size_t at = w.record_start;  // the ring frame's record
  w.bytes[at] = static_cast<uint8_t>(w.bytes[at] + 1);
  return w.bytes;
}

std::vector<uint8_t> chunk_past_its_frame() {
  FlicWriter w = made_animation(FLIC_MAGIC_FLC, W, H, 2, 70, 40);
  fw_begin_frame(w);
  fw_chunk_sized(w, 5000, FLIC_CHUNK_STAMP, {0, 0, 0, 0});
  fw_end_frame(w);
  fw_finish(w, 2);
  return w.bytes;
}

std::vector<uint8_t> record_smaller_than_its_header() {
  FlicWriter w = made_animation(FLIC_MAGIC_FLC, W, H, 2, 70, 40);
  std::vector<uint8_t> record;
  fw_put32(record, 8);
  fw_put16(record, FLIC_FRAME_TYPE);
  fw_put16(record, 0);
  fw_raw(w, record);
  fw_finish(w, 2);
  return w.bytes;
}

// A colour chunk and a run-length chunk whose data is rows, then a black ring frame.
std::vector<uint8_t> one_run_length_frame(const std::vector<uint8_t>& rows) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, W, H, 70);
  fw_begin_frame(w);
  fw_palette(w, FLIC_CHUNK_COLOUR_256, made_palette(40).data());
  fw_chunk(w, FLIC_CHUNK_BYTE_RUN, rows);
  fw_end_frame(w);
  fw_begin_frame(w);
  fw_black(w);
  fw_end_frame(w);
  fw_finish(w, 1);
  return w.bytes;
}

// Each row one run of W + 3 pixels: packets that cover more than the line.
std::vector<uint8_t> rows_that_overrun_their_width() {
  std::vector<uint8_t> rows;
  for (int y = 0; y < H; y++) rows.insert(rows.end(), {1, W + 3, 7});
  return one_run_length_frame(rows);
}

// Two rows' worth of packets for a 24-row frame: the decoder needs more than the
// chunk and its record hold.
std::vector<uint8_t> run_length_data_past_its_chunk() { return one_run_length_frame({1, W, 7, 1, W, 8}); }

void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

class Verdict : public ::testing::TestWithParam<VerdictCase> {};

// --check, --info and an export of every frame exit alike, give the same frame count
// (the export as its number of files) and say the same damage or notes.
TEST_P(Verdict, IsTheSameInEveryMode) {
  const VerdictCase& c = GetParam();
  Scratch scratch;
  std::string input = scratch.path("input.flc");
  write_bytes(input, c.make());
  ToolRun check = run_export({"--check", input}, scratch);
  ToolRun info = run_export({"--info", input}, scratch);
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"input.flc"});
  ToolRun exported = run_export({input, "f%03d.png"}, scratch);
  const std::string frames = value_of(check.out, "frames");
  if (c.frames >= 0) {
    EXPECT_EQ(frames, std::to_string(c.frames));
  }
  EXPECT_EQ(value_of(info.out, "frames"), frames);
  const int files = static_cast<int>(scratch.files().size()) - 1;
  if (std::atoi(frames.c_str()) > 0 || c.status == 0) {
    EXPECT_EQ(std::to_string(files), frames);
  }
  std::string seconds = value_of(check.out, "decode_seconds");
  char* end = nullptr;
  double time = std::strtod(seconds.c_str(), &end);
  EXPECT_TRUE(end && *end == '\0' && time >= 0 && time < 60) << seconds;
  for (const ToolRun* run : {&check, &info, &exported}) {
    EXPECT_EQ(run->status, c.status) << run->err;
    if (c.status == 0) {
      EXPECT_EQ(run->err.find("damaged"), std::string::npos) << run->err;
    } else {
      EXPECT_NE(run->err.find(input + ": damaged: "), std::string::npos) << run->err;
      EXPECT_NE(run->err.find(c.said), std::string::npos) << run->err;
    }
  }
  if (c.status == 0) {
    EXPECT_EQ(value_of(info.out, "damage"), "none");
    EXPECT_NE(check.out.find(c.said), std::string::npos) << check.out;
    EXPECT_NE(info.out.find(c.said), std::string::npos) << info.out;
  }
  // A picture of the first frame alone, and a thumbnail, are judged by that frame; a
  // thumbnail is of a sound first frame or none.
  for (const std::vector<std::string>& args : {std::vector<std::string>{input, "one.png"},
                                               std::vector<std::string>{"--size", "8", input, "thumb.png"}}) {
    ToolRun one = run_export(args, scratch);
    EXPECT_EQ(one.status, c.first_frame_damaged ? 1 : 0) << args[0] << " " << one.err;
  }
  EXPECT_EQ(file_exists(scratch.path("thumb.png")), !c.first_frame_damaged && std::atoi(frames.c_str()) > 0);
  EXPECT_EQ(value_of(info.out, "ring frame"), value_of(check.out, "ring frame"));
  EXPECT_EQ(value_of(info.out, "records"), value_of(check.out, "records"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, Verdict,
    ::testing::Values(
        VerdictCase{"MadeFile", [] { return made(3); }, 0, "", 3},
        VerdictCase{"Walk", [] { return sample("walk-320x200.fli"); }, 0, "", 19},
        VerdictCase{"Sun", [] { return sample("sun-146x140.flc"); }, 0, "", 10},
        VerdictCase{"Text", [] { return sample("text-321x74.flc"); }, 0, "", 1},
        // Its uncompressed chunk holds 194 of the 196 bytes of a 14 x 14 frame; the
        // other two are in its record.
        VerdictCase{"BulletWithAShortChunk", [] { return sample("bullet-14x14.flc"); }, 0,
                    "note: frame 1: chunk 3 (type 16) is 2 bytes short of its data", 1},
        VerdictCase{"Dance", [] { return sample("dance-640x480.flc"); }, 0, "", 100},
        VerdictCase{"Cycle", [] { return sample("cycle-320x200.fli"); }, 0, "", 90},
        VerdictCase{"EmptyAnimation", [] { return sample("empty-0x0.flc"); }, 0, "", 0},
        VerdictCase{"LastRecordOneBytePastTheEnd", last_record_one_byte_past_the_end, 0,
                    "note: frame 4: its record's size runs 1 byte past the end of the file", 3},
        VerdictCase{"NoRingFrame", without_ring_frame, 0, "note: no ring frame", 4},
        VerdictCase{"NoSpeed", [] { return made_animation(FLIC_MAGIC_FLI, W, H, 2, 0, 40).bytes; }, 0,
                    "note: the header gives no speed; played at 5/70 s a frame", 2},
        VerdictCase{"FewerFramesThanTheHeaderGives", fewer_frames_than_the_header_gives, 1,
                    "holds 4 frames; its header gives 6", 4},
        VerdictCase{"RowsThatOverrunTheirWidth", rows_that_overrun_their_width, 1,
                    "frame 1: a run-length row's packets run 3 pixels past the frame's width", 1, true},
        VerdictCase{"SunCutInAFrame", [] { return cut(sample("sun-146x140.flc"), 30000); }, 1,
                    "the file ends inside its record", -1},
        VerdictCase{"SunCutInARecordHeader",
                    [] {
                      std::vector<uint8_t> b = sample("sun-146x140.flc");
                      return cut(b, b.size() - 1);
                    },
                    1, "frame 11: the file ends inside its record", 10},
        VerdictCase{"ChunkPastItsFrame", chunk_past_its_frame, 1,
                    "frame 4: chunk 1 (type 18) runs past the end of its record", 2},
        VerdictCase{"RecordSmallerThanItsHeader", record_smaller_than_its_header, 1,
                    "frame 4: its record's size is less than its 16-byte header", 2},
        VerdictCase{"DecoderReadsPastAChunk", run_length_data_past_its_chunk, 1,
                    "frame 1: chunk 2 (type 15) needs more data than its size and its record hold", 0, true},
        VerdictCase{"OnlyTheHeader", [] { return cut(made(3), 128); }, 1,
                    "holds 0 frames; its header gives 3", 0, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Check, PcxPictures) {
  Scratch scratch;
  std::string whole = data_file("testcard-160x120-8bit.pcx");
  ToolRun good = run_export({"--check", whole}, scratch);
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(value_of(good.out, "frames"), "1");

  std::vector<uint8_t> bytes = read_bytes(data_file("testcard-160x120-1bit.pcx"));
  std::string cut_file = scratch.path("cut.pcx");
  write_bytes(cut_file, cut(bytes, 128 + (bytes.size() - 128) / 2));
  ToolRun bad = run_export({"--check", cut_file}, scratch);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("damaged: the image data ends after"), std::string::npos) << bad.err;
}

// A picture of 40 x 30 pixels of 8 bits in `planes` planes; with literal_12 its data is
// the byte 12 throughout, unencoded, so that the byte 769 from any end in it reads as a
// block's marker.
std::vector<uint8_t> made_pcx(uint8_t version, int planes, bool literal_12, bool block) {
  PcxWriterHeader h = pcx_writer_header(40, 30, 8, planes);
  h.version = version;
  std::vector<uint8_t> file, indices(40 * 30), colours(768);
  for (size_t i = 0; i < indices.size(); i++) indices[i] = uint8_t(i * 7 + i / 40);
  for (size_t i = 0; i < colours.size(); i++) colours[i] = uint8_t(i * 5);
  pcx_writer_put_header(file, h);
  if (literal_12)
    pcx_writer_put_raw(file, std::vector<uint8_t>(size_t{30} * h.planes * h.bytes_per_line, 12));
  else
    pcx_writer_put_image(file, h, indices.data());
  if (block) pcx_writer_put_palette_block(file, colours.data());
  return file;
}

std::vector<uint8_t> cut_by(std::vector<uint8_t> bytes, size_t count) {
  return cut(bytes, bytes.size() - count);
}

// A version-5 picture of one 8-bit plane takes its colours from the 769-byte block
// after its image data: without it whole, the colours are lost, and every mode says the
// picture is damaged (an export still writes it). Other pictures need no block.
TEST(Check, AColourBlockCutShortOrMissingIsDamage) {
  const std::vector<uint8_t> whole = made_pcx(5, 1, false, true);
  std::vector<uint8_t> junk_after = made_pcx(5, 1, false, false);
  junk_after.resize(junk_after.size() + 800, 0);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* damage;  // part of the reason; empty for a sound picture
  } cases[] = {
      {"whole", whole, ""},
      {"cut by one byte", cut_by(whole, 1), "the 256-colour block is cut short"},
      {"cut by 400 bytes", cut_by(whole, 400), "the 256-colour block is cut short"},
      {"only the marker left", cut_by(whole, 768), "the 256-colour block is cut short"},
      {"written without a block", made_pcx(5, 1, false, false), "the 256-colour block is missing"},
      {"bytes after the data but no block", junk_after, "the 256-colour block is missing"},
      {"cut where a data byte reads as the marker", cut_by(made_pcx(5, 1, true, true), 100),
       "the 256-colour block is cut short"},
      {"version 4 needs no block", made_pcx(4, 1, false, false), ""},
      {"true colour whose data reads as a marker", made_pcx(5, 3, true, false), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    const std::string input = scratch.path("in.pcx");
    write_bytes(input, c.bytes);
    const bool damaged = *c.damage != '\0';
    const ToolRun check = run_export({"--check", input}, scratch);
    EXPECT_EQ(check.status, damaged ? 1 : 0) << check.err;
    EXPECT_NE(check.err.find(damaged ? c.damage : ""), std::string::npos) << check.err;
    const ToolRun info = run_export({"--info", input}, scratch);
    EXPECT_EQ(info.status, damaged ? 1 : 0);
    EXPECT_EQ(value_of(info.out, "damage").find(damaged ? c.damage : "none"), 0u) << info.out;
    const ToolRun out = run_export({input, "out.png"}, scratch);
    EXPECT_EQ(out.status, damaged ? 1 : 0) << out.err;
    EXPECT_EQ(out.err.find(std::string("damaged: ") + c.damage) != std::string::npos, damaged) << out.err;
    EXPECT_TRUE(file_exists(scratch.path("out.png")));
  }
}

TEST(Export, AFileWithFewerFramesExportsWhatDecodesAndSaysSo) {
  Scratch scratch;
  std::string input = scratch.path("cut.flc");
  write_bytes(input, cut(sample("sun-146x140.flc"), 30000));
  ToolRun check = run_export({"--check", input}, scratch);
  int decodable = std::atoi(value_of(check.out, "frames").c_str());
  ASSERT_GT(decodable, 0);
  ASSERT_LT(decodable, 10);
  ToolRun run = run_export({input, "f%02d.png"}, scratch);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find(input + ": damaged: frame " + std::to_string(decodable + 1)), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("wrote frames 1 to " + std::to_string(decodable)), std::string::npos) << run.err;
  EXPECT_EQ(scratch.files().size(), static_cast<size_t>(decodable) + 1);
}

}  // namespace
