// FLIC playback: header check and size, the playback context, the streaming frame
// decoder, frame skipping and looped playback in the display window.
#pragma once

#include <cstdint>
#include <vector>

// Header fields and magic numbers.
constexpr uint16_t FLIC_MAGIC_FLI = 0xAF11;
constexpr uint16_t FLIC_MAGIC_FLC = 0xAF12;
constexpr int FLIC_HEADER_SIZE = 128;
constexpr uint32_t FLIC_FIRST_FRAME_OFFSET = FLIC_HEADER_SIZE;
constexpr int FLIC_MAGIC_OFFSET = 4;    // 16-bit
constexpr int FLIC_FRAMES_OFFSET = 6;   // 16-bit frame count
constexpr int FLIC_WIDTH_OFFSET = 8;    // 16-bit
constexpr int FLIC_HEIGHT_OFFSET = 10;  // 16-bit
constexpr int FLIC_SPEED_OFFSET = 16;   // FLI: 16-bit, in 1/70 s; FLC: 32-bit, in ms
constexpr uint32_t FLI_SPEED_UNITS_PER_S = 70;
// A file whose speed is 0 (FLI or FLC) plays at 5/70 s a frame, the usual speed of
// the format's writers: its frame time (71428 us) and its delay in ticks are those of
// FLI speed 5.
constexpr uint32_t FLIC_DEFAULT_SPEED = 5;  // in 1/70 s
constexpr uint32_t FLIC_DEFAULT_FRAME_US = FLIC_DEFAULT_SPEED * 1000000 / FLI_SPEED_UNITS_PER_S;

// Records (frames and prefix records) and their chunks.
constexpr uint16_t FLIC_FRAME_TYPE = 0xF1FA;
constexpr uint16_t FLIC_PREFIX_TYPE = 0xF100;
constexpr uint32_t FLIC_RECORD_HEADER_SIZE = 16;
constexpr uint32_t FLIC_RECORD_SIZE_AND_TYPE = 6;  // bytes of a record read before its type is known
constexpr int FLIC_RECORD_TYPE_OFFSET = 4;         // 16-bit
constexpr int FLIC_RECORD_CHUNKS_OFFSET = 6;       // 16-bit chunk count
constexpr uint32_t FLIC_CHUNK_HEADER_SIZE = 6;
constexpr int FLIC_CHUNK_TYPE_OFFSET = 4;  // 16-bit, after the 32-bit size

// Chunk types.
constexpr uint16_t FLIC_CHUNK_COLOUR_256 = 4;
constexpr uint16_t FLIC_CHUNK_WORD_DELTA = 7;
constexpr uint16_t FLIC_CHUNK_COLOUR_64 = 11;
constexpr uint16_t FLIC_CHUNK_BYTE_DELTA = 12;
constexpr uint16_t FLIC_CHUNK_BLACK = 13;
constexpr uint16_t FLIC_CHUNK_BYTE_RUN = 15;
constexpr uint16_t FLIC_CHUNK_UNCOMPRESSED = 16;
constexpr uint16_t FLIC_CHUNK_STAMP = 18;  // a thumbnail; playback passes over it

// What the frame decoder met in the records it walked since the file was opened or
// rewound: the frame records it finished, the writers' quirks it read through without
// losing a pixel, and the first damage. Every reader of a file (the viewer, the
// checker, the facts and the export) takes its verdict from here.
enum FlicQuirk : uint32_t {
  FLIC_QUIRK_SHORT_CHUNK = 1,  // a frame's last chunk holds less than its data; the rest is in its record
  FLIC_QUIRK_LONG_LAST_RECORD =
      2,  // the last record's size runs past the end of the file; its chunks are whole
};
enum class FlicDamage : uint8_t {
  none,
  cut_off,            // the data ends inside a frame record
  short_record,       // a record's size is less than its own header
  bad_chunk,          // a chunk's size is less than its own header
  chunk_overrun,      // a chunk's decoder needs more than its record holds, or reads into the next chunk
  chunk_past_record,  // a chunk's size runs past the end of its record (cut there)
  row_overrun,        // a run-length row's packets run past the frame's width (the picture is clipped)
};
// Where something was met: the frame record (from 1; prefix records are not counted),
// the chunk in it (from 1; 0: the record itself), that chunk's type, and a count of
// bytes or pixels that says how much (see the fields that use it).
struct FlicPlace {
  uint32_t record;
  uint32_t chunk;
  uint32_t chunk_type;
  uint64_t amount;
};
struct FlicReport {
  uint32_t records;         // frame records decoded (the ring frame and any later ones included)
  uint32_t prefix_records;  // prefix records passed over
  uint32_t quirks;          // FlicQuirk bits
  FlicPlace short_chunk;    // the first short chunk; amount: the bytes it lacks
  FlicPlace long_record;    // the long last record; amount: the bytes its size runs past the end
  FlicDamage damage;        // the first damage met
  FlicPlace damaged;        // where; amount: pixels past the row for row_overrun, else 0
  bool at_end;              // the decoder has met the end of the data or stopped at damage
};

