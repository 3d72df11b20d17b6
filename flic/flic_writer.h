// The FLIC writer.
//
// A file is built in memory, record by record:
//
//   FlicWriter w;
//   fw_begin(w, FLIC_MAGIC_FLC, 320, 200, 70);        // header: kind, size, speed
//   fw_begin_frame(w);                        // frame record
//   fw_palette(w, FLIC_CHUNK_COLOUR_256, rgb);  // chunks of the frame
//   fw_byte_run(w, pixels);
//   fw_end_frame(w);
//   ...                                       // more frames, e.g. fw_word_delta
//   fw_finish(w);                             // header size and frame count
//   fw_save(w, "out.flc");
//
// Pixel arrays are width * height bytes, rows top first. Encoded chunks are padded to
// an even size (the pad byte is counted in the chunk's size). A chunk written while no
// record is open opens a frame record.
//
// The encoders write the fewest bytes their chunk kind allows for each row (see
// flic/encode_rows.h). FlicEncoder, below, makes whole animations of them: it turns
// frames of pixels and colours into frame records, each with the chunk kind that takes
// the fewest bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file kinds (FLIC_MAGIC_FLI: speed in 1/70 s, 64-level colours; FLIC_MAGIC_FLC:
// speed in ms, 256-level colours), record and chunk types are the library's.
#include "flic/flic.h"

struct FlicWriter {
  std::vector<uint8_t> bytes;  // the file so far
  uint16_t magic = FLIC_MAGIC_FLC;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t frames = 0;      // frame records written (prefix records not counted)
  size_t record_start = 0;  // offset of the open record
  bool record_open = false;
  uint16_t record_chunks = 0;  // chunks in the open record
};

// One packet of a colour chunk: entries to pass over, then the entries' components
// (3 bytes each, 1 to 256 entries) written as given: 0-63 for the 64-level chunk.
struct FwColourPacket {
  uint8_t skip;
  std::vector<uint8_t> rgb;
};

// --- File --------------------------------------------------------------------------
// Starts a file: the 128-byte header with kind, size and speed (1/70 s or ms).
void fw_begin(FlicWriter& w, uint16_t magic, uint16_t width, uint16_t height, uint32_t speed);
// Opens a frame record; fw_end_frame closes it and counts it as a frame.
void fw_begin_frame(FlicWriter& w);
// Opens a prefix record (type 0xF100); fw_end_frame closes it without counting it.
void fw_begin_prefix(FlicWriter& w);
// Closes the open record, writing its size and chunk count.
void fw_end_frame(FlicWriter& w);
// Writes the file size and the frame count into the header: frame_count, or the
// number of frame records when it is negative. Call after the last record.
void fw_finish(FlicWriter& w, int32_t frame_count = -1);
// Writes the bytes to a file; false when it cannot be written.
bool fw_save(const FlicWriter& w, const std::string& path);

// --- Chunks ------------------------------------------------------------------------
// Colour chunk of type 4 or 11 from packets.
void fw_colour_chunk(FlicWriter& w, uint16_t type, const std::vector<FwColourPacket>& packets);
// Colour chunk setting all 256 entries from 8-bit components (768 bytes); for type 11
// each component is stored as its top 6 bits.
void fw_palette(FlicWriter& w, uint16_t type, const uint8_t* rgb);
// Black frame (type 13).
void fw_black(FlicWriter& w);
// Uncompressed frame (type 16): the rows as they stand.
void fw_uncompressed(FlicWriter& w, const uint8_t* pixels);
// Byte run-length frame (type 15), encoded from the pixels.
void fw_byte_run(FlicWriter& w, const uint8_t* pixels);
// Byte-oriented line delta (type 12) turning prev into next; false, with nothing
// written, when a row needs more than the 255 packets a row holds (only in frames
// wider than 765 pixels whose rows change in hundreds of places).
bool fw_byte_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next);
// Word-oriented line delta (type 7) turning prev into next; false, with nothing
// written, when a row cannot be written with word packets: a frame 1 pixel wide, a
// row of odd width all of whose pixels change (its last column is reached only by
// a word that starts after an odd skip), a row of more than 16,383 packets.
bool fw_word_delta(FlicWriter& w, const uint8_t* prev, const uint8_t* next);
// A chunk of any type with the given data (padded to an even size).
void fw_chunk(FlicWriter& w, uint16_t type, const std::vector<uint8_t>& data);
// A chunk whose size field is given outright (no padding): for damaged files.
void fw_chunk_sized(FlicWriter& w, uint32_t size_field, uint16_t type, const std::vector<uint8_t>& data);

