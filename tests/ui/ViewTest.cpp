// The status line's figures, as displayed lines with wrap on.
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>

#include "WindowFixture.h"
#include "ui/StatusLine.h"

namespace quorlin::testing {
namespace {

using ui::CaretPosition;

// Lines as displayed, worked out independently: every block laid out at the
// pane's width and its lines counted one by one.
CaretPosition DisplayedPosition(QPlainTextEdit& pane) {
  QTextDocument& doc = *pane.document();
  auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc.documentLayout());
  const int end = pane.textCursor().selectionEnd();
  const QTextBlock caretBlock = doc.findBlock(end);
  CaretPosition at;
  at.line = 1;
  at.total = 0;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    layout->ensureBlockLayout(b);
    const int lines = b.layout()->lineCount();
    if (b.blockNumber() < caretBlock.blockNumber()) at.line += lines;
    if (b.next().isValid() || b.length() > 1) at.total += lines;
  }
  const QTextLine line = caretBlock.layout()->lineForTextPosition(end - caretBlock.position());
  at.line += line.lineNumber();
  at.column = end - caretBlock.position() - line.textStart() + 1;
  return at;
}

// Lines of words and of unbroken wide characters around the pane's width,
// with tabs and high bytes; every third line is short.
std::vector<std::string> MixedLines(int count) {
  std::vector<std::string> lines;
  const std::string pieces[] = {"word ", "WWW ", "\t", "\xC6\x89 ", "iii ", "MMMMMMMMMM"};
  for (int i = 0; i < count; ++i) {
    std::string line = "line " + std::to_string(i) + " ";
    if (i % 3 != 0) {
      for (int k = 0; k < 20 + (i * 7) % 90; ++k) line += pieces[(i + k) % 6];
    }
    lines.push_back(line);
  }
  return lines;
}

// Before the counter runs, lines the pane never showed count as one; after
// it, each as many as it is displayed in. The counter works by slices at idle
// moments; here it is made to finish at once.
TEST(DisplayLineCounter, CountsTheLinesThePaneHasNotLaidOut) {
  ui::TextPane pane;
  pane.resize(400, 200);
  pane.setLines(MakeLines(MixedLines(200)));
  pane.setLineWrapMode(QPlainTextEdit::WidgetWidth);
  pane.show();
  QCoreApplication::processEvents();
  pane.moveCursor(QTextCursor::End);

  ui::DisplayLineCounter counter(pane);
  const CaretPosition before = ui::PanePosition(pane);
  counter.check();
  EXPECT_FALSE(counter.caughtUp());
  counter.finish();
  EXPECT_TRUE(counter.caughtUp());
  const CaretPosition after = ui::PanePosition(pane);
  const CaretPosition expected = DisplayedPosition(pane);
  EXPECT_LT(before.total, expected.total);
  EXPECT_EQ(ui::StatusText(after), ui::StatusText(expected));

  // Joining two long lines into one is counted again.
  QTextCursor join(pane.document()->findBlockByNumber(10));
  join.movePosition(QTextCursor::EndOfBlock);
  join.deleteChar();
  join.insertText(QStringLiteral("\n\n"));
  counter.finish();
  EXPECT_EQ(ui::StatusText(ui::PanePosition(pane)), ui::StatusText(DisplayedPosition(pane)));
}

}  // namespace
}  // namespace quorlin::testing
