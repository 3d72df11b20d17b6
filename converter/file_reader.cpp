// The bounded file reader.
#include "converter/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "gfx/gfx.h"

bool reader_open(FileReader& reader, const std::string& name, std::string& reason) {
  // Non-blocking, so that a named pipe without a writer is refused below instead of
  // waited on; reads of regular files are not affected.
  reader.fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  reader.size = 0;
  if (reader.fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat facts {};
  bool facts_read = fstat(reader.fd, &facts) == 0;
  if (!facts_read || !S_ISREG(facts.st_mode)) {
    reason = !facts_read              ? std::strerror(errno)
             : S_ISDIR(facts.st_mode) ? "is a directory"
                                      : "is not a regular file";
    close(reader.fd);
    reader.fd = -1;
    return false;
  }
  reader.size = static_cast<uint64_t>(facts.st_size);
  return true;
}

bool reader_read(const FileReader& reader, uint64_t offset, void* out, uint32_t n) {
  // A worker told to stop reads no more, as the library's own reads do.
  if (gfx_stopped() || offset > reader.size || n > reader.size - offset) return false;
  auto* at = static_cast<uint8_t*>(out);
  while (n > 0) {
    ssize_t got = pread(reader.fd, at, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<uint32_t>(got);
  }
  return true;
}

size_t write_fully(int fd, const void* bytes, size_t n, int& error) {
  const auto* from = static_cast<const uint8_t*>(bytes);
  size_t done = 0;
  while (done < n) {
    const ssize_t wrote = write(fd, from + done, n - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error = wrote < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(wrote);
  }
  return done;
}

void reader_close(FileReader& reader) {
  if (reader.fd >= 0) close(reader.fd);
  reader.fd = -1;
}