// --- Raw bytes, for damaged files --------------------------------------------------
// Appends bytes as they stand (inside or outside a record).
void fw_raw(FlicWriter& w, const std::vector<uint8_t>& data);
// Little-endian helpers for building chunk data by hand.
void fw_put16(std::vector<uint8_t>& out, uint32_t value);
void fw_put32(std::vector<uint8_t>& out, uint32_t value);

// --- Encoders on their own (chunk data without the chunk header) ------------------
// Empty when the frames cannot be written in that kind (see fw_byte_delta and
// fw_word_delta).
std::vector<uint8_t> fw_encode_byte_run(const uint8_t* pixels, int width, int height);
std::vector<uint8_t> fw_encode_byte_delta(const uint8_t* prev, const uint8_t* next, int width, int height);
std::vector<uint8_t> fw_encode_word_delta(const uint8_t* prev, const uint8_t* next, int width, int height);

// --- The encoder: frames in, frame records of the fewest bytes out ---------------------
//
//   FlicEncoder e;
//   fe_begin(e, FLIC_MAGIC_FLC, width, height);
//   fe_frame(e, pixels, rgb, record);   // for every frame: write record after the header
//   fe_ring(e, record);                 // the ring frame, when wanted
//   fe_header(e, speed, file_size, header);   // the 128 bytes that start the file
//
// Each record holds a colour chunk of the entries that changed (every entry in the
// first frame), then the pixel chunk of fewest bytes: a byte run in the first frame;
// after it a word delta (FLC), a byte delta or a byte run, whichever is smallest, and
// no pixel chunk at all when no pixel changed.

// The chunk kinds the encoder chose.
struct FlicEncodeTally {
  uint32_t colour;    // colour chunks
  uint32_t byte_run;  // pixel chunks of each kind
  uint32_t byte_delta;
  uint32_t word_delta;
  uint32_t unchanged;  // records without a pixel chunk
};

struct FlicEncoder {
  uint16_t magic = FLIC_MAGIC_FLC;
  uint16_t width = 0;
  uint16_t height = 0;
  uint32_t frames = 0;               // frame records made, the ring frame not counted
  uint32_t first_record_size = 0;    // bytes of the first frame's record
  std::vector<uint8_t> first, last;  // the first and the last frame's pixels
  uint8_t first_colours[768] = {};   // their colours as stored: 0-63 in an FLI file
  uint8_t last_colours[768] = {};
  FlicEncodeTally tally{};
};

// The largest frame the encoder takes, in pixels: the most a buffer of the library holds.
constexpr int64_t FLIC_ENCODE_MAX_PIXELS = 64ll * 1024 * 1024;

// Starts an animation (of at most 65,535 frames, the count a header holds) of frames
// of width x height pixels, FLIC_MAGIC_FLI (64-level
// colours, no word delta) or FLIC_MAGIC_FLC; false for a size of 0 or larger than
// FLIC_ENCODE_MAX_PIXELS.
bool fe_begin(FlicEncoder& e, uint16_t magic, uint16_t width, uint16_t height);
// The record of the next frame into record (replacing what it held): width * height
// pixels and 256 colours of 8-bit red, green and blue (an FLI file keeps their top 6
// bits).
void fe_frame(FlicEncoder& e, const uint8_t* pixels, const uint8_t* rgb, std::vector<uint8_t>& record);
// The ring frame into record: it turns the last frame back into the first (after at
// least one frame).
void fe_ring(FlicEncoder& e, std::vector<uint8_t>& record);
// The file header for the frames made so far: speed in 1/70 s (FLI) or ms (FLC), the
// whole file's size; an FLC header also gives the offsets of frames 1 and 2.
void fe_header(const FlicEncoder& e, uint32_t speed, uint32_t file_size, uint8_t header[FLIC_HEADER_SIZE]);
