// SPDX-License-Identifier: Apache-2.0
#include "app/Printing.h"

#include <cstdlib>
#include <deque>
#include <tuple>

#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include "text/LineLayout.h"
#include "ui/ClusterGlyphs.h"
#include "ui/PaneGlyphs.h"
#include "ui/ShapedRow.h"

namespace quorlin::app {
namespace {

// A printed line as tall as a line of the font laid out on the device, the
// font's leading included; and its ascent.
std::pair<qreal, qreal> LineHeight(const QFont& font) {
  QTextLayout probe(QStringLiteral("x"), font);
  probe.beginLayout();
  QTextLine line = probe.createLine();
  line.setLeadingIncluded(true);
  probe.endLayout();
  return {line.height(), line.ascent()};
}

class WesternGlyphs final : public PrintGlyphs {
 public:
  WesternGlyphs(const QFont& font, qreal tabStop) : glyphs_(font, tabStop) {
    std::tie(lineHeight_, ascent_) = LineHeight(font);
  }

  qreal lineHeight() const override { return lineHeight_; }
  qreal ascent() const override { return ascent_; }

  void rowStarts(std::string_view line, qreal width,
                 std::vector<std::size_t>& starts) const override {
    text::WrapRowStarts(glyphs_.metrics(), line, std::int64_t(width * text::kUnits), starts);
  }

  void addRow(std::string_view row, QPointF origin, PageGlyphs& page) const override {
    const text::Metrics& metrics = glyphs_.metrics();
    const std::vector<QRawFont>& fonts = glyphs_.fonts();
    std::int64_t x = 0;
    for (const char c : row) {
      const auto b = static_cast<unsigned char>(c);
      if (b != ' ' && b != '\t') {
        page.add(fonts[glyphs_.fontOf(b)], glyphs_.glyph(b),
                 QPointF(origin.x() + qreal(x) / text::kUnits, origin.y()));
      }
      x += text::StepAt(metrics, b, x);
    }
  }

 private:
  ui::PaneGlyphs glyphs_;
  qreal lineHeight_ = 1;
  qreal ascent_ = 0;
};

class Utf8Glyphs final : public PrintGlyphs {
 public:
  Utf8Glyphs(const QFont& font, qreal tabStop)
      : clusters_(font, tabStop), font_(font), tabStop_(tabStop) {
    std::tie(lineHeight_, ascent_) = LineHeight(font);
  }

  qreal lineHeight() const override { return lineHeight_; }
  qreal ascent() const override { return ascent_; }

  void rowStarts(std::string_view line, qreal width,
                 std::vector<std::size_t>& starts) const override {
    text::WrapRowStarts(clusters_, line, std::int64_t(width * text::kUnits), starts);
  }

  void addRow(std::string_view row, QPointF origin, PageGlyphs& page) const override {
    if (row.size() <= ui::ShapedRow::kLongest && ui::HoldsRightToLeft(row)) {
      const ui::ShapedRow shaped(row, clusters_, font_, tabStop_);
      const QPointF top = origin - QPointF(0, shaped.ascent());
      for (const QGlyphRun& run : shaped.glyphRuns()) {
        const QRawFont& font = keep(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i)
          page.add(font, indexes[i], top + positions[i]);
      }
      return;
    }
    struct ToPage final : ui::ClusterGlyphs::Sink {
      PageGlyphs& page;
      QPointF origin;
      ToPage(PageGlyphs& p, QPointF o) : page(p), origin(o) {}
      void add(const QRawFont& font, quint32 glyph, QPointF at, bool escape) override {
        page.add(font, glyph, origin + at, escape);
      }
    } sink(page, origin);
    clusters_.place(row, 0, sink);
  }

 private:
  const QRawFont& keep(const QRawFont& font) const {
    for (const QRawFont& f : shapedFonts_) {
      if (f == font) return f;
    }
    return shapedFonts_.emplace_back(font);
  }

