// SPDX-License-Identifier: Apache-2.0
// Lines read and written in large blocks: the change run's source and sink on
// files. Each transfers its next block on a thread of its own while the
// current one is worked on.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ByteBuffer.h"
#include "engine/KeyPattern.h"
#include "engine/LineBreaks.h"
#include "engine/LineStream.h"
#include "textutil/QuorlinUtils.h"

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
  // The common line, ended in the block by an LF or by a CR with a byte after
  // it, is found here; the rest (the first line, a refill, the end) in
  // nextSlow.
  bool next(std::string_view& line, LineFacts& facts) override {
    const char* const base = block_.data();
    bool tabs, high;
    const auto stop = std::size_t(FindLineEnd(base + scanFrom_, base + end_, tabs, high) - base);
    scanTab_ = scanTab_ || tabs;
    scanHigh_ = scanHigh_ || high;
    scanFrom_ = stop;
    if (stop >= end_ || (base[stop] == '\r' && stop + 1 == end_) || firstTerminator_.empty())
      return nextSlow(line, facts);
    take(line, facts, stop, stop + (base[stop] == '\r' && base[stop + 1] == '\n' ? 2 : 1));
    return true;
  }
  // Keys holding CR or LF are not watched (they never match within a line).
  void watchKey(std::string_view key, bool caseBlind) override;
  void watchPattern(const KeyPattern* pattern) override { pattern_ = PatternWatch(pattern); }
  bool givesLines() const override { return true; }
  std::string_view nextLines(bool untilKey, bool untilBracket) override {
    return linesAhead(untilKey, untilBracket, nullptr);
  }
  std::string_view nextLinesAndKeyLine(bool& keyLine) override {
    return linesAhead(true, false, &keyLine);
  }
  // The first line terminator read ("\r\n", "\n", "\r"), or "" while none has
  // been read (a text without line breaks never gets one).
  std::string_view firstTerminator() const { return firstTerminator_; }

 private:
  bool nextSlow(std::string_view& line, LineFacts& facts);
  std::string_view linesAhead(bool untilKey, bool untilBracket, bool* keyLine);
  // Hands out the line at pos_ that ends at stop; the next starts at after.
  void take(std::string_view& line, LineFacts& facts, std::size_t stop, std::size_t after) {
    line = std::string_view(block_.data() + pos_, stop - pos_);
    facts.hasTab = scanTab_;
    facts.hasHigh = scanHigh_ ? 1 : 0;
    facts.hasKey = key_.active()       ? (holdsKey(pos_, stop) ? 1 : 0)
                   : pattern_.active() ? holdsPattern(pos_, stop)
                                       : -1;
    pos_ = scanFrom_ = after;
    scanTab_ = scanHigh_ = false;
  }
  bool refill();  // more bytes after pos_; false at end of file
  bool holdsKey(std::size_t start, std::size_t stop);
  signed char holdsPattern(std::size_t start, std::size_t stop) {
    return pattern_.holds({block_.data(), end_}, start, stop, scanTab_);
  }
  void readAhead();

  // Bytes kept in front of a block for the unfinished line of the block before.
  static constexpr std::size_t kHeadroom = 1 << 14;

  std::FILE* file_;
  std::string path_;
  std::size_t blockSize_;
  ByteBuffer block_;  // the block being worked on: bytes [pos_, end_)
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;

  // The block read ahead, into ahead_ after kHeadroom bytes.
  ByteBuffer ahead_;
  std::size_t aheadLen_ = 0;
  int aheadError_ = 0;
  bool aheadStarted_ = false;

  // Where the search for the end of the line at pos_ goes on (after a
  // refill), and whether a tab or a byte above 127 was met before it.
  std::size_t scanFrom_ = 0;
  bool scanTab_ = false;
  bool scanHigh_ = false;
  // The next watched key at or after pos_ (end_ when none), searched once per
  // occurrence or block, not once per line.
  static constexpr std::size_t kStale = ~std::size_t(0);
  std::size_t nextKey_ = kStale;
  KeyWatch key_;
  PatternWatch pattern_;
  std::string_view firstTerminator_;

  // Last, so that it goes first: its thread may be reading into ahead_ until
  // it is joined. The destructor also waits before anything else goes.
  std::unique_ptr<BlockTransfer> transfer_;  // null: read in the calling thread
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
  void write(std::string_view line) override {
    if (line.size() + 2 > capacity_ - used_ || decide_) [[unlikely]] {
      writeSlow(line);
      return;
    }
    char* d = block_.get() + used_;
    if (!line.empty()) std::memcpy(d, line.data(), line.size());  // an empty view may hold null
    d[line.size()] = terminator_[0];
    d[line.size() + 1] = terminator_[1];
    used_ += line.size() + terminatorLength_;
  }
  // Expands straight into the block, given room for the worst case (every
  // byte a tab) plus what the expansion needs.
  void writeExpanded(std::string_view raw, int tabWidth) override {
    const std::size_t room = raw.size() * std::size_t(tabWidth) + 34;
    if (room > capacity_ - used_ || decide_) [[unlikely]] {
      writeExpandedSlow(raw, tabWidth);
      return;
    }
    char* const d = block_.get() + used_;
    char* e = QuorlinUtils::ExpandTabsInto(d, d + room - 2, raw, tabWidth);
    e[0] = terminator_[0];
    e[1] = terminator_[1];
    used_ = std::size_t(e - block_.get()) + terminatorLength_;
  }
  bool takesLines() const override { return true; }
  std::string_view takeBackLastLine() override {
    // writeLines puts whole lines into the block, so the last is there.
    const std::size_t end = used_ - terminatorLength_;
    const std::size_t start = QuorlinUtils::EndOfLastLine(std::string_view(block_.get(), end));
    used_ = start;
    return {block_.get() + start, end - start};
  }
  std::size_t writeLines(std::string_view lines, const LineShape& shape,
                         std::size_t& count) override;
  void finish();

 private:
  void flush();
  void writeSlow(std::string_view line);
  void writeExpandedSlow(std::string_view raw, int tabWidth);
  void checkError();
  std::FILE* file_;
  std::string path_;
  char terminator_[2] = {'\r', '\n'};
  std::size_t terminatorLength_ = 2;
  std::function<std::string_view()> decide_;
  std::unique_ptr<char[]> block_, spare_;  // spare_ is being written meanwhile
  std::size_t capacity_, used_ = 0;
  std::unique_ptr<BlockTransfer> transfer_;
  int error_ = 0;  // set by the write thread, read after transfer_->wait()
};

}  // namespace quorlin
