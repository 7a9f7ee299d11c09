// SPDX-License-Identifier: Apache-2.0
// The editing pane on its own, driven by keys, the mouse, an input method and
// a screen reader, and compared with a fresh pane where it keeps state
// through edits (wrapped rows, long lines).
#include <QAccessible>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

#include "WindowFixture.h"
#include "text/Text.h"
#include "ui/Fonts.h"
#include "ui/TextPane.h"

namespace quorlin::testing {
namespace {

using ui::TextPane;

std::string Bytes(const TextPane& v) {
  return v.text().slice(0, v.text().size());
}

struct Key {
  int key;
  Qt::KeyboardModifiers mods = Qt::NoModifier;
};

class Pane : public ::testing::Test {
 protected:
  void SetUp() override {
    view.setFont(ui::PaneFont());
    view.resize(400, 200);
    view.show();
    view.activateWindow();
    view.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  }
  void Load(const std::string& bytes, std::size_t anchor, std::size_t position) {
    view.setText(text::Text::fromBytes(bytes));
    view.setSelection(anchor, position);
  }
  void Press(const std::vector<Key>& keys) {
    for (const Key& k : keys) QTest::keyClick(&view, Qt::Key(k.key), k.mods);
  }
  QPoint PointOf(std::size_t offset) { return view.byteRect(offset).topLeft() + QPoint(1, 2); }

  // Keys pressed and text typed in a text read in an encoding, from a
  // selection: the bytes and the caret after them, nothing left selected.
  struct EditRow {
    const char* name;
    std::string start;
    std::size_t anchor, position;
    std::vector<Key> keys;
    QString typed;
    std::string expected;
    std::size_t caret;
  };
  void CheckEdits(const std::vector<EditRow>& rows, text::Encoding encoding) {
    for (const EditRow& row : rows) {
      view.setText(text::Text::fromBytes(row.start), encoding);
      view.setSelection(row.anchor, row.position);
      Press(row.keys);
      TypeText(&view, row.typed);
      EXPECT_EQ(Bytes(view), row.expected) << row.name;
      EXPECT_EQ(view.selection().position, row.caret) << row.name;
      EXPECT_FALSE(view.hasSelection()) << row.name;
    }
  }

