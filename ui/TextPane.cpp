// SPDX-License-Identifier: Apache-2.0
#include "ui/TextPane.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>

#include "text/Moves.h"
#include "textutil/Utf8.h"
#include "ui/ClusterGlyphs.h"
#include "ui/PaneGlyphs.h"
#include "ui/PaneKeys.h"
#include "ui/PaneTransfer.h"
#include "ui/ShapedRow.h"
#include "ui/TextPaneAccessible.h"

namespace quorlin::ui {
namespace {

using text::EditKind;
using text::Selection;

}  // namespace

TextPane::TextPane(QWidget* parent)
    : QAbstractScrollArea(parent), keeper_(history_, [this](std::function<void()> task) {
        // Dropped should the pane go first (the keeper waits for its thread).
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
  InstallTextPaneAccessibility();
  // The scroll bar is always there, so that the pane keeps its width.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  connect(&blink_, &QTimer::timeout, this, [this] {
    caretShown_ = !caretShown_;
    viewport()->update(caretRect());
  });
  autoScroll_.setInterval(50);
  connect(&autoScroll_, &QTimer::timeout, this, &TextPane::autoScroll);
  fontChanged();
}

TextPane::~TextPane() = default;

// ---- The text ----

void TextPane::setText(text::Text t) {
  const text::Text before = text();
  history_.reset(std::move(t));
  textReplaced(before);
}

void TextPane::setText(text::Text t, Encoding encoding) {
  if (encoding == encoding_) {
    setText(std::move(t));
    return;
  }
  const text::Text before = text();
  history_.reset(std::move(t));
  encoding_ = encoding;
  // The new measure comes with the new text: one pass over it, not two.
  layout_.setText(text(), measureFor(encoding));
  textReplaced(before);
  emit encodingChanged();
}

void TextPane::setEncoding(Encoding encoding) {
  if (encoding == encoding_) return;
  const text::Text before = text();
  encoding_ = encoding;
  layout_.setMeasure(measureFor(encoding));
  sel_ = {charStart(sel_.anchor), charStart(sel_.position)};
  widest_ = 0;
  desiredX_ = -1;
  updateScrollBars();
  ensureCaretVisible();
  viewport()->update();
  NotifyTextReplaced(this, before);  // the same bytes, other characters
  emit encodingChanged();
  selectionMoved(false);
}

std::shared_ptr<const text::Measure> TextPane::measureFor(Encoding encoding) {
  if (encoding == Encoding::Windows1252) {
    clusters_.reset();
    shaped_.reset();
    return std::make_shared<text::ByteMeasure>(glyphs_->metrics());
  }
  clusters_ = std::make_shared<ClusterGlyphs>(font(), kTabStop);
  shaped_ = std::make_unique<ShapedRows>(*clusters_, font(), kTabStop);
  return clusters_;
}

void TextPane::replaceAll(text::Text t, std::vector<RecipeStep> runs) {
  const text::Text before = text();
  history_.replaceAll(std::move(t), sel_, std::move(runs));
  textReplaced(before);
  keepHistory();
}

void TextPane::markSaved(const text::Text& saved) {
  history_.markSaved(saved);
}

void TextPane::textReplaced(const text::Text& before) {
  sel_ = {};
  if (!layout_.text().sameAs(text())) layout_.setText(text());
  chars_.setText(text());
  widest_ = 0;
  desiredX_ = -1;
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  updateScrollBars();
  viewport()->update();
  NotifyTextReplaced(this, before);
  emit textChanged();
  selectionMoved(false);
}

void TextPane::replace(std::size_t from, std::size_t to, std::string_view bytes, EditKind kind) {
  const text::Text before = text();
  const Selection was = sel_;
  const std::size_t caret = from + bytes.size();
  const text::Change change = history_.replace(from, to, bytes, kind, was, {caret, caret});
  sel_ = {caret, caret};
  changed(before, change);
}

