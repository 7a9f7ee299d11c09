// SPDX-License-Identifier: Apache-2.0
// Takes a picture of each page of the main window as it shows at first show
// on a 1024x768 and a 1920x1080 screen, and the find dialog, for looking at the
// layout by eye:
//   quorlin_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>

#include "app/UQuorlin.h"
#include "engine/LineList.h"
#include "text/Text.h"
#include "ui/AboutU.h"
#include "ui/FindDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(out);

  for (const QSize screen : {QSize(1024, 768), QSize(1920, 1080)}) {
    quorlin::app::FormOptions options;
    options.programFolder = QDir::tempPath();
    options.screenSize = screen;
    quorlin::app::TForm1 form(options);
    form.controls().pane->setText(quorlin::text::Text::fromBytes(
        "Sample text\tafter a tab\n<p>tag-like line</p>\n\nlast line\n"));
    form.controls().nullsReminder->setVisible(true);  // as after a cleaned copy
    form.show();
    QCoreApplication::processEvents();
    const QString size = QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
    for (int page = 0; page < 2; ++page) {
      form.controls().pages->setCurrentIndex(page);
      QCoreApplication::processEvents();
      const QString file = QStringLiteral("%1/page%2-%3.png").arg(out).arg(page + 1).arg(size);
      if (!form.grab().save(file)) return 1;
    }
    quorlin::ui::FindDialog& find = form.view().findDialog();
    find.openAt(form.geometry().center());
    QCoreApplication::processEvents();
    if (!find.grab().save(QStringLiteral("%1/find-%2.png").arg(out).arg(size))) return 1;
    find.hide();
    form.close();
  }
  quorlin::ui::TAboutQuorlin about;
  about.show();
  QCoreApplication::processEvents();
  return about.grab().save(out + QStringLiteral("/about.png")) ? 0 : 1;
}