  ui::ClusterGlyphs clusters_;
  QFont font_;
  qreal tabStop_;
  mutable std::deque<QRawFont> shapedFonts_;  // never moved: the page points into it
  qreal lineHeight_ = 1;
  qreal ascent_ = 0;
};

// Qt's PDF writer takes two buffers of 10 MB for each page it writes out and
// frees them after it. glibc's malloc serves them from its heap but gives the
// memory back to the system after every page (its trim threshold is twice the
// largest mapped block freed so far), so that each page faults it in again:
// a third of the time of a long print. Freeing one mapped block larger than
// them raises both thresholds (see mallopt(3), M_MMAP_THRESHOLD), as any
// such block in the program would: the pages then reuse the same memory,
// which stays as small as one page needs.
void KeepPageBuffers() {
#ifdef __GLIBC__
  void* volatile block = std::malloc(std::size_t(24) << 20);
  std::free(block);
#endif
}

}  // namespace

void PageGlyphs::add(const QRawFont& font, quint32 glyph, QPointF position, bool muted) {
  if (used_ == 0 || runs_[used_ - 1].font != &font || runs_[used_ - 1].muted != muted) {
    if (used_ == runs_.size()) runs_.emplace_back();
    runs_[used_].muted = muted;
    runs_[used_++].font = &font;
  }
  Run& run = runs_[used_ - 1];
  run.glyphs.append(glyph);
  run.positions.append(position);
}

void PageGlyphs::paint(QPainter& painter) {
  const QPen ink = painter.pen();
  for (std::size_t n = 0; n < used_; ++n) {
    Run& run = runs_[n];
    {
      QGlyphRun glyphs;
      glyphs.setRawFont(*run.font);
      glyphs.setGlyphIndexes(run.glyphs);
      glyphs.setPositions(run.positions);
      if (run.muted) painter.setPen(Qt::gray);
      painter.drawGlyphRun(QPointF(), glyphs);
      if (run.muted) painter.setPen(ink);
    }
    // Emptied with their room kept, now that the glyph run shares them no more.
    run.glyphs.clear();
    run.positions.clear();
  }
  used_ = 0;
}

QRect PrintableRect(int dpiX, int dpiY, int pageWidth, int pageHeight) {
  const int left = 3 * dpiX / 4;
  const int top = dpiY / 2;
  const int right = pageWidth - dpiX / 2;
  const int bottom = pageHeight - dpiY / 2;
  return {QPoint(left, top), QPoint(right - 1, bottom - 1)};
}

QRect PrintableRect(const QPaintDevice& device) {
  return PrintableRect(device.logicalDpiX(), device.logicalDpiY(), device.width(), device.height());
}

QFont PrintFont(const QFont& paneFont) {
  QFont font = paneFont;
  // Setting a size detaches the copy from the pane's font.
  font.setPointSizeF(paneFont.pixelSize() > 0 ? paneFont.pixelSize() * 72.0 / 96.0
                                              : paneFont.pointSizeF());
  return font;
}

std::unique_ptr<PrintGlyphs> WesternPrintGlyphs(const QFont& font, const QPaintDevice& device,
                                                qreal tabStop) {
  // The font sized for the device's resolution, as a layout on it would be.
  return std::make_unique<WesternGlyphs>(QFont(font, &device),
                                         tabStop * device.logicalDpiX() / 96.0);
}

bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines,
                const PrintGlyphs& glyphs, const std::atomic<bool>* stop) {
  if (rect.isEmpty()) return false;  // a page smaller than its margins
  QPainter painter;
  KeepPageBuffers();
  if (!painter.begin(&device)) return false;
  painter.setPen(Qt::black);

  const qreal height = rect.height();
  const qreal lineHeight = glyphs.lineHeight();
  qreal y = 0;  // from the rectangle's top on the current page
  bool ok = true;
  std::string_view text;
  std::vector<std::size_t> starts;
  PageGlyphs page;
  const auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
  while (ok && lines.next(text)) {
    if (stopped()) {
      ok = false;
      break;
    }
    glyphs.rowStarts(text, rect.width(), starts);
    for (std::size_t n = 0; ok && n < starts.size(); ++n) {
      // A line taller than the whole rectangle still prints, alone on a page.
      // A stop is also seen between the pages of one long line.
      if (y > 0 && y + lineHeight > height) {
        page.paint(painter);
        ok = !stopped() && device.newPage();
        y = 0;
      }
      const std::size_t end = n + 1 < starts.size() ? starts[n + 1] : text.size();
      glyphs.addRow(text.substr(starts[n], end - starts[n]),
                    QPointF(rect.left(), rect.top() + y + glyphs.ascent()), page);
      y += lineHeight;
    }
  }
  if (ok) page.paint(painter);
  return painter.end() && ok;
}

std::unique_ptr<PrintGlyphs> Utf8PrintGlyphs(const QFont& font, const QPaintDevice& device,
                                             qreal tabStop) {
  return std::make_unique<Utf8Glyphs>(QFont(font, &device), tabStop * device.logicalDpiX() / 96.0);
}

bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines, const QFont& font,
                qreal tabStop, const std::atomic<bool>* stop, text::Encoding encoding) {
  const std::unique_ptr<PrintGlyphs> glyphs = encoding == text::Encoding::Utf8
                                                  ? Utf8PrintGlyphs(font, device, tabStop)
                                                  : WesternPrintGlyphs(font, device, tabStop);
  return PrintLines(device, rect, lines, *glyphs, stop);
}

}  // namespace quorlin::app
