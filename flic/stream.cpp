// The frame decoder's stream reader over the library's stream buffer.
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "flic/decoder.h"
#include "gfx/gfx.h"

namespace {

// Where the next refill reads to, and how much: the stream buffer, or within a chunk
// that reaches further than the stream buffer holds, the bulk buffer (grown to what
// the chunk needs, up to FS_BULK_MOST) when it can be had.
uint8_t* refill_place(FlicStream& s, uint32_t& size) {
  size = GFX_STREAM_BUFFER_SIZE;
  if (s.bulk == nullptr || s.limit == FLIC_NO_LIMIT || s.limit <= GFX_STREAM_BUFFER_SIZE)
    return gfx_state().stream_buffer;
  FlicBulk& bulk = *s.bulk;
  const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(s.limit, FS_BULK_MOST));
  if (bulk.size < want) {
    // Nothing points into the old bytes: the buffers are empty at a refill, and a mark
    // taken before it is restored by moving the file position.
    delete[] bulk.bytes;
    bulk.bytes = new (std::nothrow) uint8_t[want];
    bulk.size = bulk.bytes != nullptr ? want : 0;
    if (bulk.bytes == nullptr) return gfx_state().stream_buffer;
  }
  size = want;
  return bulk.bytes;
}

// Fills the stream buffer (or the bulk buffer) from the file; false when the file
// gives nothing more.
bool refill(FlicStream& s) {
  if (s.memory || gfx_stopped()) return false;
  uint32_t size;
  uint8_t* const place = refill_place(s, size);
  ssize_t got;
  do {
    got = read(s.fd, place, size);
  } while (got < 0 && errno == EINTR);
  gfx_state().bytes_read = got > 0 ? static_cast<uint32_t>(got) : 0;
  if (got <= 0) return false;
  s.pos = place;
  s.left = static_cast<uint32_t>(got);
  s.fetched += static_cast<uint64_t>(got);
  ++s.refills;
  return true;
}

}  // namespace

// Makes bytes available for the next fetch; false (with the reason recorded) if none.
bool fs_ensure(FlicStream& s) {
  if (fs_stopped(s)) return false;
  if (s.limit == 0) {
    s.overrun = true;
    return false;
  }
  if (s.left == 0 && !refill(s)) {
    s.end_of_data = true;
    return false;
  }
  return true;
}

void fs_start_file(FlicStream& s, int32_t fd, FlicBulk* bulk) {
  s = FlicStream{};
  s.pos = gfx_state().stream_buffer;
  s.limit = FLIC_NO_LIMIT;
  s.fd = fd;
  s.bulk = bulk;
}

void fs_start_memory(FlicStream& s, uint32_t offset, uint32_t size) {
  s = FlicStream{};
  s.pos = gfx_state().stream_buffer + offset;
  s.left = size - offset;
  s.limit = FLIC_NO_LIMIT;
  s.fd = -1;
  s.memory = true;
}

uint32_t fs_byte_refill(FlicStream& s) {
  if (!fs_ensure(s)) return 0;
  --s.left;
  --s.limit;
  return *s.pos++;
}

uint64_t fs_skip(FlicStream& s, uint64_t n) {
  while (n > 0 && fs_ensure(s)) {
    const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>({n, s.left, s.limit}));
    s.pos += take;
    s.left -= take;
    s.limit -= take;
    n -= take;
  }
  return n;
}

void fs_restore(FlicStream& s, const FlicMark& mark) {
  if (s.memory || s.refills == mark.at.refills) {
    s = mark.at;  // the stream buffer still holds the marked bytes
    return;
  }
  // Both offsets count from where this reader started in the file.
  const uint64_t consumed_then = mark.at.fetched - mark.at.left;
  const off_t delta = static_cast<off_t>(consumed_then) - static_cast<off_t>(s.fetched);
  const bool moved = lseek(s.fd, delta, SEEK_CUR) >= 0;
  const uint64_t refills = s.refills + 1;
  s = mark.at;
  s.pos = gfx_state().stream_buffer;
  s.left = 0;
  s.fetched = consumed_then;
  s.refills = refills;
  if (!moved) s.end_of_data = true;
}

uint64_t fs_read_pieces(FlicStream& s, iovec* pieces, int count) {
  uint64_t delivered = 0;
  while (count > 0) {
    if (gfx_stopped()) {
      s.end_of_data = true;
      break;
    }
    const ssize_t got = readv(s.fd, pieces, count);
    if (got < 0 && errno == EINTR) continue;
    gfx_state().bytes_read = got > 0 ? static_cast<uint32_t>(got) : 0;
    if (got <= 0) {
      s.end_of_data = true;
      break;
    }
    delivered += static_cast<uint64_t>(got);
    s.limit -= static_cast<uint64_t>(got);
    s.fetched += static_cast<uint64_t>(got);
    ++s.refills;  // the file moved on without the stream buffer
    // Pass over the pieces filled, and the filled part of the next.
    size_t rest = static_cast<size_t>(got);
    while (count > 0 && rest >= pieces->iov_len) {
      rest -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<uint8_t*>(pieces->iov_base) + rest;
      pieces->iov_len -= rest;
    }
  }
  return delivered;
}
