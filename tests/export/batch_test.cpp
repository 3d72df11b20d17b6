// Many files at once: every file of a folder tree once, with the verdict, facts and
// outputs that a run on that file alone gives; others skipped; exit 1 on damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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
                                                    {"tree/c/bullet.flc", "bullet-14x14.flc"},
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
      for (const std::string& said : lines_of(alone.out))
        if (said.rfind("note: ", 0) == 0) {
          EXPECT_NE(lines[k].find("\"" + said.substr(6) + "\""), std::string::npos) << said;
        }
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
      std::string key = fact.substr(0, fact.find(": ")), value = fact.substr(fact.find(": ") + 2);
      std::replace(key.begin(), key.end(), ' ', '_');  // one word a key
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

// A FLIC whose header gives `frames` frames and that holds its first two.
std::vector<uint8_t> flic_claiming(uint16_t frames) {
  std::vector<uint8_t> bytes = read_bytes(data_file("sun-146x140.flc"));
  bytes[6] = static_cast<uint8_t>(frames & 0xFF);
  bytes[7] = static_cast<uint8_t>(frames >> 8);
  return bytes;
}

struct ClashCase {
  const char* name;
  std::map<std::string, std::vector<uint8_t>> files;
  std::vector<std::string> args;
  std::string refused;               // the input that gets no output
  std::vector<std::string> written;  // outputs of the other inputs, with the width they must have
  int width;
};

// Every name an input would write is checked, before anything is written, against the
// names of every other input and against every file the run walked: a clash refuses
// the later input, and nothing is replaced.
TEST(ManyFiles, NoOutputReplacesAnotherOrAFileTheRunWalked) {
  const std::vector<uint8_t> walk = read_bytes(data_file("walk-320x200.fli"));
  const std::vector<uint8_t> sun = read_bytes(data_file("sun-146x140.flc"));
  const std::vector<uint8_t> text = {'k', 'e', 'e', 'p', '\n'};
  const ClashCase cases[] = {
      {"frames 11 to 19 of x are frames 1 to 9 of x1",
       {{"in/x.flc", walk}, {"in/x1.flc", sun}},
       {"in/x.flc", "in/x1.flc", "--output-dir", "out", "--as", "%d.png"},
       "in/x1.flc",
       {"out/x11.png", "out/x19.png", "out/x1.png"},
       320},
      {"frame 10001 of x is frame 1 of x1",
       {{"in/x.flc", flic_claiming(10005)}, {"in/x1.flc", sun}},
       {"in/x.flc", "in/x1.flc", "--output-dir", "out", "--as", "%04d.png"},
       "in/x1.flc",
       {"out/x0001.png"},
       146},
      {"frame 2 would replace a file beside the input",
       {{"in/x.flc", walk}, {"in/x2.png", text}},
       {"in", "--output-dir", "in", "--as", "%d.png"},
       "in/x.flc",
       {},
       0},
  };
  for (const ClashCase& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    for (const auto& [name, bytes] : c.files) {
      fs::create_directories(fs::path(scratch.path(name)).parent_path());
      write_bytes(scratch.path(name), bytes);
    }
    const ToolRun run = run_export(c.args, scratch);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(c.refused + ": failed: its output "), std::string::npos) << run.out;
    for (const auto& [name, bytes] : c.files)
      EXPECT_EQ(read_bytes(scratch.path(name)), bytes) << name << " was replaced";
    for (const std::string& name : c.written) {
      PngImage png;
      EXPECT_TRUE(read_png(scratch.path(name), png)) << name;
      EXPECT_EQ(png.width, c.width) << name;
    }
    if (c.refused == "in/x.flc") {
      EXPECT_FALSE(file_exists(scratch.path("in/x1.png")));
    }
  }
}

// An output folder inside the tree it exports is left out of the walk, so the same
// command runs again; a dot in a folder's name is not an extension.
TEST(ManyFiles, ExportsIntoItsOwnTreeAgainAndAgain) {
  Scratch scratch;
  for (const char* name : {"tree/arch.v2/anims/intro.flc", "tree/arch.v2/anims/outro.flc"}) {
    fs::create_directories(fs::path(scratch.path(name)).parent_path());
    fs::copy_file(data_file("sun-146x140.flc"), scratch.path(name));
  }
  for (int round = 1; round <= 2; round++) {
    SCOPED_TRACE(round);
    const ToolRun run = run_export({"tree", "--output-dir", "tree/png"}, scratch);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("tree/arch.v2/anims/intro.flc: ok"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("tree/arch.v2/anims/outro.flc: ok"), std::string::npos) << run.out;
    EXPECT_TRUE(file_exists(scratch.path("tree/png/arch.v2/anims/intro.png")));
    EXPECT_TRUE(file_exists(scratch.path("tree/png/arch.v2/anims/outro.png")));
  }
}

struct AgreeCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* verdict;  // in a many-file run; "damaged" alone too, "skipped" is refused alone
};

