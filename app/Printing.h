// Printing the pane's text: the whole text, page after page, inside fixed
// margins, in the pane's font, on the default printer without a dialog.
#pragma once

#include <functional>
#include <memory>

#include <QFont>
#include <QPrinter>
#include <QRect>
#include <QString>
#include <QTextDocument>

class QPainter;
class QPaintDevice;

namespace quorlin::app {

inline constexpr char kNoDefaultPrinter[] = "No default printer is available.";
inline constexpr char kPrintFailed[] = "The text could not be printed.";

// The rectangle the text is printed in, in device dots, measured from the top
// left corner of the area the printer can print on: 3/4 inch in from the left
// edge of that area, 1/2 inch in from its top, right and bottom edges. Every
// division rounds toward zero (at 203 dpi the left margin is 152 dots). The
// rectangle covers the dots from left to right - 1 and top to bottom - 1.
QRect PrintableRect(int dpiX, int dpiY, int pageWidth, int pageHeight);

// The rectangle for a device, from its resolution and the size of its
// printable area.
QRect PrintableRect(const QPaintDevice& device);

// The pane's font as printed: a font given in pixels (96 to the inch on
// screen) becomes the same size in points, so that it prints as large on
// paper as it looks on screen at that resolution.
QFont PrintFont(const QFont& paneFont);

// The text laid out in pages of the rectangle on a device. A line wider than
// the rectangle continues on the next printed line (broken between words when
// it can be, else at the edge); no printed line is cut by a page's end.
class PrintLayout {
 public:
  // tabStop: the distance between tab stops in screen pixels (96 to the inch),
  // as the pane shows tabs; it prints as the same length on paper.
  PrintLayout(const QString& text, const QFont& font, QPaintDevice* device, const QRect& rect,
              qreal tabStop = 80);
  PrintLayout(const PrintLayout&) = delete;
  PrintLayout& operator=(const PrintLayout&) = delete;

  int pageCount() const;
  const QRect& rect() const { return rect_; }
  // Paints page (0 is the first) into the rectangle; nothing is drawn outside it.
  void paintPage(QPainter& painter, int page) const;
  // The laid-out text, for looking at where each line went.
  const QTextDocument& document() const { return doc_; }

 private:
  QTextDocument doc_;
  QRect rect_;
};

// Prints the text as one job on the printer: every page of the layout, no
// dialog, no header or footer, an empty job title. False when the printer
// would not start the job or a page.
bool PrintText(QPrinter& printer, const QString& text, const QFont& font, qreal tabStop = 80);

// The system's default printer, or none when no printer is set up.
std::unique_ptr<QPrinter> SystemDefaultPrinter();

using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

}  // namespace quorlin::app
