// Searching the pane: the case-blind comparison, the forward search over the
// document, and the find dialog driven as a user would (open, type, Find
// Next, the message at the end, the selection kept).
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>

#include "WindowFixture.h"
#include "ui/FindDialog.h"
#include "ui/TextSearch.h"
#include "ui/ViewCommands.h"
#include "ui/Western.h"

namespace quorlin::testing {
namespace {

using ui::SearchFold;
using ui::WesternChar;

// Two characters of the set fold together exactly when one is the other's
// simple upper or lower case; the check runs over every pair of the set.
TEST(SearchFold, LettersOfTheSetMatchTheirOtherCaseAndNothingElse) {
  int pairs = 0;
  for (int a = 0; a < 256; ++a) {
    const QChar ca(WesternChar(static_cast<unsigned char>(a)));
    for (int b = a + 1; b < 256; ++b) {
      const QChar cb(WesternChar(static_cast<unsigned char>(b)));
      const bool partners = ca.toLower() == cb || ca.toUpper() == cb;
      EXPECT_EQ(SearchFold(ca.unicode()) == SearchFold(cb.unicode()), partners)
          << "bytes " << a << " and " << b;
      pairs += partners ? 1 : 0;
    }
  }
  // 26 ASCII, 30 accented Latin-1, and S-caron, OE, Z-caron, Y-diaeresis.
  EXPECT_EQ(pairs, 60);
  // Characters whose other case lies outside the set stand alone.
  for (const char16_t alone : {u'\u00DF', u'\u00B5', u'\u00D7', u'\u00F7'}) {
    EXPECT_EQ(SearchFold(alone), alone);
  }
}

TEST(FindForward, FromAnOffsetIgnoringCaseAnywhereInWords) {
  const struct {
    const char* name;
    QString text;
    QString search;
    int from;
    int expected;
  } rows[] = {
      {"first match", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 0, 0},
      {"starts at the offset", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 1, 4},
      {"a match at the offset counts", QStringLiteral("abc ABC abc"), QStringLiteral("abc"), 4, 4},
      {"upper-case search", QStringLiteral("xx abc"), QStringLiteral("ABC"), 0, 3},
      {"inside a word", QStringLiteral("unbelievable"), QStringLiteral("LIE"), 0, 4},
      {"on a later line", QStringLiteral("one\ntwo\nthree"), QStringLiteral("ThR"), 0, 8},
      {"offset inside a later line", QStringLiteral("aa\naa"), QStringLiteral("a"), 4, 4},
      {"at the very end", QStringLiteral("one\ntwo"), QStringLiteral("two"), 0, 4},
      {"none after the offset", QStringLiteral("abc abc"), QStringLiteral("abc"), 5, -1},
      {"offset past the end", QStringLiteral("abc"), QStringLiteral("a"), 99, -1},
      {"no match across a line break", QStringLiteral("ab\ncd"), QStringLiteral("b\nc"), 0, -1},
      {"S-caron and OE", QStringLiteral("\u0160KODA \u0152UVRE"),
       QStringLiteral("\u0161koda \u0153uvre"), 0, 0},
      {"no-break space is not a space", QStringLiteral("a\u00A0b"), QStringLiteral("a b"), 0, -1},
      {"overlapping candidates", QStringLiteral("aaab"), QStringLiteral("aab"), 0, 1},
  };
  for (const auto& row : rows) {
    QTextDocument doc;
    doc.setPlainText(row.text);
    EXPECT_EQ(ui::FindForward(doc, row.search, row.from), row.expected) << row.name;
  }
}

class FindDialogTest : public WindowTest {
 protected:
  ui::FindDialog& find() { return form->view().findDialog(); }

  // The selection as the window's user sees it: start and length.
  std::pair<int, int> Selection() {
    const QTextCursor c = pane().textCursor();
    return {c.selectionStart(), c.selectionEnd() - c.selectionStart()};
  }
  void SetCaret(int position, int anchor = -1) {
    QTextCursor c(pane().document());
    c.setPosition(anchor < 0 ? position : anchor);
    c.setPosition(position, QTextCursor::KeepAnchor);
    pane().setTextCursor(c);
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
  EXPECT_EQ(pane().lines().joined(), "alpha one\nbeta one\ngamma ONE\ndelta\n");
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
