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
  QLineEdit* Field(const char* name) { return form->findChild<QLineEdit*>(name); }
  QCheckBox* Box(const char* name) { return form->findChild<QCheckBox*>(name); }
  bool Filled(NumericField f) { return form->changePage().filledFlags().filled(f); }
  void Click(QCheckBox* box) {
    ShowChangePage();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  }
  void Choose(int test, int action) {
    ui().RadioButton[test]->click();
    ui().RadioButton[action]->click();
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
    QLineEdit* field = Field(row.field);
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
    TypeAndLeave(ui().Edit6, QString::fromLatin1(row.first));
    dialogs.boxes.clear();
    TypeAndLeave(ui().Edit7, QString::fromLatin1(row.last));
    EXPECT_EQ(ui().Edit7->text(), QString::fromLatin1(row.shown));
    EXPECT_EQ(dialogs.texts(), row.messages);
    EXPECT_TRUE(Filled(NumericField::LastCharPos));
  }
  // Leaving the 1st char field does not look at the last one.
  dialogs.boxes.clear();
  TypeAndLeave(ui().Edit6, QStringLiteral("10"));
  EXPECT_EQ(ui().Edit6->text(), QStringLiteral("10"));
  EXPECT_EQ(ui().Edit7->text(), QStringLiteral("3"));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ChangePageTest, FilledFlagsFollowTheTextAtTheLastLeaving) {
  TypeAndLeave(ui().Edit3, QStringLiteral("12"));
  EXPECT_TRUE(Filled(NumericField::FirstLineNum));
  TypeAndLeave(ui().Edit3, QString());
  EXPECT_TRUE(ui().Edit3->text().isEmpty());
  EXPECT_FALSE(Filled(NumericField::FirstLineNum));

  TypeAndLeave(ui().Edit1, QStringLiteral(" "));
  EXPECT_TRUE(form->changePage().filledFlags().testKeyFilled);
  EXPECT_EQ(ui().Edit1->text(), QStringLiteral(" "));  // nothing trimmed
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The focus given back after a message leaves the control Tab had moved to:
// that control was not left by the user and is not checked.
TEST_F(ChangePageTest, GivingTheFocusBackChecksNoOtherField) {
  ui().Edit4->setText(QStringLiteral("xyz"));  // next in the tab order, never left
  TypeAndLeave(ui().Edit3, QStringLiteral("abc"));
  EXPECT_EQ(dialogs.texts(), QStringList{NotInteger("abc")});
  EXPECT_EQ(QApplication::focusWidget(), ui().Edit3);
  EXPECT_EQ(ui().Edit4->text(), QStringLiteral("xyz"));
  EXPECT_FALSE(Filled(NumericField::LastLineNum));
}

// Switching to the other page hides the field the focus was in: that leaves
// it, and a message brings the page and the field back.
TEST_F(ChangePageTest, LeavingByTheOtherPageBringsTheFieldBack) {
  ShowChangePage();
  ui().Edit5->setFocus();
  TypeText(ui().Edit5, QStringLiteral("2000"));
  ui().PageControl1->setCurrentWidget(ui().Tabsheet2);
  QCoreApplication::processEvents();
  EXPECT_EQ(
      dialogs.texts(),
      QStringList{QStringLiteral("Valid range for LineLength Number of Characters is 0 to 1024")});
  EXPECT_EQ(ui().PageControl1->currentWidget(), ui().TabSheet1);
  EXPECT_EQ(QApplication::focusWidget(), ui().Edit5);
  EXPECT_EQ(ui().Edit5->text(), QStringLiteral("0"));
}

TEST_F(ChangePageTest, CheckBoxCaptionsShowTheirStateAndCaseBoxesExcludeEachOther) {
  for (QCheckBox* box : {ui().CheckBox1, ui().CheckBox2, ui().LCaseCheckBox, ui().UCasecheckbox}) {
    EXPECT_EQ(CaptionColour(box), kMaroon) << box->objectName().toStdString();
  }
  Click(ui().CheckBox1);
  EXPECT_TRUE(ui().CheckBox1->isChecked());
  EXPECT_EQ(CaptionColour(ui().CheckBox1), kRed);
  Click(ui().CheckBox1);
  EXPECT_EQ(CaptionColour(ui().CheckBox1), kMaroon);

  Click(ui().LCaseCheckBox);
  Click(ui().UCasecheckbox);  // clears the lower-case box, once
  EXPECT_TRUE(ui().UCasecheckbox->isChecked());
  EXPECT_EQ(CaptionColour(ui().UCasecheckbox), kRed);
  EXPECT_FALSE(ui().LCaseCheckBox->isChecked());
  EXPECT_EQ(CaptionColour(ui().LCaseCheckBox), kMaroon);

  Click(ui().LCaseCheckBox);
  EXPECT_TRUE(ui().LCaseCheckBox->isChecked());
  EXPECT_FALSE(ui().UCasecheckbox->isChecked());
  EXPECT_EQ(CaptionColour(ui().UCasecheckbox), kMaroon);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ChangePageTest, OkRunsTheChangeRemindsOnceAndUnchecksTheBoxes) {
  SetPaneLines({"abc", "ABC", "b\tb", "xyz"});
  TypeAndLeave(ui().Edit1, QStringLiteral("b"));
  Choose(3, 22);          // contains the key anywhere; delete the key
  Click(ui().CheckBox2);  // case sensitive
  Click(ui().UCasecheckbox);
  ClickOk();

  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"AC", "ABC", "       ", "XYZ"}));
  ASSERT_EQ(dialogs.texts(), QStringList{QString::fromLatin1(ui::kCheckBoxReminder)});
  EXPECT_TRUE(dialogs.boxes[0].busy);
  EXPECT_FALSE(Busy());
  for (QCheckBox* box : {ui().CheckBox2, ui().UCasecheckbox}) {
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(CaptionColour(box), kMaroon);
  }
  // The fields and buttons keep their values for the next run, which with no
  // box checked shows nothing.
  EXPECT_TRUE(ui().RadioButton[22]->isChecked());
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
  ui().Edit1->setFocus();
  QTest::keyClicks(ui().Edit1, QStringLiteral("-"));
  ClickOk();
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"c"});
  EXPECT_TRUE(dialogs.boxes.empty());

  // When that check has to correct the field, the user sees the field first.
  ui().Edit3->setFocus();
  QTest::keyClicks(ui().Edit3, QStringLiteral("abc"));
  ClickOk();
  EXPECT_EQ(dialogs.texts(), QStringList{NotInteger("abc")});
  EXPECT_EQ(QApplication::focusWidget(), ui().Edit3);
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"c"});
  EXPECT_FALSE(ui().Button1->isDown());
}

