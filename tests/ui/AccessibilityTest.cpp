// SPDX-License-Identifier: Apache-2.0
// What assistive tools and keyboard users meet: every control's accessible
// name holds the caption it shows, scroll bars are named for what they
// scroll, and the change page works by keys alone.
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>

#include "WindowFixture.h"
#include "ui/AboutU.h"
#include "ui/ChangePage.h"
#include "ui/FindDialog.h"
#include "ui/ViewCommands.h"

namespace quorlin::testing {
namespace {

QString AccessibleText(QObject* object, QAccessible::Text which) {
  return QAccessible::queryAccessibleInterface(object)->text(which);
}

// The caption a control shows: a button's or group's own text, a field's
// label, a read-only field's text; mnemonic marks and a closing colon left out.
QString Caption(const QWidget* w) {
  QString text;
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
    text = button->text();
  } else if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
    text = group->title();
  } else {
    for (const QLabel* label : w->window()->findChildren<QLabel*>())
      if (label->buddy() == w) text = label->text();
    const auto* field = qobject_cast<const QLineEdit*>(w);
    if (text.isEmpty() && field != nullptr && field->isReadOnly()) text = field->text();
  }
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&')).replace(QLatin1Char('\x01'), QLatin1Char('&'));
  text = text.simplified();
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text.trimmed();
}

class Accessibility : public WindowTest {
 protected:
  QWidget* Focus() { return QApplication::focusWidget(); }
  // A key pressed where the focus is, as a user without a mouse presses it.
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Focus(), Qt::Key(key), modifiers);
    QCoreApplication::processEvents();
  }
};

// Every button, check box, radio button, group and field of the window and
// its dialogs (the About box and Find open) is named for assistive tools with
// words that hold its visible caption, so that "click OK" finds OK; a
// caption without words (a "<" button) still leaves a name. Scroll bars are
// named for the area they scroll.
TEST_F(Accessibility, EveryControlIsNamedAfterWhatItShows) {
  Start();
  form->About1Click();
  form->Search1Click();
  QStringList wrong;
  QSet<QString> windows;  // those whose controls were seen
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (qobject_cast<QAbstractButton*>(w) == nullptr && qobject_cast<QLineEdit*>(w) == nullptr &&
        qobject_cast<QGroupBox*>(w) == nullptr && qobject_cast<QAbstractScrollArea*>(w) == nullptr)
      continue;
    windows << w->window()->objectName();
    const QString name = AccessibleText(w, QAccessible::Name).simplified();
    const QString caption = Caption(w);
    const bool words = caption.contains(QRegularExpression(QStringLiteral("\\w")));
    if (name.isEmpty() || (words && !name.contains(caption, Qt::CaseInsensitive)))
      wrong << w->objectName() + QStringLiteral(": \"") + name + QStringLiteral("\" for \"") +
                   caption + QLatin1Char('"');
  }
  for (QScrollBar* bar : form->findChildren<QScrollBar*>()) {
    QWidget* area = bar->parentWidget();
    while (area != nullptr && qobject_cast<QAbstractScrollArea*>(area) == nullptr)
      area = area->parentWidget();
    if (area == nullptr) continue;  // a scroll bar of its own is a control like any other
    const QString wanted = area->accessibleName() + (bar->orientation() == Qt::Vertical
                                                         ? QStringLiteral(", vertical")
                                                         : QStringLiteral(", horizontal"));
    const QString name = AccessibleText(bar, QAccessible::Name);
    if (area->accessibleName().isEmpty() || name != wanted)
      wrong << area->objectName() + QStringLiteral(" scroll bar: \"") + name + QLatin1Char('"');
  }
  EXPECT_EQ(wrong, QStringList());
  EXPECT_EQ(windows, (QSet<QString>{QStringLiteral("Form1"), QStringLiteral("AboutQuorlin"),
                                    QStringLiteral("FindDialog1")}));
  EXPECT_EQ(AccessibleText(ui().okButton, QAccessible::Name), QStringLiteral("OK"));
  EXPECT_EQ(AccessibleText(ui().okButton, QAccessible::Description),
            QStringLiteral("Make Changes To Current Text"));
  EXPECT_EQ(AccessibleText(ui().pane->verticalScrollBar(), QAccessible::Name),
            QStringLiteral("Current text, vertical"));
}

// The change page without a mouse: Ctrl+Tab brings it, Tab goes through its
// groups and fields in reading order (a radio group is one stop, its checked
// button) and comes round again, the arrow keys choose within a group, Space
// checks an option, and Enter on OK runs the change.
TEST_F(Accessibility, ChangePageWorksByKeysAlone) {
  Start();
  SetPaneLines({"alpha", "beta", "gamma", "delta"});
  ASSERT_EQ(Focus(), ui().pane);
  Press(Qt::Key_Tab, Qt::ControlModifier);
  ASSERT_EQ(ui().pages->currentWidget(), ui().changesPage);
  ASSERT_EQ(Focus(), ui().testButton(TestCode::Passes));

  const std::vector<QWidget*> order = {
      ui().testButton(TestCode::Passes),
      ui().field(Field::FirstLineNum),
      ui().field(Field::LastLineNum),
      ui().field(Field::LineLength),
      ui().field(Field::FirstCharPos),
      ui().field(Field::LastCharPos),
      ui().field(Field::ReplPos),
      ui().field(Field::TestKey),
      ui().field(Field::ReplacementKey),
      ui().actionButton(ActionCode::NoChange),
      ui().retainPassingOnly,
      ui().outputUpperCase,
      ui().caseSensitive,
      ui().outputLowerCase,
      ui().keyIsPattern,
      ui().okButton,
      ui().previewList,
  };
  std::vector<QWidget*> seen;
  for (std::size_t i = 0; i < order.size(); ++i) {
    seen.push_back(Focus());
    Press(Qt::Key_Tab);
  }
  EXPECT_EQ(seen, order);
  // Round again (the preview's buttons are off: its changes fit one page).
  ASSERT_EQ(Focus(), order.front());

  // Test 3 ("contains the key"): two rows down its column.
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  EXPECT_TRUE(ui().testButton(TestCode::HasKey)->isChecked());
  EXPECT_EQ(Focus(), ui().testButton(TestCode::HasKey));
  for (int i = 0; i < 7; ++i) Press(Qt::Key_Tab);
  ASSERT_EQ(Focus(), ui().field(Field::TestKey));
  TypeText(Focus(), QStringLiteral("ta"));
  Press(Qt::Key_Tab);
  Press(Qt::Key_Tab);
  // Action 14 ("delete the line"): right of NO CHANGE's row, one row down.
  ASSERT_EQ(Focus(), ui().actionButton(ActionCode::NoChange));
  Press(Qt::Key_Right);
  Press(Qt::Key_Down);
  EXPECT_TRUE(ui().actionButton(ActionCode::DeleteLine)->isChecked());
  Press(Qt::Key_Tab);
  Press(Qt::Key_Tab);
  ASSERT_EQ(Focus(), ui().outputUpperCase);
  Press(Qt::Key_Space);
  EXPECT_TRUE(ui().outputUpperCase->isChecked());
  for (int i = 0; i < 4; ++i) Press(Qt::Key_Tab);
  ASSERT_EQ(Focus(), ui().okButton);
  Press(Qt::Key_Return);
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"ALPHA", "GAMMA"}));
  EXPECT_EQ(dialogs.texts(), QStringList{QString::fromLatin1(ui::kCheckBoxReminder)});
  dialogs.saveAnswers = {ui::SaveChoice::Discard};
}

}  // namespace
}  // namespace quorlin::testing
