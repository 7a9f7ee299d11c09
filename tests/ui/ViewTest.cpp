// SPDX-License-Identifier: Apache-2.0
// The status line, the wrapped view, the pane's font and the clipboard, as the
// user meets them in the window.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>

#include "Idle.h"
#include "WindowFixture.h"
#include "ui/Fonts.h"
#include "ui/StatusLine.h"
#include "ui/ViewCommands.h"

namespace quorlin::testing {
namespace {

using ui::CaretPosition;

QString Status(int line, int column, int total) {
  return QStringLiteral("Line : %1     Char Position : %2        Total Lines: %3")
      .arg(line)
      .arg(column)
      .arg(total);
}

class ViewTest : public WindowTest {
 protected:
  QString StatusShown() {
    WaitForIdle();
    return ui().statusBar->currentMessage();
  }
};

TEST_F(ViewTest, StatusLineShowsTheEndOfTheSelectionAndTheLineCount) {
  Start();
  EXPECT_EQ(StatusShown(), Status(1, 1, 0));  // empty pane

  const struct {
    const char* name;
    std::vector<std::string> lines;  // each followed by a line break
    int anchor, position;
    QString expected;
  } rows[] = {
      {"start of line 3 of 3", {"a", "b", "c"}, 4, 4, Status(3, 1, 3)},
      {"after the last line break", {"a", "b", "c"}, 6, 6, Status(4, 1, 3)},
      {"selection from line 2 to line 4",
       {"one", "two", "three", "four", "five"},
       5,
       16,
       Status(4, 3, 5)},
      {"the same selection made backwards",
       {"one", "two", "three", "four", "five"},
       16,
       5,
       Status(4, 3, 5)},
      {"a tab and high bytes are one position each", {"\tab\xA0\xFF"}, 5, 5, Status(1, 6, 1)},
      {"an empty line in the middle", {"x", "", "y"}, 2, 2, Status(2, 1, 3)},
  };
  for (const auto& row : rows) {
    SetPaneLines(row.lines);
    Select(row.anchor, row.position);
    EXPECT_EQ(StatusShown(), row.expected) << row.name;
  }

  // A text typed without a final line break has a last line that counts.
  pane().setText(text::Text::fromBytes("a\nbc"));
  Select(4, 4);
  EXPECT_EQ(StatusShown(), Status(2, 3, 2));
  // It follows the user's typing with no other call.
  pane().setFocus();
  QTest::keyClick(&pane(), Qt::Key_Return);
  EXPECT_EQ(StatusShown(), Status(3, 1, 2));
  TypeText(&pane(), QStringLiteral("d"));
  EXPECT_EQ(StatusShown(), Status(3, 2, 3));
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

// The status line follows the pane's rows through the window's own events:
// the button, a narrower pane, a larger font, a new text. How the pane
// counts its rows is checked with the pane itself.
TEST_F(ViewTest, WithWrapOnLinesAreCountedAsDisplayed) {
  Start();
  SetPaneLines(MixedLines(300));
  Select(0, pane().text().lineStart(250) + 7);
  dialogs.boxes.clear();
  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  ASSERT_TRUE(pane().wordWrap());

  const auto shown = [&] {
    const QString status = StatusShown();
    const ui::CaretPosition expected = ui::PanePosition(pane());
    EXPECT_EQ(status, ui::StatusText(expected));
    return expected;
  };
  const CaretPosition wrapped = shown();
  EXPECT_GT(wrapped.line, 251u + 100);  // long lines above the caret were counted
  EXPECT_GT(wrapped.total, 300u + 200);

  pane().resize(pane().width() - 300, pane().height());
  const CaretPosition narrower = shown();
  EXPECT_GT(narrower.total, wrapped.total);
  QFont larger = pane().font();
  larger.setPixelSize(17);
  pane().setFont(larger);
  EXPECT_GT(shown().total, narrower.total);
  SetPaneLines(MixedLines(120));
  Select(pane().text().size(), pane().text().size());
  EXPECT_GT(shown().total, 120u);

  // Wrap off: one line per line of the text again.
  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  EXPECT_EQ(StatusShown(), Status(121, 1, 120));
}

TEST_F(ViewTest, WrapTellsOnceWhenTurnedOnAndChangesTheViewOnly) {
  Start();
  SetPaneLines({std::string(500, 'x'), "end"});
  const QString notice = QString::fromLatin1(ui::kWordWrapNotice);

  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  EXPECT_EQ(pane().wordWrap(), true);
  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  EXPECT_EQ(pane().wordWrap(), false);
  EXPECT_EQ(dialogs.texts(), QStringList{notice});

  // Save As turns wrap off; the next press turns it on again, with the notice.
  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  dialogs.fileAnswers = {path(QStringLiteral("saved.txt"))};
  ui().saveAsItem->trigger();
  ASSERT_EQ(pane().wordWrap(), false);
  QTest::mouseClick(ui().wrapButton, Qt::LeftButton);
  EXPECT_EQ(pane().wordWrap(), true);
  EXPECT_EQ(dialogs.texts(), (QStringList{notice, notice, notice}));

  EXPECT_EQ(PaneLines(), (std::vector<std::string>{std::string(500, 'x'), "end"}));
}

TEST_F(ViewTest, FontChangesOnOkOnlyAndTheDialogStartsFromTheLastChoice) {
  Start();
  const QString reminder = QString::fromLatin1(ui::kFontReminder);
  const QFont start = pane().font();
  ASSERT_EQ(start.family(), QString::fromLatin1(ui::kPaneFamily));
  ASSERT_EQ(start.pixelSize(), 13);

  form->Fonts1Click();  // cancelled
  EXPECT_EQ(pane().font(), start);
  ASSERT_EQ(dialogs.fontsOffered.size(), 1u);
  EXPECT_EQ(dialogs.fontsOffered[0], ui::PaneFont());
  EXPECT_EQ(dialogs.boxes[0].text, reminder);  // the reminder comes first

  QFont chosen(QStringLiteral("DejaVu Serif"));
  chosen.setPointSize(14);
  chosen.setItalic(true);
  dialogs.fontAnswers = {chosen, std::nullopt};
  form->Fonts1Click();
  EXPECT_EQ(pane().font(), chosen);
  form->Fonts1Click();  // cancelled: the chosen font stays
  EXPECT_EQ(pane().font(), chosen);
  ASSERT_EQ(dialogs.fontsOffered.size(), 3u);
  EXPECT_EQ(dialogs.fontsOffered[2], chosen);
  EXPECT_EQ(dialogs.texts(), (QStringList{reminder, reminder, reminder}));
}

// View > Encoding reads the same bytes the other way: nothing is rewritten,
// the undo history stays, and the status line, the menu and the change
// page's fields follow.
TEST_F(ViewTest, AnotherEncodingShowsTheSameBytesOtherwiseAndKeepsTheHistory) {
  localeEncoding = text::Encoding::Windows1252;
  Start();
  const auto* shown = form->findChild<QLabel*>(QStringLiteral("EncodingPanel"));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->text(), QStringLiteral("Windows-1252"));
  SetPaneLines({"caf\xC3\xA9 \xE9"});  // a UTF-8 letter and a stray byte
  Select(3, 3);
  pane().setFocus();
  TypeText(&pane(), QStringLiteral("x"));
  const std::string typed = "cafx\xC3\xA9 \xE9\n";
  ShowChangePage();
  ui().field(Field::TestKey)->setFocus(Qt::MouseFocusReason);
  TypeText(ui().field(Field::TestKey), QStringLiteral("caf\u00E9\u2192"));
  EXPECT_EQ(ui().field(Field::TestKey)->text(), QStringLiteral("caf\u00E9?"));

  const struct {
    QAction* item;
    QString name;
    QString status;  // with the caret at the end of the line
    QString typedInField;
  } rows[] = {
      {ui().utf8Item, QStringLiteral("UTF-8"), Status(1, 8, 1), QStringLiteral("caf\u00E9\u2192")},
      {ui().windows1252Item, QStringLiteral("Windows-1252"), Status(1, 9, 1),
       QStringLiteral("caf\u00E9?")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name.toStdString());
    row.item->trigger();
    EXPECT_TRUE(row.item->isChecked());
    EXPECT_EQ(PaneBytes(), typed);
    Select(8, 8);
    EXPECT_EQ(StatusShown(), row.status);
    EXPECT_EQ(shown->text(), row.name);
    // Only the Western set turns what cannot be stored into "?".
    ui().field(Field::TestKey)->setText(QString());
    TypeText(ui().field(Field::TestKey), QStringLiteral("caf\u00E9\u2192"));
    EXPECT_EQ(ui().field(Field::TestKey)->text(), row.typedInField);
  }
  ui().utf8Item->trigger();
  form->Undo1Click();
  EXPECT_EQ(PaneBytes(), "caf\xC3\xA9 \xE9\n");
  form->Redo1Click();
  EXPECT_EQ(PaneBytes(), typed);
  EXPECT_EQ(pane().encoding(), text::Encoding::Utf8);
}

TEST_F(ViewTest, ClipboardKeepsEveryByte) {
  Start();
  SetPaneLines({"x\xA0\x80\x81\xFFy", "z"});
  QClipboard& clipboard = *QGuiApplication::clipboard();
  const QString high = QString(QChar(0xA0)) + QChar(0x20AC) + QChar(0x81) + QChar(0xFF);

  Select(1, 5);
  form->Copy1Click();
  EXPECT_EQ(clipboard.text(), high);  // a no-break space, not a space
  form->Cut1Click();
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"xy", "z"}));
  Select(4, 4);  // after the "z"
  form->Paste1Click();
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"xy", "z\xA0\x80\x81\xFF"}));

  // Across lines: the line break travels as one.
  Select(1, 4);
  form->Copy1Click();
  EXPECT_EQ(clipboard.text(), QStringLiteral("y\nz"));
  Select(0, 0);
  form->Paste1Click();
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"y", "zxy", "z\xA0\x80\x81\xFF"}));
}

TEST_F(ViewTest, ClipboardCommandsServeTheFieldThatHasTheFocus) {
  Start();
  SetPaneLines({"text"});
  QGuiApplication::clipboard()->setText(QStringLiteral("key") + QChar(0x2192));

  ShowChangePage();
  ui().field(Field::TestKey)->setFocus(Qt::MouseFocusReason);
  form->Paste1Click();
  EXPECT_EQ(ui().field(Field::TestKey)->text(),
            QStringLiteral("key?"));  // held as it will be stored

  // With no field in hand the hidden pane is left alone.
  ui().retainPassingOnly->setFocus(Qt::MouseFocusReason);
  Select(0, 4);
  form->Paste1Click();
  form->Cut1Click();
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"text"}));
}

}  // namespace
}  // namespace quorlin::testing
