// SPDX-License-Identifier: Apache-2.0
// The page "Make Global Changes" driven as a user drives it: fields typed
// into and left, boxes clicked, OK pressed.
#include <QCheckBox>
#include <QDir>
#include <QRadioButton>

#include "WindowFixture.h"
#include "ui/ChangePage.h"
#include "ui/Colours.h"

namespace quorlin::testing {
namespace {

using ui::CaptionColour;
using ui::kMaroon;
using ui::kRed;

class ChangePageTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  QLineEdit* NamedField(const char* name) { return form->findChild<QLineEdit*>(name); }
  QCheckBox* Box(const char* name) { return form->findChild<QCheckBox*>(name); }
  bool Filled(Field f) { return form->changePage().filledFlags()[f].filled; }
  void Click(QCheckBox* box) {
    ShowChangePage();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  }
  void Choose(int test, int action) {
    ui().testButton(TestCode(test))->click();
    ui().actionButton(ActionCode(action))->click();
  }
  bool Busy() const { return QApplication::overrideCursor() != nullptr; }
};

const QString kLineRange = QStringLiteral("Valid range for line numbers is 0 to 250000");
const QString kCharRange = QStringLiteral("Valid range for Character Position is 0 to 1024");
QString NotInteger(const char* text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(text));
}

TEST_F(ChangePageTest, LeavingANumberFieldChecksAndRewritesIt) {
  const struct {
    const char* field;
    const char* typed;
    const char* shown;
    QStringList messages;
  } rows[] = {
      {"Edit3", "-7", "7", {}},
      {"Edit3", "3.9", "3", {}},
      {"Edit3", ".", "0", {NotInteger("")}},
      {"Edit3", "abc", "0", {NotInteger("abc")}},
      {"Edit3", "250001", "0", {kLineRange}},
      {"Edit4", "250000", "250000", {}},
      {"Edit5", " 12", " 12", {}},
      {"Edit5", "12 ", "0", {NotInteger("12 ")}},
      {"Edit5", "$10", "$10", {}},
      {"Edit9", "1025", "0", {kCharRange}},
      {"Edit6", "--5", "0", {kCharRange}},  // a minus left after the first is refused
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.field) + " <- '" + row.typed + "'");
    dialogs.boxes.clear();
    QLineEdit* field = NamedField(row.field);
    TypeAndLeave(field, QString::fromLatin1(row.typed));
    EXPECT_EQ(field->text(), QString::fromLatin1(row.shown));
    EXPECT_EQ(dialogs.texts(), row.messages);
    // After a message the focus is back in the field; otherwise Tab moved on.
    EXPECT_EQ(QApplication::focusWidget() == field, !row.messages.isEmpty());
  }
}

