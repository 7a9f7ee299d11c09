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

#include "ui/PaneGlyphs.h"
#include "ui/TextPaneAccessible.h"
#include "ui/Western.h"

namespace quorlin::ui {
namespace {

using text::EditKind;
using text::Selection;

// A selection up to this many bytes goes to the clipboard as text at once;
// a larger one is converted only when something reads it.
constexpr std::size_t kEagerClipboard = 1 << 20;

// What the user types or pastes, as bytes: CR LF, a lone CR and the line and
// paragraph separators each become "\n"; a character the set cannot hold
// becomes "?".
std::string IncomingBytes(QStringView typed) {
  QString plain;
  plain.reserve(typed.size());
  for (qsizetype i = 0; i < typed.size(); ++i) {
    const QChar c = typed[i];
    if (c == QLatin1Char('\r')) {
      plain.append(QLatin1Char('\n'));
      if (i + 1 < typed.size() && typed[i + 1] == QLatin1Char('\n')) ++i;
    } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      plain.append(QLatin1Char('\n'));
    } else {
      plain.append(c);
    }
  }
  return EncodeWestern(plain);
}

// Blanks, word characters (letters and digits of the set, and "_"), and the
// rest; a word move skips a run of one kind and the blanks after it.
int WordClass(unsigned char b) {
  if (b == ' ' || b == '\t') return 0;
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_')
    return 1;
  if (b >= 0xC0) return b == 0xD7 || b == 0xF7 ? 2 : 1;
  switch (b) {
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F:
    case 0xAA:
    case 0xB5:
    case 0xBA:
      return 1;
    default:
      return 2;
  }
}

// The selection as plain text, a line break as "\n", every byte as the
// character it shows; converted when first read.
class SelectionMime final : public QMimeData {
 public:
  SelectionMime(text::Text text, std::size_t from, std::size_t to)
      : text_(std::move(text)), from_(from), to_(to) {}
  QStringList formats() const override { return {QStringLiteral("text/plain")}; }
  bool hasFormat(const QString& mime) const override { return mime == QLatin1String("text/plain"); }

 protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override {
    if (mime != QLatin1String("text/plain")) return {};
    if (shown_.isNull()) shown_ = DecodeWestern(text_.slice(from_, to_));
    if (type.id() == QMetaType::QByteArray) return shown_.toUtf8();
    return shown_;
  }

