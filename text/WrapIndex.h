// SPDX-License-Identifier: Apache-2.0
// The rows every line is displayed in when lines wrap at the pane's width,
// for the scroll bar, the status line's figures and the way from a row on the
// screen to a line of the text. Lines are counted in blocks of up to 1024
// lines: an edit recounts only the blocks it touched, a look-up walks at most
// one block, and a line that fits a row by its byte count alone is never
// measured.
//
// A line longer than kLongLine bytes keeps where its rows start. An edit
// inside it wraps again from the row before the one it changed, only until
// the rows meet those it had before; nothing else reads or copies its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "text/LineLayout.h"
#include "text/Text.h"
#include "text/TextLines.h"

namespace quorlin::text {

class WrapIndex {
 public:
  static constexpr std::size_t kLongLine = std::size_t{64} * 1024;

  // Counts the rows of every line of text wrapped at width (1/64 pixel).
  void rebuild(const Text& text, std::shared_ptr<const Measure> measure, std::int64_t width);
  // change made text out of the text the index holds.
  void update(const Text& text, const Change& change);
  // Forgets everything (word wrap was turned off).
  void clear();

  std::size_t rows() const { return rowStarts_.empty() ? 0 : rowStarts_.back(); }
  // The first row of a line.
  std::size_t rowOfLine(std::size_t line) const;
  struct Place {
    std::size_t line = 0;
    std::size_t row = 0;  // within the line
  };
  // The line that holds a row (the last row for one beyond).
  Place lineOfRow(std::size_t row) const;
  // Where the rows of a line start, from the line's start; [0] is 0. Valid
  // until the next call.
  const std::vector<std::size_t>& rowStarts(std::size_t line) const;

 private:
  struct Block {
    std::size_t lines = 0;
    std::size_t rows = 0;
  };
  struct LongLine {
    std::size_t start = 0, length = 0;
    std::vector<std::size_t> starts;  // from the line's start
  };
  // Counts count lines from first into blocks appended to out.
  void count(std::size_t first, std::size_t count, std::vector<Block>& out) const;
  // The rows of the lines lines gives next, count of them, to f(rows).
  template <class F>
  void countLines(ShownLines& lines, std::size_t count, F&& f) const;
  // The saved rows of the line [start, start + length), wrapped when not yet.
  const LongLine& longLine(std::size_t start, std::size_t length) const;
  // The change lies within line (of the text before it) and broke no line.
  void rewrap(LongLine& line, const Change& change) const;
  void sum();
  std::size_t blockOfLine(std::size_t line) const;
  const std::vector<std::size_t>& rowsOfBlock(std::size_t block) const;

  static constexpr std::size_t kBlockLines = 1024;
  static constexpr auto kNone = static_cast<std::size_t>(-1);
  Text text_;
  std::shared_ptr<const Measure> measure_;
  std::int64_t width_ = 0;
  std::vector<Block> blocks_;
  std::vector<std::size_t> lineStarts_, rowStarts_;  // per block, and one past the last
  mutable std::vector<LongLine> longLines_;          // by start
  // The rows of each line of one block, the one last asked about.
  mutable std::size_t cachedBlock_ = kNone;
  mutable std::vector<std::size_t> cachedRows_;
  // The row starts of one line short enough to wrap again when asked.
  mutable std::size_t cachedLine_ = kNone;
  mutable std::vector<std::size_t> cachedStarts_;
};

}  // namespace quorlin::text
