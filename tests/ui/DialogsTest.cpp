// SPDX-License-Identifier: Apache-2.0
// The real message boxes, answered by a timer as a user would answer them:
// their headings, signs and buttons, and field checks whose box opens a
// modal loop of its own just after the focus moved.
#include <QAbstractButton>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "WindowFixture.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"

namespace quorlin::testing {
namespace {

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon;
  Qt::TextFormat format;
};

// Presses the given buttons, one per box, on the boxes as they open; then
// activates the window the box came from, as a window manager does.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::deque<QMessageBox::StandardButton> answers, QWidget* owner = nullptr)
      : answers_(std::move(answers)), owner_(owner) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }
  std::vector<SeenBox> seen;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || answers_.empty()) return;
    seen.push_back({box->windowTitle(), box->text(), box->icon(), box->textFormat()});
    const QMessageBox::StandardButton answer = answers_.front();
    answers_.pop_front();
    if (answer == QMessageBox::Escape) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else {
      box->button(answer)->click();
    }
    if (owner_) QTimer::singleShot(0, owner_, [w = owner_] { w->activateWindow(); });
  }
  std::deque<QMessageBox::StandardButton> answers_;
  QPointer<QWidget> owner_;
  QTimer timer_;
};

TEST(RealDialogs, BoxesCarryTheirHeadingSignAndButtons) {
  ui::QtDialogs dialogs(nullptr);
  BoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Escape,
                        QMessageBox::Ok});
  dialogs.message(QStringLiteral("'<b>x</b>' is not a valid integer value"));
  EXPECT_TRUE(dialogs.confirm(QStringLiteral("Q1")));
  EXPECT_FALSE(dialogs.confirm(QStringLiteral("Q2")));
  EXPECT_FALSE(dialogs.confirm(QStringLiteral("Q3")));  // closed with Escape
  dialogs.error(QStringLiteral("File not found\n/x/y"));

  const QString title = QString::fromLatin1(ui::kApplicationTitle);
  ASSERT_EQ(answerer.seen.size(), 5u);
  const SeenBox& message = answerer.seen[0];
  EXPECT_EQ(message.title, title);
  EXPECT_EQ(message.icon, QMessageBox::NoIcon);
  EXPECT_EQ(message.format, Qt::PlainText);  // what the user typed is not markup
  EXPECT_EQ(message.text, QStringLiteral("'<b>x</b>' is not a valid integer value"));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(answerer.seen[i].title, QStringLiteral("Confirm"));
    EXPECT_EQ(answerer.seen[i].icon, QMessageBox::Question);
  }
  EXPECT_EQ(answerer.seen[4].title, title);
  EXPECT_EQ(answerer.seen[4].icon, QMessageBox::Critical);
}

// The font dialog starts from the font it is given, as drawn, even one asked
// for by a name that stands for another and in pixels; OK without a change
// gives that font back unchanged, and a change of size is a new font.
TEST(RealDialogs, TheFontDialogStartsFromTheGivenFont) {
  ui::QtDialogs dialogs(nullptr);
  QFont chosenSize;
  chosenSize.setPointSize(20);
  for (const QFont& given : {ui::PaneFont(), chosenSize}) {
    QString shownFamily;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      shownFamily = dialog->currentFont().family();
      dialog->accept();
    });
    EXPECT_EQ(dialogs.chooseFont(given), given);
    EXPECT_EQ(shownFamily, QFontInfo(given).family());
  }
  QTimer::singleShot(50, [] {
    auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    QFont larger = dialog->currentFont();
    larger.setPointSize(larger.pointSize() + 4);
    dialog->setCurrentFont(larger);
    dialog->accept();
  });
  const std::optional<QFont> larger = dialogs.chooseFont(ui::PaneFont());
  ASSERT_TRUE(larger.has_value());
  EXPECT_EQ(larger->family(), QFontInfo(ui::PaneFont()).family());
  EXPECT_GT(larger->pointSizeF(), QFontInfo(ui::PaneFont()).pointSizeF() + 3);
}

class RealBoxes : public WindowTest {
 protected:
  void StartWithRealBoxes() {
    FormOptions options;
    options.programFolder = folder();
    form = std::make_unique<TForm1>(options);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

TEST_F(RealBoxes, FieldCheckBoxOpensAfterTheFocusMovedAndGivesItBack) {
  StartWithRealBoxes();
  BoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Ok}, form.get());
  TypeAndLeave(ui().field(Field::FirstLineNum), QStringLiteral("abc"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.seen.size() == 1; }));
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return QApplication::focusWidget() == ui().field(Field::FirstLineNum);
  })) << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                      : std::string("no focus"));
  EXPECT_EQ(ui().field(Field::FirstLineNum)->text(), QStringLiteral("0"));

  // Pressing OK while the field holds a bad value: the box, the focus back,
  // the button let go, and no run.
  SetPaneLines({"x\ty"});
  ui().field(Field::FirstLineNum)->selectAll();
  TypeText(ui().field(Field::FirstLineNum), QStringLiteral("1e"));
  ClickOk();
  EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.seen.size() == 2; }));
  EXPECT_EQ(answerer.seen[1].text, QStringLiteral("'1e' is not a valid integer value"));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return QApplication::focusWidget() == ui().field(Field::FirstLineNum); }));
  EXPECT_FALSE(ui().okButton->isDown());
  EXPECT_EQ(PaneLines(), std::vector<std::string>{"x\ty"});
  QTest::qWait(50);
  EXPECT_EQ(answerer.seen.size(), 2u);  // nothing asked twice
}

}  // namespace
}  // namespace quorlin::testing