TEST_F(ChangePageTest, RefusedOkShowsBothMessagesAndChangesNothing) {
  SetPaneLines({"one", "two"});
  Choose(4, 19);  // needs key and 1st char; needs replacement and repl pos
  Click(ui().CheckBox2);
  ClickOk();
  EXPECT_EQ(
      dialogs.texts(),
      (QStringList{QStringLiteral("Fill in Test Key Text and 1st Char Position"),
                   QStringLiteral("Fill in Replacement Key Text and Repl Pos Char Position")}));
  EXPECT_TRUE(dialogs.boxes[0].busy && dialogs.boxes[1].busy);
  EXPECT_FALSE(Busy());
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(ui().CheckBox2->isChecked());
  EXPECT_FALSE(exists(QStringLiteral("~QLtmp1~.txt")));
}

TEST_F(ChangePageTest, StoppedRunKeepsTextAndBoxes) {
  SetPaneLines({"abcdef"});
  TypeAndLeave(ui().Edit6, QStringLiteral("3"));
  TypeAndLeave(ui().Edit7, QStringLiteral("5"));
  Choose(1, 25);
  Click(ui().CheckBox1);
  // The 1st char position raised afterwards is not compared when left for OK.
  ui().Edit6->setFocus();
  ui().Edit6->selectAll();
  TypeText(ui().Edit6, QStringLiteral("10"));
  ClickOk();
  EXPECT_EQ(dialogs.texts(),
            QStringList{
                QStringLiteral("Char positions have to be Positive, with Last char > First Char")});
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"abcdef"});
  EXPECT_TRUE(ui().CheckBox1->isChecked());
  EXPECT_EQ(CaptionColour(ui().CheckBox1), kRed);
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
