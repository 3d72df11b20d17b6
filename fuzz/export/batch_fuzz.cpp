// Fuzz target: the many-file mode's own code on arbitrary bytes. The first byte picks
// what the rest is:
//   0: a worker's record as read back: refused, or exactly what encoding it gives again;
//   1: texts of a record: encoded and read back unchanged, and refused when cut short;
//   2: a file name: escaped for a text line with no control character left, and as a
//      JSON string that is valid UTF-8, reads back as the name with each byte outside
//      well-formed UTF-8 replaced (checked against a decoder of its own), and carries
//      the exact bytes beside it when it must;
//   3: two inputs' output names: whether and where they clash, and which frame a name
//      is, compared with every name listed; and a path's stem.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "converter/batch_parts.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Splits bytes at each 0xFF.
std::vector<std::string> pieces(std::string_view bytes) {
  std::vector<std::string> out(1);
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) == 0xFF)
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

void record_read_back(std::string_view bytes) {
  WorkerRecord record;
  if (record_decode(bytes, record)) require(record_encode(record) == bytes);
}

void record_round_trip(std::string_view bytes) {
  const std::vector<std::string> texts = pieces(bytes);
  WorkerRecord record;
  record.verdict = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % 5;
  record.reason = texts[0];
  for (size_t k = 1; k + 1 < texts.size(); k += 2) record.facts.emplace_back(texts[k], texts[k + 1]);
  const std::string encoded = record_encode(record);
  WorkerRecord back;
  require(record_decode(encoded, back));
  require(back.verdict == record.verdict && back.reason == record.reason && back.facts == record.facts);
  for (const size_t cut : {encoded.size() - 1, encoded.size() / 2, size_t{1}})
    require(!record_decode(std::string_view(encoded).substr(0, cut), back));
  require(!record_decode(encoded + "x", back));
}

// The length of the well-formed UTF-8 sequence at text[at], or 0: from the code point
// it spells.
size_t utf8_length(std::string_view text, size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  size_t n;
  uint32_t code, least;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, code = c & 0x1Fu, least = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, code = c & 0x0Fu, least = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, code = c & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < n) return 0;
  for (size_t k = 1; k < n; k++) {
    const auto b = static_cast<unsigned char>(text[at + k]);
    if ((b & 0xC0) != 0x80) return 0;
    code = code << 6 | (b & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

// A JSON string literal as a parser reads it; false when it is not one.
bool read_json_string(std::string_view literal, std::string& text) {
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return false;
  text.clear();
  for (size_t at = 1; at + 1 < literal.size(); at++) {
    const char c = literal[at];
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') return false;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++at + 1 >= literal.size()) return false;
    if (literal[at] == '"' || literal[at] == '\\') {
      text += literal[at];
    } else if (literal[at] == 'u' && at + 5 < literal.size()) {
      const unsigned long code = std::strtoul(std::string(literal.substr(at + 1, 4)).c_str(), nullptr, 16);
      if (code >= 0x80) return false;  // only control characters are written so
      text += static_cast<char>(code);
      at += 4;
    } else {
      return false;
    }
  }
  return true;
}

void escapes(std::string_view name) {
  for (const char c : escape_controls(name)) {
    const auto byte = static_cast<unsigned char>(c);
    require(byte >= 0x20 && byte != 0x7F);
  }
  std::string replaced;
  bool well_formed = true;
  for (size_t at = 0; at < name.size();) {
    const size_t n = utf8_length(name, at);
    if (n == 0) {
      replaced += "\xEF\xBF\xBD";
      well_formed = false;
      at++;
    } else {
      replaced.append(name.substr(at, n));
      at += n;
    }
  }
  require(is_utf8(name) == well_formed);
  const std::string literal = json_string(name);
  require(is_utf8(literal));
  std::string read;
  require(read_json_string(literal, read));
  require(read == replaced);
  const std::string member = json_member("path", name);
  const std::string bytes_tag = ", \"path_bytes\": \"";
  require(member.starts_with("\"path\": " + literal));
  if (well_formed) {
    require(member == "\"path\": " + literal);
  } else {
    require(member == "\"path\": " + literal + bytes_tag + hex_bytes(name) + "\"");
  }
}

std::string name_of(const NameSet& set, int n) {
  return set.head + (set.numbered ? name_number(set, n) : "") + set.tail;
}

void names(std::string_view bytes) {
  if (bytes.size() < 3) return;
  const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  NameSet a, b;
  a.tail = b.tail = ".png";
  a.width = b.width = at(0) % 4;
  a.zero_pad = b.zero_pad = (at(0) & 4) != 0;
  a.numbered = b.numbered = (at(0) & 8) == 0;
  a.count = at(1) % 151;
  b.count = at(2) % 151;
  if (!a.numbered) a.count = std::min(a.count, 1), b.count = std::min(b.count, 1);
  static const char ALPHABET[] = "x10 29/.";
  const std::vector<std::string> heads = pieces(bytes.substr(3));
  for (size_t k = 0; k < 2 && k < heads.size(); k++) {
    std::string& head = k == 0 ? a.head : b.head;
    for (size_t i = 0; i < heads[k].size() && i < 12; i++)
      head += ALPHABET[static_cast<unsigned char>(heads[k][i]) % 8];
  }
  std::map<std::string, int> of_a;
  for (int n = 1; n <= a.count; n++) of_a[name_of(a, n)] = n;
  for (const auto& [name, n] : of_a) require(name_frame(a, name) == n);
  bool listed_clash = false;
  for (int m = 1; m <= b.count; m++) {
    const std::string name = name_of(b, m);
    const auto found = of_a.find(name);
    require(name_frame(a, name) == (found == of_a.end() ? 0 : found->second));
    listed_clash = listed_clash || found != of_a.end();
  }
  int frame_a, frame_b;
  const bool clash = name_clash(a, b, frame_a, frame_b);
  require(clash == listed_clash);
  if (clash) {
    require(frame_a >= 1 && frame_a <= a.count && frame_b >= 1 && frame_b <= b.count);
    require(name_of(a, frame_a) == name_of(b, frame_b));
  }

  const std::string path(bytes.substr(3));
  const std::string stem = output_stem(path);
  require(path.starts_with(stem));
  if (stem != path) {
    const std::string_view dropped = std::string_view(path).substr(stem.size());
    require(dropped[0] == '.' && dropped.find('/') == std::string_view::npos);
    require(!stem.empty() && stem.back() != '/');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      record_read_back(bytes);
      break;
    case 1:
      record_round_trip(bytes);
      break;
    case 2:
      escapes(bytes);
      break;
    default:
      names(bytes);
      break;
  }
  return 0;
}
