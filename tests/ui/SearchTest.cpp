// SPDX-License-Identifier: Apache-2.0
// Searching the pane: the case-blind comparison of the set's letters, and the
// find dialog driven as a user would (open, type, Find Next, the message at
// the end, the selection kept).
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "WindowFixture.h"
#include "text/Search.h"
#include "ui/FindDialog.h"
#include "ui/ViewCommands.h"
#include "ui/Western.h"

namespace quorlin::testing {
namespace {

using ui::WesternChar;

// Two bytes fold together exactly when the character of one is the simple
// upper or lower case of the other's; the check runs over every pair.
TEST(FoldByte, LettersOfTheSetMatchTheirOtherCaseAndNothingElse) {
  int pairs = 0;
  for (int a = 0; a < 256; ++a) {
    const QChar ca(WesternChar(static_cast<unsigned char>(a)));
    for (int b = a + 1; b < 256; ++b) {
      const QChar cb(WesternChar(static_cast<unsigned char>(b)));
      const bool partners = ca.toLower() == cb || ca.toUpper() == cb;
      EXPECT_EQ(text::FoldByte(static_cast<unsigned char>(a)) ==
                    text::FoldByte(static_cast<unsigned char>(b)),
                partners)
          << "bytes " << a << " and " << b;
      pairs += partners ? 1 : 0;
    }
  }
  // 26 ASCII, 30 accented Latin-1, and S-caron, OE, Z-caron, Y-diaeresis.
  EXPECT_EQ(pairs, 60);
  // Characters whose other case lies outside the set stand alone.
  for (const unsigned char alone : {0xDF, 0xB5, 0xD7, 0xF7}) {
    EXPECT_EQ(text::FoldByte(alone), alone);
  }
}

class FindDialogTest : public WindowTest {
 protected:
  ui::FindDialog& find() { return form->view().findDialog(); }