 private:
  text::Text text_;
  std::size_t from_, to_;
  mutable QString shown_;
};

}  // namespace

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent) {
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

TextPane::~TextPane() {
  if (historyCopier_.joinable()) historyCopier_.join();
}

// ---- The text ----

void TextPane::setText(text::Text t) {
  const text::Text before = text();
  doc_.reset(std::move(t));
  textReplaced(before);
}

void TextPane::replaceAll(text::Text t) {
  const text::Text before = text();
  doc_.replaceAll(std::move(t), sel_);
  textReplaced(before);
  keepHistory();
}

void TextPane::markSaved(const text::Text& saved) {
  doc_.markSaved(saved);
}

void TextPane::textReplaced(const text::Text& before) {
  sel_ = {};
  ++version_;
  longLines_.clear();
  widest_ = 0;
  desiredX_ = -1;
  if (wrap_) rewrap();
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
  const text::Change change = doc_.replace(from, to, bytes, kind, was, {caret, caret});
  sel_ = {caret, caret};
  changed(before, change);
}

void TextPane::replaceSelection(std::string_view bytes, EditKind kind) {
  if (hasSelection()) kind = EditKind::Other;  // typing over a selection starts a step
  replace(sel_.start(), sel_.end(), bytes, kind);
}

void TextPane::changed(const text::Text& before, const text::Change& c) {
  ++version_;
  const std::size_t first = before.lineAt(c.offset);
  const std::size_t oldLast = before.lineAt(c.offset + c.removed);
  const std::size_t newLast = text().lineAt(c.offset + c.inserted);
  // Long lines measured before keep what the change left as it was.
  const std::ptrdiff_t delta = std::ptrdiff_t(c.inserted) - std::ptrdiff_t(c.removed);
  std::vector<LongLine> kept;
  for (LongLine& l : longLines_) {
    if (l.start + l.length < c.offset) {
      kept.push_back(std::move(l));
    } else if (l.start > c.offset + c.removed) {
      l.start = std::size_t(std::ptrdiff_t(l.start) + delta);
      kept.push_back(std::move(l));
    } else if (first == oldLast && first == newLast) {
      // An edit within the line: the positions before it stay.
      l.length = std::size_t(std::ptrdiff_t(l.length) + delta);
      l.checkpoints.resize(std::min(l.checkpoints.size(), (c.offset - l.start) / kStride + 1));
      l.width = -1;
      kept.push_back(std::move(l));
    }
  }
  for (LongLine& l : kept) l.version = version_;
  longLines_ = std::move(kept);
  if (wrap_) wraps_.update(text(), first, oldLast - first + 1, newLast - first + 1);
  desiredX_ = -1;
  updateScrollBars();
  ensureCaretVisible();
  viewport()->update();
  NotifyTextChanged(this, before, c);
  emit textChanged();
  selectionMoved(false);
}

void TextPane::insertText(const QString& typed) {
  const std::string bytes = IncomingBytes(typed);
  if (bytes.empty() && !hasSelection()) return;
  replaceSelection(bytes, EditKind::Other);
}

void TextPane::replaceRange(std::size_t from, std::size_t to, const QString& typed) {
  to = std::min(to, text().size());
  from = std::min(from, to);
  replace(from, to, IncomingBytes(typed), EditKind::Other);
}

void TextPane::undo() {
  const text::Text before = text();
  const auto restored = doc_.undo();
  if (!restored) return;
  sel_ = restored->selection;
  changed(before, restored->change);
  if (restored->change.removed == before.size()) keepHistory();  // a run was undone
}

void TextPane::redo() {
  const text::Text before = text();
  const auto restored = doc_.redo();
  if (!restored) return;
  sel_ = restored->selection;
  changed(before, restored->change);
  if (restored->change.removed == before.size()) keepHistory();
}

// ---- The history's large texts ----

namespace {
// Texts smaller than this stay in memory: a file each would cost more.
constexpr std::size_t kHistoryOnDiskFrom = std::size_t(1) << 20;
}  // namespace

void TextPane::setHistoryFolder(std::string folder) {
  historyFolder_ = std::move(folder);
}

// After a whole-text step: the texts only the history holds now are copied
// to disk on a thread of their own, then put in place of their copies in
// memory (historyCopied). One copier at a time; a step meanwhile asks again.
void TextPane::keepHistory() {
  if (copyingHistory_) {
    historyAgain_ = true;
    return;
  }
  std::vector<std::shared_ptr<const text::Buffer>> buffers;
  if (!historyFolder_.empty()) {
    for (auto& b : doc_.historyOnlyBuffers(kHistoryOnDiskFrom)) {
      if (!b->onDisk()) buffers.push_back(std::move(b));
    }
  }
  if (buffers.empty()) {
    historyCopied({});
    return;
  }
  copyingHistory_ = true;
  if (historyCopier_.joinable()) historyCopier_.join();
  historyCopier_ = std::thread([this, buffers = std::move(buffers), folder = historyFolder_] {
    text::BufferSwap::Swaps swaps;
    for (const auto& b : buffers) swaps.emplace_back(b.get(), text::Buffer::copyToDisk(*b, folder));
    // Dropped should the pane go first (it waits for this thread).
    QMetaObject::invokeMethod(
        this, [this, swaps = std::move(swaps), buffers] { historyCopied(swaps); },
        Qt::QueuedConnection);
  });
}

void TextPane::historyCopied(const text::BufferSwap::Swaps& swaps) {
  copyingHistory_ = false;
  doc_.swapBuffers(swaps);
  // What stayed in memory (no folder, a failed copy) is bounded: the oldest
  // runs go while it is more than twice the text.
  auto inMemory = [this] {
    std::size_t bytes = 0;
    for (const auto& b : doc_.historyOnlyBuffers(kHistoryOnDiskFrom))
      if (!b->onDisk()) bytes += b->size();
    return bytes;
  };
  const std::size_t budget = std::max<std::size_t>(2 * text().size(), std::size_t(64) << 20);
  while (inMemory() > budget && doc_.wholeSteps() > 1 && doc_.dropOldestWholeStep()) {
  }
  if (historyAgain_) {
    historyAgain_ = false;
    keepHistory();
    return;
  }
  emit historyKept();
}

// ---- Selection and clipboard ----

void TextPane::setSelection(std::size_t anchor, std::size_t position) {
  const std::size_t size = text().size();
  sel_ = {std::min(anchor, size), std::min(position, size)};
  desiredX_ = -1;
  doc_.closeGroup();
  // The whole selection when it fits, else its caret end.
  ensureVisible(sel_.anchor);
  ensureCaretVisible();
  selectionMoved(false);
}

void TextPane::selectAll() {
  sel_ = {0, text().size()};
  doc_.closeGroup();
  selectionMoved(true);
}

void TextPane::moveCaret(std::size_t position, bool select) {
  position = std::min(position, text().size());
  if (select) {
    sel_.position = position;
  } else {
    sel_ = {position, position};
  }
  doc_.closeGroup();
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

QMimeData* TextPane::selectionMime() const {
  if (sel_.end() - sel_.start() <= kEagerClipboard) {
    auto* mime = new QMimeData;
    mime->setText(DecodeWestern(text().slice(sel_.start(), sel_.end())));
    return mime;
  }
  return new SelectionMime(text(), sel_.start(), sel_.end());
}

void TextPane::setPrimarySelection() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->supportsSelection())
    clipboard->setMimeData(selectionMime(), QClipboard::Selection);
}

