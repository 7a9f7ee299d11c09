// SPDX-License-Identifier: Apache-2.0
// Where the characters of a UTF-8 text fall: how many start before an offset
// and where the n-th starts, for the status line's char position and for
// screen readers, which count characters, not bytes. The count at a
// character's start about every 64 KB is kept as far as it was asked for, so
// that a question near the caret reads at most that much of the text; an edit
// keeps the counts before it.
#pragma once

#include <cstddef>
#include <vector>

#include "text/Text.h"

namespace quorlin::text {

class CharCounts {
 public:
  // A text that is not an edit of the one before: nothing is kept.
  void setText(const Text& text);
  // change made text out of the one held.
  void edited(const Text& text, const Change& change);

  // The characters that start before offset (at most the text's size).
  std::size_t charsBefore(std::size_t offset) const;
  // Where character n (from 0) starts: the text's size for n at or past the
  // number of characters.
  std::size_t offsetOf(std::size_t n) const;

 private:
  struct Mark {
    std::size_t offset = 0;  // a character's start
    std::size_t chars = 0;   // the characters before it
  };
  // Counts on from the last mark while it lies before the text's end and
  // goes on(mark).
  template <class Go>
  void extend(Go&& goOn) const;

  static constexpr std::size_t kSpan = std::size_t{64} * 1024;
  Text text_;
  mutable std::vector<Mark> marks_{Mark{}};
};

}  // namespace quorlin::text