  TextPane view;
};

constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Shift = Qt::ShiftModifier;

TEST_F(Pane, EditingKeysChangeTheBytesAtTheCaret) {
  CheckEdits(
      {
          {"Backspace at a line's start joins it to the line before",
           "ab\ncd",
           3,
           3,
           {{Qt::Key_Backspace}},
           {},
           "abcd",
           2},
          {"Delete at a line's end joins the next line",
           "ab\ncd",
           2,
           2,
           {{Qt::Key_Delete}},
           {},
           "abcd",
           2},
          {"Tab inserts a tab", "ab", 1, 1, {{Qt::Key_Tab}}, {}, "a\tb", 2},
          {"Return and Shift+Return each make a line break",
           "ab",
           1,
           1,
           {{Qt::Key_Return}, {Qt::Key_Return, Shift}, {Qt::Key_Enter}},
           {},
           "a\n\n\nb",
           4},
          {"typing replaces the selection", "hello", 1, 4, {}, QStringLiteral("EY"), "hEYo", 3},
          {"Backspace deletes the selection only",
           "hello",
           4,
           1,
           {{Qt::Key_Backspace}},
           {},
           "ho",
           1},
          {"Ctrl+Backspace deletes back to a word's start",
           "one two",
           6,
           6,
           {{Qt::Key_Backspace, Ctrl}},
           {},
           "one o",
           4},
          {"Ctrl+Delete deletes to the next word",
           "one two",
           0,
           0,
           {{Qt::Key_Delete, Ctrl}},
           {},
           "two",
           0},
          {"outside the set becomes ?, an emoji one ?",
           "",
           0,
           0,
           {},
           QString::fromUcs4(U"a\u2192\u20AC\U0001F600\u00E9"),
           "a?\x80?\xE9",
           5},
          {"Backspace at the start does nothing", "ab", 0, 0, {{Qt::Key_Backspace}}, {}, "ab", 0},
      },
      text::Encoding::Windows1252);
  // A letter with Control or Alt types nothing.
  Load("ab", 1, 1);
  Press({{Qt::Key_B, Ctrl}, {Qt::Key_E, Ctrl}, {Qt::Key_Q, Qt::AltModifier}});
  EXPECT_EQ(Bytes(view), "ab");
}

// In UTF-8 the caret, the selection, Delete and Backspace step over whole
// characters (an accent that combines with its letter goes with it), a stray
// byte is one character, and what is typed is stored as UTF-8.
TEST_F(Pane, Utf8KeysStepOverWholeCharactersAndKeepEveryByte) {
  const std::string combined = "noe\xCC\x81l";  // e and a combining acute
  std::string accents;                          // a line long enough to keep saved positions
  for (int i = 0; i < 6000; ++i) accents += "\xC3\xA9\xE2\x82\xAC";
  CheckEdits(
      {
          {"Right steps over a letter with its accent",
           combined,
           2,
           2,
           {{Qt::Key_Right}},
           {},
           combined,
           5},
          {"Backspace deletes a letter with its accent",
           combined,
           5,
           5,
           {{Qt::Key_Backspace}},
           {},
           "nol",
           2},
          {"Left steps back over a character beyond U+FFFF",
           "a\xF0\x9F\x98\x80",
           5,
           5,
           {{Qt::Key_Left}},
           {},
           "a\xF0\x9F\x98\x80",
           1},
          {"Shift+Right selects a wide character for typing to replace",
           "\xE6\x97\xA5x",
           0,
           0,
           {{Qt::Key_Right, Shift}},
           QStringLiteral("\u00E9"),
           "\xC3\xA9x",
           2},
          {"Delete takes one stray byte", "a\xE9\x80", 1, 1, {{Qt::Key_Delete}}, {}, "a\x80", 1},
          {"typing beside stray bytes keeps them",
           "\xE9\x80",
           1,
           1,
           {},
           QStringLiteral("x"),
           "\xE9x\x80",
           2},
          {"a caret put inside a character goes to its start",
           "\xC3\xA9",
           1,
           1,
           {},
           QStringLiteral("x"),
           "x\xC3\xA9",
           1},
          {"every character typed is stored as UTF-8",
           "",
           0,
           0,
           {},
           QString::fromUcs4(U"a\u2192\u20AC\U0001F600\u00E9"),
           "a\xE2\x86\x92\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9",
           13},
          {"End and Backspace in a long line take its last character",
           accents,
           0,
           0,
           {{Qt::Key_End}, {Qt::Key_Backspace}, {Qt::Key_Left}},
           {},
           accents.substr(0, accents.size() - 3),
           accents.size() - 5},
      },
      text::Encoding::Utf8);
  // Copied, a stray byte reads as its Western character.
  view.setText(text::Text::fromBytes("caf\xC3\xA9 \x80"), text::Encoding::Utf8);
  view.selectAll();
  view.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUcs4(U"caf\u00E9 \u20AC"));
}

TEST_F(Pane, CaretKeysMoveAndWithShiftSelect) {
  const std::string words = "word one\ttwo, three.four  five";
  const std::string lines = "abcdef\nab\nabcdefgh";
  const struct {
    const char* name;
    std::string text;
    std::size_t anchor, position;
    std::vector<Key> keys;
    std::size_t expectAnchor, expectPosition;
  } rows[] = {
      {"Ctrl+Right stops at each word and punctuation run",
       words,
       0,
       0,
       {{Qt::Key_Right, Ctrl}, {Qt::Key_Right, Ctrl}, {Qt::Key_Right, Ctrl}, {Qt::Key_Right, Ctrl}},
       14,
       14},
      {"Ctrl+Left back over blanks to a word's start",
       words,
       26,
       26,
       {{Qt::Key_Left, Ctrl}, {Qt::Key_Left, Ctrl}},
       19,
       19},
      {"Ctrl+Right at a line's end goes to the next line",
       "ab\ncd",
       2,
       2,
       {{Qt::Key_Right, Ctrl}},
       3,
       3},
      {"Right crosses a line break as one position", "ab\ncd", 2, 2, {{Qt::Key_Right}}, 3, 3},
      {"Left and Right with a selection go to its ends", "abcdef", 2, 4, {{Qt::Key_Left}}, 2, 2},
      {"Down keeps the column through a short line",
       lines,
       5,
       5,
       {{Qt::Key_Down}, {Qt::Key_Down}},
       15,
       15},
      {"Up on the first line stays", lines, 3, 3, {{Qt::Key_Up}}, 3, 3},
      {"Home and End", lines, 8, 8, {{Qt::Key_End}}, 9, 9},
      {"Shift+Home selects to the line's start", lines, 9, 9, {{Qt::Key_Home, Shift}}, 9, 7},
      {"Ctrl+End and Ctrl+Shift+Home",
       lines,
       3,
       3,
       {{Qt::Key_End, Ctrl}, {Qt::Key_Home, Ctrl | Shift}},
       18,
       0},
      {"PageDown stops on the last line", lines, 2, 2, {{Qt::Key_PageDown}}, 12, 12},
      {"Shift+Down selects a line", lines, 0, 0, {{Qt::Key_Down, Shift}}, 0, 7},
      {"Ctrl+A selects everything", "ab\ncd", 1, 1, {{Qt::Key_A, Ctrl}}, 0, 5},
  };
  for (const auto& row : rows) {
    Load(row.text, row.anchor, row.position);
    Press(row.keys);
    EXPECT_EQ(view.selection(), (text::Selection{row.expectAnchor, row.expectPosition}))
        << row.name << ": " << view.selection().anchor << "-" << view.selection().position;
  }
}

TEST_F(Pane, TheMouseSetsTheCaretAndSelectsWordsAndLines) {
  Load("alpha\tbeta gamma\nsecond line", 0, 0);
  // Each byte's own place comes back to it, tabs included.
  for (const std::size_t at : {0u, 3u, 5u, 6u, 11u, 17u, 23u}) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, PointOf(at));
    EXPECT_EQ(view.selection(), (text::Selection{at, at})) << at;
  }
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, PointOf(2));
  EXPECT_EQ(view.selection(), (text::Selection{23, 2}));

  QTest::mousePress(view.viewport(), Qt::LeftButton, {}, PointOf(1));
  QTest::mouseMove(view.viewport(), PointOf(19));
  QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, PointOf(19));
  EXPECT_EQ(view.selection(), (text::Selection{1, 19}));

  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, PointOf(7));
  EXPECT_EQ(view.selection(), (text::Selection{6, 10}));               // "beta"
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, PointOf(7));  // the third click
  EXPECT_EQ(view.selection(), (text::Selection{0, 17}));               // the line and its break
}

