// File > Print: the margin rectangle from the printer's resolution, the whole
// text page after page inside it in the pane's font, and the error box when no
// printer is available.
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextLayout>

#include "WindowFixture.h"
#include "app/Printing.h"
#include "ui/Western.h"

namespace quorlin::testing {
namespace {

// Page objects in a PDF file ("/Type /Page", not the "/Type /Pages" tree).
int PdfPageCount(const QByteArray& pdf) {
  static const QRegularExpression page(QStringLiteral(R"(/Type\s*/Page(?![A-Za-z]))"));
  int pages = 0;
  for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next()) ++pages;
  return pages;
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& file, int dpi) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(file);
  printer->setResolution(dpi);
  printer->setPageSize(QPageSize(QPageSize::A4));
  return printer;
}

// Numbered lines of words, with tabs, a line far wider than any page and a
// word longer than a printed line.
QString LongText(int lines) {
  QStringList out;
  for (int i = 1; i <= lines; ++i) {
    if (i % 25 == 0) {
      out << QStringLiteral("wide %1: ").arg(i) + QStringLiteral("words that go on ").repeated(20);
    } else if (i % 40 == 0) {
      out << QStringLiteral("x").repeated(400);
    } else {
      out << QStringLiteral("Line %1\tof the text\twith tabs").arg(i);
    }
  }
  return out.join(QLatin1Char('\n'));
}

QFont PaneStartFont() {
  ui::TextPane pane;
  return app::PrintFont(pane.font());
}

TEST(PrintableRect, MarginsComeFromTheResolution) {
  const struct {
    int dpiX, dpiY, width, height;
    int left, top, right, bottom;
  } rows[] = {
      {600, 600, 4800, 6300, 450, 300, 4500, 6000},
      {203, 203, 1700, 2200, 152, 101, 1599, 2099},  // 609 / 4 rounds down
      {300, 600, 2400, 6000, 225, 300, 2250, 5700},  // across and down apart
  };
  for (const auto& r : rows) {
    const QRect rect = app::PrintableRect(r.dpiX, r.dpiY, r.width, r.height);
    EXPECT_EQ(rect.left(), r.left) << r.dpiX;
    EXPECT_EQ(rect.top(), r.top) << r.dpiX;
    EXPECT_EQ(rect.left() + rect.width(), r.right) << r.dpiX;
    EXPECT_EQ(rect.top() + rect.height(), r.bottom) << r.dpiX;
  }
}

// Each page painted on a page-sized picture at 100 dpi: ink inside the
// margins only, every line whole on one page, none wider than the rectangle.
TEST(PrintLayout, PagesStayInsideTheMarginsAndKeepEveryLine) {
  QImage page(850, 1100, QImage::Format_RGB32);
  page.setDotsPerMeterX(3937);  // 100 dpi
  page.setDotsPerMeterY(3937);
  const QRect rect = app::PrintableRect(page);
  ASSERT_EQ(rect, QRect(QPoint(75, 50), QPoint(799, 1049)));

  const int lineCount = 230;
  const app::PrintLayout layout(LongText(lineCount), PaneStartFont(), &page, rect);
  ASSERT_GT(layout.pageCount(), 2);
  EXPECT_EQ(layout.document().blockCount(), lineCount);

  const qreal pageHeight = rect.height();
  std::vector<qreal> filled;  // per page, how far down its lines reach
  qreal lineHeight = 0;
  for (QTextBlock block = layout.document().begin(); block.isValid(); block = block.next()) {
    const QTextLayout* lines = block.layout();
    const qreal top = lines->position().y();
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const qreal y = top + line.y();
      const auto first = std::size_t(y / pageHeight);
      const auto last = std::size_t((y + line.height() - 0.01) / pageHeight);
      EXPECT_EQ(first, last) << "line " << block.blockNumber() + 1 << " crosses a page's end";
      EXPECT_LE(line.naturalTextWidth(), rect.width() + 0.5) << "line " << block.blockNumber() + 1;
      filled.resize(last + 1, 0);
      filled[last] = y + line.height() - qreal(last) * pageHeight;
      lineHeight = std::max(lineHeight, line.height());
    }
  }
  EXPECT_EQ(std::size_t(layout.pageCount()), filled.size());  // no empty page at the end
  // Every page but the last is full: less than a line's height left over.
  for (std::size_t p = 0; p + 1 < filled.size(); ++p) {
    EXPECT_GT(filled[p], pageHeight - lineHeight) << "page " << p + 1;
  }

  for (int p = 0; p < layout.pageCount(); ++p) {
    page.fill(Qt::white);
    {
      QPainter painter(&page);
      layout.paintPage(painter, p);
    }
    int inside = 0, outside = 0;
    for (int y = 0; y < page.height(); ++y) {
      for (int x = 0; x < page.width(); ++x) {
        if (page.pixel(x, y) == qRgb(255, 255, 255)) continue;
        (rect.contains(x, y) ? inside : outside) += 1;
      }
    }
    EXPECT_GT(inside, 0) << "page " << p + 1;
    EXPECT_EQ(outside, 0) << "page " << p + 1;
  }
}

class Printing : public WindowTest {
 protected:
  // Print finds a PDF printer writing to this test's folder.
  void UsePdfPrinter(int dpi) {
    printer = [this, dpi] { return PdfPrinter(path(QStringLiteral("out.pdf")), dpi); };
  }
  int PrintedPages() { return PdfPageCount(ReadFile(QStringLiteral("out.pdf"))); }
  // The pages the pane's text needs on such a printer.
  int ExpectedPages(int dpi) {
    const auto pdf = PdfPrinter(path(QStringLiteral("unused.pdf")), dpi);
    QString text = ui::DecodeWestern(pane().lines().joined());
    text.chop(1);
    const app::PrintLayout layout(text, app::PrintFont(pane().font()), pdf.get(),
                                  app::PrintableRect(*pdf), pane().tabStopDistance());
    return layout.pageCount();
  }
};

TEST_F(Printing, WithoutAPrinterTheErrorBoxSaysSoAndNothingIsPrinted) {
  printer = [] { return std::unique_ptr<QPrinter>(); };
  Start();
  SetPaneLines({"some text"});
  ui().Print1->trigger();
  EXPECT_EQ(dialogs.allTexts(), QStringList{QStringLiteral("No default printer is available.")});
  EXPECT_EQ(dialogs.boxes.at(0).kind, BoxKind::Error);
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"some text"});
}

TEST_F(Printing, TheWholeTextPrintsOnAsManyPagesAsItNeeds) {
  for (const int dpi : {600, 203}) {
    UsePdfPrinter(dpi);
    Start();
    const QString text = LongText(400);
    std::vector<std::string> lines;
    for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
    SetPaneLines(lines);

    ui().Print1->trigger();
    EXPECT_TRUE(dialogs.boxes.empty()) << dpi;
    const int pages = PrintedPages();
    EXPECT_GT(pages, 3) << dpi;
    EXPECT_EQ(pages, ExpectedPages(dpi)) << dpi;

    // The pane's font sets the size: twice as large needs more pages.
    QFont larger = pane().font();
    larger.setPixelSize(larger.pixelSize() * 2);
    pane().setFont(larger);
    ui().Print1->trigger();
    EXPECT_GT(PrintedPages(), pages * 3 / 2) << dpi;
    EXPECT_EQ(PrintedPages(), ExpectedPages(dpi)) << dpi;
  }
  // An empty text is one blank page.
  SetPaneLines({});
  ui().Print1->trigger();
  EXPECT_EQ(PrintedPages(), 1);
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace quorlin::testing