void TextPane::copy() const {
  if (hasSelection()) QGuiApplication::clipboard()->setMimeData(selectionMime());
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

std::size_t TextPane::rowCount() const {
  return wrap_ ? wraps_.rows() : text().shownLines();
}

const std::vector<std::size_t>& TextPane::rowStartsOf(std::size_t line) const {
  if (rowStarts_.version == version_ && rowStarts_.line == line) return rowStarts_.starts;
  const std::size_t start = text().lineStart(line);
  const std::size_t end = text().lineEnd(line);
  std::string scratch;
  text::WrapRowStarts(glyphs_->metrics(), text().view(start, end, scratch), wrapWidth_,
                      rowStarts_.starts);
  rowStarts_.version = version_;
  rowStarts_.line = line;
  return rowStarts_.starts;
}

TextPane::Row TextPane::row(std::size_t index) const {
  Row r;
  const text::Text& t = text();
  if (!wrap_) {
    r.line = std::min(index, t.breaks());
    r.lineStart = r.start = t.lineStart(r.line);
    r.lineEnd = r.end = t.lineEnd(r.line);
    return r;
  }
  const text::WrapIndex::Place place = wraps_.lineOfRow(index);
  r.line = place.line;
  r.lineStart = t.lineStart(r.line);
  r.lineEnd = t.lineEnd(r.line);
  const std::vector<std::size_t>& starts = rowStartsOf(r.line);
  const std::size_t k = std::min(place.row, starts.size() - 1);
  r.start = r.lineStart + starts[k];
  r.lastOfLine = k + 1 == starts.size();
  r.end = r.lastOfLine ? r.lineEnd : r.lineStart + starts[k + 1];
  return r;
}

std::size_t TextPane::rowOf(std::size_t offset) const {
  const std::size_t line = text().lineAt(offset);
  if (!wrap_) return line;
  const std::vector<std::size_t>& starts = rowStartsOf(line);
  const std::size_t within = offset - text().lineStart(line);
  const auto k =
      std::size_t(std::upper_bound(starts.begin(), starts.end(), within) - starts.begin());
  return wraps_.rowOfLine(line) + k - 1;
}

const TextPane::LongLine& TextPane::longLine(std::size_t lineStart, std::size_t lineEnd) const {
  LongLine* found = nullptr;
  for (LongLine& l : longLines_) {
    if (l.version == version_ && l.start == lineStart && l.length == lineEnd - lineStart)
      found = &l;
  }
  if (found == nullptr) {
    if (longLines_.size() >= 4) longLines_.erase(longLines_.begin());
    longLines_.push_back({version_, lineStart, lineEnd - lineStart, {0}, -1});
    found = &longLines_.back();
  }
  LongLine& l = *found;
  if (l.width < 0) {
    // Measures on from the last position known, every kStride bytes.
    const text::Metrics& m = glyphs_->metrics();
    std::size_t pos = (l.checkpoints.size() - 1) * kStride;
    std::int64_t x = l.checkpoints.back();
    text().forEachChunk(l.start + pos, l.start + l.length, [&](std::string_view chunk) {
      while (!chunk.empty()) {
        const std::size_t take = std::min(kStride - pos % kStride, chunk.size());
        x = text::Advance(m, chunk.substr(0, take), x);
        pos += take;
        chunk.remove_prefix(take);
        if (pos % kStride == 0) l.checkpoints.push_back(x);
      }
      return true;
    });
    l.width = x;
  }
  return l;
}

std::int64_t TextPane::xAt(const Row& r, std::size_t offset) const {
  offset = std::clamp(offset, r.start, r.end);
  std::size_t from = r.start;
  std::int64_t x = 0;
  if (isLong(r)) {
    const LongLine& l = longLine(r.lineStart, r.lineEnd);
    const std::size_t k = (offset - r.start) / kStride;
    from = r.start + k * kStride;
    x = l.checkpoints[std::min(k, l.checkpoints.size() - 1)];
  }
  std::string scratch;
  return text::Advance(glyphs_->metrics(), text().view(from, offset, scratch), x);
}

std::int64_t TextPane::rowWidth(const Row& r) const {
  if (isLong(r)) return longLine(r.lineStart, r.lineEnd).width;
  return xAt(r, r.end);
}

std::size_t TextPane::firstByteFrom(const Row& r, std::int64_t x, std::int64_t& left) const {
  std::size_t from = r.start;
  std::int64_t at = 0;
  if (isLong(r)) {
    const LongLine& l = longLine(r.lineStart, r.lineEnd);
    const auto it = std::upper_bound(l.checkpoints.begin(), l.checkpoints.end(), x);
    const std::size_t k =
        it == l.checkpoints.begin() ? 0 : std::size_t(it - l.checkpoints.begin()) - 1;
    from = r.start + k * kStride;
    at = l.checkpoints[k];
  }
  const text::Metrics& m = glyphs_->metrics();
  std::string scratch;
  while (from < r.end) {
    const std::size_t to = std::min(r.end, from + kStride);
    for (const char c : text().view(from, to, scratch)) {
      const std::int64_t step = text::StepAt(m, static_cast<unsigned char>(c), at);
      if (at + step > x) {
        left = at;
        return from;
      }
      at += step;
      ++from;
    }
  }
  left = at;
  return r.end;
}

std::size_t TextPane::offsetAtX(const Row& r, std::int64_t x) const {
  std::int64_t left = 0;
  const std::size_t from = firstByteFrom(r, x, left);
  if (from >= r.end) return r.end;
  std::string scratch;
  const std::string_view one = text().view(from, from + 1, scratch);
  return from + text::OffsetAt(glyphs_->metrics(), one, x, left);
}

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
  const std::size_t last = rowCount() - 1;
  if (index < 0) return 0;
  const Row r = row(std::min(std::size_t(index), last));
  const std::int64_t x = std::int64_t(p.x() - kMargin) * text::kUnits + scrollX();
  std::size_t at = offsetAtX(r, x);
  if (!r.lastOfLine && at >= r.end && r.end > r.start) at = r.end - 1;
  return at;
}