void TextPane::replaceSelection(std::string_view bytes, EditKind kind) {
  if (hasSelection()) kind = EditKind::Other;  // typing over a selection starts a step
  replace(sel_.start(), sel_.end(), bytes, kind);
}

void TextPane::changed(const text::Text& before, const text::Change& c) {
  layout_.edited(text(), c);
  chars_.edited(text(), c);
  desiredX_ = -1;
  updateScrollBars();
  ensureCaretVisible();
  viewport()->update();
  NotifyTextChanged(this, before, c);
  emit textChanged();
  selectionMoved(false);
}

void TextPane::insertText(const QString& typed) {
  const std::string bytes = IncomingBytes(typed, encoding_);
  if (bytes.empty() && !hasSelection()) return;
  replaceSelection(bytes, EditKind::Other);
}

void TextPane::replaceRange(std::size_t from, std::size_t to, const QString& typed) {
  to = std::min(to, text().size());
  from = std::min(from, to);
  replace(charStart(from), charStart(to), IncomingBytes(typed, encoding_), EditKind::Other);
}

void TextPane::undo() {
  restore(true);
}

void TextPane::redo() {
  restore(false);
}

void TextPane::restore(bool undo) {
  const text::Text before = text();
  const auto restored = undo ? history_.undo() : history_.redo();
  if (!restored) return;
  // A selection kept from before another encoding was chosen may fall inside
  // a character.
  sel_ = {charStart(restored->selection.anchor), charStart(restored->selection.position)};
  changed(before, restored->change);
  if (restored->change.removed == before.size()) keepHistory();  // a run undone or redone
}

// ---- The history's large texts ----

void TextPane::setHistoryFolder(std::string folder) {
  keeper_.setFolder(std::move(folder));
}

void TextPane::keepHistory() {
  keeper_.keep([this] { emit historyKept(); });
}

// ---- Selection and clipboard ----

void TextPane::setSelection(std::size_t anchor, std::size_t position) {
  sel_ = {charStart(anchor), charStart(position)};
  desiredX_ = -1;
  history_.closeGroup();
  // The whole selection when it fits, else its caret end.
  ensureVisible(sel_.anchor);
  ensureCaretVisible();
  selectionMoved(false);
}

void TextPane::selectAll() {
  sel_ = {0, text().size()};
  history_.closeGroup();
  selectionMoved(true);
}

void TextPane::moveCaret(std::size_t position, bool select) {
  position = std::min(position, text().size());
  if (select) {
    sel_.position = position;
  } else {
    sel_ = {position, position};
  }
  history_.closeGroup();
  ensureCaretVisible();
  selectionMoved(true);
}

void TextPane::selectionMoved(bool byUser) {
  restartBlink();
  viewport()->update();
  NotifySelectionMoved(this);
  emit selectionChanged();
  if (byUser && hasSelection()) setPrimarySelection();
}

void TextPane::setPrimarySelection() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->supportsSelection()) {
    clipboard->setMimeData(SelectionMimeData(text(), sel_.start(), sel_.end(), encoding_),
                           QClipboard::Selection);
  }
}

void TextPane::copy() const {
  if (hasSelection())
    QGuiApplication::clipboard()->setMimeData(
        SelectionMimeData(text(), sel_.start(), sel_.end(), encoding_));
}

void TextPane::cut() {
  if (!hasSelection()) return;
  copy();
  replaceSelection({}, EditKind::Other);
}

void TextPane::paste() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (mime == nullptr || !mime->hasText()) return;
  insertText(mime->text());
}

// ---- Rows ----

std::size_t TextPane::firstVisibleRow() const {
  return std::size_t(verticalScrollBar()->value());
}

int TextPane::visibleRows() const {
  return std::max(1, (viewport()->height() - kMargin) / glyphs_->lineHeight());
}

std::int64_t TextPane::scrollX() const {
  return std::int64_t(horizontalScrollBar()->value()) * hScale_ * text::kUnits;
}

