// SPDX-License-Identifier: Apache-2.0
#include "app/Printing.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include "ui/Western.h"

namespace quorlin::app {
namespace {

// The distance to give a layout on the device so that its tabs stop every
// `wanted` device dots. Qt 6.4 multiplies a layout's tab distance by the
// device's resolution over 96 (1 on the pane's screen, 6.25 on a 600-dpi
// printer). The stop is measured on a probe line rather than assumed, so
// that it comes out right whether or not a Qt version scales it.
qreal LayoutTabDistance(const QFont& font, QPaintDevice* device, qreal wanted) {
  QTextLayout probe(QStringLiteral("\tx"), font, device);
  QTextOption option;
  option.setTabStopDistance(wanted);
  probe.setTextOption(option);
  probe.beginLayout();
  QTextLine line = probe.createLine();
  line.setLineWidth(wanted * 1000);
  probe.endLayout();
  const qreal reached = line.cursorToX(1);
  return reached > 0 ? wanted * wanted / reached : wanted;
}

}  // namespace

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

bool PrintLines(QPagedPaintDevice& device, const QRect& rect, LineSource& lines, const QFont& font,
                qreal tabStop, const std::atomic<bool>* stop) {
  if (rect.isEmpty()) return false;  // a page smaller than its margins
  QPainter painter;
  if (!painter.begin(&device)) return false;
  painter.setPen(Qt::black);

  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTabStopDistance(
      LayoutTabDistance(font, &device, tabStop * device.logicalDpiX() / 96.0));
  // One layout, given each line in turn: the pages are painted as they are
  // laid out, so a long text never has all its lines laid out at once.
  QTextLayout layout(QString(), font, &device);
  layout.setTextOption(option);

  const qreal width = rect.width();
  const qreal height = rect.height();
  qreal y = 0;  // from the rectangle's top on the current page
  bool ok = true;
  std::string_view text;
  while (ok && lines.next(text)) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
      ok = false;
      break;
    }
    layout.setText(ui::DecodeWestern(text));
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLeadingIncluded(true);
      line.setLineWidth(width);
      line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    for (int n = 0; ok && n < layout.lineCount(); ++n) {
      const QTextLine line = layout.lineAt(n);
      // A line taller than the whole rectangle still prints, alone on a page.
      if (y > 0 && y + line.height() > height) {
        if (!device.newPage()) ok = false;
        y = 0;
      }
      if (ok) line.draw(&painter, QPointF(rect.left(), rect.top() + y));
      y += line.height();
    }
  }
  return painter.end() && ok;
}

}  // namespace quorlin::app
