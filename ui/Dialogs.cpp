#include "ui/Dialogs.h"

#include <QDir>
#include <QFileDialog>
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
  QFontDialog dialog(initial, parent_);
  dialog.setObjectName(QStringLiteral("FontDialog1"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFont();
}

}  // namespace quorlin::ui
