// SPDX-License-Identifier: Apache-2.0
// The rows every line is displayed in when lines wrap at the pane's width,
// for the scroll bar, the status line's figures and the way from a row on the
// screen to a line of the text. Lines are counted in blocks of up to 1024
// lines: an edit recounts only the blocks it touched, a look-up walks at most
// one block, and a line that fits a row by its byte count alone is never
// measured.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/LineLayout.h"
#include "text/Text.h"

namespace quorlin::text {

class WrapIndex {
 public:
  // Counts the rows of every line of text wrapped at width (1/64 pixel).
  void rebuild(const Text& text, const Metrics& metrics, std::int64_t width);
  // Lines [first, first + oldLines) of the text before (at least one)
  // became lines [first, first + newLines) of text (at least one).
  void update(const Text& text, std::size_t first, std::size_t oldLines, std::size_t newLines);

  std::size_t rows() const { return rowStarts_.empty() ? 0 : rowStarts_.back(); }
  // The first row of a line.
  std::size_t rowOfLine(std::size_t line) const;
  struct Place {
    std::size_t line = 0;
    std::size_t row = 0;  // within the line
  };
  // The line that holds a row (the last row for one beyond).
  Place lineOfRow(std::size_t row) const;

 private:
  struct Block {
    std::size_t lines = 0;
    std::size_t rows = 0;
  };
  // Counts count lines from first into blocks appended to out.
  void count(std::size_t first, std::size_t count, std::vector<Block>& out) const;
  void sum();
  std::size_t blockOfLine(std::size_t line) const;
  const std::vector<std::size_t>& rowsOfBlock(std::size_t block) const;

  static constexpr std::size_t kBlockLines = 1024;
  Text text_;
  Metrics metrics_;
  std::int64_t width_ = 0;
  std::vector<Block> blocks_;
  std::vector<std::size_t> lineStarts_, rowStarts_;  // per block, and one past the last
  // The rows of each line of one block, the one last asked about.
  mutable std::size_t cachedBlock_ = static_cast<std::size_t>(-1);
  mutable std::vector<std::size_t> cachedRows_;
};

}  // namespace quorlin::text
