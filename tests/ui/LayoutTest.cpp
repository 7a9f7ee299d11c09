// SPDX-License-Identifier: Apache-2.0
// The window's arrangement: growth with the screen, every caption whole, the
// controls and menus the pages are made of, and the About box.
#include <functional>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include "WindowFixture.h"
#include "engine/ChangeRequest.h"
#include "ui/AboutU.h"
#include "ui/MainWindowLayout.h"

namespace quorlin::testing {
namespace {

using ui::FindPlace;
using ui::Place;
using ui::PlacesForScreen;

struct TierRow {
  int screenWidth, screenHeight;
  int window[2], pageControl[2], richEdit[2];
  int testBox[2], numberLabels, numberFields, keyFields, actionBox[2], label6, button1, checkRow;
};

// Widths follow the width tiers, everything else the height tiers; 1019 high
// is not above 1019, so that screen stops at the middle height tier.
// clang-format off
constexpr TierRow kTiers[] = {
    {800, 600, {1005, 591}, {969, 511}, {900, 417}, {1, 134}, 144, 138, 161, {185, 277}, 224, 296,
     465},
    {1024, 768, {1013, 710}, {980, 639}, {950, 551}, {13, 144}, 174, 171, 208, {260, 305}, 300,
     376, 586},
    {1280, 1019, {1269, 806}, {1236, 735}, {1206, 647}, {13, 180}, 205, 205, 265, {295, 355}, 325,
     435, 665},
    {1920, 1080, {1269, 966}, {1236, 895}, {1206, 807}, {13, 205}, 260, 260, 325, {385, 360}, 385,
     485, 800},
};
// clang-format on

TEST(ScreenTiers, WindowGrowsByTheTiersOfTheScreenSize) {
  for (const TierRow& t : kTiers) {
    SCOPED_TRACE(::testing::Message() << t.screenWidth << "x" << t.screenHeight);
    const std::vector<Place> p = PlacesForScreen(t.screenWidth, t.screenHeight);
    auto size = [&](const char* name) {
      const Place* place = FindPlace(p, name);
      return std::array<int, 2>{place->width, place->height};
    };
    auto top = [&](const char* name) { return FindPlace(p, name)->top; };
    EXPECT_EQ(size("Form1"), (std::array<int, 2>{t.window[0], t.window[1]}));
    EXPECT_EQ(size("PageControl1"), (std::array<int, 2>{t.pageControl[0], t.pageControl[1]}));
    EXPECT_EQ(size("RichEdit1"), (std::array<int, 2>{t.richEdit[0], t.richEdit[1]}));
    EXPECT_EQ(top("TestBox"), t.testBox[0]);
    EXPECT_EQ(FindPlace(p, "TestBox")->height, t.testBox[1]);
    for (const char* label : {"Label2", "Label3", "Label4", "Label7", "Label8", "Label9"}) {
      EXPECT_EQ(top(label), t.numberLabels) << label;
    }
    for (const char* field : {"Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit9"}) {
      EXPECT_EQ(top(field), t.numberFields) << field;
    }
    EXPECT_EQ(top("Edit1"), t.keyFields);
    EXPECT_EQ(top("Edit2"), t.keyFields);
    EXPECT_EQ(top("ActionBox"), t.actionBox[0]);
    EXPECT_EQ(FindPlace(p, "ActionBox")->height, t.actionBox[1]);
    EXPECT_EQ(top("Label6"), t.label6);
    EXPECT_EQ(top("Button1"), t.button1);
    for (const char* box : {"CheckBox1", "UCasecheckbox", "CheckBox2", "LCaseCheckBox"}) {
      EXPECT_EQ(top(box), t.checkRow) << box;
    }
  }
}

class Layout : public WindowTest {};

TEST_F(Layout, FirstShowAppliesTheTiersOfItsScreen) {
  Start({}, QSize(1024, 768));
  EXPECT_EQ(form->size(), QSize(1013 - ui::kFrameWidth, 710 - ui::kFrameHeight));
  EXPECT_EQ(ui().pages->geometry(), QRect(8, 0, 980, 639));
  EXPECT_EQ(ui().pane->geometry(), QRect(16, 24, 950, 551));
  EXPECT_EQ(ui().outputUpperCase->geometry(), QRect(288, 586, 137, 17));
  EXPECT_EQ(ui().pages->currentWidget(), ui().textPage);
  // The status line stays at the foot of the grown page.
  EXPECT_EQ(ui().statusBar->geometry().bottom(), ui().textPage->height() - 1);
  EXPECT_EQ(QApplication::focusWidget(), ui().pane);
}

// What a caption shows: blanks at its end are not seen.
int ShownWidth(const QWidget* w, const QString& text) {
  qsizetype n = text.size();
  while (n > 0 && text[n - 1] == QLatin1Char(' ')) --n;
  return w->fontMetrics().horizontalAdvance(text.left(n));
}

// The room a check box or radio button leaves its caption.
int CaptionRoom(const QAbstractButton* b, QStyle::SubElement contents) {
  QStyleOptionButton option;
  option.initFrom(b);
  option.text = b->text();
  option.rect = b->rect();
  return b->style()->subElementRect(contents, &option, b).width();
}

// Every caption fits the place the layout gives it, and no two controls of a
// page or group overlap, at the design size and at the largest tier.
TEST_F(Layout, NoCaptionIsClippedAndNoControlsOverlap) {
  for (const QSize screen : {QSize(800, 600), QSize(1920, 1080)}) {
    SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height());
    Start({}, screen);
    for (const QRadioButton* b : form->findChildren<QRadioButton*>()) {
      EXPECT_LE(ShownWidth(b, b->text()), CaptionRoom(b, QStyle::SE_RadioButtonContents))
          << b->objectName().toStdString();
      EXPECT_LE(b->geometry().right(), b->parentWidget()->width() - 2)
          << b->objectName().toStdString();
    }
    for (const QCheckBox* b : form->findChildren<QCheckBox*>()) {
      EXPECT_LE(ShownWidth(b, b->text()), CaptionRoom(b, QStyle::SE_CheckBoxContents))
          << b->objectName().toStdString();
    }
    for (const QPushButton* b : {ui().searchButton, ui().wrapButton, ui().okButton}) {
      const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
      EXPECT_LE(ShownWidth(b, b->text()) + margin, b->width()) << b->objectName().toStdString();
      EXPECT_GE(b->height(), b->fontMetrics().height()) << b->objectName().toStdString();
    }
    for (const QGroupBox* g : {ui().testGroup, ui().actionGroup}) {
      QStyleOptionGroupBox option;
      option.initFrom(g);
      option.text = g->title();
      option.subControls = QStyle::SC_GroupBoxLabel;
      const QRect label =
          g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
      EXPECT_LE(label.right(), g->width()) << g->objectName().toStdString();
    }
    const QLineEdit* reminder = ui().nullsReminder;
    EXPECT_LE(ShownWidth(reminder, reminder->text()) + 8, reminder->width());
    EXPECT_LE(ui().okLabel->heightForWidth(ui().okLabel->width()), ui().okLabel->height());

    for (const QWidget* parent :
         {ui().textPage, ui().changesPage, static_cast<QWidget*>(ui().testGroup),
          static_cast<QWidget*>(ui().actionGroup)}) {
      const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (qsizetype i = 0; i < children.size(); ++i) {
        for (qsizetype j = i + 1; j < children.size(); ++j) {
          // Radio buttons 17 high stand 16 apart: a one-pixel seam is no overlap.
          const QRect both = children[i]->geometry() & children[j]->geometry();
          EXPECT_FALSE(both.width() > 1 && both.height() > 1)
              << children[i]->objectName().toStdString() << " and "
              << children[j]->objectName().toStdString();
        }
      }
    }
  }
}

// A click anywhere in a check box's or radio button's place, even well right
// of its caption, chooses it.
TEST_F(Layout, OptionsAnswerClicksAcrossTheirWholePlace) {
  Start();
  ShowChangePage();
  for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
    if (qobject_cast<QCheckBox*>(b) == nullptr && qobject_cast<QRadioButton*>(b) == nullptr)
      continue;
    if (b->isChecked() || !b->isVisible()) continue;  // the find dialog's is not shown
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 3, b->height() / 2));
    EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
  }
}

