// SPDX-License-Identifier: Apache-2.0
#include "engine/DocumentReading.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "engine/FileError.h"
#include "engine/Files.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

namespace {

#ifndef _WIN32
// Closes a descriptor when it goes.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::string ReadPipe(int fd, const std::string& path, const PipeLimits& limits,
                     const ReadProgress& progress) {
  std::string bytes;
  std::vector<char> block(1 << 16);
  for (;;) {
    // Wait for bytes or the end; never longer than the limit in one wait.
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, limits.silentMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) throw FileError(LastError(), path);
    if (ready == 0) throw FileError(kPipeSilentText, path);
    const ssize_t n = ::read(fd, block.data(), block.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) throw FileError(LastError(), path);
    if (n == 0) return bytes;
    if (bytes.size() + std::size_t(n) > limits.maxBytes) throw FileError(kPipeTooLargeText, path);
    bytes.append(block.data(), std::size_t(n));
    if (progress) progress(bytes.size(), 0);
  }
}
#endif

}  // namespace

std::string ReadDocument(const std::string& path, const PipeLimits& pipes,
                         const ReadProgress& progress) {
#ifdef _WIN32
  (void)pipes;
  (void)progress;
  File f = OpenForReading(path);
  std::string bytes;
  std::vector<char> block(1 << 20);
  for (;;) {
    errno = 0;
    const std::size_t n = std::fread(block.data(), 1, block.size(), f.get());
    bytes.append(block.data(), n);
    if (n < block.size()) {
      if (std::ferror(f.get())) throw FileError(LastError(), path);
      return bytes;
    }
  }
#else
  // What the name is, told before it is opened: opening a device or a pipe
  // may wait or act.
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0) throw FileError(LastError(), path);
  const bool pipe = S_ISFIFO(named.st_mode);
  if (!S_ISREG(named.st_mode) && !(pipe && pipes.allowed)) throw FileError(kNotPlainFileText, path);

  // Without waiting for a writer; then the very file stated must be the one
  // opened.
  const Descriptor d{::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)};
  if (d.fd < 0) throw FileError(LastError(), path);
  struct stat st {};
  if (::fstat(d.fd, &st) != 0) throw FileError(LastError(), path);
  if (st.st_dev != named.st_dev || st.st_ino != named.st_ino ||
      (st.st_mode & S_IFMT) != (named.st_mode & S_IFMT))
    throw FileError(kNotPlainFileText, path);
  if (pipe) return ReadPipe(d.fd, path, pipes, progress);

  std::string bytes;
  bytes.reserve(std::size_t(st.st_size));
  std::vector<char> block(1 << 20);
  for (;;) {
    const ssize_t n = ::read(d.fd, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError(LastError(), path);
    if (n == 0) return bytes;
    bytes.append(block.data(), std::size_t(n));
    if (progress) progress(bytes.size(), std::size_t(st.st_size));
  }
#endif
}

void WriteCleanedCopy(std::string& bytes, const std::string& target) {
  File out = CreateFreshFile(target);
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size())
    throw FileError(LastError(), target);
  out.close();
}

}  // namespace quorlin
