// flic_play: walks the records and chunks of an opened FLIC, hands each known chunk
// to its decoder, pauses after each frame and leaves the file at the next record.
#include <unistd.h>

#include <algorithm>

#include "flic/decoder.h"
#include "flic/flic.h"
#include "gfx/gfx.h"
#include "platform/system.h"

namespace {

// How one record ended.
enum class RecordEnd {
  frame,          // a frame was decoded
  prefix,         // a prefix record was passed over
  end_of_file,    // no record is left: the data ends at a record boundary
  short_record,   // a record too short for its own header
  cut_off,        // the data ends inside the record
  bad_chunk,      // a chunk too short for its own header
  chunk_overrun,  // a chunk's decoder wanted more than the chunk holds
};

bool is_colour_chunk(uint32_t type) { return type == FLIC_CHUNK_COLOUR_256 || type == FLIC_CHUNK_COLOUR_64; }

// Which chunks a pass over a frame decodes. A frame's colour chunks take effect for
// the whole frame: when one comes after a pixel chunk, the frame's pixel chunks are
// decoded again once all its colours are in (they only write values, so a second
// pass writes the same pixels through the final colour map).
enum class Pass {
  all,     // every known chunk, in file order
  pixels,  // the pixel chunks only, colour chunks passed over
};

// Decodes one chunk; true when it was a pixel chunk.
bool decode_chunk(FlicDecoder& d, uint32_t type, Pass pass) {
  switch (type) {
    case FLIC_CHUNK_COLOUR_256:
    case FLIC_CHUNK_COLOUR_64:
      if (pass == Pass::all) flic_colour_chunk(d, type == FLIC_CHUNK_COLOUR_64);
      return false;
    case FLIC_CHUNK_WORD_DELTA:
      flic_word_delta_chunk(d);
      return true;
    case FLIC_CHUNK_BYTE_DELTA:
      flic_byte_delta_chunk(d);
      return true;
    case FLIC_CHUNK_BLACK:
      flic_black_chunk(d);
      return true;
    case FLIC_CHUNK_BYTE_RUN:
      flic_byte_run_chunk(d);
      return true;
    case FLIC_CHUNK_UNCOMPRESSED:
      flic_uncompressed_chunk(d);
      return true;
    default:
      return false;  // skipped whole at the chunk's end
  }
}

// The chunks of a frame whose header has been read. A chunk's decoder may read on
// past the chunk's size but never past the frame record: some writers give the last
// chunk of a frame a size a few bytes short of the data they wrote, inside a longer
// record, which is read through as a quirk; a chunk that reads into the next chunk is
// damage. A chunk that claims more than the record holds is cut at the record's end,
// and a frame whose remaining bytes cannot hold a chunk header has no more chunks,
// whatever its chunk count says.
struct FrameWalk {
  int64_t left;      // bytes of the record not yet covered by chunk sizes
  uint32_t chunks;   // chunks to walk; on return, the chunks begun
  bool colour_late;  // set when a colour chunk follows a pixel chunk
};

RecordEnd decode_chunks(FlicDecoder& d, FrameWalk& walk, Pass pass) {
  FlicStream& s = d.s;
  int64_t& frame_left = walk.left;
  const uint32_t chunks = walk.chunks;
  bool pixels_drawn = false;
  for (uint32_t c = 0; c < chunks && frame_left >= FLIC_CHUNK_HEADER_SIZE; ++c) {
    walk.chunks = c + 1;
    s.limit = FLIC_NO_LIMIT;
    const int64_t claimed = fs_long(s);
    const int64_t size = std::min(claimed, frame_left);
    const uint32_t type = fs_word(s);
    d.at.chunk = c + 1;
    d.at.chunk_type = type;
    if (s.end_of_data) return RecordEnd::cut_off;
    if (claimed > frame_left) fdec_damage(d, FlicDamage::chunk_past_record);
    // A size smaller than the chunk's own header leaves its data nowhere to be.
    if (size < FLIC_CHUNK_HEADER_SIZE) return RecordEnd::bad_chunk;
    if (pass == Pass::all && d.tally != nullptr) ++d.tally[type];
    frame_left -= size;
    const uint64_t data = static_cast<uint64_t>(size - FLIC_CHUNK_HEADER_SIZE);
    const uint64_t reach = data + static_cast<uint64_t>(frame_left);  // to the record's end
    s.limit = reach;
    if (pixels_drawn && is_colour_chunk(type)) walk.colour_late = true;
    if (decode_chunk(d, type, pass)) pixels_drawn = true;
    if (s.end_of_data) return RecordEnd::cut_off;
    if (s.overrun) return RecordEnd::chunk_overrun;
    const uint64_t used = reach - s.limit;
    if (used > data) {
      const uint64_t lacking = used - data;
      frame_left -= static_cast<int64_t>(lacking);
      if (c + 1 < chunks && frame_left >= FLIC_CHUNK_HEADER_SIZE) return RecordEnd::chunk_overrun;
      if (pass == Pass::all && (d.report->quirks & FLIC_QUIRK_SHORT_CHUNK) == 0) {
        d.report->quirks |= FLIC_QUIRK_SHORT_CHUNK;
        d.report->short_chunk = d.at;
        d.report->short_chunk.amount = lacking;
      }
      continue;
    }
    fs_skip(s, data - used);  // padding, or whatever the decoder left
    if (s.end_of_data) return RecordEnd::cut_off;
  }
  s.limit = FLIC_NO_LIMIT;
  return RecordEnd::frame;
}

// A frame's chunks: one pass in file order, and a second over the same chunks' pixel
// chunks when a colour chunk came late. The reader is then left exactly where the
// first pass left it.
RecordEnd decode_frame_chunks(FlicDecoder& d, uint32_t chunks, int64_t& frame_left) {
  const FlicMark start = fs_mark(d.s);
  FrameWalk walk{frame_left, chunks, false};
  const RecordEnd end = decode_chunks(d, walk, Pass::all);
  if (walk.colour_late) {
    const FlicMark finish = fs_mark(d.s);
    fs_restore(d.s, start);
    FrameWalk again{frame_left, walk.chunks, false};
    decode_chunks(d, again, Pass::pixels);
    fs_restore(d.s, finish);
  }
  frame_left = walk.left;
  return end;
}

// The damage a record's end shows, or none.
FlicDamage damage_of(RecordEnd end) {
  switch (end) {
    case RecordEnd::short_record:
      return FlicDamage::short_record;
    case RecordEnd::cut_off:
      return FlicDamage::cut_off;
    case RecordEnd::bad_chunk:
      return FlicDamage::bad_chunk;
    case RecordEnd::chunk_overrun:
      return FlicDamage::chunk_overrun;
    default:
      return FlicDamage::none;
  }
}

RecordEnd walk_record(FlicDecoder& d) {
  FlicStream& s = d.s;
  FlicReport& report = *d.report;
  s.limit = FLIC_NO_LIMIT;
  d.at = FlicPlace{report.records + 1, 0, 0, 0};
  const uint32_t first = fs_byte(s);
  if (s.end_of_data) return RecordEnd::end_of_file;
  const uint32_t size = first | (fs_byte(s) << 8) | (fs_word(s) << 16);
  const uint32_t type = fs_word(s);
  if (s.end_of_data) return RecordEnd::cut_off;
  if (type == FLIC_PREFIX_TYPE) {
    if (size < FLIC_RECORD_SIZE_AND_TYPE) return RecordEnd::short_record;
    fs_skip(s, size - FLIC_RECORD_SIZE_AND_TYPE);
    if (s.end_of_data) return RecordEnd::cut_off;
    ++report.prefix_records;
    return RecordEnd::prefix;
  }
  // Sizes below the header, and sizes negative as signed numbers, end the decode.
  if (static_cast<int32_t>(size - FLIC_RECORD_HEADER_SIZE) < 0) return RecordEnd::short_record;
  int64_t frame_left = size - FLIC_RECORD_HEADER_SIZE;
  const uint32_t chunks = fs_word(s);
  fs_skip(s, FLIC_RECORD_RESERVED);
  if (s.end_of_data) return RecordEnd::cut_off;
  const RecordEnd end = decode_frame_chunks(d, chunks, frame_left);
  if (end != RecordEnd::frame) return end;
  // A record whose size runs past the end of the file while all its chunks are whole
  // loses nothing: a writer's quirk.
  const uint64_t missing = fs_skip(s, static_cast<uint64_t>(frame_left));
  if (missing > 0 && (report.quirks & FLIC_QUIRK_LONG_LAST_RECORD) == 0) {
    report.quirks |= FLIC_QUIRK_LONG_LAST_RECORD;
    report.long_record = d.at;
    report.long_record.chunk = 0;
    report.long_record.amount = missing;
  }
  ++report.records;
  return RecordEnd::frame;
}

// One record, with the damage it shows noted in the report.
RecordEnd decode_record(FlicDecoder& d) {
  const RecordEnd end = walk_record(d);
  const FlicDamage damage = damage_of(end);
  if (damage != FlicDamage::none) fdec_damage(d, damage);
  if (end != RecordEnd::frame && end != RecordEnd::prefix) d.report->at_end = true;
  return end;
}

// The pause after a record lasts until the next frame is due.
void pause_after_frame(const FlicContext* context, uint32_t flags) {
  if ((flags & (GFX_FLAG_NO_PAUSE | GFX_FLAG_SURVEY)) || context->frame_us == 0) return;
  plat_wait_until_us(flic_next_due(context));
}

// The frames of one call, with the buffer locked. A file that ends inside a frame
// stops the call: the frame is not counted (what it drew so far stays in the buffer)
// and the result is the number of frames finished before it, as at the end of the
// file. A chunk overrun gives one less, but not below 0.
int32_t decode_frames(FlicContext* context, int32_t count, uint32_t flags) {
  GfxState& g = gfx_state();
  const bool memory = (flags & GFX_FLAG_MEMORY) != 0;
  if (count == 0 || (context->lost != 0 && !memory)) return 0;
  context->resident = 0;
  g.io_handle = context->handle;

  FlicDecoder d{};
  d.flags = flags;
  d.survey = (flags & GFX_FLAG_SURVEY) != 0;
  d.report = &context->report;
  d.tally = context->chunk_tally;
  d.width = context->width;
  d.height = context->height;
  if (flags & GFX_FLAG_AT_POSITION) {
    d.origin_x = g.draw_x;
    d.origin_y = g.draw_y;
  }
  fdec_set_row(d, d.origin_y);
  FlicBulk bulk;
  const uint32_t memory_size = std::min(g.stream_size, GFX_STREAM_BUFFER_SIZE);
  if (memory) {
    if (context->next_offset >= memory_size) return 0;
    fs_start_memory(d.s, context->next_offset, memory_size);
  } else {
    fs_start_file(d.s, context->handle, &bulk);
  }

  int32_t frames = 0;
  int64_t remaining = count;  // a negative count never runs out
  while (remaining != 0) {
    switch (decode_record(d)) {
      case RecordEnd::frame:
        pause_after_frame(context, flags);
        ++frames;
        --remaining;
        break;
      case RecordEnd::prefix:
        pause_after_frame(context, flags);
        break;
      case RecordEnd::end_of_file:
      case RecordEnd::short_record:
      case RecordEnd::cut_off:
        return frames;
      case RecordEnd::bad_chunk:
      case RecordEnd::chunk_overrun:
        return std::max(frames - 1, 0);
    }
  }
  if (memory) {
    context->next_offset = memory_size - d.s.left;
    context->resident = 1;
  } else if (d.s.left > 0 && lseek(context->handle, -static_cast<off_t>(d.s.left), SEEK_CUR) < 0) {
    context->lost = 1;  // the next record began among the bytes read ahead
  }
  return frames;
}

}  // namespace

// A frame is due one frame time after the previous frame's due time, or one frame time
// from now when playback has fallen behind by more than a frame (or has just started).
int64_t flic_next_due(const FlicContext* context) {
  GfxState& g = gfx_state();
  const int64_t now = plat_clock_us();
  const int64_t frame_us = context->frame_us;
  int64_t due = now + frame_us;
  if (g.frame_due_valid && now - g.frame_due_us <= frame_us) due = g.frame_due_us + frame_us;
  g.frame_due_us = due;
  g.frame_due_valid = 1;
  return due;
}

void flic_restart_clock() { gfx_state().frame_due_valid = 0; }

int32_t flic_frames_decoded(const FlicContext* context) {
  return static_cast<int32_t>(std::min<uint32_t>(context->report.records, context->frame_count));
}

int32_t flic_play(FlicContext* context, int32_t count, uint32_t flags) {
  if (flags & GFX_FLAG_SURVEY) return decode_frames(context, count, flags);
  int32_t result = 0;
  if (vb_lock()) result = decode_frames(context, count, flags);
  vb_unlock();
  return result;
}