QRect TextPane::byteRect(std::size_t offset) const {
  offset = std::min(offset, text().size());
  const std::size_t index = rowOf(offset);
  const Row r = row(index);
  const int lh = glyphs_->lineHeight();
  const std::ptrdiff_t shown = std::ptrdiff_t(index) - std::ptrdiff_t(firstVisibleRow());
  const std::int64_t x = xAt(r, offset) - scrollX();
  const std::int64_t next = offset < r.end ? xAt(r, offset + 1) - scrollX() : x + text::kUnits;
  const int left = kMargin + int(x / text::kUnits);
  return QRect(left, kMargin + int(shown) * lh, std::max<int>(1, int((next - x) / text::kUnits)),
               lh);
}

QRect TextPane::caretRect() const {
  const QRect r = byteRect(sel_.position);
  return QRect(r.left() - 1, r.top(), 3, r.height());
}

// ---- Scrolling ----

void TextPane::updateScrollBars() {
  const int full = visibleRows();
  const std::size_t rows = rowCount();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, int(std::min<std::size_t>(INT_MAX, rows > std::size_t(full) ? rows - full : 0)));
  v->setPageStep(full);
  v->setSingleStep(1);
  QScrollBar* h = horizontalScrollBar();
  if (wrap_) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    h->setRange(0, 0);
    return;
  }
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Room for the widest line seen, the margins and the caret after it.
  const std::int64_t content = widest_ / text::kUnits + 2 * kMargin + 2;
  const std::int64_t over = std::max<std::int64_t>(0, content - viewport()->width());
  constexpr std::int64_t kMaxRange = 1'000'000'000;
  hScale_ = int(over / kMaxRange + 1);
  h->setRange(0, int(over / hScale_));
  h->setPageStep(std::max(1, viewport()->width() / hScale_));
  h->setSingleStep(std::max(1, 20 / hScale_));
}

