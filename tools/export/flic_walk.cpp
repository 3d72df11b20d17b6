// The FLIC walk: header fields, then every record and chunk header, read through the
// bounded reader, so that sizes from the file are checked against the file and not
// trusted. The walk does not decode chunk data; it counts chunk types and notes the
// first fault (a record or chunk that reaches past its end, or a size too small).
#include <string>

#include "flic/flic.h"
#include "gfx/gfx.h"
#include "tools/export/export.h"
#include "tools/export/file_reader.h"

namespace {

constexpr size_t CHUNK_TYPES = 65536;

std::string at(uint64_t offset) { return "at offset " + std::to_string(offset); }

void fault(FlicWalk& walk, const std::string& text) {
  walk.damaged = true;
  walk.damage = text;
}

// Walks the chunk headers of the frame record that spans [start, end).
bool walk_chunks(const FileReader& file, FlicWalk& walk, uint64_t start, uint64_t end, uint16_t chunks) {
  uint64_t offset = start + FLIC_RECORD_HEADER_SIZE;
  std::string frame = "frame " + std::to_string(walk.frame_records);
  for (uint32_t k = 1; k <= chunks; k++) {
    std::string chunk = "chunk " + std::to_string(k) + " of " + frame + " (" + at(offset) + ")";
    uint8_t head[FLIC_CHUNK_HEADER_SIZE];
    if (end - offset < FLIC_CHUNK_HEADER_SIZE || !reader_read(file, offset, head, FLIC_CHUNK_HEADER_SIZE)) {
      fault(walk, chunk + " runs past the end of its frame record");
      return false;
    }
    uint32_t size = gfx_le32(head);
    if (size < FLIC_CHUNK_HEADER_SIZE) {
      fault(walk, chunk + " has size " + std::to_string(size) + ", less than its 6-byte header");
      return false;
    }
    if (size > end - offset) {
      fault(walk, chunk + " of size " + std::to_string(size) + " runs past the end of its frame record");
      return false;
    }
    walk.chunk_counts[gfx_le16(head + FLIC_CHUNK_TYPE_OFFSET)]++;
    offset += size;
  }
  return true;
}

// Walks the record at offset; false when the walk cannot go on past it.
bool walk_record(const FileReader& file, FlicWalk& walk, uint64_t& offset) {
  uint8_t head[FLIC_RECORD_HEADER_SIZE];
  std::string record = "the record " + at(offset);
  if (!reader_read(file, offset, head, FLIC_RECORD_SIZE_AND_TYPE)) {
    fault(walk, record + " is cut short: the file ends " + std::to_string(file.size - offset) +
                    " bytes into its header");
    return false;
  }
  uint32_t size = gfx_le32(head);
  uint16_t type = gfx_le16(head + FLIC_RECORD_TYPE_OFFSET);
  bool prefix = type == FLIC_PREFIX_TYPE;
  record = prefix
               ? "the prefix record " + at(offset)
               : "frame " + std::to_string(walk.frame_records_begun + 1) + " (the record " + at(offset) + ")";
  uint32_t least = prefix ? FLIC_RECORD_SIZE_AND_TYPE : FLIC_RECORD_HEADER_SIZE;
  if (size < least) {
    fault(walk, record + " has size " + std::to_string(size) + ", less than its " + std::to_string(least) +
                    "-byte header");
    return false;
  }
  if (!prefix) walk.frame_records_begun++;
  if (size > file.size - offset) {
    fault(walk, record + " of size " + std::to_string(size) + " runs past the end of the file (" +
                    std::to_string(file.size - offset) + " bytes left)");
    return false;
  }
  uint64_t end = offset + size;
  if (prefix) {
    walk.prefix_records++;
  } else {
    walk.frame_records++;
    reader_read(file, offset, head, FLIC_RECORD_HEADER_SIZE);
    if (!walk_chunks(file, walk, offset, end, gfx_le16(head + FLIC_RECORD_CHUNKS_OFFSET))) return false;
  }
  offset = end;
  return true;
}

}  // namespace

bool flic_walk(const std::string& name, FlicWalk& walk, std::string& reason) {
  walk = FlicWalk{};
  walk.chunk_counts.assign(CHUNK_TYPES, 0);
  FileReader file{};
  if (!reader_open(file, name, reason)) return false;
  uint8_t header[FLIC_HEADER_SIZE];
  if (!reader_read(file, 0, header, FLIC_HEADER_SIZE)) {
    reason = "the FLIC header is cut short (" + std::to_string(file.size) + " of 128 bytes)";
    reader_close(file);
    return false;
  }
  uint16_t magic = gfx_le16(header + FLIC_MAGIC_OFFSET);
  walk.header.flc = magic == FLIC_MAGIC_FLC;
  walk.header.frame_count = gfx_le16(header + FLIC_FRAMES_OFFSET);
  walk.header.width = gfx_le16(header + FLIC_WIDTH_OFFSET);
  walk.header.height = gfx_le16(header + FLIC_HEIGHT_OFFSET);
  walk.header.speed =
      walk.header.flc ? gfx_le32(header + FLIC_SPEED_OFFSET) : gfx_le16(header + FLIC_SPEED_OFFSET);
  walk.file_size = file.size;
  uint64_t offset = FLIC_FIRST_FRAME_OFFSET;
  while (offset < file.size && walk_record(file, walk, offset)) {
  }
  reader_close(file);
  return true;
}

std::string flic_damage(const FlicWalk& walk, int records_decoded) {
  if (walk.damaged) return walk.damage;
  if (records_decoded < walk.frame_records)
    return "frame " + std::to_string(records_decoded + 1) +
           " stops decoding: a chunk's data runs past its size";
  // Many writers end a file without the ring frame: only fewer frames than the header
  // gives is damage.
  if (walk.frame_records < walk.header.frame_count)
    return "holds " + std::to_string(walk.frame_records) + " frames; its header gives " +
           std::to_string(walk.header.frame_count);
  return "";
}

bool flic_has_ring_frame(const FlicWalk& walk) {
  return walk.header.frame_count > 0 && walk.frame_records > walk.header.frame_count;
}
