// Telling FLIC animations and PCX pictures apart by their contents, not their names.
#include <string>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

constexpr uint32_t FLIC_MAGIC_END = FLIC_MAGIC_OFFSET + 2;

}  // namespace

bool input_classify(const std::string& name, InputKind& kind, std::string& reason) {
  FileReader file{};
  if (!reader_open(file, name, reason)) return false;
  uint8_t head[FLIC_MAGIC_END] = {};
  bool have_magic = reader_read(file, 0, head, FLIC_MAGIC_END);
  bool have_first = have_magic || reader_read(file, 0, head, 1);
  uint64_t size = file.size;
  reader_close(file);
  if (size == 0) {
    reason = "the file is empty";
    return false;
  }
  uint16_t magic = have_magic ? gfx_le16(head + FLIC_MAGIC_OFFSET) : 0;
  if (magic == FLIC_MAGIC_FLI || magic == FLIC_MAGIC_FLC) {
    if (size < FLIC_HEADER_SIZE) {
      reason = "the FLIC header is cut short (" + std::to_string(size) + " of 128 bytes)";
      return false;
    }
    kind = InputKind::flic;
    return true;
  }
  if (have_first && head[0] == PCX_MANUFACTURER) {
    PcxFacts facts;
    if (!pcx_facts(name, facts, reason)) return false;
    std::string fault = pcx_header_fault(facts);
    if (!fault.empty()) {
      reason = "not a FLIC, nor a PCX picture that can be shown: " + fault;
      return false;
    }
    kind = InputKind::pcx;
    return true;
  }
  reason = "not a FLIC or PCX file";
  return false;
}
