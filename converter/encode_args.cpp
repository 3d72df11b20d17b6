// The options of making a FLIC file, and which names make one.
#include <cstdlib>
#include <string>

#include "converter/export.h"

namespace {

// Longest --speed: a minute a frame.
constexpr long MAX_SPEED_MS = 60000;

bool ends_with_nocase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); i++) {
    char c = text[text.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

}  // namespace

bool is_flic_output(const std::string& name) {
  return ends_with_nocase(name, ".flc") || ends_with_nocase(name, ".fli");
}

bool encode_option(int argc, char** argv, int& i, EncodeOptions& options, std::string& error) {
  const std::string arg = argv[i];
  if (arg == "--no-ring" || arg == "--ring") {
    options.ring = arg == "--ring";
    return true;
  }
  if (arg == "--dither") {
    options.dither = true;
    return true;
  }
  std::string value;
  if (arg == "--speed") {
    if (i + 1 >= argc) {
      error = "--speed needs a number of milliseconds";
      return true;
    }
    value = argv[++i];
  } else if (arg.rfind("--speed=", 0) == 0) {
    value = arg.substr(8);
  } else {
    return false;
  }
  char* end = nullptr;
  const long ms = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || ms < 1 || ms > MAX_SPEED_MS)
    error = "--speed takes a number of milliseconds from 1 to " + std::to_string(MAX_SPEED_MS) + ", not \"" +
            value + "\"";
  else
    options.speed_ms = static_cast<int>(ms);
  return true;
}
