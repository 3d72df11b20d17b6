// PCX header facts, the test of whether a header is one this program shows, and a
// bounded scan of the run-length data that tells whether every line is there.
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "pcx/pcx.h"
#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

constexpr uint8_t PCX_LAST_VERSION = 5;
constexpr uint32_t SCAN_BLOCK = 65536;

bool bits_known(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

// Where the image data ends: before the colour block when there is one.
uint64_t data_end(const PcxFacts& facts) {
  return facts.palette_block ? facts.file_size - PCX_PALETTE_BLOCK_SIZE : facts.file_size;
}

}  // namespace

bool pcx_facts(const std::string& name, PcxFacts& facts, std::string& reason) {
  facts = PcxFacts{};
  FileReader file{};
  if (!reader_open(file, name, reason)) return false;
  uint8_t header[PCX_HEADER_SIZE];
  if (!reader_read(file, 0, header, PCX_HEADER_SIZE)) {
    reason = "the PCX header is cut short (" + std::to_string(file.size) + " of 128 bytes)";
    reader_close(file);
    return false;
  }
  facts.version = header[PCX_AT_VERSION];
  facts.encoding = header[PCX_AT_ENCODING];
  facts.bits_per_pixel = header[PCX_AT_BITS_PER_PIXEL];
  facts.planes = header[PCX_AT_PLANES];
  facts.bytes_per_line = gfx_le16(header + PCX_AT_BYTES_PER_LINE);
  facts.min_x = gfx_le16(header + PCX_AT_MIN_X);
  facts.min_y = gfx_le16(header + PCX_AT_MIN_Y);
  facts.max_x = gfx_le16(header + PCX_AT_MAX_X);
  facts.max_y = gfx_le16(header + PCX_AT_MAX_Y);
  facts.file_size = file.size;
  uint8_t marker = 0;
  facts.palette_block =
      facts.version == PCX_VERSION_PALETTE_BLOCK && file.size >= PCX_HEADER_SIZE + PCX_PALETTE_BLOCK_SIZE &&
      reader_read(file, file.size - PCX_PALETTE_BLOCK_SIZE, &marker, 1) && marker == PCX_PALETTE_MARKER;
  reader_close(file);
  return true;
}

std::string pcx_header_fault(const PcxFacts& f) {
  if (f.version > PCX_LAST_VERSION || f.version == 1)
    return "version " + std::to_string(f.version) + " is not 0, 2, 3, 4 or 5";
  if (f.encoding != PCX_ENCODING_RUN_LENGTH)
    return "encoding " + std::to_string(f.encoding) + " is not run-length (1)";
  if (!bits_known(f.bits_per_pixel))
    return std::to_string(f.bits_per_pixel) + " bits per pixel is not 1, 2, 4 or 8";
  if (f.planes < 1 || f.planes > PCX_MAX_PLANES) return std::to_string(f.planes) + " planes is not 1 to 4";
  if (f.max_x < f.min_x || f.max_y < f.min_y)
    return "the extents give no picture (a maximum below its minimum)";
  uint64_t width = static_cast<uint64_t>(f.max_x) - f.min_x + 1;
  if (f.bytes_per_line == 0 || static_cast<uint64_t>(f.bytes_per_line) * 8 < width * f.bits_per_pixel)
    return std::to_string(f.bytes_per_line) + " bytes per line cannot hold " + std::to_string(width) +
           " pixels of " + std::to_string(f.bits_per_pixel) + " bits";
  return "";
}

std::string pcx_data_fault(const std::string& name, const PcxFacts& facts) {
  FileReader file{};
  std::string reason;
  if (!reader_open(file, name, reason)) return "cannot be read again: " + reason;
  uint64_t line = static_cast<uint64_t>(facts.bytes_per_line) * facts.planes;
  uint64_t rows = static_cast<uint64_t>(facts.max_y) - facts.min_y + 1;
  uint64_t needed = line * rows;
  uint64_t decoded = 0;
  uint64_t offset = PCX_HEADER_SIZE;
  uint64_t end = data_end(facts);
  std::vector<uint8_t> block(SCAN_BLOCK);
  bool run_pending = false;  // a run's count was read, its value byte not yet
  while ((decoded < needed || run_pending) && offset < end) {
    uint32_t n = static_cast<uint32_t>(end - offset < SCAN_BLOCK ? end - offset : SCAN_BLOCK);
    if (!reader_read(file, offset, block.data(), n)) break;
    for (uint32_t i = 0; i < n && (decoded < needed || run_pending); i++) {
      uint8_t b = block[i];
      if (run_pending) {
        run_pending = false;
      } else if ((b & PCX_RUN_FLAG) == PCX_RUN_FLAG) {
        decoded += b & PCX_RUN_COUNT_MASK;
        run_pending = true;
      } else {
        decoded++;
      }
    }
    offset += n;
  }
  reader_close(file);
  if (decoded >= needed && !run_pending) return "";
  uint64_t whole = decoded / line;
  return "the image data ends after " + std::to_string(whole) + " of " + std::to_string(rows) + " lines";
}