  // The selection as the window's user sees it: start and length.
  std::pair<int, int> Selection() {
    const text::Selection s = pane().selection();
    return {int(s.start()), int(s.end() - s.start())};
  }
  void SetCaret(int position, int anchor = -1) {
    pane().setSelection(std::size_t(anchor < 0 ? position : anchor), std::size_t(position));
  }
  void OpenAndType(const QString& text) {
    QTest::mouseClick(ui().searchButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(find().isVisible());
    // The Search button gave the pane the focus when it lost its own, but the
    // typing goes to the dialog, which is the active window.
    EXPECT_TRUE(QTest::qWaitFor([&] { return find().searchField()->hasFocus(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->focusWidget() == &pane(); }));
    EXPECT_TRUE(find().searchField()->hasFocus());
    find().searchField()->selectAll();
    TypeText(find().searchField(), text);
  }
  void PressFindNext() {
    QTest::mouseClick(find().findNextButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
  }
  QStringList Messages() const { return dialogs.texts(); }
};

const QString kNoMore = QString::fromLatin1(ui::kNoMoreInstances);

TEST_F(FindDialogTest, FindsEachMatchInTurnThenSaysThereAreNoMore) {
  Start();
  // Offsets: "alpha one" 0-9, "beta one" 10-18, "gamma ONE" 19-28.
  SetPaneLines({"alpha one", "beta one", "gamma ONE", "delta"});
  SetCaret(23);  // in the middle of the text, nothing selected

  OpenAndType(QStringLiteral("one"));
  EXPECT_FALSE(find().isModal());

  PressFindNext();  // from the start of the text, not from the caret
  EXPECT_EQ(Selection(), std::make_pair(6, 3));
  EXPECT_TRUE(pane().hasFocus());
  QTest::keyClick(find().searchField(), Qt::Key_Return);  // Enter is Find Next
  QCoreApplication::processEvents();
  EXPECT_EQ(Selection(), std::make_pair(15, 3));
  PressFindNext();  // case is ignored
  EXPECT_EQ(Selection(), std::make_pair(25, 3));
  EXPECT_TRUE(Messages().isEmpty());

  PressFindNext();  // no wrap-around
  EXPECT_EQ(Messages(), QStringList{kNoMore});
  EXPECT_EQ(Selection(), std::make_pair(25, 3));
  PressFindNext();
  EXPECT_EQ(Messages(), (QStringList{kNoMore, kNoMore}));
  EXPECT_EQ(Selection(), std::make_pair(25, 3));

  // Clearing the selection searches from the top again.
  SetCaret(27);
  PressFindNext();
  EXPECT_EQ(Selection(), std::make_pair(6, 3));
  EXPECT_EQ(PaneBytes(), "alpha one\nbeta one\ngamma ONE\ndelta\n");
}

// What is typed is looked for as the text's encoding stores it. In UTF-8
// only the ASCII letters match their other case.
TEST_F(FindDialogTest, FindsWhatIsTypedAsTheTextsEncodingStoresIt) {
  constexpr auto U = text::Encoding::Utf8, W = text::Encoding::Windows1252;
  const struct {
    const char* name;
    text::Encoding encoding;
    std::string line;
    QString typed;
    std::pair<int, int> found;  // start and length in bytes; -1: no more
  } rows[] = {
      {"an accent in UTF-8", U, "na\xC3\xAFve CAF\xC3\xA9", QStringLiteral("caf\u00E9"), {7, 5}},
      {"only ASCII letters fold in UTF-8", U, "CAF\xC3\x89", QStringLiteral("caf\u00E9"), {-1, 0}},
      {"a character beyond U+FFFF",
       U,
       "a\xF0\x9F\x98\x80",
       QString::fromUcs4(U"\U0001F600"),
       {1, 4}},
      {"an accent in Windows-1252", W, "na\xEFve CAF\xC9", QStringLiteral("caf\u00E9"), {6, 4}},
      {"UTF-8 bytes in Windows-1252 are two characters",
       W,
       "caf\xC3\xA9",
       QStringLiteral("caf\u00E9"),
       {-1, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start();
    dialogs.boxes.clear();
    pane().setText(TextOf({row.line}), row.encoding);
    OpenAndType(row.typed);
    PressFindNext();
    if (row.found.first < 0) {
      EXPECT_EQ(Messages(), QStringList{kNoMore});
    } else {
      EXPECT_EQ(Selection(), row.found);
      EXPECT_TRUE(Messages().isEmpty());
    }
  }
}

TEST_F(FindDialogTest, SearchesFromTheEndOfTheSelectionMadeByHand) {
  Start();
  SetPaneLines({"banana", "bandana"});
  const struct {
    int anchor, position;
    std::pair<int, int> expected;
  } rows[] = {
      {0, 2, {3, 2}},    // "ba" selected: the "an" at 1 overlaps it and is passed
      {2, 0, {3, 2}},    // the same selection made backwards
      {3, 5, {8, 2}},    // the next one is on the next line
      {8, 10, {11, 2}},  // "bandana": b7 a8 n9 d10 a11 n12
  };
  OpenAndType(QStringLiteral("AN"));
  for (const auto& row : rows) {
    SetCaret(row.position, row.anchor);
    PressFindNext();
    EXPECT_EQ(Selection(), row.expected) << row.anchor << "-" << row.position;
  }
  EXPECT_TRUE(Messages().isEmpty());
}

// With Pattern checked, Find Next selects the next match, as long as it is;
// a pattern that is not one says why.
TEST_F(FindDialogTest, APatternSelectsEachMatchOrSaysWhyItIsNone) {
  Start();
  // Offsets: "item 12, item 345" 0-17, "ITEM 6" 18-24.
  SetPaneLines({"item 12, item 345", "ITEM 6"});
  OpenAndType(QStringLiteral("item \\d+"));
  find().patternBox()->click();
  const std::pair<int, int> expected[] = {{0, 7}, {9, 8}, {18, 6}};
  for (const auto& e : expected) {
    PressFindNext();
    EXPECT_EQ(Selection(), e);
  }
  PressFindNext();
  EXPECT_EQ(Messages(), QStringList{kNoMore});
  OpenAndType(QStringLiteral("item (\\d"));
  PressFindNext();
  EXPECT_EQ(Messages(),
            (QStringList{kNoMore, QStringLiteral("The search text is not a valid pattern: "
                                                 "missing ): item (\\d")}));
  EXPECT_EQ(Selection(), std::make_pair(18, 6));

  // In a UTF-8 text "." is one character, never a stray byte (E9 at 6) nor
  // part of a character; the same text read as Windows-1252 is bytes.
  Start();
  pane().setText(TextOf({"\u00e9\u20acx\xE9y"}), text::Encoding::Utf8);
  OpenAndType(QStringLiteral("."));
  find().patternBox()->click();
  const std::pair<int, int> characters[] = {{0, 2}, {2, 3}, {5, 1}, {7, 1}};
  for (const auto& e : characters) {
    PressFindNext();
    EXPECT_EQ(Selection(), e);
  }
  pane().setEncoding(text::Encoding::Windows1252);
  SetCaret(0);
  PressFindNext();
  EXPECT_EQ(Selection(), std::make_pair(0, 1));
}

TEST_F(FindDialogTest, StaysOpenWhileTheUserEditsAndKeepsItsText) {
  Start();
  SetPaneLines({"one two", "two"});
  OpenAndType(QStringLiteral("two"));
  PressFindNext();
  EXPECT_EQ(Selection(), std::make_pair(4, 3));

  // Typing over the match leaves the caret after "xy": the next search starts
  // from there, that is from the start of the text (nothing is selected).
  pane().setFocus();
  TypeText(&pane(), QStringLiteral("xy"));
  EXPECT_TRUE(find().isVisible());
  PressFindNext();
  EXPECT_EQ(Selection(), std::make_pair(7, 3));

  // Cancel hides it; opening it again offers the same text, ready to retype.
  QTest::mouseClick(find().cancelButton(), Qt::LeftButton);
  EXPECT_FALSE(find().isVisible());
  form->Search1Click();
  EXPECT_TRUE(find().isVisible());
  EXPECT_EQ(find().searchText(), QStringLiteral("two"));
  EXPECT_EQ(find().searchField()->selectedText(), QStringLiteral("two"));
}

TEST_F(FindDialogTest, OpensHalfWayAcrossThePaneAtItsTopAndWholeOnTheScreen) {
  Start();
  const QRect screen = form->screen()->availableGeometry();
  const auto corner = [&] { return pane().mapToGlobal(QPoint(pane().width() / 2, 0)); };

  // The window is wider than the test screen: the dialog is moved in.
  QTest::mouseClick(ui().searchButton, Qt::LeftButton);
  ASSERT_GT(corner().x() + find().width(), screen.right());
  EXPECT_TRUE(screen.contains(find().frameGeometry()));
  EXPECT_EQ(find().y(), corner().y());

  // Where there is room, exactly there.
  form->move(form->x() - 400, form->y() + 20);
  QCoreApplication::processEvents();
  form->SearchBtnClick();
  EXPECT_EQ(find().pos(), corner());
}

TEST_F(FindDialogTest, AMatchFoundFromTheOtherPageIsShownOnItsPage) {
  Start();
  SetPaneLines({"key"});
  ShowChangePage();
  form->Search1Click();
  find().setSearchText(QStringLiteral("KEY"));
  PressFindNext();
  EXPECT_EQ(ui().pages->currentWidget(), ui().textPage);
  EXPECT_EQ(Selection(), std::make_pair(0, 3));
  EXPECT_TRUE(pane().hasFocus());
}

TEST_F(FindDialogTest, TheSearchButtonGivesTheFocusToThePaneWhenLeft) {
  Start();
  ui().searchButton->setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(ui().searchButton->hasFocus());
  ui().wrapButton->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
  EXPECT_TRUE(pane().hasFocus());
}

}  // namespace
}  // namespace quorlin::testing
