// SPDX-License-Identifier: Apache-2.0
// Files as the engine opens them: for reading, created afresh for work files,
// written safely over an output file, and removed.
#pragma once

#include <cstdio>
#include <string>

namespace quorlin {

// Owns a FILE*; closes it on destruction, ignoring errors (use Close to see them).
class File {
 public:
  File() = default;
  File(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {}
  File(File&& o) noexcept : file_(o.file_), path_(std::move(o.path_)) { o.file_ = nullptr; }
  File& operator=(File&& o) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  std::FILE* get() const { return file_; }
  const std::string& path() const { return path_; }
  explicit operator bool() const { return file_ != nullptr; }
  // Closes the file; throws FileError when the close reports an error.
  void close();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

// Opens an existing file for binary reading; throws FileError.
File OpenForReading(const std::string& path);

// Creates path afresh for binary writing (and reading back): an existing file
// or link of that name is removed first, and the new file is created
// exclusively, without following a link, readable and writable by its owner
// only. Throws FileError.
File CreateFreshFile(const std::string& path);

// Writes a file through a temporary file in the target's folder, renamed over
// the target by Commit, so that a failure leaves an existing target whole. An
// existing target that the user may not write is refused ("File access
// denied"); one that is replaced keeps its permissions, and its owner and
// group where the process may set them. The rename replaces the name: other
// hard links keep the old contents. A target that exists but is no regular
// file (a device, a pipe) is written directly.
class SafeOutputFile {
 public:
  explicit SafeOutputFile(std::string target);  // throws FileError
  SafeOutputFile(const SafeOutputFile&) = delete;
  SafeOutputFile& operator=(const SafeOutputFile&) = delete;
  ~SafeOutputFile();  // removes the temporary file unless committed

  std::FILE* get() const { return file_.get(); }
  const std::string& target() const { return target_; }
  // The temporary file's name; empty when the target is written directly.
  const std::string& temporary() const { return temp_; }
  void commit();  // throws FileError

 private:
  std::string target_;  // as given, for messages
  std::string real_;    // the file replaced: the target, or where its link points
  std::string temp_;    // empty when writing the target directly
  File file_;
  bool done_ = false;
};

#ifndef _WIN32
// The file open on fd takes the owner and group of the file at path where
// this process may give them (a file saved by root over a user's file stays
// the user's; else the group alone, where it may), then that file's
// permissions, which a change of owner may clear. False, and nothing
// changed, when there is no file at path.
bool KeepOwnerAndMode(const std::string& path, int fd);
#endif

// Removes a file, ignoring every failure.
void RemoveFileQuietly(const std::string& path);

}  // namespace quorlin
