// How texts from outside (file names above all) are shown: escaped in lines of text,
// and as JSON strings that strict parsers read, whatever bytes they hold.
#include <cstdio>
#include <string>
#include <string_view>

#include "converter/batch_parts.h"

namespace {

constexpr unsigned char DELETE = 0x7F;
constexpr char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD

bool is_control(unsigned char c) { return c < 0x20 || c == DELETE; }

bool in(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// The length of the well-formed UTF-8 sequence at text[at] (1 for ASCII), or 0 when
// the byte there does not begin one.
size_t sequence_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const size_t left = text.size() - at;
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  if (in(lead, 0xC2, 0xDF)) return left >= 2 && in(byte(1), 0x80, 0xBF) ? 2 : 0;
  if (in(lead, 0xE0, 0xEF)) {
    // E0 would be overlong below A0; ED above 9F would be a surrogate.
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return left >= 3 && in(byte(1), low, high) && in(byte(2), 0x80, 0xBF) ? 3 : 0;
  }
  if (in(lead, 0xF0, 0xF4)) {
    // F0 would be overlong below 90; F4 above 8F would pass U+10FFFF.
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return left >= 4 && in(byte(1), low, high) && in(byte(2), 0x80, 0xBF) && in(byte(3), 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string escape_controls(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_control(byte)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    } else {
      shown += c;
    }
  }
  return shown;
}

bool is_utf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t n = sequence_length(text, at);
    if (n == 0) return false;
    at += n;
  }
  return true;
}

std::string json_string(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (size_t at = 0; at < text.size();) {
    const size_t n = sequence_length(text, at);
    const auto c = static_cast<unsigned char>(text[at]);
    if (n == 0) {
      out += REPLACEMENT;
      at++;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (is_control(c)) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", c);
      out += code;
    } else {
      out.append(text.substr(at, n));
    }
    at += n;
  }
  return out + "\"";
}

std::string hex_bytes(std::string_view bytes) {
  static const char DIGITS[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += DIGITS[byte >> 4];
    out += DIGITS[byte & 0x0F];
  }
  return out;
}

std::string json_member(std::string_view key, std::string_view value) {
  std::string member = json_string(key) + ": " + json_string(value);
  if (!is_utf8(value))
    member += ", " + json_string(std::string(key) + "_bytes") + ": \"" + hex_bytes(value) + "\"";
  return member;
}