TEST_F(Pane, UndoAndRedoRestoreTheBytesAndALoadClearsThem) {
  Load("base", 4, 4);
  TypeText(&view, QStringLiteral("xy"));
  Press({{Qt::Key_Return}, {Qt::Key_Backspace}, {Qt::Key_Backspace}});
  EXPECT_EQ(Bytes(view), "basex");
  const std::vector<Key> undoKeys = {{Qt::Key_Z, Ctrl}};
  for (const char* expected : {"basexy\n", "basexy", "base"}) {
    Press(undoKeys);
    EXPECT_EQ(Bytes(view), expected);
  }
  Press({{Qt::Key_Y, Ctrl}});
  EXPECT_EQ(Bytes(view), "basexy");
  Press({{Qt::Key_Z, Ctrl | Shift}});
  EXPECT_EQ(Bytes(view), "basexy\n");
  EXPECT_EQ(view.selection().position, 7u);

  view.setText(text::Text::fromBytes("loaded"));
  EXPECT_FALSE(view.canUndo());
  EXPECT_FALSE(view.canRedo());
}

// A pane that went through edits, a narrower width and a larger font counts
// its wrapped rows as a pane given the result afresh does.
TEST_F(Pane, WrappedRowsFollowEditsWidthAndFont) {
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += "line " + std::to_string(i) + " " + std::string(std::size_t(i * 7 % 90), 'w') +
            (i % 3 ? " some words\tand a tab" : "") + "\n";
  }
  Load(text, 0, 0);
  view.setWordWrap(true);
  view.setSelection(text.size() / 2, text.size() / 2);
  TypeText(&view, QStringLiteral("inserted words inserted words inserted words"));
  Press({{Qt::Key_Return}, {Qt::Key_Delete}, {Qt::Key_Delete}});
  QFont larger = view.font();
  larger.setPixelSize(17);
  view.setFont(larger);
  view.resize(300, 200);
  Press({{Qt::Key_Z, Ctrl}});

  TextPane fresh;
  fresh.setFont(larger);
  fresh.resize(300, 200);
  fresh.show();
  fresh.setText(view.text());
  fresh.setWordWrap(true);
  const TextPane::Position kept = view.endPosition();
  EXPECT_GT(kept.total, 300u);
  for (const std::size_t at :
       {std::size_t(0), text.size() / 3, view.selection().position, view.text().size()}) {
    view.setSelection(at, at);
    fresh.setSelection(at, at);
    const TextPane::Position a = view.endPosition(), b = fresh.endPosition();
    EXPECT_EQ(a.line, b.line) << at;
    EXPECT_EQ(a.column, b.column) << at;
    EXPECT_EQ(a.total, b.total) << at;
  }
  // Down walks rows, not lines: a long line takes several presses.
  view.setSelection(0, 0);
  const std::size_t longLine = view.text().lineStart(88);
  view.setSelection(longLine, longLine);
  Press({{Qt::Key_Down}});
  EXPECT_LT(view.selection().position, view.text().lineStart(89));
}