std::size_t TextPane::offsetAt(QPoint p) const {
  const int lh = glyphs_->lineHeight();
  const int y = p.y() - kMargin;
  const std::ptrdiff_t delta = y < 0 ? -1 - (-y - 1) / lh : y / lh;
  const std::ptrdiff_t index = std::ptrdiff_t(firstVisibleRow()) + delta;
  const std::size_t last = layout_.rowCount() - 1;
  if (index < 0) return 0;
  const text::Row r = layout_.row(std::min(std::size_t(index), last));
  const std::int64_t x = std::int64_t(p.x() - kMargin) * text::kUnits + scrollX();
  return rowCaretAt(r, x);
}

QRect TextPane::byteRect(std::size_t offset) const {
  offset = std::min(offset, text().size());
  const std::size_t index = layout_.rowOf(offset);
  const text::Row r = layout_.row(index);
  const int lh = glyphs_->lineHeight();
  const std::ptrdiff_t shown = std::ptrdiff_t(index) - std::ptrdiff_t(firstVisibleRow());
  std::int64_t x = rowX(r, offset) - scrollX();
  std::int64_t next =
      offset < r.end ? rowX(r, layout_.nextPosition(offset)) - scrollX() : x + text::kUnits;
  if (next < x) std::swap(x, next);  // a character read from right to left
  const int left = kMargin + int(x / text::kUnits);
  return {left, kMargin + int(shown) * lh, std::max<int>(1, int((next - x) / text::kUnits)), lh};
}

// ---- Characters ----

std::size_t TextPane::charStart(std::size_t offset) const {
  const text::Text& t = text();
  offset = std::min(offset, t.size());
  if (encoding_ == Encoding::Windows1252 || offset == 0 || offset == t.size()) return offset;
  const std::size_t from = offset > 3 ? offset - 3 : 0;
  std::string scratch;
  return from + QuorlinUtils::Utf8CharStart(t.view(from, offset + 1, scratch), offset - from);
}

std::size_t TextPane::charIndex(std::size_t offset) const {
  if (encoding_ == Encoding::Windows1252) return std::min(offset, text().size());
  return chars_.charsBefore(offset);
}

std::size_t TextPane::charOffset(std::size_t index) const {
  if (encoding_ == Encoding::Windows1252) return std::min(index, text().size());
  return chars_.offsetOf(index);
}

std::size_t TextPane::byUnits(std::size_t offset, std::ptrdiff_t units) const {
  const text::Text& t = text();
  if (encoding_ == Encoding::Windows1252)
    return std::size_t(
        std::clamp<std::ptrdiff_t>(std::ptrdiff_t(offset) + units, 0, std::ptrdiff_t(t.size())));
  std::string scratch;
  for (; units > 0 && offset < t.size(); --units) {
    const std::string_view bytes = t.view(offset, offset + 4, scratch);
    const std::size_t n = QuorlinUtils::Utf8CharLength(bytes, 0);
    if (Utf16Units(bytes) == 2) --units;
    offset += n;
  }
  for (; units < 0 && offset > 0; ++units) {
    const std::size_t from = offset > 4 ? offset - 4 : 0;
    const std::string_view bytes = t.view(from, offset, scratch);
    const std::size_t n = QuorlinUtils::Utf8LastCharLength(bytes);
    if (Utf16Units(bytes.substr(bytes.size() - n)) == 2) ++units;
    offset -= n;
  }
  return offset;
}

std::int64_t TextPane::rowX(const text::Row& r, std::size_t offset) const {
  if (shaped_) {
    std::string scratch;
    if (const ShapedRow* row = shaped_->find(text().view(r.start, r.end, scratch)))
      return row->xAt(std::clamp(offset, r.start, r.end) - r.start);
  }
  return layout_.xAt(r, offset);
}

std::size_t TextPane::rowCaretAt(const text::Row& r, std::int64_t x) const {
  if (shaped_) {
    std::string scratch;
    if (const ShapedRow* row = shaped_->find(text().view(r.start, r.end, scratch))) {
      const std::size_t at = r.start + row->offsetAt(x);
      if (!r.lastOfLine && at >= r.end && r.end > r.start) return layout_.previousPosition(r.end);
      return at;
    }
  }
  return layout_.caretAtX(r, x);
}

