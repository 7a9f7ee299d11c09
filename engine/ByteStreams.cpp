// SPDX-License-Identifier: Apache-2.0
#include "engine/ByteStreams.h"

#include <algorithm>
#include <cerrno>

#include "engine/FileError.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

FileByteReader::FileByteReader(std::FILE* f, std::string path, unsigned long long limit)
    : file_(f), path_(std::move(path)), left_(limit) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
#ifndef _WIN32
  struct stat st {};
  mayWait_ = ::fstat(::fileno(file_), &st) != 0 || !S_ISREG(st.st_mode);
#endif
}

std::size_t FileByteReader::read(char* to, std::size_t n) {
  n = static_cast<std::size_t>(std::min<unsigned long long>(n, left_));
  if (n == 0 || cancelled_) return 0;
#ifndef _WIN32
  // Input that may never come is waited for in short steps, so that a run
  // that has ended meanwhile is not held up.
  while (mayWait_) {
    pollfd p{::fileno(file_), POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (cancelled_) return 0;
    if (ready > 0 || (ready < 0 && errno != EINTR)) break;
  }
#endif
#ifdef _WIN32
  errno = 0;
  const std::size_t got = std::fread(to, 1, n, file_);
  if (got < n && std::ferror(file_)) throw FileError(LastError(), path_);
#else
  ssize_t got;
  do {
    got = ::read(::fileno(file_), to, n);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw FileError(LastError(), path_);
#endif
  left_ -= static_cast<unsigned long long>(got);
  return static_cast<std::size_t>(got);
}

FileByteWriter::FileByteWriter(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

void FileByteWriter::write(std::string_view bytes) {
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    throw FileError(LastError(), path_);
}

void FileByteWriter::finish() {
  errno = 0;
  if (std::fflush(file_) != 0) throw FileError(LastError(), path_);
}

void SeekTo(std::FILE* f, const std::string& path, unsigned long long offset) {
  errno = 0;
#ifdef _WIN32
  const int failed = _fseeki64(f, static_cast<long long>(offset), SEEK_SET);
#else
  const int failed = ::fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
  if (failed != 0) throw FileError(LastError(), path);
}

unsigned long long LineStartFrom(std::FILE* f, const std::string& path, unsigned long long offset) {
  if (offset == 0) return 0;
  // From the byte before offset: a line starts after an LF, and after a CR
  // that no LF follows.
  SeekTo(f, path, offset - 1);
  FileByteReader in(f, path);
  char buf[4096];
  unsigned long long at = offset - 1;  // the offset of buf[0]
  bool afterCr = false;
  for (;;) {
    const std::size_t got = in.read(buf, sizeof buf);
    if (got == 0) return at;
    for (std::size_t i = 0; i < got; ++i) {
      if (afterCr) return at + i + (buf[i] == '\n' ? 1 : 0);
      if (buf[i] == '\n') return at + i + 1;
      if (buf[i] == '\r') afterCr = true;
    }
    at += got;
  }
}

}  // namespace quorlin
