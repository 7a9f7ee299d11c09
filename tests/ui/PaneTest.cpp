// SPDX-License-Identifier: Apache-2.0
// The pane keeps the document's bytes: every byte 1-255 goes in and comes
// back unchanged, lines survive a round trip whatever their ends, and what
// the user types or pastes outside the Western set is stored as "?".
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRadioButton>

#include "WindowFixture.h"
#include "ui/Western.h"

namespace quorlin::testing {
namespace {

using ui::DecodeWestern;
using ui::EncodeWestern;

TEST(Western, EveryByteHasItsOwnCharacterAndComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(char(b));
  const QString shown = DecodeWestern(all);
  ASSERT_EQ(shown.size(), 256);
  EXPECT_EQ(EncodeWestern(shown), all);
  EXPECT_EQ(QSet<QChar>(shown.begin(), shown.end()).size(), 256);  // no two bytes alike
  // The bytes the set leaves undefined stand for themselves.
  for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(shown[b].unicode(), b);
  EXPECT_EQ(shown[0x80], QChar(0x20AC));
  EXPECT_EQ(shown[0xA0], QChar(0x00A0));  // kept, not turned into a space
}

TEST(Western, CharactersOutsideTheSetAreStoredAsQuestionMarks) {
  const struct {
    const char* name;
    QString text;
    std::string bytes;
  } rows[] = {
      {"euro sign", QString(QChar(0x20AC)), "\x80"},
      {"ellipsis", QString(QChar(0x2026)), "\x85"},
      {"C1 control whose byte is another character", QString(QChar(0x0080)), "?"},
      {"arrow", QStringLiteral("a") + QChar(0x2192) + QStringLiteral("b"), "a?b"},
      {"surrogate pair is one character", QString::fromUcs4(U"x\U0001F600y"), "x?y"},
      {"lone surrogate", QString(QChar(0xD800)), "?"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(EncodeWestern(row.text), row.bytes) << row.name;
    EXPECT_EQ(EncodeWestern(ui::WesternOnly(row.text)), row.bytes) << row.name;
  }
}

TEST(TextPane, LinesComeBackAsTheyWentIn) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {""}, {"a"}, {"a", ""}, {"", ""}, {"a", "b"}, {"", "x", ""}, {"\xA0 \xFF", "\x81\x8D"},
  };
  ui::TextPane pane;
  for (const auto& lines : cases) {
    pane.setText(TextOf(lines));
    EXPECT_EQ(Lines(pane.text()), lines);
    EXPECT_EQ(pane.lineCount(), lines.size());
  }
}

TEST(TextPane, TypedTextHasOneLinePerLineBreakAndNoUndoOfALoad) {
  ui::TextPane pane;
  pane.insertText(QStringLiteral("a\nb\n"));
  EXPECT_EQ(Lines(pane.text()), (std::vector<std::string>{"a", "b"}));
  pane.setText(text::Text());
  pane.insertText(QStringLiteral("a\r\nb"));
  EXPECT_EQ(Lines(pane.text()), (std::vector<std::string>{"a", "b"}));

  pane.setText(TextOf({"loaded"}));
  EXPECT_FALSE(pane.canUndo());
}

class PaneInput : public WindowTest {};

TEST_F(PaneInput, TypedAndPastedCharactersOutsideTheSetBecomeQuestionMarks) {
  Start();
  pane().setFocus();
  TypeText(&pane(), QStringLiteral("a") + QChar(0x2192) + QChar(0x20AC));
  // Shift+Return would insert a soft break, which is no line break of the text.
  QTest::keyClick(&pane(), Qt::Key_Return, Qt::ShiftModifier);
  TypeText(&pane(), QStringLiteral("b"));
  QTest::keyClick(&pane(), Qt::Key_Return);

  auto* mime = new QMimeData;
  mime->setText(QStringLiteral("c") + QChar(QChar::LineSeparator) +
                QString::fromUcs4(U"d\U0001F600\u00E9"));
  QGuiApplication::clipboard()->setMimeData(mime);
  pane().paste();

  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"a?\x80", "b", "c", "d?\xE9"}));
}

class ByteRoundTrip : public WindowTest {};

// Every byte but CR and LF, in three lines with a tab first.
std::vector<std::string> AllBytes() {
  std::vector<std::string> lines(3);
  lines[0].push_back('\t');
  for (int b = 1; b < 256; ++b) {
    if (b == '\t' || b == '\n' || b == '\r') continue;
    lines[b * 3 / 256].push_back(char(b));
  }
  return lines;
}

TEST_F(ByteRoundTrip, ARunChangesNothingButWhatTheActionAsks) {
  Start();
  const std::vector<std::string> before = AllBytes();

  // Test 1, action 13: only the tab becomes spaces.
  SetPaneLines(before);
  ClickOk();
  std::vector<std::string> expected = before;
  expected[0].replace(0, 1, 8, ' ');
  EXPECT_EQ(PaneLines(), expected);

  // The key typed in the field is stored through the same set: deleting "€"
  // removes byte 0x80 and nothing else.
  TypeAndLeave(ui().field(Field::TestKey), QString(QChar(0x20AC)));
  ui().testButton(TestCode::HasKey)->click();
  ui().actionButton(ActionCode::DeleteKey)->click();
  ClickOk();
  for (std::string& line : expected) std::erase(line, '\x80');
  EXPECT_EQ(PaneLines(), expected);
  EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace quorlin::testing
