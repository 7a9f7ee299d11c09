// SPDX-License-Identifier: Apache-2.0
// The editing pane: an editable view of the document's bytes.
//
// The text is a text::Document (bytes in a piece tree with a line index);
// the view lays out and paints only the rows on the screen, and of a long
// line only the part on the screen. Each byte is shown as its Western
// (Windows-1252) character with one advance from the font's table (no
// kerning), tabs stop every tabStopDistance() pixels, and what the user
// types or pastes is stored through the same set: a character the set cannot
// hold becomes "?", a line break of any kind becomes "\n".
//
// Offsets count bytes from the start of the text, a line break counting one.
// With word wrap on, lines wrap at the pane's width after blanks, and the
// rows as displayed are what the caret keys and the figures count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>

#include "text/Document.h"
#include "text/WrapIndex.h"

class QMimeData;

namespace quorlin::ui {

class PaneGlyphs;

class TextPane : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TextPane(QWidget* parent = nullptr);
  ~TextPane() override;

  // The text as it stands: a snapshot, cheap to copy, that another thread may
  // read while the pane goes on editing.
  const text::Text& text() const { return doc_.text(); }
  // Replaces the whole text, out of the undo history (which is cleared); the
  // text counts as saved. The caret goes to the start and the view to the top.
  void setText(text::Text text);
  // Replaces the whole text as one step of the undo history (a change run):
  // undo brings back the text and the selection before it.
  void replaceAll(text::Text text);
  // Whether the text is another than the one last set or marked saved.
  bool modified() const { return doc_.modified(); }
  // saved (a snapshot of this pane's text) was written to a file.
  void markSaved(const text::Text& saved);
  // Large texts that only the undo history holds are moved to files in
  // folder, made and removed at once (none: they stay in memory, and the
  // oldest runs are forgotten when they would take more than twice the
  // text's size).
  void setHistoryFolder(std::string folder);
  // Lines of the document; a last line that is empty does not count.
  std::size_t lineCount() const { return text().lineCount(); }

  text::Selection selection() const { return sel_; }
  bool hasSelection() const { return !sel_.empty(); }
  // Selects from anchor to position (the caret), clamped to the text, and
  // scrolls the caret into view.
  void setSelection(std::size_t anchor, std::size_t position);
  void selectAll();

  // Editing as the user does it, each an undo step of its own.
  void insertText(const QString& typed);
  // Replaces bytes [from, to) with what was typed; the caret goes after it.
  void replaceRange(std::size_t from, std::size_t to, const QString& typed);
  void cut();
  void copy() const;
  void paste();
  void undo();
  void redo();
  bool canUndo() const { return doc_.canUndo(); }
  bool canRedo() const { return doc_.canRedo(); }
  // Whole-text steps (runs) the history holds.
  std::size_t runsKept() const { return doc_.wholeSteps(); }

  bool wordWrap() const { return wrap_; }
  void setWordWrap(bool on);
  // Pixels between tab stops.
  qreal tabStopDistance() const { return kTabStop; }
  void ensureCaretVisible() { ensureVisible(sel_.position); }
  // Scrolls the least that shows the byte at offset.
  void ensureVisible(std::size_t offset);

  // Where the end of the selection is (the caret when nothing is selected),
  // counted in lines as displayed: rows when wrap is on.
  struct Position {
    std::size_t line = 1;    // from 1
    std::size_t column = 1;  // from 1, within that displayed line
    std::size_t total = 0;   // displayed lines, not counting an empty last one
  };
  Position endPosition() const;

  // The first row shown and how many rows fit whole.
  std::size_t firstVisibleRow() const;
  int visibleRows() const;
  // The area of the caret in the viewport.
  QRect caretRect() const;
  // The offset nearest to a point of the viewport.
  std::size_t offsetAt(QPoint viewportPoint) const;
  // The rectangle of the byte at offset in the viewport (the caret's height).
  QRect byteRect(std::size_t offset) const;

  static constexpr qreal kTabStop = 80;

 signals:
  void textChanged();
  void selectionChanged();
  // The history's large texts went to disk (or were given up).
  void historyKept();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool focusNextPrevChild(bool next) override;

