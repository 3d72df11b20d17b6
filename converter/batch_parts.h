// The parts of the many-file mode that work on bytes alone: how a text is shown in a
// line of text or of JSON, the record a worker hands its parent, and the names the
// outputs of an export take. No file is touched here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// --- Showing text (text_escape.cpp) ---------------------------------------------------
// The text with every control character (0x00-0x1F and 0x7F) written as \xNN, so that
// a file name can neither move the cursor nor forge another line. Other bytes stay.
std::string escape_controls(std::string_view text);
// Whether the text is well-formed UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF), as strict decoders require.
bool is_utf8(std::string_view text);
// A JSON string literal of the text: quotes and backslashes escaped, control characters
// as \u00XX, and each byte that is not part of well-formed UTF-8 as U+FFFD.
std::string json_string(std::string_view text);
// The bytes as lowercase hexadecimal, two digits a byte.
std::string hex_bytes(std::string_view bytes);
// A JSON member "key": "value"; when the value is not UTF-8, another member
// "key_bytes" follows with its exact bytes in hexadecimal.
std::string json_member(std::string_view key, std::string_view value);

// --- A worker's record (worker_record.cpp) ----------------------------------------------
// What a worker found about one file. Each text goes into the record with its length,
// so no byte of a name or a reason can be taken for a separator or change the verdict,
// and a record cut short (a worker that died while writing it) is refused whole.
struct WorkerRecord {
  int verdict = 0;  // a Verdict
  std::string reason;
  std::vector<std::pair<std::string, std::string>> facts;
};
std::string record_encode(const WorkerRecord& record);
// False, with record unspecified, unless bytes is exactly one whole record.
bool record_decode(std::string_view bytes, WorkerRecord& record);

// --- Output names (output_names.cpp) ---------------------------------------------------
// The name of an input inside the output folder: its path below the folder it was found
// in (or its file name), without the file name's own extension. A dot in a folder's
// name, or at the start of a file name, is no extension.
std::string output_stem(const std::string& relative_path);

// The names one input writes: head + number + tail for frames 1 to count (numbered),
// or head + tail alone (count 0 or 1). Every input of a run shares tail, width and
// padding, as they come from one pattern.
struct NameSet {
  std::string head;  // the path up to the frame number
  std::string tail;
  bool numbered = false;
  int width = 0;  // minimum digits
  bool zero_pad = false;
  int count = 0;  // names written: frames for a numbered set, else 0 or 1
};
// The text of frame n's number as a name of the set holds it.
std::string name_number(const NameSet& set, int n);
// The frame whose name this is (1 to count), or 0 when the set has no such name.
int name_frame(const NameSet& set, std::string_view name);
// Where two sets of one run share a name: false when they do not, else true with the
// frame numbers that name has in a and in b (the smallest frame of b that clashes).
bool name_clash(const NameSet& a, const NameSet& b, int& frame_a, int& frame_b);