QRect TextPane::caretRect() const {
  const QRect r = byteRect(sel_.position);
  return {r.left() - 1, r.top(), 3, r.height()};
}

// ---- Scrolling ----

void TextPane::updateScrollBars() {
  const int full = visibleRows();
  const std::size_t rows = layout_.rowCount();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, int(std::min<std::size_t>(INT_MAX, rows > std::size_t(full) ? rows - full : 0)));
  v->setPageStep(full);
  v->setSingleStep(1);
  QScrollBar* h = horizontalScrollBar();
  if (layout_.wraps()) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    h->setRange(0, 0);
    return;
  }
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Room for the widest line seen, the margins and the caret after it.
  const std::int64_t content = widest_ / text::kUnits + 2 * std::int64_t{kMargin} + 2;
  const std::int64_t over = std::max<std::int64_t>(0, content - viewport()->width());
  constexpr std::int64_t kMaxRange = 1'000'000'000;
  hScale_ = int(over / kMaxRange + 1);
  h->setRange(0, int(over / hScale_));
  h->setPageStep(std::max(1, viewport()->width() / hScale_));
  h->setSingleStep(std::max(1, 20 / hScale_));
}

void TextPane::noteWidth(std::int64_t width) {
  if (layout_.wraps() || width <= widest_) return;
  widest_ = width;
  QMetaObject::invokeMethod(this, &TextPane::updateScrollBars, Qt::QueuedConnection);
}

void TextPane::ensureVisible(std::size_t offset) {
  const std::size_t index = layout_.rowOf(offset);
  const std::size_t first = firstVisibleRow();
  const auto full = std::size_t(visibleRows());
  QScrollBar* v = verticalScrollBar();
  if (index < first) {
    v->setValue(int(index));
  } else if (index >= first + full) {
    if (std::size_t(v->maximum()) < index + 1 - full) updateScrollBars();
    v->setValue(int(index + 1 - full));
  }
  if (layout_.wraps()) return;
  const std::int64_t x = rowX(layout_.row(index), offset) / text::kUnits;
  // The range may still wait for an update that a paint asked for.
  widest_ = std::max(widest_, x * text::kUnits);
  updateScrollBars();
  QScrollBar* h = horizontalScrollBar();
  const std::int64_t room = viewport()->width() - 2 * kMargin - 2;
  const std::int64_t left = std::int64_t(h->value()) * hScale_;
  if (x < left) {
    // Back to the line's start when the byte can be seen from there.
    h->setValue(x <= room ? 0 : int(x / hScale_));
  } else if (x > left + room) {
    h->setValue(int((x - room) / hScale_ + 1));
  }
}

void TextPane::scrollContentsBy(int, int) {
  viewport()->update();
}

void TextPane::autoScroll() {
  const QRect area = viewport()->rect();
  QScrollBar* v = verticalScrollBar();
  QScrollBar* h = horizontalScrollBar();
  if (dragPoint_.y() < area.top()) v->setValue(v->value() - 1);
  if (dragPoint_.y() > area.bottom()) v->setValue(v->value() + 1);
  if (dragPoint_.x() < area.left()) h->setValue(h->value() - h->singleStep());
  if (dragPoint_.x() > area.right()) h->setValue(h->value() + h->singleStep());
  extendDrag(dragPoint_);
}

// ---- Wrapping and fonts ----

void TextPane::setWordWrap(bool on) {
  if (on == layout_.wraps()) return;
  layout_.setWrap(on, wrapWidth());
  horizontalScrollBar()->setValue(0);
  updateScrollBars();
  ensureCaretVisible();
  viewport()->update();
}

std::int64_t TextPane::wrapWidth() const {
  return std::int64_t(std::max(1, viewport()->width() - 2 * kMargin - 2)) * text::kUnits;
}

