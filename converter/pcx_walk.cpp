// PCX header facts, the test of whether a header is one this program shows, and a
// bounded scan of the run-length data that tells whether every line is there and, for a
// picture that takes its colours from a 256-colour block, whether the block follows.
#include <algorithm>
#include <string>
#include <vector>

#include "converter/export.h"
#include "converter/file_reader.h"
#include "gfx/gfx.h"
#include "pcx/pcx.h"

namespace {

constexpr uint8_t PCX_LAST_VERSION = 5;
constexpr uint32_t SCAN_BLOCK = 65536;

bool bits_known(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

// The run-length data as the line decoder reads it from behind the header, read on in
// steps up to a limit, until every line is whole.
struct DataScan {
  uint64_t needed;                    // bytes of all lines
  uint64_t decoded = 0;               // bytes of lines found so far
  uint64_t offset = PCX_HEADER_SIZE;  // the next byte; once whole, the end of the data
  bool in_run = false;                // a run's count was read, its value byte not yet
  uint32_t run = 0;                   // that count

  bool whole() const { return decoded >= needed; }

  void read_to(FileReader& file, uint64_t limit, std::vector<uint8_t>& block) {
    while (!whole() && offset < limit) {
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(limit - offset, SCAN_BLOCK));
      if (!reader_read(file, offset, block.data(), n)) return;
      for (uint32_t i = 0; i < n && !whole(); i++, offset++) {
        const uint8_t b = block[i];
        if (in_run) {
          decoded += run;
          in_run = false;
        } else if ((b & PCX_RUN_FLAG) == PCX_RUN_FLAG) {
          run = b & PCX_RUN_COUNT_MASK;
          in_run = true;
        } else {
          decoded++;
        }
      }
    }
  }
};

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
  const uint64_t line = static_cast<uint64_t>(facts.bytes_per_line) * facts.planes;
  const uint64_t rows = static_cast<uint64_t>(facts.max_y) - facts.min_y + 1;
  const uint64_t block_at = facts.palette_block ? facts.file_size - PCX_PALETTE_BLOCK_SIZE : facts.file_size;
  std::vector<uint8_t> block(SCAN_BLOCK);
  DataScan data{line * rows};
  // Lines are counted up to a colour block; the decoder reads on into it, so data that
  // only ends inside what looked like a block ends where the decoder finds it ending.
  data.read_to(file, block_at, block);
  const uint64_t lines_before_block = line > 0 ? data.decoded / line : 0;
  data.read_to(file, facts.file_size, block);
  reader_close(file);
  if (!data.whole())
    return "the image data ends after " + std::to_string(lines_before_block) + " of " + std::to_string(rows) +
           " lines";
  // A version-5 picture of one 8-bit plane takes its colours from the 769-byte block
  // that follows its image data and ends the file.
  const bool needs_block =
      facts.version == PCX_VERSION_PALETTE_BLOCK && facts.bits_per_pixel == 8 && facts.planes == 1;
  if (!needs_block) return "";
  const uint64_t after = facts.file_size - data.offset;
  if (after == 0) return "the 256-colour block is missing: the file ends with the image data";
  if (after < PCX_PALETTE_BLOCK_SIZE)
    return "the 256-colour block is cut short: the file ends " + std::to_string(after) +
           " bytes after the image data, where the block takes 769";
  if (!facts.palette_block)
    return "the 256-colour block is missing: the file's last 769 bytes do not begin with 12";
  return "";
}
