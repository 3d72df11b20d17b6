// The converter under signals and against time: an inherited "ignore this signal" is
// kept, a stopped many-file run says what it finished and leaves no worker and no
// temporary file behind, a file that takes too long is stopped, and frames that change
// nothing cost next to nothing.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/export/export_support.h"
#include "tests/export/made_files.h"

namespace {

namespace fs = std::filesystem;

// A 1024 x 1024 picture whose colours change in each of its 400 frames: every frame
// of its GIF is a whole new picture, many seconds of work.
void make_slow_file(const std::string& path) {
  constexpr int SIDE = 1024, FRAMES = 400;
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, SIDE, SIDE, 10);
  std::vector<uint8_t> rgb = made_palette(256);
  const std::vector<uint8_t> pixels = made_pixels(SIDE, SIDE, 0, 256);
  for (int k = 0; k < FRAMES; k++) {
    fw_begin_frame(w);
    for (size_t i = 0; i < rgb.size(); i++) rgb[i] = static_cast<uint8_t>(rgb[i] + 7);
    fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb.data());
    if (k == 0) fw_byte_run(w, pixels.data());
    fw_end_frame(w);
  }
  fw_finish(w);
  ASSERT_TRUE(fw_save(w, path));
}

// The temporary files left in a folder tree.
std::vector<std::string> temporaries(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
    if (entry.path().filename().string().find(".part-") != std::string::npos)
      found.push_back(entry.path().string());
  return found;
}

bool has_temporary(const std::string& folder) { return !temporaries(folder).empty(); }

struct IgnoredCase {
  const char* name;
  std::vector<std::string> args;
  int signal;  // ignored from the start, then sent to the program and its workers again and again
};

// nohup, and a shell's background job, start a program with a signal ignored: the
// converter keeps it so, in its workers too, and finishes its work.
TEST(Signals, AnIgnoredSignalStaysIgnored) {
  const IgnoredCase cases[] = {
      {"nohup and a closed terminal", {data_file("dance-640x480.flc"), "f%04d.png"}, SIGHUP},
      {"a background job and Ctrl+C",
       {data_file("dance-640x480.flc"), data_file("walk-320x200.fli"), "--output-dir", "out", "--as",
        "%04d.png", "--jobs", "2"},
       SIGINT},
  };
  for (const IgnoredCase& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    const Background run = start_export(c.args, scratch, {c.signal});
    const ToolRun done = finish_export(run, scratch, [&] {
      kill(run.pid, c.signal);
      for (const int child : children_of(run.pid)) kill(child, c.signal);
    });
    EXPECT_EQ(done.status, 0) << done.out << done.err;
    EXPECT_TRUE(file_exists(scratch.path(c.args.size() == 2 ? "f0100.png" : "out/dance-640x4800100.png")));
  }
}

// A parent that ignores SIGCHLD hands that on to the programs it starts; the
// converter still hears of each worker and judges every file.
TEST(Signals, AnIgnoredChildSignalLosesNoVerdict) {
  Scratch scratch;
  std::vector<uint8_t> cut = read_bytes(data_file("walk-320x200.fli"));
  cut.resize(5000);
  write_bytes(scratch.path("cut.fli"), cut);
  const Background run = start_export(
      {"--check", data_file("sun-146x140.flc"), "cut.fli", data_file("text-321x74.flc")}, scratch, {SIGCHLD});
  const ToolRun done = finish_export(run, scratch);
  EXPECT_EQ(done.status, 1) << done.out;
  EXPECT_NE(done.out.find("cut.fli: damaged"), std::string::npos) << done.out;
  EXPECT_NE(done.out.find("3 files: 2 ok, 1 damaged"), std::string::npos) << done.out;
}