// Every control a user can reach on either page has a name for screen
// readers, and each field is named by its caption.
TEST_F(Layout, EveryControlHasAnAccessibleName) {
  Start();
  QStringList nameless;
  const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
    const QAccessible::Role role = node->role();
    const bool control = node->state().focusable || role == QAccessible::PushButton ||
                         role == QAccessible::CheckBox || role == QAccessible::RadioButton ||
                         role == QAccessible::EditableText;
    if (control && node->text(QAccessible::Name).trimmed().isEmpty())
      nameless << node->object()->objectName();
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
  };
  walk(QAccessible::queryAccessibleInterface(form.get()));
  EXPECT_EQ(nameless, QStringList());

  // clang-format off
  const std::pair<QWidget*, const char*> names[] = {
      {ui().field(Field::FirstLineNum), "1st Line Num"},         {ui().field(Field::LastLineNum), "Last Line Num"},
      {ui().field(Field::LineLength), "Linelength Num Chars"}, {ui().field(Field::FirstCharPos), "1st char position #"},
      {ui().field(Field::LastCharPos), "Last char position"},   {ui().field(Field::ReplPos), "Repl Pos"},
      {ui().field(Field::TestKey), "Test Key Text"},        {ui().field(Field::ReplacementKey), "Replacement Key Text"},
      {ui().okButton, "OK"}, {ui().pane, "Current text"},
  };
  // clang-format on
  for (const auto& [widget, name] : names) {
    EXPECT_EQ(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name),
              QString::fromLatin1(name));
  }
}

