// The status line under the pane: the line and char position of the end of
// the selection (the caret when nothing is selected) and the number of lines.
//
// It is rewritten whenever the program is about to wait for input, so it must
// cost next to nothing on a text of a million lines: every figure comes from
// the text document's block and line tables (a look-up in a balanced tree),
// never from a pass over the text.
//
// With word wrap on, lines are the lines as displayed. The pane lays out only
// what it shows and counts every other line as one displayed line; laying out
// a whole large text would take seconds. So, while wrap is on, a counter lays
// out in the background the lines that may be wider than the pane (a quick
// upper bound of a line's width from the widths of the 256 characters of the
// set passes over the others), a slice of a few milliseconds at a time,
// starting again after a change of the pane's width, font or text. Until it
// has caught up the figures count a not-yet-counted line as one.
#pragma once

#include <array>

#include <QFont>
#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;
class QStatusBar;
class QTextBlock;

namespace quorlin::ui {

struct CaretPosition {
  int line = 1;    // 1-based, as displayed
  int column = 1;  // 1-based, within that line
  int total = 0;   // lines, not counting an empty last line
};

// "Line : 3     Char Position : 1        Total Lines: 3"
QString StatusText(const CaretPosition& position);

// Where the end of the pane's selection is. Lays out at most the one line
// that holds it.
CaretPosition PanePosition(const QPlainTextEdit& pane);

// Keeps the pane's count of displayed lines exact while wrap is on.
class DisplayLineCounter : public QObject {
  Q_OBJECT
 public:
  explicit DisplayLineCounter(QPlainTextEdit& pane);

  // Notices a change of wrap, width, font or tab width and starts over; call
  // at each idle moment. Cheap when nothing changed.
  void check();
  // True when every line is counted (always when wrap is off).
  bool caughtUp() const { return from_ < 0; }
  // Counts all the rest now.
  void finish();

 private:
  struct Setting {
    bool wrap = false;
    int width = 0;
    QFont font;
    double tab = 0;
    double margin = 0;
    bool operator==(const Setting&) const = default;
  };
  Setting current() const;
  void startOver();
  void changed(int position, int removed, int added);
  void countSlice();
  // Counts blocks from from_ until the deadline (ms, negative: none).
  void countUntil(qint64 milliseconds);
  bool mayWrap(const QTextBlock& block) const;

  QPlainTextEdit& pane_;
  Setting setting_;
  // The widest character of the set and each character's width, in pixels.
  std::array<double, 256> width_{};
  double widest_ = 0;
  // Blocks still to count, from_ to to_ inclusive; from_ < 0: none.
  int from_ = -1;
  int to_ = -1;
  int blocks_ = 0;  // the block count after the last change
  QTimer slice_;
};

// The status bar's text, kept current by update().
class StatusLine {
 public:
  StatusLine(QPlainTextEdit& pane, QStatusBar& bar);

  // The idle moment: the figures now, written only when they changed.
  void update();
  DisplayLineCounter& counter() { return counter_; }

 private:
  QPlainTextEdit& pane_;
  QStatusBar& bar_;
  DisplayLineCounter counter_;
  QString shown_;
};

}  // namespace quorlin::ui
