// SPDX-License-Identifier: Apache-2.0
// Checks the window's layout on the screen it runs on, at the scale the
// environment asks for (QT_SCALE_FACTOR): both pages of the main window, the
// About box and the Find dialog are shown, each is saved as a picture, and
// every control is compared in device pixels: no caption cut off, no two
// controls of one parent overlapping, each control within its parent, each
// window on the screen. One line per finding; the exit status is 1 when any.
//   quorlin_layout_check OUTPUT_FOLDER
#include <cmath>
#include <cstdio>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/UQuorlin.h"
#include "text/Text.h"
#include "ui/AboutU.h"
#include "ui/FindDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

namespace {

int findings = 0;

void Report(const QWidget* w, const QString& what) {
  ++findings;
  std::printf("FAIL %s: %s\n", qPrintable(w->objectName()), qPrintable(what));
}

// A rectangle of the window in device pixels, as the screen shows it.
QRect OnScreen(const QWidget* w, const QRect& local) {
  const double ratio = w->devicePixelRatioF();
  const QPointF at = w->mapToGlobal(local.topLeft());
  const auto px = [ratio](double v) { return int(std::lround(v * ratio)); };
  return {QPoint(px(at.x()), px(at.y())),
          QPoint(px(at.x() + local.width()) - 1, px(at.y() + local.height()) - 1)};
}

// The width a caption takes where it is drawn, trailing blanks unseen.
double CaptionWidth(const QWidget* w, QString text) {
  text.remove(QLatin1Char('&'));
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return QFontMetricsF(w->font(), w).horizontalAdvance(text);
}

bool IsLeaf(const QWidget* w) {
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
         qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractScrollArea*>(w) ||
         qobject_cast<const QStatusBar*>(w) || qobject_cast<const QTabBar*>(w);
}

// The caption of a control fits the room its style gives it.
void CheckCaption(const QWidget* w) {
  const auto room = [&](const QAbstractButton* b, QStyle::SubElement contents) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    option.rect = b->rect();
    return b->style()->subElementRect(contents, &option, b).width();
  };
  double need = 0, have = 0;
  if (const auto* b = qobject_cast<const QCheckBox*>(w)) {
    need = CaptionWidth(b, b->text());
    have = room(b, QStyle::SE_CheckBoxContents);
  } else if (const auto* b = qobject_cast<const QRadioButton*>(w)) {
    need = CaptionWidth(b, b->text());
    have = room(b, QStyle::SE_RadioButtonContents);
  } else if (const auto* b = qobject_cast<const QPushButton*>(w)) {
    need =
        CaptionWidth(b, b->text()) + b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
    have = b->width();
  } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->wordWrap() || l->textFormat() == Qt::RichText) {
      need = l->heightForWidth(l->width());
      have = l->height();
    } else {
      need = CaptionWidth(l, l->text());
      have = l->contentsRect().width();
    }
  } else if (const auto* e = qobject_cast<const QLineEdit*>(w); e != nullptr && e->isReadOnly()) {
    need = CaptionWidth(e, e->text()) + 8;  // the frame and its inner margins
    have = e->width();
  }
  if (need > have)
    Report(w, QStringLiteral("caption needs %1, has %2 (logical pixels)").arg(need).arg(have));
  // A group without a layout asks for the room of its title and frame.
  if (const auto* g = qobject_cast<const QGroupBox*>(w);
      g && g->minimumSizeHint().width() > g->width())
    Report(w, QStringLiteral("title runs past the group"));
}

// The visible controls under a container: each inside it, none overlapping
// another (a seam of one logical pixel, as between radio buttons 17 high
// that stand 16 apart, is no overlap), each caption whole.
void CheckChildren(const QWidget* parent) {
  QList<const QWidget*> controls;
  for (const QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!w->isVisible() || w->isWindow()) continue;
    if (!IsLeaf(w)) CheckChildren(w);
    // Qt's own parts (the tab widget's pages holder, a scroll area's bars)
    // are checked through what they hold.
    if (w->objectName().startsWith(QLatin1String("qt_"))) continue;
    controls << w;
    CheckCaption(w);
  }
  const QRect inside = OnScreen(parent, parent->rect());
  const int seam = int(std::ceil(parent->devicePixelRatioF()));
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const QRect a = OnScreen(controls[i], controls[i]->rect());
    if (!inside.contains(a))
      Report(controls[i], QStringLiteral("reaches out of %1").arg(parent->objectName()));
    for (qsizetype j = i + 1; j < controls.size(); ++j) {
      const QRect both = a & OnScreen(controls[j], controls[j]->rect());
      if (both.width() > seam && both.height() > seam)
        Report(controls[i], QStringLiteral("overlaps %1").arg(controls[j]->objectName()));
    }
  }
}

void CheckWindow(QWidget* window, const QString& picture) {
  QCoreApplication::processEvents();
  const QRect screen = window->screen()->geometry();
  if (!screen.contains(window->frameGeometry()))
    Report(window, QStringLiteral("its frame is not all on the screen"));
  CheckChildren(window);
  if (!window->grab().save(picture)) Report(window, QStringLiteral("no picture ") + picture);
  std::printf("     %s: %dx%d at scale %g, picture %s\n", qPrintable(window->objectName()),
              window->width(), window->height(), window->devicePixelRatioF(), qPrintable(picture));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("layout");
  QDir().mkpath(out);
  QTemporaryDir work;

  quorlin::app::FormOptions options;
  options.programFolder = work.path();
  quorlin::app::TForm1 form(options);
  quorlin::ui::MainWindowUi& ui = form.controls();
  ui.pane->setText(quorlin::text::Text::fromBytes("Sample text\tafter a tab\n\nlast line\n"));
  ui.nullsReminder->setVisible(true);  // as after a cleaned copy
  form.show();
  for (int page = 0; page < ui.pages->count(); ++page) {
    ui.pages->setCurrentIndex(page);
    CheckWindow(&form, QStringLiteral("%1/page%2.png").arg(out).arg(page + 1));
  }
  form.About1Click();
  CheckWindow(form.findChild<quorlin::ui::TAboutQuorlin*>(), out + QStringLiteral("/about.png"));
  form.Search1Click();
  CheckWindow(&form.view().findDialog(), out + QStringLiteral("/find.png"));
  std::printf("%s\n", findings == 0 ? "ok   no caption cut off, no controls overlapping"
                                    : "FAIL the layout above");
  return findings == 0 ? 0 : 1;
}
