// SPDX-License-Identifier: Apache-2.0
// Printing the pane's text: the whole text, page after page, inside fixed
// margins, in the pane's font, on the default printer without a dialog.
#pragma once

#include <atomic>

#include <QFont>
#include <QRect>

#include "engine/LineStream.h"

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

// Paints the lines (bytes shown through the Western set, as the pane shows
// them) inside rect on the device, page after page, in the font:
// - tabs stop every tabStop screen pixels (96 to the inch), as in the pane, so
//   that a printed line looks like the pane's;
// - a line wider than the rectangle continues on the next printed line,
//   broken between words when it can be, else at the edge;
// - a printed line that would not fit whole above the rectangle's bottom
//   starts the next page, so every printed line is on exactly one page.
// No lines print one blank page. Begins and ends the device's job; false when
// the device would not start it, a page or its end failed, or stop was set.
bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines, const QFont& font,
                qreal tabStop, const std::atomic<bool>* stop = nullptr);

}  // namespace quorlin::app
