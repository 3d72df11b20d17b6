// The names the outputs of a many-file export take, and where two inputs' names meet:
// reckoned from the names' form, without listing every frame's name, so that a header
// that announces 65,535 frames costs no more than one that announces two.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/batch_parts.h"

namespace {

constexpr int MOST_DIGITS = 10;  // of a frame number that may be a count's (an int)

bool all_digits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return !text.empty();
}

uint64_t power_of_ten(int n) {
  uint64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

}  // namespace

std::string output_stem(const std::string& relative_path) {
  const size_t slash = relative_path.rfind('/');
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = relative_path.rfind('.');
  if (dot == std::string::npos || dot <= name_start) return relative_path;
  return relative_path.substr(0, dot);
}

std::string name_number(const NameSet& set, int n) {
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < set.width)
    digits.insert(0, static_cast<size_t>(set.width) - digits.size(), set.zero_pad ? '0' : ' ');
  return digits;
}

int name_frame(const NameSet& set, std::string_view name) {
  if (set.count <= 0) return 0;
  if (!set.numbered)
    return name.size() == set.head.size() + set.tail.size() && name.starts_with(set.head) &&
                   name.ends_with(set.tail)
               ? 1
               : 0;
  if (name.size() <= set.head.size() + set.tail.size() || !name.starts_with(set.head) ||
      !name.ends_with(set.tail))
    return 0;
  std::string_view number = name.substr(set.head.size(), name.size() - set.head.size() - set.tail.size());
  std::string_view digits = number;
  if (!set.zero_pad) digits.remove_prefix(std::min(digits.find_first_not_of(' '), digits.size()));
  if (!all_digits(digits) || digits.size() > MOST_DIGITS) return 0;
  uint64_t n = 0;
  for (const char c : digits) n = n * 10 + static_cast<uint64_t>(c - '0');
  if (n < 1 || n > static_cast<uint64_t>(set.count)) return 0;
  return name_number(set, static_cast<int>(n)) == number ? static_cast<int>(n) : 0;
}

bool name_clash(const NameSet& a, const NameSet& b, int& frame_a, int& frame_b) {
  frame_a = frame_b = 0;
  if (a.count <= 0 || b.count <= 0) return false;
  if (a.head == b.head) {
    frame_a = frame_b = 1;
    return true;
  }
  if (!a.numbered) return false;
  // One head must begin the other: the shorter's frame number n then spells the rest of
  // the longer head, u, followed by the longer's frame number m. Such a number is longer
  // than the padding, so it is written plainly: u holds only digits and does not begin
  // with 0, m's number holds no padding space, and n = u * 10^(m's digits) + m.
  const bool a_shorter = a.head.size() < b.head.size();
  const NameSet& shorter = a_shorter ? a : b;
  const NameSet& longer = a_shorter ? b : a;
  if (!longer.head.starts_with(shorter.head)) return false;
  const std::string_view u = std::string_view(longer.head).substr(shorter.head.size());
  if (!all_digits(u) || u[0] == '0' || u.size() >= MOST_DIGITS) return false;
  uint64_t u_value = 0;
  for (const char c : u) u_value = u_value * 10 + static_cast<uint64_t>(c - '0');
  // The smallest m of each count of digits gives the smallest n for it.
  for (int digits = 1; digits <= MOST_DIGITS; digits++) {
    const uint64_t low = digits == 1 ? 1 : power_of_ten(digits - 1);
    if (low > static_cast<uint64_t>(longer.count)) break;
    if (!longer.zero_pad && digits < longer.width) continue;  // padded with spaces
    const int written = digits > longer.width ? digits : longer.width;
    if (static_cast<int>(u.size()) + written > MOST_DIGITS) break;
    const uint64_t n = u_value * power_of_ten(written) + low;
    if (n <= static_cast<uint64_t>(shorter.count)) {
      frame_a = static_cast<int>(a_shorter ? n : low);
      frame_b = static_cast<int>(a_shorter ? low : n);
      return true;
    }
  }
  return false;
}
