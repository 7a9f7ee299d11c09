// SPDX-License-Identifier: Apache-2.0
// Where the caret goes: by a character, a word, a row, a line or the whole
// text, and the word and line a double or triple click selects.
//
// Words: blanks (space, tab), word characters (letters and digits of the
// Western set, and "_") and the rest are three kinds; a word move skips a run
// of one kind and the blanks beside it, and never leaves the line except from
// its very end or start, where it crosses the break.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/RowLayout.h"
#include "text/Selection.h"
#include "text/Text.h"

namespace quorlin::text {

enum class Move {
  NextChar,
  PrevChar,
  NextWord,
  PrevWord,
  NextRow,  // the rows as displayed: with word wrap on, parts of lines
  PrevRow,
  NextPage,
  PrevPage,
  RowStart,
  RowEnd,
  LineStart,  // the lines of the text
  LineEnd,
  TextStart,
  TextEnd,
};

bool MovesByRows(Move move);  // the next and previous row and page

// Where move takes the caret from selection, for the moves not by rows. A
// character move without select leaves a selection at its end or start. End
// on a wrapped row stays before the blank the row ends with.
std::size_t MoveTarget(const RowLayout& layout, Move move, Selection selection, bool select);

// rows rows down (up when negative) from the row of offset, the caret aiming
// at x (the x of offset when x < 0).
struct RowMove {
  std::size_t fromRow = 0;
  std::size_t row = 0;
  std::size_t offset = 0;
  std::int64_t x = 0;  // to aim at on the next move
};
RowMove MoveRows(const RowLayout& layout, std::size_t offset, std::ptrdiff_t rows, std::int64_t x);

std::size_t WordStart(const Text& text, std::size_t offset);  // Ctrl+Left
std::size_t WordEnd(const Text& text, std::size_t offset);    // Ctrl+Right
// The run of one kind around offset (a double click), within its line.
Selection WordAround(const Text& text, std::size_t offset);
// The line around offset with its break (a triple click).
Selection LineAround(const Text& text, std::size_t offset);

}  // namespace quorlin::text