// Ctrl+C or a kill in the middle of a many-file export: the workers stop, their
// temporary files go, the files finished are listed with the summary, and the exit
// status tells the signal.
TEST(Signals, AStoppedRunSaysWhatItFinished) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    Scratch scratch;
    make_slow_file(scratch.path("slow.flc"));
    fs::copy_file(scratch.path("slow.flc"), scratch.path("slow2.flc"));
    const Background run = start_export({data_file("sun-146x140.flc"), "slow.flc", "slow2.flc",
                                         "--output-dir", "out", "--as", ".gif", "--jobs", "1"},
                                        scratch);
    ASSERT_TRUE(wait_until(20, [&] {
      return file_exists(scratch.path("out/sun-146x140.gif")) && has_temporary(scratch.path("out"));
    }));
    const std::vector<int> workers = children_of(run.pid);
    kill(run.pid, signal);
    const ToolRun done = finish_export(run, scratch);
    EXPECT_EQ(done.status, 128 + signal);
    EXPECT_NE(done.out.find("sun-146x140.flc: ok"), std::string::npos) << done.out;
    EXPECT_NE(done.out.find("slow.flc: failed: stopped by SIG"), std::string::npos) << done.out;
    EXPECT_NE(done.out.find("3 files: 1 ok, 0 damaged, 0 unreadable, 0 skipped, 1 failed, 1 not judged"),
              std::string::npos)
        << done.out;
    EXPECT_EQ(temporaries(scratch.path("out")), std::vector<std::string>{});
    for (const int worker : workers) EXPECT_NE(kill(worker, 0), 0) << "worker " << worker << " still runs";
    EXPECT_FALSE(file_exists(scratch.path("out/slow.gif")));
  }
}

// A worker killed outright cannot clean up after itself: its parent removes what it
// was writing.
TEST(Signals, AKilledWorkersTemporaryFileIsRemoved) {
  Scratch scratch;
  make_slow_file(scratch.path("slow.flc"));
  const Background run = start_export({"slow.flc", "--output-dir", "out", "--as", ".gif"}, scratch);
  ASSERT_TRUE(wait_until(20, [&] { return has_temporary(scratch.path("out")); }));
  for (const int worker : children_of(run.pid)) kill(worker, SIGKILL);
  const ToolRun done = finish_export(run, scratch);
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.out.find("slow.flc: failed"), std::string::npos) << done.out;
  EXPECT_EQ(temporaries(scratch.path("out")), std::vector<std::string>{});
}

TEST(Limits, AFileThatTakesTooLongIsStopped) {
  Scratch scratch;
  make_slow_file(scratch.path("slow.flc"));
  const auto start = std::chrono::steady_clock::now();
  const ToolRun run = run_export(
      {"--timeout", "1", data_file("sun-146x140.flc"), "slow.flc", "--output-dir", "out", "--as", ".gif"},
      scratch);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("slow.flc: failed: took too long (more than 1 s)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("sun-146x140.flc: ok"), std::string::npos) << run.out;
  EXPECT_LT(seconds, 8);
  EXPECT_EQ(temporaries(scratch.path("out")), std::vector<std::string>{});
  EXPECT_FALSE(file_exists(scratch.path("out/slow.gif")));
}

struct StillCase {
  const char* output;
  int frames;
  const char* last;  // the last file written
};

// A huge picture whose frames change nothing after the first: each of them costs next
// to nothing, whatever the output.
TEST(Limits, FramesThatChangeNothingCostNextToNothing) {
  const StillCase cases[] = {{"still.gif", 2000, "still.gif"}, {"s%04d.png", 300, "s0300.png"}};
  for (const StillCase& c : cases) {
    SCOPED_TRACE(c.output);
    Scratch scratch;
    FlicWriter w;
    fw_begin(w, FLIC_MAGIC_FLC, 4096, 4096, 10);
    fw_begin_frame(w);
    fw_black(w);
    fw_end_frame(w);
    for (int k = 1; k < c.frames; k++) {
      fw_begin_frame(w);
      fw_end_frame(w);
    }
    fw_finish(w);
    ASSERT_TRUE(fw_save(w, scratch.path("still.flc")));
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run = run_export({"still.flc", c.output}, scratch);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_LT(seconds, 6);
    if (std::string(c.output).ends_with(".png")) {
      EXPECT_EQ(read_bytes(scratch.path(c.last)), read_bytes(scratch.path("s0001.png")));
    } else {
      int code = 0;
      GifFileType* gif = DGifOpenFileName(scratch.path(c.last).c_str(), &code);
      ASSERT_NE(gif, nullptr);
      EXPECT_EQ(DGifSlurp(gif), GIF_OK);
      EXPECT_EQ(gif->ImageCount, c.frames);
      DGifCloseFile(gif, &code);
    }
  }
}

}  // namespace
