// SPDX-License-Identifier: Apache-2.0
// The two ends of a change run: a source of input lines and a sink for output
// lines. Lines carry no terminator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

class KeyPattern;

// What a source can tell about a line it hands out, found while it scans its
// bytes anyway (and so without a pass of its own over each line).
struct LineFacts {
  bool hasTab = false;
  // 1 or 0 when the source watches a key and the line does or does not hold
  // it (bytes compared exactly), or a pattern (tabs as they are); -1 when not
  // known.
  signed char hasKey = -1;
  // 1 or 0 when the source tells whether the line holds a byte above 127; -1
  // when not known.
  signed char hasHigh = -1;
};

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Sets line to the next line and returns true, or returns false at the end.
  // The view stays valid until the next call.
  virtual bool next(std::string_view& line) = 0;
  // Same, also telling what is known about the line.
  virtual bool next(std::string_view& line, LineFacts& facts) {
    const bool more = next(line);
    facts.hasTab = more && line.find('\t') != std::string_view::npos;
    facts.hasKey = -1;
    facts.hasHigh = -1;
    return more;
  }
  // Asks the source to report whether each line holds key, compared exactly
  // or, with caseBlind, folding the letters A-Z. A source may ignore it (and
  // report -1).
  virtual void watchKey(std::string_view /*key*/, bool /*caseBlind*/) {}
  // The same for a match of pattern (compiled for searches over blocks),
  // which outlives the reading. A source may report -1 for any line, and
  // does for a line with a tab that the pattern may tell from spaces.
  virtual void watchPattern(const KeyPattern* /*pattern*/) {}

  // Whether nextLines may hand out more than nothing.
  virtual bool givesLines() const { return false; }
  // The whole lines from where the source stands, each with its line break,
  // handed out and passed at once: up to the first line that holds the
  // watched key (untilKey) or a "<" or ">" (untilBracket), as far as the
  // source has them at hand. Empty when there are none; the lines come one
  // by one from next() then. The view stays valid until the next call.
  virtual std::string_view nextLines(bool /*untilKey*/, bool /*untilBracket*/) { return {}; }
  // As nextLines(true, false), followed by the line that holds the key when
  // the source has it whole at hand; keyLine tells whether it came.
  virtual std::string_view nextLinesAndKeyLine(bool& keyLine) {
    keyLine = false;
    return nextLines(true, false);
  }
};

// How lines written many at once are changed: tabs expanded with stops
// every tabWidth columns, the letters from fold on ('a', 'A'; 0 for none) in
// the other case, each line cut after cap bytes.
struct LineShape {
  int tabWidth = 8;
  char fold = 0;
  std::size_t cap = std::size_t(-1);
};

class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void write(std::string_view line) = 0;
  // Writes raw with its tabs expanded (stops every tabWidth columns, 2..16).
  // A sink with a buffer of its own can expand straight into it.
  virtual void writeExpanded(std::string_view raw, int tabWidth);
  // Whether writeLines may take more than nothing.
  virtual bool takesLines() const { return false; }
  // Writes whole lines, each ended by CR LF, LF or a lone CR, as write() would
  // write them one by one changed as shape says: as many as it takes at
  // once. Returns the bytes of lines taken (0 when the first line must go
  // through write) and adds the number of lines to count.
  virtual std::size_t writeLines(std::string_view /*lines*/, const LineShape& /*shape*/,
                                 std::size_t& /*count*/) {
    return 0;
  }
  // Takes back the line that writeLines wrote last, to be written anew: its
  // bytes as written, without their terminator, valid until the next write.
  // Every sink that takes lines must give it: a run that writes lines many
  // at once asks for the last when only lines with the key change.
  virtual std::string_view takeBackLastLine() { return {}; }

 private:
  std::string expanded_;
};

// Where the whole lines of bytes from `from` on end that all come before
// limit, and before the first "<" or ">" when untilBracket: from when none
// does. A CR that ends them is taken for a line break of its own.
std::size_t WholeLinesEnd(std::string_view bytes, std::size_t from, std::size_t limit,
                          bool untilBracket);
// Where the line that holds the byte at `at` ends, with its break, or npos
// when the break is not in bytes: more bytes may follow when open, so that a
// CR at the very end may be the start of a CR LF.
std::size_t LineEndAfter(std::string_view bytes, std::size_t at, bool open);

// Writes whole lines into out as LineSink::writeLines does: tabs expanded,
// letters folded, each line ended by terminator (1 or 2 bytes). Returns the
// lines written; stops, when given, has room for one more than there are
// and gets where each line ends, counted from where the first starts.
class ByteBuffer;
std::size_t AppendLines(ByteBuffer& out, std::string_view lines, const LineShape& shape,
                        std::string_view terminator, std::size_t* stops = nullptr);
// Takes the last line, ended by a terminator of terminatorLength, off the end
// of out (as LineSink::takeBackLastLine).
std::string_view TakeBackLastLine(ByteBuffer& out, std::size_t terminatorLength);

// The key a source watches for while it scans its bytes: one that holds no CR
// or LF, so that an occurrence found in a block lies within one line.
class KeyWatch {
 public:
  // Watches key (none when it is empty or holds a CR or LF). Set again to the
  // same key, as each block of a run does, it keeps what it learned.
  void set(std::string_view key, bool caseBlind);
  bool active() const { return !key_.empty(); }
  // The offset of the first occurrence in bytes at or after from; npos when
  // there is none. Calls on the same bytes with from rising look at each byte
  // about once; reset() before other bytes.
  std::size_t find(std::string_view bytes, std::size_t from);
  void reset() { nextLower_ = nextUpper_ = kUnknown; }

 private:
  std::size_t findFirstByte(std::string_view bytes, std::size_t from);

  static constexpr std::size_t kUnknown = std::string_view::npos - 1;
  static constexpr std::size_t kSample = std::size_t(1) << 12;  // bytes counted once dense
  std::string key_;
  bool askedBlind_ = false;  // as set() was last called
  bool caseBlind_ = false;
  // Folding A-Z: the next places of the key's first byte in either case.
  std::size_t nextLower_ = kUnknown, nextUpper_ = kUnknown;
  // How often a place of the first byte did not start the key; once that is
  // common, two of its bytes are looked for together (PreparedKey).
  std::size_t misses_ = 0, passed_ = 0;  // and the bytes passed meanwhile
  bool dense_ = false;
  QuorlinUtils::PreparedKey prepared_;  // made and searched once dense
};

}  // namespace quorlin