void TextPane::fontChanged() {
  glyphs_ = std::make_unique<PaneGlyphs>(font(), kTabStop);
  layout_.setMeasure(measureFor(encoding_));
  widest_ = 0;
  updateScrollBars();
  viewport()->update();
}

void TextPane::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) fontChanged();
}

void TextPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (layout_.wraps()) layout_.setWrap(true, wrapWidth());
  updateScrollBars();
}

// ---- Painting ----

void TextPane::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  // The selection keeps its colours when the pane loses the focus.
  const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
  const QColor highlighted = pal.color(QPalette::Active, QPalette::HighlightedText);
  const QColor ink = pal.color(QPalette::Text);
  const QColor escapeInk = pal.color(QPalette::PlaceholderText);
  const int lh = glyphs_->lineHeight();
  const std::int64_t sx = scrollX();
  const std::int64_t rightEdge = sx + std::int64_t(viewport()->width()) * text::kUnits;
  const qreal left = kMargin - qreal(sx) / text::kUnits;
  const std::size_t first = firstVisibleRow();
  const std::size_t rows = layout_.rowCount();
  const int shown = viewport()->height() / lh + 2;
  const std::size_t s0 = sel_.start(), s1 = sel_.end();
  const std::size_t caretRow = layout_.rowOf(sel_.position);
  const std::int64_t breakWidth = glyphs_->metrics().advance[' '];
  std::string scratch;

  for (int i = 0; i < shown && first + std::size_t(i) < rows; ++i) {
    const text::Row r = layout_.row(first + std::size_t(i));
    const int top = kMargin + i * lh;
    const qreal baseline = top + glyphs_->ascent();
    if (!layout_.wraps()) noteWidth(layout_.rowWidth(r));
    const ShapedRow* shapedRow =
        shaped_ ? shaped_->find(text().view(r.start, r.end, scratch)) : nullptr;

    // The selection's background, with a little more for a selected break.
    if (s0 < s1 && s0 <= r.end && s1 > r.start) {
      const std::size_t a = std::max(s0, r.start), b = std::min(s1, r.end);
      std::int64_t xa = shapedRow ? 0 : layout_.xAt(r, a), xb = xa;
      if (shapedRow) {
        xa = xb = shapedRow->width();  // the row draws its own
      } else {
        xb = layout_.xAt(r, b);
      }
      if (s1 > r.end && r.lastOfLine && r.line < text().breaks()) xb += breakWidth;
      xa = std::max(xa, sx - text::kUnits);
      xb = std::min(xb, rightEdge + text::kUnits);
      if (xb > xa) {
        p.fillRect(QRectF(left + qreal(xa) / text::kUnits, top, qreal(xb - xa) / text::kUnits, lh),
                   highlight);
      }
    }

    if (shapedRow) {
      p.setPen(ink);
      const std::size_t a = std::clamp(s0, r.start, r.end) - r.start;
      const std::size_t b = std::clamp(s1, r.start, r.end) - r.start;
      shapedRow->draw(p, left, baseline - shapedRow->ascent(), a, b, highlight, highlighted,
                      escapeInk);
    } else {
      // The characters on the screen, in up to three parts: before, in and
      // after the selection.
      std::int64_t x = 0;
      std::size_t at = layout_.firstFrom(r, sx, x);
      const std::size_t cuts[3] = {std::clamp(s0, at, r.end), std::clamp(s1, at, r.end), r.end};
      for (int part = 0; part < 3 && x <= rightEdge; ++part) {
        p.setPen(part == 1 ? highlighted : ink);
        x = drawPart(p, left, baseline, at, cuts[part], x, rightEdge,
                     part == 1 ? highlighted : escapeInk);
        at = cuts[part];
      }
    }

    if (first + std::size_t(i) == caretRow) {
      const std::int64_t cx = rowX(r, sel_.position);
      if (!preedit_.isEmpty()) {
        // What the input method is composing, underlined at the caret.
        const QFontMetrics fm(font());
        const QRect box(int(left + qreal(cx) / text::kUnits), top,
                        fm.horizontalAdvance(preedit_) + 1, lh);
        p.fillRect(box, pal.color(QPalette::Base));
        p.setPen(ink);
        p.setFont(font());
        p.drawText(QPointF(box.left(), baseline), preedit_);
        p.drawLine(box.left(), top + lh - 1, box.right(), top + lh - 1);
      }
      if (hasFocus() && caretShown_) {
        const qreal cxPx =
            left + qreal(cx) / text::kUnits +
            (preedit_.isEmpty()
                 ? 0
                 : QFontMetrics(font()).horizontalAdvance(preedit_.left(preeditCursor_)));
        p.fillRect(QRectF(std::floor(cxPx), top, 1, lh), ink);
      }
    }
  }
}