void TextPane::noteWidth(std::int64_t width) {
  if (wrap_ || width <= widest_) return;
  widest_ = width;
  QMetaObject::invokeMethod(this, &TextPane::updateScrollBars, Qt::QueuedConnection);
}

void TextPane::ensureVisible(std::size_t offset) {
  const std::size_t index = rowOf(offset);
  const std::size_t first = firstVisibleRow();
  const std::size_t full = std::size_t(visibleRows());
  QScrollBar* v = verticalScrollBar();
  if (index < first) {
    v->setValue(int(index));
  } else if (index >= first + full) {
    if (std::size_t(v->maximum()) < index + 1 - full) updateScrollBars();
    v->setValue(int(index + 1 - full));
  }
  if (wrap_) return;
  const Row r = row(index);
  const std::int64_t x = xAt(r, offset) / text::kUnits;
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
  if (on == wrap_) return;
  wrap_ = on;
  ++version_;
  if (wrap_) rewrap();
  horizontalScrollBar()->setValue(0);
  updateScrollBars();
  ensureCaretVisible();
  viewport()->update();
}

void TextPane::rewrap() {
  wrapWidth_ = std::int64_t(std::max(1, viewport()->width() - 2 * kMargin - 2)) * text::kUnits;
  wraps_.rebuild(text(), glyphs_->metrics(), wrapWidth_);
  ++version_;
}

void TextPane::fontChanged() {
  glyphs_ = std::make_unique<PaneGlyphs>(font(), kTabStop);
  ++version_;
  longLines_.clear();
  widest_ = 0;
  if (wrap_) rewrap();
  updateScrollBars();
  viewport()->update();
}

void TextPane::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) fontChanged();
}

void TextPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const std::int64_t width =
      std::int64_t(std::max(1, viewport()->width() - 2 * kMargin - 2)) * text::kUnits;
  if (wrap_ && width != wrapWidth_) rewrap();
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
  const int lh = glyphs_->lineHeight();
  const std::int64_t sx = scrollX();
  const std::int64_t rightEdge = sx + std::int64_t(viewport()->width()) * text::kUnits;
  const qreal left = kMargin - qreal(sx) / text::kUnits;
  const std::size_t first = firstVisibleRow();
  const std::size_t rows = rowCount();
  const int shown = viewport()->height() / lh + 2;
  const std::size_t s0 = sel_.start(), s1 = sel_.end();
  const std::size_t caretRow = rowOf(sel_.position);
  const std::int64_t breakWidth = glyphs_->metrics().advance[' '];
  std::string scratch;

  for (int i = 0; i < shown && first + std::size_t(i) < rows; ++i) {
    const Row r = row(first + std::size_t(i));
    const int top = kMargin + i * lh;
    const qreal baseline = top + glyphs_->ascent();
    if (!wrap_) noteWidth(rowWidth(r));

    // The selection's background, with a little more for a selected break.
    if (s0 < s1 && s0 <= r.end && s1 > r.start) {
      const std::size_t a = std::max(s0, r.start), b = std::min(s1, r.end);
      std::int64_t xa = xAt(r, a), xb = xAt(r, b);
      if (s1 > r.end && r.lastOfLine && r.line < text().breaks()) xb += breakWidth;
      xa = std::max(xa, sx - text::kUnits);
      xb = std::min(xb, rightEdge + text::kUnits);
      if (xb > xa) {
        p.fillRect(QRectF(left + qreal(xa) / text::kUnits, top, qreal(xb - xa) / text::kUnits, lh),
                   highlight);
      }
    }

    // The bytes on the screen, in up to three parts: before, in and after
    // the selection.
    std::int64_t x = 0;
    std::size_t at = firstByteFrom(r, sx, x);
    const std::size_t cuts[3] = {std::clamp(s0, at, r.end), std::clamp(s1, at, r.end), r.end};
    for (int part = 0; part < 3 && x <= rightEdge; ++part) {
      p.setPen(part == 1 ? highlighted : ink);
      while (at < cuts[part] && x <= rightEdge) {
        const std::size_t to = std::min(cuts[part], at + 256);
        x = glyphs_->draw(p, left, baseline, text().view(at, to, scratch), x);
        at = to;
      }
      at = cuts[part];
    }

    if (first + std::size_t(i) == caretRow) {
      const std::int64_t cx = xAt(r, sel_.position);
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

// ---- Keys ----

bool TextPane::focusNextPrevChild(bool) {
  return false;  // Tab inserts a tab
}

bool TextPane::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Keys the pane acts on are its own while it has the focus.
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence::StandardKey own[] = {
        QKeySequence::Copy,
        QKeySequence::Cut,
        QKeySequence::Paste,
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::SelectAll,
        QKeySequence::Delete,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToStartOfDocument,
        QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectNextWord,
        QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfDocument,
        QKeySequence::SelectEndOfDocument,
    };
    for (const QKeySequence::StandardKey k : own) {
      if (key->matches(k)) {
        event->accept();
        return true;
      }
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (mods == Qt::NoModifier && (key->key() < Qt::Key_Escape || key->key() == Qt::Key_Backspace ||
                                   key->key() == Qt::Key_Home || key->key() == Qt::Key_End)) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void TextPane::verticalMove(std::ptrdiff_t rows, bool select, bool scroll) {
  const std::size_t index = rowOf(sel_.position);
  const std::int64_t x = desiredX_ >= 0 ? desiredX_ : xAt(row(index), sel_.position);
  const std::ptrdiff_t last = std::ptrdiff_t(rowCount()) - 1;
  const std::size_t target =
      std::size_t(std::clamp<std::ptrdiff_t>(std::ptrdiff_t(index) + rows, 0, last));
  if (scroll) {
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->value() + int(std::ptrdiff_t(target) - std::ptrdiff_t(index)));
  }
  const Row r = row(target);
  std::size_t at = offsetAtX(r, x);
  if (!r.lastOfLine && at >= r.end && r.end > r.start) at = r.end - 1;
  moveCaret(at, select);
  desiredX_ = x;
}

bool TextPane::moveKey(QKeyEvent* e) {
  enum Move {
    NextChar,
    PrevChar,
    NextWord,
    PrevWord,
    NextLine,
    PrevLine,
    LineStart,
    LineEnd,
    BlockStart,
    BlockEnd,
    DocStart,
    DocEnd,
    NextPage,
    PrevPage
  };
  struct Binding {
    QKeySequence::StandardKey key;
    Move move;
    bool select;
  };
  static constexpr Binding kBindings[] = {
      {QKeySequence::MoveToNextChar, NextChar, false},
      {QKeySequence::MoveToPreviousChar, PrevChar, false},
      {QKeySequence::MoveToNextWord, NextWord, false},
      {QKeySequence::MoveToPreviousWord, PrevWord, false},
      {QKeySequence::MoveToNextLine, NextLine, false},
      {QKeySequence::MoveToPreviousLine, PrevLine, false},
      {QKeySequence::MoveToStartOfLine, LineStart, false},
      {QKeySequence::MoveToEndOfLine, LineEnd, false},
      {QKeySequence::MoveToStartOfBlock, BlockStart, false},
      {QKeySequence::MoveToEndOfBlock, BlockEnd, false},
      {QKeySequence::MoveToStartOfDocument, DocStart, false},
      {QKeySequence::MoveToEndOfDocument, DocEnd, false},
      {QKeySequence::MoveToNextPage, NextPage, false},
      {QKeySequence::MoveToPreviousPage, PrevPage, false},
      {QKeySequence::SelectNextChar, NextChar, true},
      {QKeySequence::SelectPreviousChar, PrevChar, true},
      {QKeySequence::SelectNextWord, NextWord, true},
      {QKeySequence::SelectPreviousWord, PrevWord, true},
      {QKeySequence::SelectNextLine, NextLine, true},
      {QKeySequence::SelectPreviousLine, PrevLine, true},
      {QKeySequence::SelectStartOfLine, LineStart, true},
      {QKeySequence::SelectEndOfLine, LineEnd, true},
      {QKeySequence::SelectStartOfBlock, BlockStart, true},
      {QKeySequence::SelectEndOfBlock, BlockEnd, true},
      {QKeySequence::SelectStartOfDocument, DocStart, true},
      {QKeySequence::SelectEndOfDocument, DocEnd, true},
      {QKeySequence::SelectNextPage, NextPage, true},
      {QKeySequence::SelectPreviousPage, PrevPage, true},
  };
  const Binding* hit = nullptr;
  for (const Binding& b : kBindings) {
    if (e->matches(b.key)) {
      hit = &b;
      break;
    }
  }
  if (hit == nullptr) return false;
  const std::size_t p = sel_.position;
  const bool select = hit->select;
  const text::Text& t = text();
  std::size_t target = p;
  switch (hit->move) {
    case NextChar:
      target = !select && hasSelection() ? sel_.end() : std::min(p + 1, t.size());
      break;
    case PrevChar:
      target = !select && hasSelection() ? sel_.start() : (p > 0 ? p - 1 : 0);
      break;
    case NextWord:
      target = wordEnd(p);
      break;
    case PrevWord:
      target = wordStart(p);
      break;
    case NextLine:
    case PrevLine:
      verticalMove(hit->move == NextLine ? 1 : -1, select, false);
      return true;
    case NextPage:
    case PrevPage:
      verticalMove(hit->move == NextPage ? visibleRows() : -visibleRows(), select, true);
      return true;
    case LineStart:
      target = row(rowOf(p)).start;
      break;
    case LineEnd: {
      const Row r = row(rowOf(p));
      target = r.end;
      // On a wrapped row the caret stays before the blank the row ends with.
      if (!r.lastOfLine && r.end > r.start) {
        const char last = t.at(r.end - 1);
        if (last == ' ' || last == '\t') target = r.end - 1;
      }
      break;
    }
    case BlockStart:
      target = t.lineStart(t.lineAt(p));
      break;
    case BlockEnd:
      target = t.lineEnd(t.lineAt(p));
      break;
    case DocStart:
      target = 0;
      break;
    case DocEnd:
      target = t.size();
      break;
  }
  moveCaret(target, select);
  desiredX_ = -1;
  return true;
}

bool TextPane::editKey(QKeyEvent* e) {
  if (e->matches(QKeySequence::Undo)) {
    undo();
  } else if (e->matches(QKeySequence::Redo)) {
    redo();
  } else if (e->matches(QKeySequence::Copy)) {
    copy();
  } else if (e->matches(QKeySequence::Cut)) {
    cut();
  } else if (e->matches(QKeySequence::Paste)) {
    paste();
  } else if (e->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (e->matches(QKeySequence::DeleteStartOfWord)) {
    if (hasSelection()) {
      replaceSelection({}, EditKind::Other);
    } else {
      replace(wordStart(sel_.position), sel_.position, {}, EditKind::Other);
    }
  } else if (e->matches(QKeySequence::DeleteEndOfWord)) {
    if (hasSelection()) {
      replaceSelection({}, EditKind::Other);
    } else {
      replace(sel_.position, wordEnd(sel_.position), {}, EditKind::Other);
    }
  } else if (e->matches(QKeySequence::Delete)) {
    if (hasSelection()) {
      replaceSelection({}, EditKind::Other);
    } else if (sel_.position < text().size()) {
      replace(sel_.position, sel_.position + 1, {}, EditKind::Delete);
    }
  } else if (e->key() == Qt::Key_Backspace &&
             !(e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
    if (hasSelection()) {
      replaceSelection({}, EditKind::Other);
    } else if (sel_.position > 0) {
      replace(sel_.position - 1, sel_.position, {}, EditKind::Backspace);
    }
  } else if (e->matches(QKeySequence::InsertParagraphSeparator) ||
             e->matches(QKeySequence::InsertLineSeparator)) {
    replaceSelection("\n", EditKind::Other);
  } else if (e->key() == Qt::Key_Tab &&
             !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    replaceSelection("\t", EditKind::Typing);
  } else {
    const QString typed = e->text();
    // A letter with Control, Alt or Meta is a command, not text; Control with
    // Alt is AltGr on Windows, which types.
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool command = mods != Qt::NoModifier && mods != (Qt::ControlModifier | Qt::AltModifier);
    if (typed.isEmpty() || command || !(typed.at(0).isPrint() || typed.at(0).isSurrogate()))
      return false;
    replaceSelection(IncomingBytes(typed), EditKind::Typing);
  }
  return true;
}

void TextPane::keyPressEvent(QKeyEvent* event) {
  if (moveKey(event) || editKey(event)) {
    event->accept();
    return;
  }
  event->ignore();
}

// ---- Words ----

std::size_t TextPane::wordEnd(std::size_t offset) const {
  const text::Text& t = text();
  const std::size_t end = t.lineEnd(t.lineAt(offset));
  if (offset >= end) return std::min(offset + 1, t.size());
  std::size_t p = offset;
  const int kind = WordClass(static_cast<unsigned char>(t.at(p)));
  bool inRun = kind != 0;
  bool stop = false;
  std::string scratch;
  while (p < end && !stop) {
    for (const char c : t.view(p, std::min(end, p + kStride), scratch)) {
      const int k = WordClass(static_cast<unsigned char>(c));
      if (inRun && k == kind) {
        ++p;
        continue;
      }
      inRun = false;
      if (k != 0) {
        stop = true;
        break;
      }
      ++p;
    }
  }
  return p;
}

std::size_t TextPane::wordStart(std::size_t offset) const {
  const text::Text& t = text();
  const std::size_t start = t.lineStart(t.lineAt(offset));
  if (offset <= start) return offset > 0 ? offset - 1 : 0;
  std::size_t p = offset;
  int kind = -1;  // blanks first, then a run of one kind
  std::string scratch;
  while (p > start) {
    const std::size_t from = p > start + kStride ? p - kStride : start;
    const std::string_view bytes = t.view(from, p, scratch);
    for (std::size_t i = bytes.size(); i > 0; --i) {
      const int k = WordClass(static_cast<unsigned char>(bytes[i - 1]));
      if (kind < 0 && k == 0) {
        --p;
        continue;
      }
      if (kind < 0) kind = k;
      if (k != kind) return p;
      --p;
    }
  }
  return p;
}

Selection TextPane::wordAround(std::size_t offset) const {
  const text::Text& t = text();
  const std::size_t line = t.lineAt(offset);
  const std::size_t start = t.lineStart(line), end = t.lineEnd(line);
  if (start == end) return {offset, offset};
  const std::size_t at = offset < end ? offset : offset - 1;
  const int kind = WordClass(static_cast<unsigned char>(t.at(at)));
  std::size_t a = at, b = at + 1;
  while (a > start && WordClass(static_cast<unsigned char>(t.at(a - 1))) == kind) --a;
  while (b < end && WordClass(static_cast<unsigned char>(t.at(b))) == kind) ++b;
  return {a, b};
}

Selection TextPane::lineAround(std::size_t offset) const {
  const text::Text& t = text();
  const std::size_t line = t.lineAt(offset);
  const std::size_t end = t.lineEnd(line);
  return {t.lineStart(line), end < t.size() ? end + 1 : end};
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
    dragOrigin_ = lineAround(at);
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
  dragOrigin_ = wordAround(offsetAt(point));
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
  const Selection unit = drag_ == Drag::Words ? wordAround(at) : lineAround(at);
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
      const auto start = std::ptrdiff_t(sel_.position) + event->replacementStart();
      from = std::size_t(std::clamp<std::ptrdiff_t>(start, 0, std::ptrdiff_t(text().size())));
      to = std::min(text().size(), from + std::size_t(event->replacementLength()));
    }
    replace(from, to, IncomingBytes(event->commitString()), EditKind::Typing);
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
  // Positions are given within the caret's line, around the caret.
  const text::Text& t = text();
  const std::size_t line = t.lineAt(sel_.position);
  const std::size_t lineStart = t.lineStart(line);
  constexpr std::size_t kAround = 1000;
  const std::size_t from =
      std::max(lineStart, sel_.position > kAround ? sel_.position - kAround : 0);
  const std::size_t to = std::min(t.lineEnd(line), sel_.position + kAround);
  auto within = [&](std::size_t offset) { return int(std::clamp(offset, from, to) - from); };
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
      return DecodeWestern(t.slice(from, to));
    case Qt::ImCurrentSelection:
      return DecodeWestern(t.slice(sel_.start(), std::min(sel_.end(), sel_.start() + kAround)));
    case Qt::ImTextBeforeCursor:
      return DecodeWestern(t.slice(from, sel_.position));
    case Qt::ImTextAfterCursor:
      return DecodeWestern(t.slice(sel_.position, to));
    case Qt::ImAbsolutePosition:
      return qlonglong(sel_.position);
    case Qt::ImHints:
      return int(Qt::ImhMultiLine);
    case Qt::ImMaximumTextLength:
      return QVariant();
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---- Figures ----

TextPane::Position TextPane::endPosition() const {
  const text::Text& t = text();
  const std::size_t end = sel_.end();
  Position at;
  if (!wrap_) {
    const std::size_t line = t.lineAt(end);
    at.line = line + 1;
    at.column = end - t.lineStart(line) + 1;
    at.total = t.lineCount();
    return at;
  }
  const std::size_t index = rowOf(end);
  at.line = index + 1;
  at.column = end - row(index).start + 1;
  const bool lastEmpty = t.empty() || t.at(t.size() - 1) == '\n';
  at.total = wraps_.rows() - (lastEmpty ? 1 : 0);
  return at;
}

}  // namespace quorlin::ui
