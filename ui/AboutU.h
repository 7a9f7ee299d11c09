// SPDX-License-Identifier: Apache-2.0
// The About box: a small window with the program's name and version, its
// copyright and licence, and an OK button that closes it. Each press of
// Help > About opens another one.
#pragma once

#include <QDialog>

class QPushButton;

namespace quorlin::ui {

class TAboutQuorlin : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutQuorlin(QWidget* parent = nullptr);

  QPushButton* okButton() const { return Button1_; }

  // Closes the box; it releases itself once closed.
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();

  QPushButton* Button1_ = nullptr;
};

}  // namespace quorlin::ui