 private:
  // A displayed row: bytes [start, end) of a line, without its break.
  struct Row {
    std::size_t line = 0;
    std::size_t lineStart = 0, lineEnd = 0;
    std::size_t start = 0, end = 0;
    bool lastOfLine = true;
  };
  // Where the x positions of a long line are known, every kStride bytes.
  struct LongLine {
    std::uint64_t version = 0;
    std::size_t start = 0, length = 0;
    std::vector<std::int64_t> checkpoints;
    std::int64_t width = 0;
  };
  struct RowStarts {
    std::uint64_t version = ~std::uint64_t(0);
    std::size_t line = 0;
    std::vector<std::size_t> starts;  // from the line's start
  };

  std::size_t rowCount() const;
  Row row(std::size_t index) const;
  std::size_t rowOf(std::size_t offset) const;
  const std::vector<std::size_t>& rowStartsOf(std::size_t line) const;
  const LongLine& longLine(std::size_t lineStart, std::size_t lineEnd) const;
  bool isLong(const Row& r) const { return !wrap_ && r.end - r.start > kShortLine; }
  // x of offset (within the row) from the row's left edge, 1/64 pixel.
  std::int64_t xAt(const Row& r, std::size_t offset) const;
  std::size_t offsetAtX(const Row& r, std::int64_t x) const;
  std::int64_t rowWidth(const Row& r) const;
  // The first byte of the row whose right edge passes x, and its left edge.
  std::size_t firstByteFrom(const Row& r, std::int64_t x, std::int64_t& left) const;

  std::size_t wordStart(std::size_t offset) const;  // Ctrl+Left
  std::size_t wordEnd(std::size_t offset) const;    // Ctrl+Right
  text::Selection wordAround(std::size_t offset) const;
  text::Selection lineAround(std::size_t offset) const;

  void replace(std::size_t from, std::size_t to, std::string_view bytes, text::EditKind kind);
  void textReplaced(const text::Text& before);
  void keepHistory();
  void historyCopied(const text::BufferSwap::Swaps& swaps);
  void replaceSelection(std::string_view bytes, text::EditKind kind);
  void changed(const text::Text& before, const text::Change& change);
  void moveCaret(std::size_t position, bool select);
  void selectionMoved(bool byUser);
  bool moveKey(QKeyEvent* event);
  bool editKey(QKeyEvent* event);
  void verticalMove(std::ptrdiff_t rows, bool select, bool scroll);
  void extendDrag(QPoint viewportPoint);
  void autoScroll();
  void setPrimarySelection() const;
  QMimeData* selectionMime() const;

  void fontChanged();
  void rewrap();
  void updateScrollBars();
  void noteWidth(std::int64_t width);
  std::int64_t scrollX() const;  // 1/64 pixel
  void restartBlink();

  static constexpr int kMargin = 4;  // pixels left of the text and above the first row
  static constexpr std::size_t kShortLine = 4096;
  static constexpr std::size_t kStride = 4096;

  text::Document doc_;
  text::Selection sel_;
  std::string historyFolder_;
  std::thread historyCopier_;  // copies the history's large texts to disk
  bool copyingHistory_ = false, historyAgain_ = false;
  std::uint64_t version_ = 0;  // goes up with every change of the text or the layout
  std::unique_ptr<PaneGlyphs> glyphs_;
  bool wrap_ = false;
  std::int64_t wrapWidth_ = 0;
  text::WrapIndex wraps_;
  mutable RowStarts rowStarts_;
  mutable std::vector<LongLine> longLines_;
  std::int64_t widest_ = 0;     // the widest line measured so far
  int hScale_ = 1;              // pixels per unit of the horizontal scroll bar
  std::int64_t desiredX_ = -1;  // where Up and Down aim, kept while they repeat

  QTimer blink_;
  bool caretShown_ = true;
  QTimer autoScroll_;
  QPoint dragPoint_;
  enum class Drag { None, Chars, Words, Lines } drag_ = Drag::None;
  text::Selection dragOrigin_;
  QElapsedTimer sinceDoubleClick_;
  QPoint doubleClickPoint_;
  QString preedit_;
  int preeditCursor_ = 0;
};

}  // namespace quorlin::ui
