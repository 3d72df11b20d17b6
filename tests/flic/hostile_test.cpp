// Damaged and hostile files: every decode ends, writes nothing outside the active
// buffer (the sanitizer build checks every access) and gives a defined result.
// A file that ends inside a frame stops the decode without counting that frame; a
// chunk whose decoder wants more than the chunk holds stops it with one frame less
// (not below 0); a record too short for its header stops it with the frames done.
#include <cstring>

#include "tests/flic/flic_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes le16(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

Bytes header(int width, int height) {
  FlicWriter w;
  fw_begin(w, FLIC_MAGIC_FLC, uint16_t(width), uint16_t(height), 0);
  return w.bytes;
}
Bytes chunk_sized(uint32_t size, uint16_t type, const Bytes& data) { return le32(size) + le16(type) + data; }
Bytes chunk(uint16_t type, const Bytes& data) { return chunk_sized(uint32_t(6 + data.size()), type, data); }
Bytes record_sized(uint32_t size, uint16_t chunks, const Bytes& body, uint16_t type = FLIC_FRAME_TYPE) {
  return le32(size) + le16(type) + le16(chunks) + Bytes(8, 0) + body;
}
Bytes record(uint16_t chunks, const Bytes& body) {
  return record_sized(uint32_t(16 + body.size()), chunks, body);
}
Bytes cut(const Bytes& b, size_t drop) { return Bytes(b.begin(), b.end() - long(drop)); }

const Bytes black_frame = record(1, chunk(13, {}));
const Bytes eight_by_four(int v) {  // an uncompressed 8 x 4 frame of value v
  return record(1, chunk(16, Bytes(32, uint8_t(v))));
}

struct HostileCase {
  const char* name;
  Bytes file;
  int32_t result;  // of flic_play(count -1)
};

class Hostile : public Flic, public ::testing::WithParamInterface<HostileCase> {};

}  // namespace

TEST_P(Hostile, EndsWithADefinedResult) {
  const HostileCase& c = GetParam();
  start(8, 4);
  identity_map();
  open(save_bytes(c.file));
  EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_NO_PAUSE), c.result);
  // A survey walks the file as the decode did, and judges it alike.
  const FlicReport decoded = context_.report;
  flic_skip(&context_, -1);
  EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_SURVEY), c.result) << "survey";
  EXPECT_EQ(context_.report.records, decoded.records) << "survey";
  EXPECT_EQ(context_.report.damage, decoded.damage) << "survey";
  EXPECT_EQ(context_.report.quirks, decoded.quirks) << "survey";
  // The same bytes from memory, where they fit.
  if (c.file.size() <= GFX_STREAM_BUFFER_SIZE) {
    std::memcpy(gfx_state().stream_buffer, c.file.data(), c.file.size());
    gfx_state().stream_size = uint32_t(c.file.size());
    context_.next_offset = 128;
    EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_MEMORY), c.result) << "memory mode";
  }
}

const Bytes frame_8x4 = header(8, 4);
const Bytes huge_frame = header(5000, 3000);

