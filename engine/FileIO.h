// Byte-exact file access for the engine: error texts, temporary files created
// safely, block-buffered line reading and writing, the zero-byte scan and the
// cleaned copy.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LineStream.h"

namespace quorlin {

// "File not found", "File access denied", "Disk full" or "I/O error N".
std::string FileErrorText(int errnum);

// A failed file operation: the file layer's text and the path, as the error box
// shows them ("File not found\n/path/to/file").
class FileError : public std::runtime_error {
 public:
  FileError(int errnum, std::string path);
  int code() const { return code_; }
  const std::string& path() const { return path_; }
  std::string text() const { return FileErrorText(code_); }

 private:
  int code_;
  std::string path_;
};

// Owns a FILE*; closes it on destruction, ignoring errors (use Close to see them).
class File {
 public:
  File() = default;
  File(std::FILE* f, std::string path) : f_(f), path_(std::move(path)) {}
  File(File&& o) noexcept : f_(o.f_), path_(std::move(o.path_)) { o.f_ = nullptr; }
  File& operator=(File&& o) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  std::FILE* get() const { return f_; }
  const std::string& path() const { return path_; }
  explicit operator bool() const { return f_ != nullptr; }
  // Closes the file; throws FileError when the close reports an error.
  void Close();

 private:
  std::FILE* f_ = nullptr;
  std::string path_;
};

// Opens an existing file for binary reading; throws FileError.
File OpenForReading(const std::string& path);

// Creates path afresh for binary writing: an existing file or link of that
// name is removed first, and the new file is created exclusively, without
// following a link, readable and writable by its owner only. Throws FileError.
File CreateFreshFile(const std::string& path);

// Removes a file, ignoring every failure.
void RemoveFileQuietly(const std::string& path);

// Reads lines in large blocks: CR LF, LF and a lone CR each end a line; a final
// line break gives no empty last line. The view handed out stays valid until
// the next call. Throws FileError on a read error.
class BlockLineReader final : public LineSource {
 public:
  explicit BlockLineReader(std::FILE* f, std::string path, std::size_t blockSize = 1 << 20);
  bool next(std::string_view& line) override;
  // The first line terminator read ("\r\n", "\n", "\r"), or "" while none has
  // been read (a text without line breaks never gets one).
  std::string_view firstTerminator() const { return firstTerminator_; }

 private:
  bool refill();  // more bytes after pos_; false at end of file

  std::FILE* f_;
  std::string path_;
  std::vector<char> buf_;
  std::size_t blockSize_;
  std::size_t pos_ = 0, end_ = 0;
  // Cached positions of the next CR and LF at or after pos_ (end_ when none).
  std::size_t nextCr_ = 0, nextLf_ = 0;
  bool eof_ = false;
  std::string_view firstTerminator_;
};

// Writes each line followed by a terminator, buffered in large blocks. Throws
// FileError on a write error; Finish flushes and reports any pending error.
class BlockLineWriter final : public LineSink {
 public:
  BlockLineWriter(std::FILE* f, std::string path, std::string terminator,
                  std::size_t blockSize = 1 << 20);
  void write(std::string_view line) override;
  void setTerminator(std::string terminator) { terminator_ = std::move(terminator); }
  void Finish();

 private:
  void flush();
  std::FILE* f_;
  std::string path_;
  std::string terminator_;
  std::string buf_;
  std::size_t blockSize_;
};

// The whole file as bytes; throws FileError.
std::string ReadFileBytes(const std::string& path);

// True when the file holds at least one zero byte; throws FileError.
bool FileHasNulls(const std::string& path);

// Writes the source's bytes without its zero bytes to target (created fresh,
// before the source is opened). Throws FileError; a failure leaves a partial
// target behind.
void CopyWithoutNulls(const std::string& source, const std::string& target);

}  // namespace quorlin