std::int64_t TextPane::drawPart(QPainter& p, qreal left, qreal baseline, std::size_t at,
                                std::size_t end, std::int64_t x, std::int64_t rightEdge,
                                const QColor& escapeInk) const {
  std::string scratch;
  while (at < end && x <= rightEdge) {
    std::size_t to = std::min(end, at + 256);
    std::string_view bytes = text().view(at, to, scratch);
    if (clusters_) {
      // A piece ends where its characters are settled.
      if (to < end) {
        const std::size_t settled = clusters_->settledEnd(bytes);
        if (settled > 0) bytes = bytes.substr(0, settled);
      }
      x = clusters_->draw(p, left, baseline, bytes, x, escapeInk);
    } else {
      x = glyphs_->draw(p, left, baseline, bytes, x);
    }
    at += bytes.size();
  }
  return x;
}

// ---- Keys ----

bool TextPane::focusNextPrevChild(bool) {
  return false;  // Tab inserts a tab
}

bool TextPane::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && PaneOwnsKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QAbstractScrollArea::event(event);
}

void TextPane::keyPressEvent(QKeyEvent* event) {
  const PaneKey key = KeyOf(*event);
  if (key.command == PaneKey::Command::None) {
    event->ignore();
    return;
  }
  act(key, event->text());
  event->accept();
}

void TextPane::act(const PaneKey& key, const QString& typed) {
  using Command = PaneKey::Command;
  const std::size_t p = sel_.position;
  switch (key.command) {
    case Command::None:
      break;
    case Command::Move:
      if (text::MovesByRows(key.move)) {
        const bool page = key.move == text::Move::NextPage || key.move == text::Move::PrevPage;
        const std::ptrdiff_t rows = page ? visibleRows() : 1;
        const bool down = key.move == text::Move::NextRow || key.move == text::Move::NextPage;
        verticalMove(down ? rows : -rows, key.select, page);
      } else {
        moveCaret(text::MoveTarget(layout_, key.move, sel_, key.select), key.select);
        desiredX_ = -1;
      }
      break;
    case Command::Undo:
      undo();
      break;
    case Command::Redo:
      redo();
      break;
    case Command::CopySelection:
      copy();
      break;
    case Command::CutSelection:
      cut();
      break;
    case Command::PasteClipboard:
      paste();
      break;
    case Command::SelectAll:
      selectAll();
      break;
    case Command::DeleteWordBefore:
    case Command::DeleteWordAfter:
    case Command::DeleteForward:
    case Command::DeleteBack:
      if (hasSelection()) {
        replaceSelection({}, EditKind::Other);
      } else if (key.command == Command::DeleteWordBefore) {
        replace(text::WordStart(text(), p, encoding_), p, {}, EditKind::Other);
      } else if (key.command == Command::DeleteWordAfter) {
        replace(p, text::WordEnd(text(), p, encoding_), {}, EditKind::Other);
      } else if (key.command == Command::DeleteForward && p < text().size()) {
        replace(p, layout_.nextPosition(p), {}, EditKind::Delete);
      } else if (key.command == Command::DeleteBack && p > 0) {
        replace(layout_.previousPosition(p), p, {}, EditKind::Backspace);
      }
      break;
    case Command::LineBreak:
      replaceSelection("\n", EditKind::Other);
      break;
    case Command::Tab:
      replaceSelection("\t", EditKind::Typing);
      break;
    case Command::Type:
      replaceSelection(IncomingBytes(typed, encoding_), EditKind::Typing);
      break;
  }
}

