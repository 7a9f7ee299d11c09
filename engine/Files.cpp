// SPDX-License-Identifier: Apache-2.0
#include "engine/Files.h"

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "engine/FileError.h"

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

namespace {

std::filesystem::path FsPath(const std::string& path) {
#ifdef _WIN32
  return {std::u8string(path.begin(), path.end())};
#else
  return {path};
#endif
}

}  // namespace

File& File::operator=(File&& o) noexcept {
  if (this != &o) {
    if (file_) std::fclose(file_);
    file_ = o.file_;
    path_ = std::move(o.path_);
    o.file_ = nullptr;
  }
  return *this;
}

File::~File() {
  if (file_) std::fclose(file_);
}

void File::close() {
  if (!file_) return;
  std::FILE* f = file_;
  file_ = nullptr;
  errno = 0;
  const bool bad = std::ferror(f) != 0;
  if (std::fclose(f) != 0 || bad) throw FileError(LastError(), path_);
}

File OpenForReading(const std::string& path) {
  errno = 0;
#ifdef _WIN32
  std::FILE* f = _wfsopen(FsPath(path).c_str(), L"rb", _SH_DENYNO);
#else
  std::FILE* f = std::fopen(path.c_str(), "rb");
#endif
  if (!f) throw FileError(LastError(), path);
  return {f, path};
}

File CreateFreshFile(const std::string& path) {
  // A file or a link of that name goes (a link itself, never its target); a
  // folder stays, and the exclusive create below then reports the name taken.
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(FsPath(path), ec)))
    std::filesystem::remove(FsPath(path), ec);
  errno = 0;
#ifdef _WIN32
  std::FILE* f = _wfopen(FsPath(path).c_str(), L"w+bx");
  if (!f) throw FileError(LastError(), path);
#else
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) throw FileError(LastError(), path);
  std::FILE* f = ::fdopen(fd, "w+b");
  if (!f) {
    const int err = LastError();
    ::close(fd);
    throw FileError(err, path);
  }
#endif
  return {f, path};
}

#ifndef _WIN32
bool KeepOwnerAndMode(const std::string& path, int fd) {
  struct stat old {};
  if (::stat(path.c_str(), &old) != 0) return false;
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  ::fchmod(fd, old.st_mode & 07777);  // last: a change of owner clears set-id bits
  return true;
}
#endif

void RemoveFileQuietly(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(FsPath(path), ec);
}

SafeOutputFile::SafeOutputFile(std::string target) : target_(std::move(target)) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path path = FsPath(target_);
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) path = resolved;
  }
  const fs::file_status st = fs::status(path, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    errno = 0;
#ifdef _WIN32
    std::FILE* f = _wfopen(path.c_str(), L"wb");
#else
    std::FILE* f = std::fopen(path.c_str(), "wb");
#endif
    if (!f) throw FileError(LastError(), target_);
    file_ = File(f, target_);
    return;
  }
#ifndef _WIN32
  // A file the user could not write in place is not replaced either.
  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0;
  errno = 0;
  if (replacing && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    throw FileError(LastError(), target_);
#endif
  // A fresh name beside the target; O_EXCL never replaces anything.
  const std::string base = path.string() + ".quorlin-";
  for (unsigned attempt = 0;; ++attempt) {
    const std::string candidate =
        base + std::to_string(std::random_device{}() % 1000000) + "-" + std::to_string(attempt);
    errno = 0;
#ifdef _WIN32
    std::FILE* f = _wfopen(FsPath(candidate).c_str(), L"wbx");
    const bool taken = !f && errno == EEXIST;
#else
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    std::FILE* f = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && !f) ::close(fd);
    const bool taken = fd < 0 && errno == EEXIST;
#endif
    if (f) {
      temp_ = candidate;
      file_ = File(f, target_);
      break;
    }
    if (!taken || attempt > 100) throw FileError(LastError(), target_);
  }
#ifndef _WIN32
  // Keep the target's owner, group and permissions; a new file gets the
  // usual ones.
  const int fd = ::fileno(file_.get());
  if (!replacing || !KeepOwnerAndMode(path.string(), fd)) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
#endif
  real_ = path.string();
}

SafeOutputFile::~SafeOutputFile() {
  if (!done_ && !temp_.empty()) {
    file_ = File();
    RemoveFileQuietly(temp_);
  }
}

void SafeOutputFile::commit() {
  errno = 0;
  if (std::fflush(file_.get()) != 0) throw FileError(LastError(), target_);
  file_.close();
  done_ = true;
  if (temp_.empty()) return;
  std::error_code ec;
  std::filesystem::rename(FsPath(temp_), FsPath(real_), ec);
  if (ec) {
    RemoveFileQuietly(temp_);
    throw FileError(ec.value(), target_);
  }
}

}  // namespace quorlin
