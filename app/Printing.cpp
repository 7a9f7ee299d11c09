// SPDX-License-Identifier: Apache-2.0
#include "app/Printing.h"

#include <cstdlib>

#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include "text/LineLayout.h"
#include "ui/PaneGlyphs.h"

namespace quorlin::app {
namespace {

class WesternGlyphs final : public PrintGlyphs {
 public:
  WesternGlyphs(const QFont& font, qreal tabStop) : glyphs_(font, tabStop) {
    // A printed line is as tall as a line of the font laid out on the device,
    // the font's leading included.
    QTextLayout probe(QStringLiteral("x"), font);
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLeadingIncluded(true);
    probe.endLayout();
    lineHeight_ = line.height();
    ascent_ = line.ascent();
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

void PageGlyphs::add(const QRawFont& font, quint32 glyph, QPointF position) {
  if (used_ == 0 || runs_[used_ - 1].font != &font) {
    if (used_ == runs_.size()) runs_.emplace_back();
    runs_[used_++].font = &font;
  }
  Run& run = runs_[used_ - 1];
  run.glyphs.append(glyph);
  run.positions.append(position);
}

void PageGlyphs::paint(QPainter& painter) {
  for (std::size_t n = 0; n < used_; ++n) {
    Run& run = runs_[n];
    {
      QGlyphRun glyphs;
      glyphs.setRawFont(*run.font);
      glyphs.setGlyphIndexes(run.glyphs);
      glyphs.setPositions(run.positions);
      painter.drawGlyphRun(QPointF(), glyphs);
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

bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines, const QFont& font,
                qreal tabStop, const std::atomic<bool>* stop) {
  return PrintLines(device, rect, lines, *WesternPrintGlyphs(font, device, tabStop), stop);
}

}  // namespace quorlin::app