// A file gets the same verdict in a many-file run as alone.
TEST(ManyFiles, AFileHasOneVerdictAloneAndAmongOthers) {
  std::vector<uint8_t> flic_head(100, 0);
  flic_head[4] = 0x12;
  flic_head[5] = 0xAF;
  std::vector<uint8_t> pcx_head = read_bytes(data_file("testcard-160x120-8bit.pcx"));
  pcx_head.resize(60);
  std::vector<uint8_t> three_bits = read_bytes(data_file("testcard-160x120-8bit.pcx"));
  three_bits[3] = 3;
  const AgreeCase cases[] = {{"a FLIC header cut short", flic_head, "damaged"},
                             {"a PCX header cut short", pcx_head, "damaged"},
                             {"a text beginning with a line end", {'\n', 'h', 'i', '\n'}, "skipped"},
                             {"a PCX header of 3-bit pixels", three_bits, "skipped"}};
  for (const AgreeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch scratch;
    write_bytes(scratch.path("f.bin"), c.bytes);
    const ToolRun many = run_export({"--check", "--json", "f.bin"}, scratch);
    const ToolRun alone = run_export({"--check", "f.bin"}, scratch);
    EXPECT_EQ(field(lines_of(many.out).front(), "verdict"), c.verdict) << many.out;
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(many.status, std::string(c.verdict) == "damaged" ? 1 : 0);
    EXPECT_EQ(alone.err.find(": damaged: ") != std::string::npos, std::string(c.verdict) == "damaged")
        << alone.err;
  }
}

TEST(ManyFiles, SizeMakesEveryOutputAThumbnail) {
  for (const char* as : {".png", ".gif", "%02d.png"}) {
    SCOPED_TRACE(as);
    Scratch scratch;
    const ToolRun run = run_export({"--size", "32", data_file("walk-320x200.fli"),
                                    data_file("marbles-141x99-8bit.pcx"), "--output-dir", "out", "--as", as},
                                   scratch);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (const char* name : {"walk-320x200", "marbles-141x99-8bit"}) {
      const std::string path = scratch.path("out/" + std::string(name) + (as[0] == '%' ? "01.png" : as));
      int width = 0;
      if (as[1] == 'g') {
        GifAnimation gif;
        ASSERT_TRUE(read_gif(path, gif)) << path;
        width = gif.width;
      } else {
        PngImage png;
        ASSERT_TRUE(read_png(path, png)) << path;
        width = png.width;
      }
      EXPECT_EQ(width, 32) << path;
    }
  }
}

// File names may hold any byte but '/' and NUL. Text lines show control characters
// escaped, one line a file; JSON lines are valid UTF-8 that strict parsers read, with
// the exact bytes of a name that is not UTF-8 beside it; and no name changes a verdict.
TEST(ManyFiles, AnyFileNameKeepsItsLineAndItsVerdict) {
  Scratch scratch;
  const std::vector<std::string> names = {
      "in/new\nline.flc",      "in/esc\x1b[2J.flc",  "in/bad\xff\xfe.flc", "in/tab\there: damaged: x.flc",
      "in/back\\x41slash.flc", "in/caf\xc3\xa9.flc", "in/50%d.flc"};
  fs::create_directories(scratch.path("in"));
  for (const std::string& name : names) fs::copy_file(data_file("sun-146x140.flc"), scratch.path(name));
  const ToolRun text = run_export({"--check", "in"}, scratch);
  EXPECT_EQ(text.status, 0) << text.out;
  EXPECT_EQ(lines_of(text.out).size(), names.size() + 1) << text.out;
  for (const char c : text.out) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte == 0x0A || (byte >= 0x20 && byte != 0x7F)) << static_cast<int>(byte);
  }
  EXPECT_NE(text.out.find("in/new\\x0Aline.flc: ok"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("in/tab\\x09here: damaged: x.flc: ok"), std::string::npos) << text.out;

  // Each JSON line read by Python's strict parser: the path's bytes (from path_bytes
  // when it is there), its verdict and the bytes of its output's name, in hex.
  const ToolRun json = run_export({"--json", "in", "--output-dir", "out"}, scratch);
  EXPECT_EQ(json.status, 0) << json.out;
  EXPECT_TRUE(file_exists(scratch.path("out/50%d.png"))) << "a percent sign in a name is no frame number";
  write_bytes(scratch.path("lines.json"), std::vector<uint8_t>(json.out.begin(), json.out.end()));
  const std::string script =
      "import json,sys\n"
      "def raw(o, k):\n"
      "    return bytes.fromhex(o[k + '_bytes']) if k + '_bytes' in o else o[k].encode()\n"
      "for line in open('lines.json', 'rb').read().decode('utf-8', 'strict').splitlines():\n"
      "    o = json.loads(line)\n"
      "    if 'summary' in o: continue\n"
      "    print(raw(o, 'path').hex(), o['verdict'], raw(o, 'output').hex())\n";
  write_bytes(scratch.path("read.py"), std::vector<uint8_t>(script.begin(), script.end()));
  ASSERT_EQ(run_shell("cd '" + scratch.dir + "' && python3 read.py >decoded.txt"), 0) << json.out;
  std::vector<std::string> expected;
  const auto hex = [](const std::string& bytes) {
    std::string out;
    char digits[3];
    for (const char c : bytes) {
      std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
      out += digits;
    }
    return out;
  };
  for (const std::string& name : names) {
    const std::string stem = name.substr(3, name.size() - 7);
    expected.push_back(hex(name) + " ok " + hex("out/" + stem + ".png"));
  }
  std::sort(expected.begin(), expected.end());
  std::vector<uint8_t> decoded_bytes = read_bytes(scratch.path("decoded.txt"));
  std::vector<std::string> decoded = lines_of(std::string(decoded_bytes.begin(), decoded_bytes.end()));
  std::sort(decoded.begin(), decoded.end());
  EXPECT_EQ(decoded, expected);
}

}  // namespace