void TextPane::verticalMove(std::ptrdiff_t rows, bool select, bool scroll) {
  // The x aimed at is where the caret is drawn, in a row laid out by Qt too.
  const std::int64_t aim =
      desiredX_ >= 0 ? desiredX_ : rowX(layout_.row(layout_.rowOf(sel_.position)), sel_.position);
  text::RowMove move = text::MoveRows(layout_, sel_.position, rows, aim);
  if (shaped_) move.offset = rowCaretAt(layout_.row(move.row), move.x);
  if (scroll) {
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->value() + int(std::ptrdiff_t(move.row) - std::ptrdiff_t(move.fromRow)));
  }
  moveCaret(move.offset, select);
  desiredX_ = move.x;
}

// ---- Mouse ----

void TextPane::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::MiddleButton) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) {
      const QString selected = clipboard->text(QClipboard::Selection);
      sel_ = {offsetAt(point), offsetAt(point)};
      if (!selected.isEmpty()) insertText(selected);
    }
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  const std::size_t at = offsetAt(point);
  desiredX_ = -1;
  const bool triple =
      sinceDoubleClick_.isValid() &&
      sinceDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
      (point - doubleClickPoint_).manhattanLength() < QApplication::startDragDistance();
  if (triple) {
    dragOrigin_ = text::LineAround(text(), at);
    drag_ = Drag::Lines;
    sel_ = dragOrigin_;
    moveCaret(sel_.position, true);
    return;
  }
  drag_ = Drag::Chars;
  moveCaret(at, event->modifiers() & Qt::ShiftModifier);
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  dragOrigin_ = text::WordAround(text(), offsetAt(point), encoding_);
  drag_ = Drag::Words;
  sinceDoubleClick_.start();
  doubleClickPoint_ = point;
  sel_ = dragOrigin_;
  moveCaret(sel_.position, true);
}

void TextPane::extendDrag(QPoint point) {
  const std::size_t at = offsetAt(point);
  if (drag_ == Drag::Chars) {
    moveCaret(at, true);
    return;
  }
  const Selection unit =
      drag_ == Drag::Words ? text::WordAround(text(), at, encoding_) : text::LineAround(text(), at);
  if (unit.start() < dragOrigin_.start()) {
    sel_.anchor = dragOrigin_.end();
    moveCaret(unit.start(), true);
  } else {
    sel_.anchor = dragOrigin_.start();
    moveCaret(std::max(unit.end(), dragOrigin_.end()), true);
  }
}

void TextPane::mouseMoveEvent(QMouseEvent* event) {
  if (drag_ == Drag::None || !(event->buttons() & Qt::LeftButton)) return;
  dragPoint_ = event->position().toPoint();
  if (viewport()->rect().contains(dragPoint_)) {
    autoScroll_.stop();
  } else if (!autoScroll_.isActive()) {
    autoScroll_.start();
  }
  extendDrag(dragPoint_);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  autoScroll_.stop();
  drag_ = Drag::None;
}

void TextPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  auto add = [&](const QString& caption, QKeySequence::StandardKey key, bool enabled, auto slot) {
    QString text = caption;
    const QKeySequence shortcut(key);
    if (key != QKeySequence::UnknownKey && !shortcut.isEmpty())
      text += QLatin1Char('\t') + shortcut.toString(QKeySequence::NativeText);
    QAction* action = menu.addAction(text, this, slot);
    action->setEnabled(enabled);
  };
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  add(QStringLiteral("&Undo"), QKeySequence::Undo, canUndo(), [this] { undo(); });
  add(QStringLiteral("&Redo"), QKeySequence::Redo, canRedo(), [this] { redo(); });
  menu.addSeparator();
  add(QStringLiteral("Cu&t"), QKeySequence::Cut, hasSelection(), [this] { cut(); });
  add(QStringLiteral("&Copy"), QKeySequence::Copy, hasSelection(), [this] { copy(); });
  add(QStringLiteral("&Paste"), QKeySequence::Paste, clip != nullptr && clip->hasText(),
      [this] { paste(); });
  add(QStringLiteral("Delete"), QKeySequence::UnknownKey, hasSelection(),
      [this] { replaceSelection({}, EditKind::Other); });
  menu.addSeparator();
  add(QStringLiteral("Select All"), QKeySequence::SelectAll, !text().empty(),
      [this] { selectAll(); });
  menu.exec(event->globalPos());
}

// ---- Focus and caret ----

void TextPane::restartBlink() {
  caretShown_ = true;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flash > 0) {
    blink_.start(flash / 2);
  } else {
    blink_.stop();
  }
}

void TextPane::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  restartBlink();
  viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  viewport()->update();
}

// ---- Input methods ----

void TextPane::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
    std::size_t from = sel_.start(), to = sel_.end();
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
      // Counted in UTF-16 units from the caret.
      from = byUnits(sel_.position, event->replacementStart());
      to = byUnits(from, event->replacementLength());
    }
    replace(from, to, IncomingBytes(event->commitString(), encoding_), EditKind::Typing);
  }
  preedit_ = event->preeditString();
  preeditCursor_ = int(preedit_.size());
  for (const QInputMethodEvent::Attribute& a : event->attributes()) {
    if (a.type == QInputMethodEvent::Cursor)
      preeditCursor_ = std::clamp(a.start, 0, int(preedit_.size()));
  }
  viewport()->update();
  event->accept();
}

QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query) const {
  // Positions are given within the caret's line, around the caret, in UTF-16
  // units of the text there.
  const text::Text& t = text();
  const std::size_t line = t.lineAt(sel_.position);
  const std::size_t lineStart = t.lineStart(line);
  constexpr std::size_t kAround = 1000;
  const std::size_t from =
      charStart(std::max(lineStart, sel_.position > kAround ? sel_.position - kAround : 0));
  const std::size_t to = charStart(std::min(t.lineEnd(line), sel_.position + kAround));
  auto shown = [&](std::size_t a, std::size_t b) { return DecodeText(t.slice(a, b), encoding_); };
  auto within = [&](std::size_t offset) {
    return int(shown(from, std::clamp(offset, from, to)).size());
  };
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return within(sel_.position);
    case Qt::ImAnchorPosition:
      return within(sel_.anchor);
    case Qt::ImSurroundingText:
      return shown(from, to);
    case Qt::ImCurrentSelection:
      return shown(sel_.start(), charStart(std::min(sel_.end(), sel_.start() + kAround)));
    case Qt::ImTextBeforeCursor:
      return shown(from, sel_.position);
    case Qt::ImTextAfterCursor:
      return shown(sel_.position, to);
    case Qt::ImAbsolutePosition:
      return qlonglong(sel_.position);
    case Qt::ImHints:
      return int(Qt::ImhMultiLine);
    case Qt::ImMaximumTextLength:
      return {};
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---- Figures ----

TextPane::Position TextPane::endPosition() const {
  // Rows as displayed: lines when unwrapped.
  const text::Text& t = text();
  const std::size_t end = sel_.end();
  const std::size_t index = layout_.rowOf(end);
  const bool lastEmpty = t.empty() || t.at(t.size() - 1) == '\n';
  const std::size_t rowStart = layout_.row(index).start;
  // In UTF-8 the characters before the end in its row.
  const std::size_t column = encoding_ == Encoding::Utf8
                                 ? chars_.charsBefore(end) - chars_.charsBefore(rowStart)
                                 : end - rowStart;
  return {index + 1, column + 1, layout_.rowCount() - (lastEmpty ? 1 : 0)};
}

}  // namespace quorlin::ui
