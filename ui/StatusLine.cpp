#include "ui/StatusLine.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "ui/Western.h"

namespace quorlin::ui {
namespace {

// One slice of background counting, in milliseconds: short enough that typing
// and scrolling go on undisturbed.
constexpr qint64 kSliceMilliseconds = 8;

// A line's width from the character widths leaves out kerning, which may
// widen a line slightly; a line that comes this close to the room is laid out
// for certain.
constexpr double kKerningSlack = 0.97;
constexpr double kSlackPixels = 2.0;

bool LastLineEmpty(const QTextDocument& doc) {
  return doc.lastBlock().length() <= 1;  // the length counts the line break
}

}  // namespace

QString StatusText(const CaretPosition& position) {
  return QStringLiteral("Line : %1     Char Position : %2        Total Lines: %3")
      .arg(position.line)
      .arg(position.column)
      .arg(position.total);
}

CaretPosition PanePosition(const QPlainTextEdit& pane) {
  const QTextDocument& doc = *pane.document();
  const int end = pane.textCursor().selectionEnd();
  const QTextBlock block = doc.findBlock(end);
  const int inBlock = end - block.position();
  CaretPosition at;
  if (pane.lineWrapMode() == QPlainTextEdit::NoWrap) {
    at.line = block.blockNumber() + 1;
    at.column = inBlock + 1;
    at.total = doc.blockCount() - (LastLineEmpty(doc) ? 1 : 0);
    return at;
  }
  // Displayed lines: those of the blocks before, then the line within this
  // block, which the pane may not have laid out yet.
  if (auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc.documentLayout())) {
    layout->ensureBlockLayout(block);
  }
  const QTextLine line = block.layout()->lineForTextPosition(inBlock);
  const int lineInBlock = line.isValid() ? line.lineNumber() : 0;
  const int lineStart = line.isValid() ? line.textStart() : 0;
  at.line = block.firstLineNumber() + lineInBlock + 1;
  at.column = inBlock - lineStart + 1;
  at.total = doc.lineCount() - (LastLineEmpty(doc) ? doc.lastBlock().lineCount() : 0);
  return at;
}

// ---- DisplayLineCounter ----

DisplayLineCounter::DisplayLineCounter(QPlainTextEdit& pane) : pane_(pane) {
  slice_.setSingleShot(true);
  slice_.setInterval(0);
  connect(&slice_, &QTimer::timeout, this, &DisplayLineCounter::countSlice);
  blocks_ = pane_.document()->blockCount();
  connect(pane_.document(), &QTextDocument::contentsChange, this, &DisplayLineCounter::changed);
}

DisplayLineCounter::Setting DisplayLineCounter::current() const {
  const QTextDocument& doc = *pane_.document();
  Setting s;
  s.wrap = pane_.lineWrapMode() != QPlainTextEdit::NoWrap;
  s.width = pane_.viewport()->width();
  s.font = doc.defaultFont();
  s.tab = pane_.tabStopDistance();
  s.margin = doc.documentMargin();
  return s;
}

void DisplayLineCounter::check() {
  const Setting now = current();
  if (now == setting_) return;
  const bool measure = !(now.font == setting_.font) || now.tab != setting_.tab;
  setting_ = now;
  if (measure) {
    const QFontMetricsF metrics(setting_.font);
    widest_ = 0;
    for (int b = 0; b < 256; ++b) {
      const QChar c(WesternChar(static_cast<unsigned char>(b)));
      double w = metrics.horizontalAdvance(c);
      if (b == '\t') {
        w = setting_.tab;  // never more than one tab stop
      } else if (!c.isPrint()) {
        w = std::max(w, metrics.maxWidth());  // however the pane shows it
      }
      width_[std::size_t(b)] = w;
      widest_ = std::max(widest_, w);
    }
  }
  startOver();
}

void DisplayLineCounter::startOver() {
  if (!setting_.wrap) {
    from_ = to_ = -1;
    slice_.stop();
    return;
  }
  from_ = 0;
  to_ = pane_.document()->blockCount() - 1;
  slice_.start();
}

void DisplayLineCounter::changed(int position, int /*removed*/, int added) {
  const QTextDocument& doc = *pane_.document();
  const int count = doc.blockCount();
  const int grown = count - blocks_;
  blocks_ = count;
  if (!setting_.wrap) return;
  // The blocks the change touched; blocks after it only moved.
  const int first = std::max(0, doc.findBlock(position).blockNumber());
  QTextBlock lastBlock = doc.findBlock(position + added);
  const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
  if (from_ < 0) {
    from_ = first;
    to_ = last;
  } else {
    from_ = std::min(from_, first);
    to_ = std::max(to_ + std::max(grown, 0), last);
  }
  to_ = std::min(to_, count - 1);
  from_ = std::min(from_, to_);
  slice_.start();
}

void DisplayLineCounter::countSlice() {
  check();
  countUntil(kSliceMilliseconds);
  if (from_ >= 0) slice_.start();
}

void DisplayLineCounter::finish() {
  check();
  countUntil(-1);
  slice_.stop();
}

void DisplayLineCounter::countUntil(qint64 milliseconds) {
  if (from_ < 0) return;
  const QTextDocument& doc = *pane_.document();
  auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc.documentLayout());
  if (layout == nullptr) {
    from_ = to_ = -1;
    return;
  }
  QElapsedTimer clock;
  clock.start();
  QTextBlock block = doc.findBlockByNumber(from_);
  for (int n = 1; block.isValid() && from_ <= to_; ++n, ++from_, block = block.next()) {
    // A block with lines is laid out at the present width: its count is
    // right. One that may not fit in one line, or was counted at another
    // width, is laid out now.
    if (block.layout()->lineCount() == 0 && (block.lineCount() != 1 || mayWrap(block))) {
      layout->ensureBlockLayout(block);
    }
    if (milliseconds >= 0 && n % 32 == 0 && clock.elapsed() >= milliseconds) {
      ++from_;
      return;
    }
  }
  from_ = to_ = -1;
}

bool DisplayLineCounter::mayWrap(const QTextBlock& block) const {
  const double room = (setting_.width - 2 * setting_.margin) * kKerningSlack - kSlackPixels;
  const int length = block.length() - 1;
  if (length * widest_ <= room) return false;
  const QString text = block.text();
  double width = 0;
  for (const QChar c : text) {
    char byte = 0;
    if (!WesternByte(c.unicode(), byte)) return true;
    width += width_[static_cast<unsigned char>(byte)];
    if (width > room) return true;
  }
  return false;
}

// ---- StatusLine ----

StatusLine::StatusLine(QPlainTextEdit& pane, QStatusBar& bar)
    : pane_(pane), bar_(bar), counter_(pane) {}

void StatusLine::update() {
  counter_.check();
  const QString text = StatusText(PanePosition(pane_));
  if (bar_.currentMessage() != text) bar_.showMessage(text);
}

}  // namespace quorlin::ui