INSTANTIATE_TEST_SUITE_P(
    Flic, Hostile,
    ::testing::Values(
        // Chunk sizes.
        HostileCase{"ChunkSizeZero", frame_8x4 + record_sized(22, 1, chunk_sized(0, 13, {})) + black_frame,
                    0},
        HostileCase{"ChunkSizeBelowItsHeader", frame_8x4 + record_sized(22, 1, chunk_sized(5, 13, {})), 0},
        HostileCase{"ChunkSizeOdd", frame_8x4 + record(2, chunk_sized(7, 13, {0}) + chunk(13, {})), 1},
        HostileCase{"ChunkLargerThanItsFrameIsCutAtTheFrameEnd",
                    frame_8x4 + record(1, chunk_sized(1000, 13, {})) + black_frame, 2},
        HostileCase{"ChunkSizeNegativeAsSigned",
                    frame_8x4 + record(1, chunk_sized(0xFFFFFFF0, 18, {})) + black_frame, 2},
        HostileCase{"ChunkLargerThanTheFile",
                    frame_8x4 + black_frame + record_sized(100000, 1, chunk_sized(99000, 16, {1, 2})), 1},
        HostileCase{"MoreChunksThanTheFrameHolds", frame_8x4 + record(60, chunk(13, {})) + black_frame, 2},
        HostileCase{"DecoderWantsMoreThanTheChunk",
                    frame_8x4 + black_frame + record(1, chunk(16, Bytes(5, 1))) + black_frame, 0},
        // Record sizes.
        HostileCase{"RecordSizeZero", frame_8x4 + black_frame + record_sized(0, 0, {}), 1},
        HostileCase{"RecordSizeBelowItsHeader", frame_8x4 + record_sized(15, 0, {}), 0},
        // A last record whose size runs past the end of the file, its chunks (none) whole.
        HostileCase{"RecordSizeNegativeAsSigned", frame_8x4 + record_sized(0x80000000, 0, {}), 1},
        HostileCase{"RecordLargerThanTheFile", frame_8x4 + black_frame + record_sized(1 << 30, 0, {}), 2},
        HostileCase{"PrefixSizeBelowItsType", frame_8x4 + record_sized(3, 0, {}, FLIC_PREFIX_TYPE), 0},
        HostileCase{"PrefixLargerThanTheFile", frame_8x4 + record_sized(5000, 0, {}, FLIC_PREFIX_TYPE), 0},
        // The file ends inside a frame header, a chunk header, a chunk, a packet.
        HostileCase{"EndsInsideARecordSize", frame_8x4 + black_frame + Bytes{0x20}, 1},
        HostileCase{"EndsInsideAFrameHeader", frame_8x4 + black_frame + cut(black_frame, 14), 1},
        HostileCase{"EndsInsideAChunkHeader", frame_8x4 + cut(black_frame, 3), 0},
        HostileCase{"EndsInsideAnUncompressedChunk", frame_8x4 + cut(eight_by_four(3), 10), 0},
        HostileCase{"EndsInsideARunLengthLiteral",
                    frame_8x4 + cut(record(1, chunk(15, {0, 0xF8, 1, 2, 3, 4, 5, 6, 7, 8})), 4), 0},
        HostileCase{"EndsInsideAColourPacket",
                    frame_8x4 + cut(record(1, chunk(4, {1, 0, 0, 0, 1, 2, 3, 4})), 2), 0},
        // Lines and skips past the frame or the buffer.
        HostileCase{"ByteDeltaFirstLinePastTheHeight",
                    frame_8x4 + record(1, chunk(12, {0xE8, 3, 2, 0, 1, 0, 0xFF, 7, 1, 0, 0xFF, 7})), 1},
        HostileCase{"ByteDeltaLineCountWithoutLines", frame_8x4 + record(1, chunk(12, {0, 0, 0xFF, 0xFF})),
                    0},
        HostileCase{"ByteDeltaSkipsAndRunsPastTheWidth",
                    frame_8x4 + record(1, chunk(12, {0, 0, 1, 0, 2, 6, 0x81, 9, 255, 10,
                                                     9, 9, 9, 9, 9, 9, 9,    9, 9,   9})),
                    1},
        HostileCase{"WordDeltaSkipRowsPastTheHeight",
                    frame_8x4 + record(1, chunk(7, le16(2) + le16(0xC000) + le16(0xC000) + le16(1) +
                                                       Bytes{0, 0xFF, 5, 5} + le16(0))),
                    1},
        HostileCase{"WordDeltaPacketsPastTheWidth",
                    frame_8x4 + record(1, chunk(7, le16(1) + le16(3) +
                                                       Bytes{7, 0x81, 1, 2, 255, 1, 3, 4, 200, 0, 0})),
                    1},
        HostileCase{"WordDeltaHugePacketCountWithoutPackets",
                    frame_8x4 + record(1, chunk(7, le16(1) + le16(0x7FFF))), 0},
        HostileCase{"WordDeltaOnlySkipWords",
                    frame_8x4 + record(1, chunk(7, le16(0xFFFF) + Bytes(400, 0xFF))), 0},
        HostileCase{"RunLengthPacketsPastTheWidth",
                    frame_8x4 + record(1, chunk(15, {0, 0x7F, 1, 0, 0x80}) + Bytes{}), 0},
        // Frames larger than the buffer, and empty ones.
        HostileCase{
            "HugeFrameIntoASmallBuffer",
            huge_frame + record(3, chunk(13, {}) + chunk(16, Bytes(9000, 4)) + chunk(15, Bytes(300, 0x7F))),
            0},
        HostileCase{"HugeFrameLastByteWords",
                    huge_frame + record(1, chunk(7, le16(1) + le16(0x8005) + le16(0))), 1},
        HostileCase{"ZeroByZeroFrame",
                    header(0, 0) +
                        record(3, chunk(13, {}) + chunk(15, {}) + chunk(7, le16(1) + le16(0x8001) + le16(0))),
                    1},
        HostileCase{"ZeroWidthTallFrame",
                    header(0, 60000) + record(2, chunk(16, {}) + chunk(15, Bytes(10, 0))), 0},
        HostileCase{"ColourPacketsWithoutData", frame_8x4 + record(1, chunk(11, le16(0xFFFF))), 0}),
    [](const auto& hostile_case) { return std::string(hostile_case.param.name); });