// A playback context, filled by flic_open and owned by the caller.
struct FlicContext {
  int32_t handle;         // the open file (the platform's whole handle)
  uint32_t next_offset;   // offset of the next frame in the stream buffer (memory mode)
  uint16_t frame_count;   // the header's frame count
  uint16_t width;         // the header's width
  uint16_t height;        // the header's height
  uint16_t delay;         // pause after each frame, in 18.2 Hz ticks
  uint16_t resident;      // 1 when the last decode ran on data in memory
  uint16_t lost;          // 1 once the file could not be moved to where the next record starts
  uint32_t frame_us;      // exact time between frames, in microseconds (0: no pause)
  FlicReport report;      // what the decoder met since flic_open or the last rewind
  uint32_t* chunk_tally;  // null (after flic_open), or 65536 counters of the chunk types met
};

// Reads the first 128 bytes of a file into header: 0 for a FLIC, -1 when it cannot be
// opened, -2 when it is too short or not a FLIC.
int32_t flic_check_header(const char* file_name, uint8_t* header);
// Width and height from a header, or -1 and -1 for a header that is not a FLIC; 0.
int32_t flic_size(const uint8_t* header, int32_t* width, int32_t* height);
// Opens a file into a context, positioned at its first frame: 0, -1 or -2.
int32_t flic_open(const char* file_name, FlicContext* context);
// Closes the context's file; 0.
int32_t flic_close(FlicContext* context);
// The animation frames the decoder finished: its frame records, up to the header's
// frame count (the ring frame and records after it are not animation frames).
int32_t flic_frames_decoded(const FlicContext* context);
// Walks a whole file without drawing (GFX_FLAG_SURVEY) and closes it again: the
// context's report then says what the file holds. tally, when not null, counts the
// chunk types met (65536 counters). 0, or flic_open's result.
int32_t flic_survey(const char* file_name, FlicContext* context, uint32_t* tally);
// Decodes the next count frames (all when negative) into the active buffer; returns
// the frames decoded. A frame cut off by the end of the data is not counted (what it
// drew stays); a chunk that holds less than its decoder needs ends the call with one
// frame less than were done, but not below 0. A file that cannot be moved back over
// the bytes read ahead (a pipe) gives no further frame until a rewind succeeds.
int32_t flic_play(FlicContext* context, int32_t count, uint32_t flags);
// n < 0 rewinds to the first frame (0); n > 0 passes over n records (the number passed;
// a file that cannot be moved stops the skip).
int32_t flic_skip(FlicContext* context, int32_t n);
// Plays a file in the display window loops times (0: until Escape): 0, or flic_open's result.
int32_t flic_show(const char* file_name, int32_t loops, uint32_t flags);

// --- A player's timing and positioning -------------------------------------------------
// When the next frame is due on the platform clock, as the pause after a frame takes
// it: one frame time after the last due time, or one frame time from now when playback
// has fallen behind by more than a frame or the clock was restarted. It becomes the
// last due time.
int64_t flic_next_due(const FlicContext* context);
// Forgets the last due time (after a pause): the next frame is due a frame time from now.
void flic_restart_clock();

// A copy of everything the decoder's next frame builds on, taken after a frame record:
// the active buffer, the colours, and where the next record starts.
struct FlicKeyframe {
  uint32_t record;  // the frame records decoded from the start of the file
  int64_t offset;   // where the next record starts in the file
  FlicReport report;
  std::vector<uint8_t> pixels;  // the whole active buffer
  uint8_t file_palette[256 * 3];
  uint8_t work_palette[256 * 3];
  uint8_t live_flags[256];
  uint8_t colour_map[256];
  uint8_t screen_colours[256 * 3];  // the logical palette as the screen shows it
};

// Copies kept along one file in one buffer: of frame 1 and of every interval-th frame,
// so that any frame is reached by decoding fewer than interval frames.
struct FlicKeyframes {
  uint32_t interval = 0;
  std::vector<FlicKeyframe> frames;  // in record order
};

// The interval that keeps the copies of a file of frames frames, each picture_bytes
// large, within about budget bytes (at least 8).
uint32_t flic_keyframe_interval(uint32_t frames, uint64_t picture_bytes, uint64_t budget);
// Forgets every copy and takes later ones every interval frames.
void flic_keyframes_reset(FlicKeyframes* keys, uint32_t interval);
// Keeps a copy of the state after the frame record the context decoded last, when
// that is frame 1 or falls on the interval and no copy of it is kept yet.
void flic_keyframes_note(FlicKeyframes* keys, const FlicContext* context);
// Decodes frame record `record` (from 1) into the active buffer, with its colours on
// screen, without pauses: from the nearest copy at or before it, or on from where the
// context is when that is nearer. Copies are taken on the way. Returns the frame
// records decoded from the start of the file (below record when the file holds fewer).
int32_t flic_seek(FlicContext* context, FlicKeyframes* keys, uint32_t record);