TEST_F(ChangePageTest, LastCharPositionIsComparedWithFirstAsItStands) {
  const struct {
    const char* first;  // left before the last
    const char* last;
    const char* shown;
    QStringList messages;
  } rows[] = {
      {"5",
       "2000",
       "1",
       {QStringLiteral("Valid range for Character Position is 1 to 1024"),
        QStringLiteral("Last Char Position must be greater or equal to 1st Char Position")}},
      {"", "5", "1", {NotInteger("")}},
      {"0", "0", "0", {}},
      {"3", "3", "3", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.first) + " / " + row.last);
    TypeAndLeave(ui().field(Field::FirstCharPos), QString::fromLatin1(row.first));
    dialogs.boxes.clear();
    TypeAndLeave(ui().field(Field::LastCharPos), QString::fromLatin1(row.last));
    EXPECT_EQ(ui().field(Field::LastCharPos)->text(), QString::fromLatin1(row.shown));
    EXPECT_EQ(dialogs.texts(), row.messages);
    EXPECT_TRUE(Filled(Field::LastCharPos));
  }
  // Leaving the 1st char field does not look at the last one.
  dialogs.boxes.clear();
  TypeAndLeave(ui().field(Field::FirstCharPos), QStringLiteral("10"));
  EXPECT_EQ(ui().field(Field::FirstCharPos)->text(), QStringLiteral("10"));
  EXPECT_EQ(ui().field(Field::LastCharPos)->text(), QStringLiteral("3"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ChangePageTest, FilledFlagsFollowTheTextAtTheLastLeaving) {
  TypeAndLeave(ui().field(Field::FirstLineNum), QStringLiteral("12"));
  EXPECT_TRUE(Filled(Field::FirstLineNum));
  TypeAndLeave(ui().field(Field::FirstLineNum), QString());
  EXPECT_TRUE(ui().field(Field::FirstLineNum)->text().isEmpty());
  EXPECT_FALSE(Filled(Field::FirstLineNum));

  TypeAndLeave(ui().field(Field::TestKey), QStringLiteral(" "));
  EXPECT_TRUE(form->changePage().filledFlags()[Field::TestKey].filled);
  EXPECT_EQ(ui().field(Field::TestKey)->text(), QStringLiteral(" "));  // nothing trimmed
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The focus given back after a message leaves the control Tab had moved to:
// that control was not left by the user and is not checked.
TEST_F(ChangePageTest, GivingTheFocusBackChecksNoOtherField) {
  ui().field(Field::LastLineNum)
      ->setText(QStringLiteral("xyz"));  // next in the tab order, never left
  TypeAndLeave(ui().field(Field::FirstLineNum), QStringLiteral("abc"));
  EXPECT_EQ(dialogs.texts(), QStringList{NotInteger("abc")});
  EXPECT_EQ(QApplication::focusWidget(), ui().field(Field::FirstLineNum));
  EXPECT_EQ(ui().field(Field::LastLineNum)->text(), QStringLiteral("xyz"));
  EXPECT_FALSE(Filled(Field::LastLineNum));
}

// Switching to the other page hides the field the focus was in: that leaves
// it, and a message brings the page and the field back.
TEST_F(ChangePageTest, LeavingByTheOtherPageBringsTheFieldBack) {
  ShowChangePage();
  ui().field(Field::LineLength)->setFocus();
  TypeText(ui().field(Field::LineLength), QStringLiteral("2000"));
  ui().pages->setCurrentWidget(ui().textPage);
  QCoreApplication::processEvents();
  EXPECT_EQ(
      dialogs.texts(),
      QStringList{QStringLiteral("Valid range for LineLength Number of Characters is 0 to 1024")});
  EXPECT_EQ(ui().pages->currentWidget(), ui().changesPage);
  EXPECT_EQ(QApplication::focusWidget(), ui().field(Field::LineLength));
  EXPECT_EQ(ui().field(Field::LineLength)->text(), QStringLiteral("0"));
}

TEST_F(ChangePageTest, CheckBoxCaptionsShowTheirStateAndCaseBoxesExcludeEachOther) {
  for (QCheckBox* box :
       {ui().retainPassingOnly, ui().caseSensitive, ui().outputLowerCase, ui().outputUpperCase}) {
    EXPECT_EQ(CaptionColour(box), kMaroon) << box->objectName().toStdString();
  }
  Click(ui().retainPassingOnly);
  EXPECT_TRUE(ui().retainPassingOnly->isChecked());
  EXPECT_EQ(CaptionColour(ui().retainPassingOnly), kRed);
  Click(ui().retainPassingOnly);
  EXPECT_EQ(CaptionColour(ui().retainPassingOnly), kMaroon);

  Click(ui().outputLowerCase);
  Click(ui().outputUpperCase);  // clears the lower-case box, once
  EXPECT_TRUE(ui().outputUpperCase->isChecked());
  EXPECT_EQ(CaptionColour(ui().outputUpperCase), kRed);
  EXPECT_FALSE(ui().outputLowerCase->isChecked());
  EXPECT_EQ(CaptionColour(ui().outputLowerCase), kMaroon);

  Click(ui().outputLowerCase);
  EXPECT_TRUE(ui().outputLowerCase->isChecked());
  EXPECT_FALSE(ui().outputUpperCase->isChecked());
  EXPECT_EQ(CaptionColour(ui().outputUpperCase), kMaroon);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ChangePageTest, OkRunsTheChangeRemindsOnceAndUnchecksTheBoxes) {
  SetPaneLines({"abc", "ABC", "b\tb", "xyz"});
  TypeAndLeave(ui().field(Field::TestKey), QStringLiteral("b"));
  Choose(3, 22);              // contains the key anywhere; delete the key
  Click(ui().caseSensitive);  // case sensitive
  Click(ui().outputUpperCase);
  ClickOk();

  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"AC", "ABC", "       ", "XYZ"}));
  ASSERT_EQ(dialogs.texts(), QStringList{QString::fromLatin1(ui::kCheckBoxReminder)});
  EXPECT_TRUE(dialogs.boxes[0].busy);
  EXPECT_FALSE(Busy());
  for (QCheckBox* box : {ui().caseSensitive, ui().outputUpperCase}) {
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(CaptionColour(box), kMaroon);
  }
  // The fields and buttons keep their values for the next run, which with no
  // box checked shows nothing.
  EXPECT_TRUE(ui().actionButton(ActionCode::DeleteKey)->isChecked());
  dialogs.boxes.clear();
  ClickOk();
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"AC", "AC", "       ", "XYZ"}));
  EXPECT_TRUE(dialogs.boxes.empty());
}

