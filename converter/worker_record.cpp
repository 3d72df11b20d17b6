// The record a worker writes for its parent: a mark, the verdict, the reason and the
// facts, each text preceded by its length, and an end mark. Whatever bytes the texts
// hold, they are read back as they were written, and a record that stops early, holds
// anything more, or is not one at all is refused.
#include <string>
#include <string_view>

#include "converter/batch_parts.h"

namespace {

constexpr std::string_view START = "moxflic-record 1\n";
constexpr std::string_view END = "end\n";
constexpr size_t MOST_DIGITS = 10;
// A number's digits end at this byte; a text's bytes follow it.
constexpr char AFTER_NUMBER = ':';
constexpr char AFTER_TEXT = '\n';

void put_number(std::string& out, size_t n) {
  out += std::to_string(n);
  out += AFTER_NUMBER;
}

void put_text(std::string& out, std::string_view text) {
  put_number(out, text.size());
  out.append(text);
  out += AFTER_TEXT;
}

// Reads from bytes at `at`, moving it on; false when the bytes there are not what is
// expected.
struct RecordReader {
  std::string_view bytes;
  size_t at = 0;

  bool number(size_t& n) {
    n = 0;
    size_t digits = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9') {
      if (digits == MOST_DIGITS || (digits == 1 && n == 0)) return false;  // too long, or a leading zero
      n = n * 10 + static_cast<size_t>(bytes[at] - '0');
      at++;
      digits++;
    }
    if (digits == 0 || at >= bytes.size() || bytes[at] != AFTER_NUMBER) return false;
    at++;
    return true;
  }

  bool text(std::string& out) {
    size_t n;
    if (!number(n) || n > bytes.size() - at || bytes.size() - at - n < 1 || bytes[at + n] != AFTER_TEXT)
      return false;
    out.assign(bytes.substr(at, n));
    at += n + 1;
    return true;
  }

  bool mark(std::string_view expected) {
    if (bytes.substr(at, expected.size()) != expected) return false;
    at += expected.size();
    return true;
  }
};

}  // namespace

std::string record_encode(const WorkerRecord& record) {
  std::string out(START);
  put_number(out, static_cast<size_t>(record.verdict));
  put_text(out, record.reason);
  put_number(out, record.facts.size());
  for (const auto& [key, value] : record.facts) {
    put_text(out, key);
    put_text(out, value);
  }
  out.append(END);
  return out;
}

bool record_decode(std::string_view bytes, WorkerRecord& record) {
  RecordReader r{bytes};
  size_t verdict, facts;
  if (!r.mark(START) || !r.number(verdict) || verdict > 99 || !r.text(record.reason) || !r.number(facts))
    return false;
  record.verdict = static_cast<int>(verdict);
  record.facts.clear();
  for (size_t k = 0; k < facts; k++) {
    std::string key, value;
    if (!r.text(key) || !r.text(value)) return false;
    record.facts.emplace_back(std::move(key), std::move(value));
  }
  return r.mark(END) && r.at == bytes.size();
}