// A line of 300 KB: the caret goes to its end, is shown there, and a click
// where it is drawn lands on it; an edit in the middle moves what follows.
TEST_F(Pane, ALongLineScrollsSidewaysToItsEnd) {
  std::string line;
  for (int i = 0; i < 30000; ++i) line += "word WW i ";  // no tab to absorb an edit
  Load(line, 0, 0);
  view.viewport()->repaint();  // shown, and End pressed before anything else happens
  Press({{Qt::Key_End}});
  ASSERT_EQ(view.selection().position, line.size());
  const QRect caret = view.caretRect();
  EXPECT_TRUE(view.viewport()->rect().contains(caret.center())) << caret.x();
  EXPECT_GT(view.horizontalScrollBar()->value(), 1'000'000);
  EXPECT_EQ(view.offsetAt(PointOf(line.size() - 3)), line.size() - 3);

  view.setSelection(line.size() / 2, line.size() / 2);
  TypeText(&view, QStringLiteral("WWW"));
  TextPane fresh;
  fresh.setFont(view.font());
  fresh.resize(view.size());
  fresh.show();
  fresh.setText(view.text());
  for (TextPane* v : {&view, &fresh}) v->setSelection(v->text().size(), v->text().size());
  EXPECT_EQ(view.horizontalScrollBar()->value(), fresh.horizontalScrollBar()->value());
  EXPECT_EQ(view.caretRect(), fresh.caretRect());
}

TEST_F(Pane, TheSelectionStaysVisibleWithoutTheFocus) {
  Load("selected text", 0, 8);
  QLineEdit other;
  other.show();
  other.activateWindow();
  other.setFocus();
  QTest::qWait(20);
  ASSERT_FALSE(view.hasFocus());
  const QImage shot = view.viewport()->grab().toImage();
  const QColor highlight = view.palette().color(QPalette::Active, QPalette::Highlight);
  EXPECT_EQ(shot.pixelColor(view.byteRect(3).center()), highlight);
  EXPECT_EQ(view.verticalScrollBar()->isVisible(), true);  // always there
}

