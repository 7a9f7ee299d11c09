// SPDX-License-Identifier: Apache-2.0
#include "ui/Dialogs.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QProgressDialog>

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

// The bar counts in steps of a thousandth, whatever the size in bytes.
class QtProgressBox final : public ProgressBox {
 public:
  QtProgressBox(QWidget* parent, const QString& what)
      : dialog_(what, QStringLiteral("Cancel"), 0, kSteps, parent) {
    dialog_.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setAutoReset(false);
    dialog_.setAutoClose(false);
    dialog_.setMinimumDuration(0);
    dialog_.setValue(0);
    dialog_.show();
  }
  void setProgress(std::uint64_t done, std::uint64_t total) override {
    if (total == 0) {
      dialog_.setMaximum(0);
      return;
    }
    dialog_.setMaximum(kSteps);
    dialog_.setValue(int(std::min<std::uint64_t>(done, total) * kSteps / total));
  }
  bool cancelled() override { return dialog_.wasCanceled(); }

 private:
  static constexpr int kSteps = 1000;
  QProgressDialog dialog_;
};

}  // namespace

SaveChoice QtDialogs::saveQuestion(const QString& text) {
  const int pressed =
      ShowBox(parent_, QMessageBox::Warning, QString::fromLatin1(kApplicationTitle), text,
              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
  if (pressed == QMessageBox::Save) return SaveChoice::Save;
  if (pressed == QMessageBox::Discard) return SaveChoice::Discard;
  return SaveChoice::Cancel;
}

std::unique_ptr<ProgressBox> QtDialogs::showProgress(const QString& what) {
  return std::make_unique<QtProgressBox>(parent_, what);
}

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

QString QtDialogs::openFileName(const QString& folder, const QString& filter,
                                const QString& caption) {
  return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString QtDialogs::saveFileName(const QString& folder, const QString& name, const QString& caption,
                                const QString& filter) {
  const QString proposed = folder.isEmpty() ? name : QDir(folder).filePath(name);
  return QFileDialog::getSaveFileName(parent_, caption, proposed, filter);
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
