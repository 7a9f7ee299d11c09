// A change run over a text cut into chunks of whole lines that several
// threads work on at once. The output is the same, byte for byte, as that of
// one run over the whole text: each chunk starts from what the chunks before
// it leave (line count, the line before, the tag state, a join across the
// boundary), and the sort and the removal of duplicates see every line.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Splitting.h"

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
  std::FILE* f_;
  std::string path_;
  unsigned long long left_;
  bool mayWait_;  // a pipe or a terminal, whose reads wait for input
  std::atomic<bool> cancelled_{false};
};

class FileByteWriter final : public ByteWriter {
 public:
  FileByteWriter(std::FILE* f, std::string path);
  void write(std::string_view bytes) override;
  void finish();  // flushes; throws FileError

 private:
  std::FILE* f_;
  std::string path_;
};

struct ParallelOptions {
  unsigned jobs = 2;  // threads working on chunks, at least 1
  // Bytes a chunk is cut at (at the line boundary before); a longer line
  // makes a longer chunk. At most 2 * jobs + 2 chunks are held at a time.
  std::size_t chunkBytes = std::size_t(1) << 20;
  // The output line terminator; empty for the input's first (LF when none).
  std::string terminator;
  // Where the input starts within a longer text.
  PieceBoundary start;
  // The text after the input, when the input is a piece of a longer text:
  // action 44 joins its first line to the input's last line.
  ByteReader* after = nullptr;
};

struct ParallelResult {
  RunResult run;
  // What the input leaves to the text after it.
  PieceBoundary end;
  // Chunks run a second time because the start guessed for them (a join by
  // action 44 across their first boundary) was not the one found.
  std::size_t reruns = 0;
};

// Runs a validated request over in, writing to out: the same bytes, and the
// same stop and messages, as RunChange over the whole text (with the same
// terminator). When the run stops, nothing has been written. FileError from
// in or out propagates.
ParallelResult RunParallel(const ChangeRequest& request, ByteReader& in, ByteWriter& out,
                           const ParallelOptions& options);

// The facts of the text that in holds (whole lines), as far as a request
// needs them. One that needs nothing but the terminator reads only up to it.
PieceFacts ScanText(ByteReader& in, const SplitNeeds& needs);

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
