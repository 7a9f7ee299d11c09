// SPDX-License-Identifier: Apache-2.0
// The editing pane: an editable view of the document's bytes.
//
// The text and its undo history are a text::History (bytes in a piece tree
// with a line index); where its rows and positions fall is a text::RowLayout,
// and the keys' meanings are PaneKeys'. The pane itself handles events,
// painting, scrolling, the selection and clipboard, and input methods; it
// paints only the rows on the screen, and of a long line only the part on the
// screen.
//
// The bytes are read in the text's encoding. In Windows-1252 each byte is
// shown as its Western character with one advance from the font's table (no
// kerning), and what the user types or pastes is stored through the same
// set: a character the set cannot hold becomes "?". In UTF-8 each valid
// sequence is shown as its character, shaped by Qt with the marks that
// combine with it (ClusterGlyphs), a row holding right-to-left text is laid
// out by Qt as a whole (ShapedRow), a stray byte shows as "<E9>" in a muted
// ink, and what is typed is stored as UTF-8. Either way tabs stop every
// tabStopDistance() pixels and a line break of any kind typed becomes "\n";
// the caret, Delete and Backspace step over whole characters (with the marks
// that combine with them), and no byte is ever changed but by an edit.
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

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPoint>
#include <QTimer>

#include "text/CharCounts.h"
#include "text/History.h"
#include "text/RowLayout.h"
#include "ui/Encodings.h"

namespace quorlin::ui {

class ClusterGlyphs;
class PaneGlyphs;
class ShapedRows;
struct PaneKey;

class TextPane : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TextPane(QWidget* parent = nullptr);
  ~TextPane() override;

  // The text as it stands: a snapshot, cheap to copy, that another thread may
  // read while the pane goes on editing.
  const text::Text& text() const { return history_.text(); }
  // Replaces the whole text, out of the undo history (which is cleared); the
  // text counts as saved. The caret goes to the start and the view to the top.
  // The second form reads it in encoding from now on.
  void setText(text::Text text);
  void setText(text::Text text, Encoding encoding);
  // How the bytes are read as characters. Another encoding shows the same
  // bytes the other way: nothing is rewritten, the undo history stays, and a
  // caret inside a character goes to its start.
  Encoding encoding() const { return encoding_; }
  void setEncoding(Encoding encoding);
  // Replaces the whole text as one step of the undo history (a change run,
  // made by the requests runs in order): undo brings back the text and the
  // selection before it.
  void replaceAll(text::Text text, std::vector<RecipeStep> runs = {});
  // The change runs and hand edits that made the text since it was set.
  const std::vector<text::Making>& making() const { return history_.making(); }
  // Whether the text is another than the one last set or marked saved.
  bool modified() const { return history_.modified(); }
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
  // Selects from anchor to position (the caret), clamped to the text (each
  // moved to the start of a character it falls in), and scrolls the caret
  // into view.
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
  bool canUndo() const { return history_.canUndo(); }
  bool canRedo() const { return history_.canRedo(); }
  // Whole-text steps (runs) the history holds.
  std::size_t runsKept() const { return history_.wholeSteps(); }

  bool wordWrap() const { return layout_.wraps(); }
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
  // The rectangle of the character at offset in the viewport (the caret's
  // height).
  QRect byteRect(std::size_t offset) const;

  // Characters as screen readers count them: the characters before offset,
  // and where character index starts (each byte one in Windows-1252).
  std::size_t charIndex(std::size_t offset) const;
  std::size_t charOffset(std::size_t index) const;

  static constexpr qreal kTabStop = 80;

 signals:
  void textChanged();
  void selectionChanged();
  void encodingChanged();
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
  void replace(std::size_t from, std::size_t to, std::string_view bytes, text::EditKind kind);
  void replaceSelection(std::string_view bytes, text::EditKind kind);
  void textReplaced(const text::Text& before);
  void changed(const text::Text& before, const text::Change& change);
  void restore(bool undo);  // an undo, else a redo
  void keepHistory();
  void moveCaret(std::size_t position, bool select);
  void selectionMoved(bool byUser);
  void act(const PaneKey& key, const QString& typed);
  void verticalMove(std::ptrdiff_t rows, bool select, bool scroll);
  void extendDrag(QPoint viewportPoint);
  void autoScroll();
  void setPrimarySelection() const;

  void fontChanged();
  // The measure and glyphs of the encoding, for the font.
  std::shared_ptr<const text::Measure> measureFor(Encoding encoding);
  // The start of the character offset falls in.
  std::size_t charStart(std::size_t offset) const;
  // offset moved by units UTF-16 units (an input method's count), a
  // character at a time.
  std::size_t byUnits(std::size_t offset, std::ptrdiff_t units) const;
  // The x of offset in row r and the caret's place at x: where a row holds
  // right-to-left text, as Qt lays it out.
  std::int64_t rowX(const text::Row& r, std::size_t offset) const;
  std::size_t rowCaretAt(const text::Row& r, std::int64_t x) const;
  // Draws the bytes [at, end) of a row from x in the pen's colour.
  std::int64_t drawPart(QPainter& p, qreal left, qreal baseline, std::size_t at, std::size_t end,
                        std::int64_t x, std::int64_t rightEdge, const QColor& escapeInk) const;
  std::int64_t wrapWidth() const;  // 1/64 pixel
  void updateScrollBars();
  void noteWidth(std::int64_t width);
  std::int64_t scrollX() const;  // 1/64 pixel
  void restartBlink();

  static constexpr int kMargin = 4;  // pixels left of the text and above the first row

  text::History history_;
  text::HistoryKeeper keeper_;  // the history's large texts to disk
  text::Selection sel_;
  std::unique_ptr<PaneGlyphs> glyphs_;
  Encoding encoding_ = Encoding::Windows1252;
  std::shared_ptr<const ClusterGlyphs> clusters_;  // in UTF-8
  std::unique_ptr<ShapedRows> shaped_;             // in UTF-8
  text::RowLayout layout_;
  text::CharCounts chars_;
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
