// Telling FLIC animations and PCX pictures apart by their contents, not their names.
#include <string>

#include "converter/export.h"
#include "converter/file_reader.h"
#include "flic/flic.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"

namespace {

constexpr uint32_t FLIC_MAGIC_END = FLIC_MAGIC_OFFSET + 2;
constexpr uint32_t PCX_LEAD = 3;  // manufacturer, version and encoding

// Whether the first bytes of a file are those of a PCX header this program knows:
// its manufacturer, a version it reads and run-length encoding.
bool pcx_lead(const uint8_t* head) {
  const uint8_t version = head[1];
  return head[0] == PCX_MANUFACTURER && (version == 0 || (version >= 2 && version <= 5)) &&
         head[2] == PCX_ENCODING_RUN_LENGTH;
}

}  // namespace

bool input_classify(const std::string& name, InputKind& kind, std::string& reason, InputFault& fault) {
  FileReader file{};
  fault = InputFault::unreadable;
  if (!reader_open(file, name, reason)) return false;
  uint8_t head[FLIC_MAGIC_END] = {};
  bool have_magic = reader_read(file, 0, head, FLIC_MAGIC_END);
  bool have_lead = have_magic || reader_read(file, 0, head, PCX_LEAD);
  bool have_first = have_lead || reader_read(file, 0, head, 1);
  uint64_t size = file.size;
  reader_close(file);
  fault = InputFault::other;
  if (size == 0) {
    reason = "the file is empty";
    return false;
  }
  uint16_t magic = have_magic ? gfx_le16(head + FLIC_MAGIC_OFFSET) : 0;
  if (magic == FLIC_MAGIC_FLI || magic == FLIC_MAGIC_FLC) {
    if (size < FLIC_HEADER_SIZE) {
      reason = "the FLIC header is cut short (" + std::to_string(size) + " of 128 bytes)";
      fault = InputFault::damaged;
      return false;
    }
    kind = InputKind::flic;
    return true;
  }
  // A file that begins as a PCX header but ends inside it is a damaged picture; a
  // file with only the first byte in common is of another kind.
  if (have_lead && pcx_lead(head) && size < static_cast<uint64_t>(PCX_HEADER_SIZE)) {
    reason = "the PCX header is cut short (" + std::to_string(size) + " of 128 bytes)";
    fault = InputFault::damaged;
    return false;
  }
  if (have_first && head[0] == PCX_MANUFACTURER && size >= static_cast<uint64_t>(PCX_HEADER_SIZE)) {
    PcxFacts facts;
    if (!pcx_facts(name, facts, reason)) {
      fault = InputFault::unreadable;
      return false;
    }
    std::string fault_text = pcx_header_fault(facts);
    if (!fault_text.empty()) {
      reason = "not a FLIC, nor a PCX picture that can be shown: " + fault_text;
      return false;
    }
    kind = InputKind::pcx;
    return true;
  }
  reason = "not a FLIC or PCX file";
  return false;
}
