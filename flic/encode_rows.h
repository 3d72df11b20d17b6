// The packets of one row for the FLIC writer's encoders, chosen for the fewest bytes.
// Internal to the FLIC writer.
//
// A row is cut into packets by dynamic programming over the columns: the cheapest way
// to have written every changed pixel left of each column, with the decoder's column
// there, given the packet shapes of the chunk kind (a run of one value or word, a
// literal, a skip of up to 255 unchanged pixels before each packet of a delta, and a
// packet that only skips). A delta may write unchanged pixels again where that is
// cheaper (a run through them, a literal across a short gap). The word delta's packets
// may start at any column, so the last column of an odd width is reached by a word
// that starts one column before it, after an odd skip; the word that sets the last
// column alone is not written (some readers put its pixel elsewhere).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class RowKind : uint8_t {
  byte_run,    // every pixel, from column 0: count, then a run value or a literal
  byte_delta,  // skip, count, then a run value or literal bytes; 255 packets at most
  word_delta,  // skip, count, then a run word or literal words
};

// The working arrays of the row coder, kept from row to row so that a frame costs no
// allocation after its first row.
struct RowCoder {
  std::vector<int32_t> cost;        // cheapest cost with the decoder's column at each column
  std::vector<int32_t> start;       // cheapest cost of a packet whose data starts at each column
  std::vector<int32_t> cost_from;   // where the packet that ends at each column starts its data
  std::vector<int32_t> start_from;  // the column a packet's skip starts from
  std::vector<uint8_t> cost_kind;
  std::vector<int32_t> queue[5];  // monotone queues: starts, literal and run windows (by parity)
  struct Packet {
    int32_t skip;   // columns skipped before it
    int32_t at;     // its first column
    int32_t units;  // pixels or words it writes (0: a packet that only skips)
    bool run;
  };
  std::vector<Packet> packets;  // of the last row planned, left to right
};

// Plans one row: prev is the row the decoder holds (null for the byte run, which
// writes every pixel). The bytes the packets take (without the row's packet count),
// or -1 when the row cannot be written in this kind (more packets than the count
// holds, or a word delta of a 1-pixel-wide frame). The packets are in coder.packets.
int64_t row_plan(RowCoder& coder, RowKind kind, const uint8_t* prev, const uint8_t* next, int32_t width);

// Appends the planned packets' bytes (after the row's packet count).
void row_emit(const RowCoder& coder, RowKind kind, const uint8_t* next, std::vector<uint8_t>& out);

// The data of a whole chunk of each kind for frames of width x height pixels (rows top
// first), appended to out: false, with out cut back, once it would take more than
// limit bytes or when a row cannot be written in this kind.
bool encode_byte_run(RowCoder& coder, const uint8_t* pixels, int32_t width, int32_t height, size_t limit,
                     std::vector<uint8_t>& out);
bool encode_byte_delta(RowCoder& coder, const uint8_t* prev, const uint8_t* next, int32_t width,
                       int32_t height, size_t limit, std::vector<uint8_t>& out);
bool encode_word_delta(RowCoder& coder, const uint8_t* prev, const uint8_t* next, int32_t width,
                       int32_t height, size_t limit, std::vector<uint8_t>& out);
