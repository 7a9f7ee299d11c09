// SPDX-License-Identifier: Apache-2.0
// The status line under the pane: the line and char position of the end of
// the selection (the caret when nothing is selected) and the number of lines;
// at its right end, the text's encoding. In UTF-8 the char position counts
// characters (a valid sequence or a stray byte each), not bytes.
//
// It is rewritten whenever the program is about to wait for input, so it must
// cost next to nothing on a text of millions of lines: every figure comes
// from the pane's line index (and, with word wrap on, its count of rows per
// block of lines), never from a pass over the text. With word wrap on, lines
// are the lines as displayed.
#pragma once

#include <QString>

class QLabel;
class QStatusBar;

namespace quorlin::ui {

class TextPane;

struct CaretPosition {
  std::size_t line = 1;    // 1-based, as displayed
  std::size_t column = 1;  // 1-based, within that line
  std::size_t total = 0;   // lines, not counting an empty last line
};

// "Line : 3     Char Position : 1        Total Lines: 3"
QString StatusText(const CaretPosition& position);

// Where the end of the pane's selection is.
CaretPosition PanePosition(const TextPane& pane);

// The status bar's text, kept current by update().
class StatusLine {
 public:
  StatusLine(const TextPane& pane, QStatusBar& bar);

  // The idle moment: the figures now, written only when they changed.
  void update();
  const QLabel& encodingLabel() const { return *encoding_; }

 private:
  const TextPane& pane_;
  QStatusBar& bar_;
  QLabel* encoding_;  // a child of the bar
};

}  // namespace quorlin::ui
