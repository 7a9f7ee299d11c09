#include "app/Printing.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextOption>

namespace quorlin::app {

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
  if (paneFont.pixelSize() > 0) font.setPointSizeF(paneFont.pixelSize() * 72.0 / 96.0);
  return font;
}

PrintLayout::PrintLayout(const QString& text, const QFont& font, QPaintDevice* device,
                         const QRect& rect, qreal tabStop)
    : rect_(rect) {
  doc_.setUndoRedoEnabled(false);
  // Laid out in the device's own dots, so that the font's points and the
  // rectangle's dots measure alike.
  doc_.documentLayout()->setPaintDevice(device);
  doc_.setDocumentMargin(0);
  doc_.setDefaultFont(font);
  QTextOption option = doc_.defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTabStopDistance(tabStop * device->logicalDpiX() / 96.0);
  doc_.setDefaultTextOption(option);
  // With a page size the layout moves a line that would cross a page's end
  // to the top of the next page.
  doc_.setPageSize(QSizeF(rect.width(), rect.height()));
  doc_.setPlainText(text);
}

int PrintLayout::pageCount() const {
  return doc_.pageCount();
}

void PrintLayout::paintPage(QPainter& painter, int page) const {
  const qreal width = rect_.width();
  const qreal height = rect_.height();
  painter.save();
  painter.translate(rect_.topLeft());
  painter.setClipRect(QRectF(0, 0, width, height));
  painter.translate(0, -page * height);
  QAbstractTextDocumentLayout::PaintContext context;
  context.clip = QRectF(0, page * height, width, height);
  context.palette.setColor(QPalette::Text, Qt::black);
  doc_.documentLayout()->draw(&painter, context);
  painter.restore();
}

bool PrintText(QPrinter& printer, const QString& text, const QFont& font, qreal tabStop) {
  printer.setDocName(QString());
  printer.setCopyCount(1);
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFullPage(false);
  const QRect rect = PrintableRect(printer);
  if (rect.isEmpty()) return false;  // a page smaller than its margins

  const PrintLayout layout(text, font, &printer, rect, tabStop);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  for (int page = 0; page < layout.pageCount(); ++page) {
    if (page > 0 && !printer.newPage()) {
      printer.abort();
      return false;
    }
    layout.paintPage(painter, page);
  }
  return painter.end();
}

std::unique_ptr<QPrinter> SystemDefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

}  // namespace quorlin::app
