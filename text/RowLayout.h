// SPDX-License-Identifier: Apache-2.0
// The rows a text is displayed in and the positions along them, for the
// pane's painting, caret keys, clicks and scrolling: which bytes each row
// holds (a line; with word wrap on, a part of one), the x of an offset in its
// row and the offset at an x. Widths and the steps from one position to the
// next are asked of a Measure.
//
// A line longer than kShortLine bytes shown unwrapped keeps the x of every
// kStride-th byte as far as it was measured (saved positions), so that the
// part of it on the screen is found without measuring from its start; an
// edit inside the line keeps those before the edit, and lines elsewhere keep
// all of theirs. With word wrap on, rows are short and found through the
// WrapIndex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "text/LineLayout.h"
#include "text/Text.h"
#include "text/WrapIndex.h"

namespace quorlin::text {

// A displayed row: bytes [start, end) of a line, without its break.
struct Row {
  std::size_t line = 0;
  std::size_t lineStart = 0, lineEnd = 0;
  std::size_t start = 0, end = 0;
  bool lastOfLine = true;
};

class RowLayout {
 public:
  static constexpr std::size_t kShortLine = 4096;
  static constexpr std::size_t kStride = 4096;

  // Widths from measure from now on; set before anything is asked.
  void setMeasure(std::shared_ptr<const Measure> measure);
  const Measure& measure() const { return *measure_; }
  // A text that is not an edit of the one before: nothing measured is kept.
  void setText(const Text& text);
  // change made text out of the layout's text.
  void edited(const Text& text, const Change& change);
  // Word wrap on at width (1/64 pixel, > 0), or off.
  void setWrap(bool on, std::int64_t width);
  bool wraps() const { return wrap_; }
  const Text& text() const { return text_; }

  std::size_t rowCount() const { return wrap_ ? wraps_.rows() : text_.shownLines(); }
  // Row index, clamped to the last.
  Row row(std::size_t index) const;
  // The row that shows offset (the one it starts, where a wrapped row ends).
  std::size_t rowOf(std::size_t offset) const;

  // The x of offset (clamped to the row) from the row's left edge.
  std::int64_t xAt(const Row& r, std::size_t offset) const;
  std::int64_t rowWidth(const Row& r) const;
  // The position in the row nearest to x.
  std::size_t offsetAtX(const Row& r, std::int64_t x) const;
  // Where a click at x or a move up or down to x puts the caret: as
  // offsetAtX, but before the blank a wrapped row ends with, which belongs to
  // the row's end rather than the next row's start.
  std::size_t caretAtX(const Row& r, std::int64_t x) const;
  // The first offset of the row whose character reaches past x (the row's
  // end when none does), and in left that character's left edge.
  std::size_t firstFrom(const Row& r, std::int64_t x, std::int64_t& left) const;

  // The position one character on from offset (a line break counting as
  // one), and one back.
  std::size_t nextPosition(std::size_t offset) const;
  std::size_t previousPosition(std::size_t offset) const;

 private:
  struct LongLine {
    std::size_t start = 0, length = 0;
    std::vector<std::int64_t> checkpoints;  // the x of every kStride-th byte
    std::int64_t width = -1;                // -1 until measured to its end
  };
  bool isLong(const Row& r) const { return !wrap_ && r.end - r.start > kShortLine; }
  const LongLine& longLine(const Row& r) const;

  Text text_;
  std::shared_ptr<const Measure> measure_;
  bool wrap_ = false;
  std::int64_t width_ = 0;
  WrapIndex wraps_;
  mutable std::vector<LongLine> longLines_;  // the last few asked about
};

}  // namespace quorlin::text
