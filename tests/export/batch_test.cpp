// Many files at once: every file of a folder tree once, with the verdict, facts and
// outputs that a run on that file alone gives; others skipped; exit 1 on damage.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/export/export_support.h"

namespace {

namespace fs = std::filesystem;

// A field of one JSON line as written: a string's text, or a number as it stands.
std::string field(const std::string& line, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  size_t at = line.find(tag);
  if (at == std::string::npos) return "";
  at += tag.size();
  if (line[at] == '"') {
    const size_t end = line.find('"', at + 1);
    return line.substr(at + 1, end - at - 1);
  }
  const size_t end = line.find_first_of(",}", at);
  return line.substr(at, end - at);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A tree of samples: good files two folders deep, a FLIC cut short, a text file and an
// empty file; the scratch folder's own files stay outside it.
std::map<std::string, std::string> make_tree(const Scratch& scratch) {
  const std::map<std::string, std::string> files = {{"tree/a/walk.fli", "walk-320x200.fli"},
                                                    {"tree/a/b/sun.flc", "sun-146x140.flc"},
                                                    {"tree/a/b/card.pcx", "testcard-160x120-8bit.pcx"},
                                                    {"tree/c/text.flc", "text-321x74.flc"},
                                                    {"tree/c/cut.fli", ""},
                                                    {"tree/notes.txt", ""},
                                                    {"tree/c/empty.flc", ""}};
  for (const auto& [name, sample] : files) {
    fs::create_directories(fs::path(scratch.path(name)).parent_path());
    std::vector<uint8_t> bytes;
    if (!sample.empty()) bytes = read_bytes(data_file(sample));
    if (name == "tree/c/cut.fli") bytes = read_bytes(data_file("walk-320x200.fli")), bytes.resize(5000);
    if (name == "tree/notes.txt") bytes = {'h', 'i', '\n'};
    write_bytes(scratch.path(name), bytes);
  }
  return files;
}

TEST(ManyFiles, CheckGivesEachFileTheVerdictOfItsOwnRun) {
  Scratch scratch;
  const auto files = make_tree(scratch);
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    const ToolRun run = run_export({"--check", "--json", "--jobs", jobs, "tree"}, scratch);
    EXPECT_EQ(run.status, 1) << "a damaged file makes the run fail";
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), files.size() + 1) << run.out;
    std::map<std::string, int> counts;
    for (size_t k = 0; k + 1 < lines.size(); k++) {
      const std::string path = field(lines[k], "path"), verdict = field(lines[k], "verdict");
      ASSERT_EQ(files.count(path), 1u) << lines[k];
      counts[verdict]++;
      const ToolRun alone = run_export({"--check", path}, scratch);
      if (verdict == "skipped") {
        EXPECT_EQ(alone.status, 1) << path;
        EXPECT_NE(alone.err.find(field(lines[k], "reason")), std::string::npos) << path;
        continue;
      }
      EXPECT_EQ(alone.status, verdict == "ok" ? 0 : 1) << path << ": " << verdict;
      EXPECT_NE(alone.out.find("frames: " + field(lines[k], "frames") + "\n"), std::string::npos) << path;
    }
    EXPECT_EQ(counts["skipped"], 2) << "the text file and the empty file";
    EXPECT_EQ(counts["damaged"], 1);
    const std::string& summary = lines.back();
    EXPECT_EQ(field(summary, "files"), std::to_string(files.size()));
    for (const char* verdict : {"ok", "damaged", "skipped"})
      EXPECT_EQ(field(summary, verdict), std::to_string(counts[verdict])) << verdict;
  }
}

TEST(ManyFiles, InfoLinesHoldTheFactsOfEachFile) {
  Scratch scratch;
  make_tree(scratch);
  const ToolRun run = run_export({"--info", "tree/a", "tree/c/text.flc"}, scratch);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const auto lines = lines_of(run.out);
  ASSERT_EQ(lines.size(), 5u) << run.out;  // walk, card, sun, text and the summary
  for (size_t k = 0; k + 1 < lines.size(); k++) {
    const std::string path = lines[k].substr(0, lines[k].find(": "));
    const ToolRun alone = run_export({"--info", path}, scratch);
    for (const std::string& fact : lines_of(alone.out)) {
      const std::string key = fact.substr(0, fact.find(": ")), value = fact.substr(fact.find(": ") + 2);
      const bool quote = value.find(' ') != std::string::npos;
      EXPECT_NE(lines[k].find(" " + key + "=" + (quote ? "\"" + value + "\"" : value)), std::string::npos)
          << lines[k] << " lacks " << fact;
    }
  }
}

TEST(ManyFiles, ExportWritesWhatOneRunAFileWritesAndNeverAnInput) {
  Scratch scratch;
  make_tree(scratch);
  // A PCX picture named like the output its own export would write.
  write_bytes(scratch.path("tree/pic.png"), read_bytes(data_file("tiny-3x3-4plane.pcx")));
  const ToolRun over = run_export({"tree/pic.png", "tree/a/walk.fli", "--output-dir", "tree"}, scratch);
  EXPECT_EQ(over.status, 1);
  EXPECT_EQ(read_bytes(scratch.path("tree/pic.png")), read_bytes(data_file("tiny-3x3-4plane.pcx")));
  EXPECT_NE(over.out.find("tree/pic.png: failed"), std::string::npos) << over.out;
  EXPECT_NE(over.out.find("tree/a/walk.fli: ok"), std::string::npos) << over.out;
  const ToolRun run =
      run_export({"--palette=file", "tree/a", "--output-dir", "tree", "--as", ".gif"}, scratch);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  for (const char* name : {"walk", "b/sun", "b/card"}) {
    SCOPED_TRACE(name);
    const std::string input = std::string("tree/a/") + name +
                              (name[0] == 'w'   ? ".fli"
                               : name[2] == 's' ? ".flc"
                                                : ".pcx");
    ASSERT_EQ(run_export({"--palette=file", input, "alone.gif"}, scratch).status, 0);
    EXPECT_EQ(read_bytes(scratch.path(std::string("tree/") + name + ".gif")),
              read_bytes(scratch.path("alone.gif")));
  }
  const ToolRun frames = run_export({"tree/a/walk.fli", "--output-dir", "out", "--as", "%03d.png"}, scratch);
  EXPECT_EQ(frames.status, 0) << frames.err;
  ASSERT_EQ(run_export({"tree/a/walk.fli", "w%03d.png"}, scratch).status, 0);
  for (int n : {1, 19}) {
    char ours[32], alone[32];
    std::snprintf(ours, sizeof ours, "out/walk%03d.png", n);
    std::snprintf(alone, sizeof alone, "w%03d.png", n);
    EXPECT_EQ(read_bytes(scratch.path(ours)), read_bytes(scratch.path(alone))) << n;
  }
}

TEST(ManyFiles, AMissingFileIsUnreadable) {
  Scratch scratch;
  const ToolRun run = run_export({"--check", "missing.flc", data_file("sun-146x140.flc")}, scratch);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("missing.flc: unreadable"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("sun-146x140.flc: ok"), std::string::npos) << run.out;
}

}  // namespace
