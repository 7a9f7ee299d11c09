#include "ui/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontDialog>
#include <QMessageBox>

namespace quorlin::ui {
namespace {

// Texts are shown as they are: a message may quote what the user typed, and
// "<b>" in a field must not turn the box's text bold.
int ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton escape) {
  QMessageBox box(icon, title, text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setEscapeButton(escape);
  return box.exec();
}

}  // namespace

void QtDialogs::message(const QString& text) {
  ShowBox(parent_, QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text,
          QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::confirm(const QString& text) {
  return ShowBox(parent_, QMessageBox::Question, QStringLiteral("Confirm"), text,
                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

void QtDialogs::error(const QString& text) {
  ShowBox(parent_, QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text,
          QMessageBox::Ok, QMessageBox::Ok);
}

QString QtDialogs::openFileName(const QString& folder, const QString& filter) {
  return QFileDialog::getOpenFileName(parent_, QString(), folder, filter);
}

QString QtDialogs::saveFileName(const QString& folder, const QString& name) {
  const QString proposed = folder.isEmpty() ? name : QDir(folder).filePath(name);
  return QFileDialog::getSaveFileName(parent_, QString(), proposed);
}

std::optional<QFont> QtDialogs::chooseFont(const QFont& initial) {
  // The dialog lists installed families in points. A font asked for by a name
  // that stands for another (the pane's "Trebuchet MS") or in pixels is shown
  // as the font it is drawn with, at its size in points; otherwise the dialog
  // would start from its own default. OK without a change keeps the font as
  // it was.
  const QFontInfo drawn(initial);
  QFont start = initial;
  start.setFamilies({drawn.family()});
  start.setPointSizeF(drawn.pointSizeF());
  QFontDialog dialog(start, parent_);
  dialog.setObjectName(QStringLiteral("FontDialog1"));
  const QFont offered = dialog.currentFont();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QFont chosen = dialog.selectedFont();
  if (chosen == offered) return initial;
  return chosen;
}

}  // namespace quorlin::ui