TEST_F(Pane, AnInputMethodComposesThenCommits) {
  Load("ab", 1, 1);
  QInputMethodEvent compose(QStringLiteral("e"), {});
  QApplication::sendEvent(&view, &compose);
  EXPECT_EQ(Bytes(view), "ab");  // composing changes nothing yet
  QInputMethodEvent commit;
  commit.setCommitString(QString(QChar(0xE9)));
  QApplication::sendEvent(&view, &commit);
  EXPECT_EQ(Bytes(view),
            "a\xE9"
            "b");
  // A commit that replaces the character before the caret (a dead key).
  QInputMethodEvent replace;
  replace.setCommitString(QString(QChar(0x20AC)), -1, 1);
  QApplication::sendEvent(&view, &replace);
  EXPECT_EQ(Bytes(view),
            "a\x80"
            "b");
  EXPECT_EQ(static_cast<QWidget&>(view).inputMethodQuery(Qt::ImSurroundingText).toString(),
            QStringLiteral("a") + QChar(0x20AC) + QStringLiteral("b"));
  EXPECT_EQ(static_cast<QWidget&>(view).inputMethodQuery(Qt::ImCursorPosition).toInt(), 2);
}

TEST_F(Pane, AScreenReaderReadsAndEditsTheText) {
  Load("first line\nsecond \xE9t\xE9 line", 11, 18);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
  ASSERT_NE(a, nullptr);
  QAccessibleTextInterface* t = a->textInterface();
  QAccessibleEditableTextInterface* e = a->editableTextInterface();
  ASSERT_TRUE(t && e);
  EXPECT_EQ(a->role(), QAccessible::EditableText);
  EXPECT_TRUE(a->state().multiLine);
  EXPECT_EQ(t->characterCount(), 26);
  EXPECT_EQ(t->text(11, 21), QStringLiteral("second \u00E9t\u00E9"));
  EXPECT_EQ(t->cursorPosition(), 18);
  int start = 0, end = 0;
  t->selection(0, &start, &end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(11, 18));
  EXPECT_EQ(t->textAtOffset(19, QAccessible::WordBoundary, &start, &end),
            QStringLiteral("\u00E9t\u00E9"));
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(18, 21));
  EXPECT_EQ(t->offsetAtPoint(view.viewport()->mapToGlobal(PointOf(4))), 4);

  e->replaceText(0, 5, QStringLiteral("1st") + QChar(0x2192));
  EXPECT_EQ(Bytes(view), "1st? line\nsecond \xE9t\xE9 line");
  t->setSelection(0, 2, 5);
  EXPECT_EQ(view.selection(), (text::Selection{2, 5}));

  // In UTF-8 offsets count characters, a stray byte (93 at byte 6) one that
  // reads as its Windows-1252 character, as a copy gives it; what is typed
  // is stored as UTF-8.
  view.setText(text::Text::fromBytes("caf\xC3\xA9 \x93t\xC3\xA9 \xF0\x9F\x98\x80!"),
               text::Encoding::Utf8);
  view.setSelection(6, 10);
  EXPECT_EQ(t->characterCount(), 11);
  EXPECT_EQ(t->text(0, 11), QStringLiteral("caf\u00E9 \u201Ct\u00E9 ") +
                                QString::fromUcs4(U"\U0001F600") + QStringLiteral("!"));
  t->selection(0, &start, &end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(5, 8));
  EXPECT_EQ(t->text(9, 10), QString::fromUcs4(U"\U0001F600"));
  e->replaceText(9, 10, QChar(0x2192));
  EXPECT_EQ(Bytes(view), "caf\xC3\xA9 \x93t\xC3\xA9 \xE2\x86\x92!");
  t->setSelection(0, 3, 6);
  EXPECT_EQ(view.selection(), (text::Selection{3, 7}));
}

TEST_F(Pane, TheContextMenuOffersWhatCanBeDone) {
  Load("text", 0, 2);
  QStringList seen;
  QTimer::singleShot(50, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator())
        seen << action->text().section(QLatin1Char('\t'), 0, 0) + (action->isEnabled() ? "+" : "-");
    }
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(view.viewport(), &event);
  EXPECT_EQ(
      seen,
      (QStringList{"&Undo-", "&Redo-", "Cu&t+", "&Copy+",
                   "&Paste" + QString(QGuiApplication::clipboard()->text().isEmpty() ? "-" : "+"),
                   "Delete+", "Select All+"}));
}

}  // namespace
}  // namespace quorlin::testing
