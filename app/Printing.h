// SPDX-License-Identifier: Apache-2.0
// Printing the pane's text: the whole text, page after page, inside fixed
// margins, in the pane's font, on the default printer without a dialog.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRect>

#include "engine/LineStream.h"

class QPainter;
class QPaintDevice;
class QPagedPaintDevice;

namespace quorlin::app {

inline constexpr char kNoDefaultPrinter[] = "No default printer is available.";
inline constexpr char kPrintFailed[] = "The text could not be printed.";
inline constexpr char kPrintNoAnswer[] =
    "The print system did not answer. The text may not have been printed.";

// The rectangle the text is printed in, in device dots, measured from the top
// left corner of the area the printer can print on: 3/4 inch in from the left
// edge of that area, 1/2 inch in from its top, right and bottom edges. Every
// division rounds toward zero (at 203 dpi the left margin is 152 dots). The
// rectangle covers the dots from left to right - 1 and top to bottom - 1.
QRect PrintableRect(int dpiX, int dpiY, int pageWidth, int pageHeight);

// The rectangle for a device, from its resolution and the size of its
// printable area (a paged device's page minus its margins: set them to the
// printer's own, or the device adds its default margins to ours).
QRect PrintableRect(const QPaintDevice& device);

// The pane's font as printed: a font given in pixels (96 to the inch on
// screen) becomes the same size in points, so that it prints as large on
// paper as it looks on screen at that resolution. The result shares nothing
// with the pane's font, so that another thread may print with it.
QFont PrintFont(const QFont& paneFont);

// The glyphs of a page, kept in the order they are added until the page is
// painted, in runs of one font each: painting a page in a few calls costs far
// less than a call for every row.
class PageGlyphs {
 public:
  // font must outlive the page's painting.
  void add(const QRawFont& font, quint32 glyph, QPointF position);
  // Paints the glyphs added since the last paint.
  void paint(QPainter& painter);

 private:
  struct Run {
    const QRawFont* font = nullptr;
    QList<quint32> glyphs;
    QList<QPointF> positions;
  };
  std::vector<Run> runs_;  // runs_[0, used_) hold the page; the rest keep their room
  std::size_t used_ = 0;
};

// How the bytes of a line become glyphs on a device: the height of a printed
// line, where a line too wide for the page breaks into rows, and the glyphs of
// a row. Positions and sizes are in device dots.
class PrintGlyphs {
 public:
  virtual ~PrintGlyphs() = default;
  virtual qreal lineHeight() const = 0;
  // From the top of a printed line to its baseline.
  virtual qreal ascent() const = 0;
  // Sets starts to where each row of line starts (starts[0] is 0) when rows
  // are width dots wide.
  virtual void rowStarts(std::string_view line, qreal width,
                         std::vector<std::size_t>& starts) const = 0;
  // Adds the glyphs of a row to the page, its left edge and baseline at
  // origin.
  virtual void addRow(std::string_view row, QPointF origin, PageGlyphs& page) const = 0;
};

// Each byte shown through the Western set with the pane's glyph and advance
// for it (no kerning or shaping between bytes), in the font as the device
// sizes it; tabs stop every tabStop screen pixels (96 to the inch), so that a
// printed line looks like the pane's. A line too wide for a row breaks where
// the pane's word wrap breaks it: after the last blank that lets the row fit,
// else before the byte that does not fit.
std::unique_ptr<PrintGlyphs> WesternPrintGlyphs(const QFont& font, const QPaintDevice& device,
                                                qreal tabStop);

// Paints the lines inside rect on the device, page after page, with the
// glyphs:
// - a line wider than the rectangle continues on the next printed line;
// - a printed line that would not fit whole above the rectangle's bottom
//   starts the next page, so every printed line is on exactly one page.
// No lines print one blank page. Begins and ends the device's job; false when
// the device would not start it, a page or its end failed, or stop was set.
bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines,
                const PrintGlyphs& glyphs, const std::atomic<bool>* stop = nullptr);

// The same with the Western glyphs of the font.
bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines, const QFont& font,
                qreal tabStop, const std::atomic<bool>* stop = nullptr);

}  // namespace quorlin::app
