// What both plugin tests share: the files they read, each with the frames
// moxflic-export writes of it in the file's own colours, and hostile files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct Sample {
  const char* file;
  int frames;  // frames compared (a FLIC's first ones)
};

inline const std::vector<Sample>& samples() {
  static const std::vector<Sample> list = {
      {"sun-146x140.flc", 3},         {"walk-320x200.fli", 2},          {"text-321x74.flc", 1},
      {"marbles-141x99-8bit.pcx", 1}, {"testcard-160x120-1bit.pcx", 1}, {"testcard-160x120-24bit.pcx", 1},
      {"tiny-3x3-4plane.pcx", 1},     {"cga-320x200-2bit.pcx", 1},
  };
  return list;
}

inline std::string data_path(const std::string& name) { return std::string(MOXFLIC_TEST_DATA) + "/" + name; }

// A fresh folder that goes with the test program.
inline const std::string& scratch() {
  static const std::string dir = [] {
    char name[] = "/tmp/moxflic_plugin_XXXXXX";
    return std::string(mkdtemp(name));
  }();
  return dir;
}

// moxflic-export's PNG files of a file's first frames, in its own colours: their paths.
inline std::vector<std::string> exported(const Sample& s) {
  const std::string stem = scratch() + "/" + s.file;
  const bool one = s.frames == 1;
  const std::string out = one ? stem + ".png" : stem + "-%04d.png";
  const std::string command = std::string(MOXFLIC_EXPORT_PROGRAM) + " --palette=file '" + data_path(s.file) +
                              "' '" + out + "' > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  std::vector<std::string> paths;
  for (int n = 1; n <= s.frames; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "-%04d.png", n);
    paths.push_back(one ? out : stem + name);
  }
  return paths;
}

// Files that must give an error, not a crash or a hang: a FLIC header over noise, a
// FLIC that claims a huge picture, a cut-off FLIC, a PCX header over noise.
inline std::vector<std::string> hostile_files() {
  std::vector<std::string> paths;
  auto save = [&](const std::string& name, std::vector<char> bytes) {
    const std::string path = scratch() + "/" + name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    paths.push_back(path);
  };
  std::vector<char> noise(4000);
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  std::vector<char> flic = noise;
  flic[4] = 0x12, flic[5] = static_cast<char>(0xAF), flic[8] = 64, flic[9] = 0, flic[10] = 48, flic[11] = 0;
  save("noise.flc", flic);
  flic[8] = flic[9] = flic[10] = flic[11] = static_cast<char>(0xFF);
  save("huge.flc", flic);
  std::ifstream in(data_path("sun-146x140.flc"), std::ios::binary);
  std::vector<char> cut((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  cut.resize(200);
  save("cut.flc", cut);
  std::vector<char> pcx = noise;
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8;
  save("noise.pcx", pcx);
  return paths;
}