// Each button carries its code's caption, exactly as written here (a blank at
// the end included), and its name on the form: a test button its place among
// the form's buttons (codes 13 and 14 are RadioButton36 and RadioButton42), an
// action button its code.
TEST_F(Layout, ChangePageHoldsEveryTestAndActionWithItsCaption) {
  struct Caption {
    int code;
    const char* text;
  };
  // clang-format off
  const Caption tests[] = {
      {1, "PASSES - Each Line Passes, will be changed if possible"},
      {2, "Is Contained within a specific range of text line numbers"},
      {3, "Contains the Test Key anywhere "},
      {4, "Contains the Test Key starting at the position shown in 1st char position # "},
      {5, "Does NOT Contain the Test Key anywhere "},
      {6, "Does NOT Contain the Test Key starting at position shown in 1st char position # "},
      {7, "Is Shorter than Linelength Num Characters "},
      {8, "Is Longer than Linelength Num Characters "},
      {9, "Contains only whitespace or is empty "},
      {10, "Occurs right after a blank (whitespace) line "},
      {11, "Appears to contain all or parts of HTML tags <  >"},
      {12, "Begins With A Number (ignoring whitespace) "},
      {13, "Contains the Test Key Text at the end of the line"},
      {14, "Is 2nd of 2 sequential blank lines in file "},
  };
  const Caption actions[] = {
      {13, "NO CHANGE in the line except spaces in place of Tabs"},
      {14, "DELETE the entire line "},
      {15, "Delete any whitespace at the beginning and end of the line"},
      {16, "Truncate right side of the line to Linelength Num Chars "},
      {17, "Insert spaces at line beginning to make Linelength Num Chars "},
      {18, "Insert spaces at line end to make Linelength Num Chars "},
      {19, "Insert Replacement Key Text at Repl Pos character #"},
      {20, "Start new line exactly at Linelength Num Characters "},
      {21, "Replace entire line with Replacement Key Text "},
      {22, "Delete Test Key Text from the line"},
      {23, "Delete the line segment right of the Test Key Text "},
      {24, "Delete the line segment left of the Test Key Text "},
      {25, "Delete a specific range of character positions"},
      {26, "Retain only a specific range of character positions "},
      {27, "Insert a NEW line containing Replacement Key after test line"},
      {28, "Replace line segment left of the Test Key with the Replacement Key Text"},
      {29, "Replace line segment right of the Test Key with the Replacement Key Text"},
      {30, "Attempt to Strip HTML tags, including multi-line"},
      {31, "Replace the Test Key Text with the Replacement Key Text"},
      {32, "Sort Current Text by 1st char position # entry - Ignore Test"},
      {33, "Treat 1st two chars in Replacement key as phrase begin/end markers-delete FIRST pair "
           "of markers in the line and chars in between"},
      {34, "Insert a NEW line containing Replacement Key before test line "},
      {35, "Add Replacement Key Text at end of line"},
      {37, "Treat 1st two chars in Replacement key as phrase begin/end markers-delete LAST pair "
           "of markers in the line and chars in between"},
      {38, "Delete from the line every character appearing in the Replacement Key Text "},
      {39, "Start Newline (hard CR) on spaces or commas at Linelength Num Chars "},
      {40, "Start new line at beginning of each Test Key Text"},
      {41, "Strip Backspaced Overstrikes and Underlines"},
      {43, "Remove All Duplicate Lines [Case Sensitive] - Ignore Test"},
      {44, "Move (Unwrap) next line to end of Test line"},
  };
  // clang-format on
  Start();
  ASSERT_EQ(ui().testButtons.size(), std::size(tests));
  for (std::size_t i = 0; i < std::size(tests); ++i) {
    const auto& [code, button] = ui().testButtons[i];
    const int number = Number(code);
    EXPECT_EQ(number, tests[i].code);
    EXPECT_EQ(button->objectName(), QStringLiteral("RadioButton%1")
                                        .arg(number == 13   ? 36
                                             : number == 14 ? 42
                                                            : number));
    EXPECT_EQ(button->text().toStdString(), tests[i].text) << number;
    EXPECT_EQ(button->parentWidget(), ui().testGroup);
  }
  ASSERT_EQ(ui().actionButtons.size(), std::size(actions));
  for (std::size_t i = 0; i < std::size(actions); ++i) {
    const auto& [code, button] = ui().actionButtons[i];
    EXPECT_EQ(Number(code), actions[i].code);
    EXPECT_EQ(button->objectName(), QStringLiteral("RadioButton%1").arg(Number(code)));
    EXPECT_EQ(button->text().toStdString(), actions[i].text) << Number(code);
    EXPECT_EQ(button->parentWidget(), ui().actionGroup);
  }
  // Test 1 and action 13 are chosen at creation, and only they.
  int checked = 0;
  for (const QRadioButton* b : form->findChildren<QRadioButton*>()) checked += b->isChecked();
  EXPECT_EQ(checked, 2);
  auto named = [&](const char* name) { return form->findChild<QRadioButton*>(name); };
  EXPECT_TRUE(named("RadioButton1")->isChecked());
  EXPECT_TRUE(named("RadioButton13")->isChecked());
  EXPECT_EQ(named("RadioButton15")->x(), 464);
  EXPECT_EQ(named("RadioButton37")->geometry(), QRect(16, 256, 777, 17));
}

