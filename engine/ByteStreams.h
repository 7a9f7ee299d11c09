// SPDX-License-Identifier: Apache-2.0
// Bytes read and written in order, from and to files and pipes, and byte
// ranges of a file cut at line starts.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace quorlin {

// Bytes read in order, from a file or a pipe.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Reads up to n bytes into to; 0 only at the end. Throws FileError.
  virtual std::size_t read(char* to, std::size_t n) = 0;
  // From another thread: a read that waits for input gives up soon and
  // reports the end, and so does every read after it.
  virtual void cancel() {}
};

// Bytes written in order. Throws FileError.
class ByteWriter {
 public:
  virtual ~ByteWriter() = default;
  virtual void write(std::string_view bytes) = 0;
};

// Reads a file from its current position, at most limit bytes; a read from a
// pipe returns what has arrived.
class FileByteReader final : public ByteReader {
 public:
  FileByteReader(std::FILE* f, std::string path,
                 unsigned long long limit = ~static_cast<unsigned long long>(0));
  std::size_t read(char* to, std::size_t n) override;
  void cancel() override { cancelled_ = true; }

 private:
  std::FILE* file_;
  std::string path_;
  unsigned long long left_;
  bool mayWait_ = false;  // a pipe or a terminal, whose reads wait for input
  std::atomic<bool> cancelled_{false};
};

class FileByteWriter final : public ByteWriter {
 public:
  FileByteWriter(std::FILE* f, std::string path);
  void write(std::string_view bytes) override;
  void finish();  // flushes; throws FileError

 private:
  std::FILE* file_;
  std::string path_;
};

// Byte ranges of a file, for pieces that are run apart: the piece of a range
// holds the lines that start in it, so that ranges cut anywhere give each
// line to exactly one piece.
//
// Moves to offset in f. Throws FileError.
void SeekTo(std::FILE* f, const std::string& path, unsigned long long offset);
// The offset of the first line that starts at or after offset (the end of the
// file when none does); f's position is left anywhere. Throws FileError.
unsigned long long LineStartFrom(std::FILE* f, const std::string& path, unsigned long long offset);

}  // namespace quorlin