// A click on OK takes the focus from the field just typed in; that field is
// checked before the run reads its filled flag.
TEST_F(ChangePageTest, OkRightAfterTypingSeesTheFieldChecked) {
  SetPaneLines({"a-b", "c"});
  Choose(3, 14);  // lines containing the key are deleted
  ShowChangePage();
  ui().field(Field::TestKey)->setFocus();
  QTest::keyClicks(ui().field(Field::TestKey), QStringLiteral("-"));
  ClickOk();
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"c"});
  EXPECT_TRUE(dialogs.boxes.empty());

  // When that check has to correct the field, the user sees the field first.
  ui().field(Field::FirstLineNum)->setFocus();
  QTest::keyClicks(ui().field(Field::FirstLineNum), QStringLiteral("abc"));
  ClickOk();
  EXPECT_EQ(dialogs.texts(), QStringList{NotInteger("abc")});
  EXPECT_EQ(QApplication::focusWidget(), ui().field(Field::FirstLineNum));
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"c"});
  EXPECT_FALSE(ui().okButton->isDown());
}

TEST_F(ChangePageTest, RefusedOkShowsBothMessagesAndChangesNothing) {
  SetPaneLines({"one", "two"});
  Choose(4, 19);  // needs key and 1st char; needs replacement and repl pos
  Click(ui().caseSensitive);
  ClickOk();
  EXPECT_EQ(
      dialogs.texts(),
      (QStringList{QStringLiteral("Fill in Test Key Text and 1st Char Position"),
                   QStringLiteral("Fill in Replacement Key Text and Repl Pos Char Position")}));
  EXPECT_TRUE(dialogs.boxes[0].busy && dialogs.boxes[1].busy);
  EXPECT_FALSE(Busy());
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(ui().caseSensitive->isChecked());
  EXPECT_FALSE(exists(QStringLiteral("~QLtmp1~.txt")));
}

TEST_F(ChangePageTest, StoppedRunKeepsTextAndBoxes) {
  SetPaneLines({"abcdef"});
  TypeAndLeave(ui().field(Field::FirstCharPos), QStringLiteral("3"));
  TypeAndLeave(ui().field(Field::LastCharPos), QStringLiteral("5"));
  Choose(1, 25);
  Click(ui().retainPassingOnly);
  // The 1st char position raised afterwards is not compared when left for OK.
  ui().field(Field::FirstCharPos)->setFocus();
  ui().field(Field::FirstCharPos)->selectAll();
  TypeText(ui().field(Field::FirstCharPos), QStringLiteral("10"));
  ClickOk();
  EXPECT_EQ(dialogs.texts(),
            QStringList{
                QStringLiteral("Char positions have to be Positive, with Last char > First Char")});
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"abcdef"});
  EXPECT_TRUE(ui().retainPassingOnly->isChecked());
  EXPECT_EQ(CaptionColour(ui().retainPassingOnly), kRed);
  EXPECT_FALSE(Busy());
}

TEST_F(ChangePageTest, FileErrorIsReportedAndTheTextKept) {
  // A folder holding a file, where the run's input file should go, cannot be
  // replaced by it.
  ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("~QLtmp1~.txt")));
  WriteFile(QStringLiteral("~QLtmp1~.txt/inside"), "x");
  SetPaneLines({"keep"});
  ClickOk();
  const QStringList errors = dialogs.texts(BoxKind::Error);
  ASSERT_EQ(errors.size(), 1);
  const QStringList parts = errors[0].split(QLatin1Char('\n'));
  ASSERT_EQ(parts.size(), 2);
  EXPECT_FALSE(parts[0].isEmpty());
  EXPECT_EQ(parts[1], path(QStringLiteral("~QLtmp1~.txt")));
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"keep"});
  EXPECT_FALSE(Busy());
}

}  // namespace
}  // namespace quorlin::testing