TEST_F(Layout, MenusCarryTheirItemsAndTheRecentEntryIsHidden) {
  Start();
  const struct {
    QMenu* menu;
    const char* title;
    QStringList items;  // objectName=caption, "-" marks a separator
  } menus[] = {
      {ui().fileMenu,
       "&File",
       {"Open1=&Open", "SaveAs1=Save&As", "Print1=&Print", "Recipesep1=-",
        "SaveRecipe1=Save Changes as &Recipe...", "ApplyRecipe1=Appl&y Recipe...", "Filesep1=-",
        "Close1=&Close", "Exit1=&Exit", "filesep2=-", "filename1=&1 name"}},
      {ui().editMenu,
       "&Edit",
       {"Undo1=Undo", "Redo1=Redo", "Editsep1=-", "Search1=Search", "Cut1=Cut", "Copy1=Copy",
        "Paste1=Paste", "Fonts1=Fonts"}},
      {ui().helpMenu, "&Help", {"About1=About"}},
  };
  for (const auto& m : menus) {
    EXPECT_EQ(m.menu->title(), QString::fromLatin1(m.title));
    QStringList items;
    for (const QAction* a : m.menu->actions()) {
      items << a->objectName() + QLatin1Char('=') + (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(items, m.items);
  }
  EXPECT_FALSE(ui().recentSeparator->isVisible());
  EXPECT_FALSE(ui().recentItem->isVisible());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorlin 3.4 DataFile Text Editor"));
}

TEST_F(Layout, EachAboutOpensItsOwnBoxAndItsOkClosesOnlyThatOne) {
  Start();
  form->About1Click();
  form->About1Click();
  const auto boxes = form->findChildren<ui::TAboutQuorlin*>();
  ASSERT_EQ(boxes.size(), 2);
  QPointer<ui::TAboutQuorlin> first = boxes[0], second = boxes[1];
  EXPECT_TRUE(first->isVisible() && second->isVisible());
  EXPECT_FALSE(first->isModal());
  EXPECT_EQ(first->windowTitle(), QStringLiteral("About Quorlin"));

  QTest::mouseClick(first->okButton(), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());  // closed and released
  ASSERT_FALSE(second.isNull());
  EXPECT_TRUE(second->isVisible());
}

}  // namespace
}  // namespace quorlin::testing
