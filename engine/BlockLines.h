// SPDX-License-Identifier: Apache-2.0
// Lines read and written in large blocks: the change run's source and sink on
// files. Each transfers its next block on a thread of its own while the
// current one is worked on.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ByteBuffer.h"
#include "engine/KeyPattern.h"
#include "engine/LineStream.h"

namespace quorlin {

// Runs the block transfers on a thread of its own (BlockLines.cpp).
class BlockTransfer;

// Reads lines in large blocks: CR LF, LF and a lone CR each end a line; a final
// line break gives no empty last line. The view handed out stays valid until
// the next call. Throws FileError on a read error. From a regular file the
// next block is read ahead while the current one is worked on.
class BlockLineReader final : public LineSource {
 public:
  explicit BlockLineReader(std::FILE* f, std::string path, std::size_t blockSize = 1 << 18);
  ~BlockLineReader() override;
  bool next(std::string_view& line) override;
  bool next(std::string_view& line, LineFacts& facts) override;
  // Keys holding CR or LF are not watched (they never match within a line).
  void watchKey(std::string_view key) override;
  void watchPattern(const KeyPattern* pattern) override { pattern_ = PatternWatch(pattern); }
  // The first line terminator read ("\r\n", "\n", "\r"), or "" while none has
  // been read (a text without line breaks never gets one).
  std::string_view firstTerminator() const { return firstTerminator_; }

 private:
  bool refill();  // more bytes after pos_; false at end of file
  void readAhead();

  // Bytes kept in front of a block for the unfinished line of the block before.
  static constexpr std::size_t kHeadroom = 1 << 14;

  std::FILE* f_;
  std::string path_;
  std::size_t blockSize_;
  ByteBuffer buf_;  // the block being worked on: bytes [pos_, end_)
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;

  // The block read ahead, into ahead_ after kHeadroom bytes.
  ByteBuffer ahead_;
  std::size_t aheadLen_ = 0;
  int aheadError_ = 0;
  bool aheadStarted_ = false;

  // Cached positions of the next CR, LF, tab and watched key at or after pos_
  // (end_ when none), so that a byte that is rare in the text is searched for
  // once per occurrence or block, not once per line.
  static constexpr std::size_t kStale = ~std::size_t(0);
  std::size_t nextCr_ = kStale, nextLf_ = kStale, nextTab_ = kStale, nextKey_ = kStale;
  // After a refill the unfinished line is known to hold no CR or LF before
  // these positions: the searches go on from there.
  std::size_t crFrom_ = 0, lfFrom_ = 0;
  std::string key_;
  PatternWatch pattern_;
  std::string_view firstTerminator_;

  // Last, so that it goes first: its thread may be reading into ahead_ until
  // it is joined. The destructor also waits before anything else goes.
  std::unique_ptr<BlockTransfer> io_;  // null: read in the calling thread
};

// Writes each line followed by a terminator (at most 2 bytes), buffered in
// large blocks written by a thread of their own while the next block fills.
// Throws FileError on a write error (at the latest from Finish, which writes
// what is left).
class BlockLineWriter final : public LineSink {
 public:
  BlockLineWriter(std::FILE* f, std::string path, std::string_view terminator,
                  std::size_t blockSize = 1 << 18);
  ~BlockLineWriter() override;
  // The terminator is asked of decide when the first line is written (the
  // batch program ends lines as its input does, known once a line was read).
  void setTerminatorOnFirstWrite(std::function<std::string_view()> decide) {
    decide_ = std::move(decide);
  }
  void write(std::string_view line) override;
  void writeExpanded(std::string_view raw, int tabWidth) override;
  void finish();

 private:
  void flush();
  void writeSlow(std::string_view line);
  void checkError();
  std::FILE* f_;
  std::string path_;
  char term_[2] = {'\r', '\n'};
  std::size_t termLen_ = 2;
  std::function<std::string_view()> decide_;
  std::unique_ptr<char[]> buf_, spare_;  // spare_ is being written meanwhile
  std::size_t cap_, used_ = 0;
  std::unique_ptr<BlockTransfer> io_;
  int error_ = 0;  // set by the write thread, read after io_->wait()
};

}  // namespace quorlin