TEST_F(Flic, NegativeDrawingPositionClipsAtTheTopAndLeft) {
  start(8, 4);
  identity_map();
  fill_buffer(0xEE);
  Bytes rows;
  for (int i = 0; i < 32; ++i) rows.push_back(uint8_t(i));
  open(save_bytes(header(8, 4) + record(1, chunk(16, rows))));
  gfx_state().draw_x = -3;
  gfx_state().draw_y = -2;
  ASSERT_EQ(flic_play(&context_, 1, GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION), 1);
  Bytes expected(32, 0xEE);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) expected[static_cast<size_t>(y * 8 + x)] = uint8_t((y + 2) * 8 + x + 3);
  EXPECT_EQ(pixels(), expected);
}

TEST_F(Flic, DrawingPositionOutsideTheBufferDrawsNothing) {
  start(8, 4);
  identity_map();
  fill_buffer(0xEE);
  const std::string path = save_bytes(header(8, 4) + eight_by_four(1) + eight_by_four(2) + black_frame);
  open(path);
  for (const auto& [x, y] :
       {std::pair{8, 0}, {0, 4}, {-8, 0}, {0, -4}, {2000000000, 2000000000}, {-2000000000, 5}}) {
    gfx_state().draw_x = x;
    gfx_state().draw_y = y;
    flic_skip(&context_, -1);
    EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_AT_POSITION), 3);
    EXPECT_EQ(pixels(), Bytes(32, 0xEE)) << x << ", " << y;
  }
}

TEST_F(Flic, MemoryModeSizeWordBeyondTheStreamBufferIsHeldToIt) {
  start(8, 4);
  open(save_bytes(header(8, 4) + black_frame));
  std::memset(gfx_state().stream_buffer, 0, GFX_STREAM_BUFFER_SIZE);
  const Bytes file = header(8, 4) + black_frame;
  std::memcpy(gfx_state().stream_buffer, file.data(), file.size());
  gfx_state().stream_size = 1u << 30;
  // The zeros after the frame read as a record of size 0: decoding stops there.
  EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_MEMORY), 1);
  gfx_state().stream_size = 0;
  EXPECT_EQ(flic_play(&context_, -1, GFX_FLAG_NO_PAUSE | GFX_FLAG_MEMORY), 0);
}

TEST_F(Flic, SkipStopsInFrontOfARecordTooSmallToPass) {
  start(8, 4);
  open(save_bytes(header(8, 4) + black_frame + le32(2) + Bytes(20, 0)));
  EXPECT_EQ(flic_skip(&context_, 5), 1);
  EXPECT_EQ(flic_skip(&context_, 1), 0) << "the position did not move past it";
}
