// SPDX-License-Identifier: Apache-2.0
#include "ui/FindDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/PatternHelp.h"

namespace quorlin::ui {
namespace {

// The top-left corner nearest to the one asked for that keeps a window of
// this size whole on the screen (the one holding that corner, else fallback).
QPoint Within(const QPoint& topLeft, const QSize& size, const QScreen* fallback) {
  const QScreen* screen = QGuiApplication::screenAt(topLeft);
  if (screen == nullptr) screen = fallback;
  if (screen == nullptr) return topLeft;
  const QRect room = screen->availableGeometry();
  return {std::max(room.left(), std::min(topLeft.x(), room.right() + 1 - size.width())),
          std::max(room.top(), std::min(topLeft.y(), room.bottom() + 1 - size.height()))};
}

}  // namespace

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindDialog1"));
  setWindowTitle(QStringLiteral("Find"));
  setModal(false);

  auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("FindText"));
  text_->setMinimumWidth(180);
  label->setBuddy(text_);
  pattern_ = new QCheckBox(QStringLiteral("&Pattern"), this);
  pattern_->setObjectName(QStringLiteral("FindPattern"));
  pattern_->setAccessibleDescription(QStringLiteral("The search text is a pattern"));
  pattern_->setToolTip(QString::fromLatin1(kPatternSyntax));

  findNext_ = new QPushButton(QStringLiteral("&Find Next"), this);
  findNext_->setObjectName(QStringLiteral("FindNext"));
  findNext_->setDefault(true);
  findNext_->setEnabled(false);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("Cancel"));

  auto* field = new QHBoxLayout;
  field->addWidget(label);
  field->addWidget(text_, 1);
  auto* left = new QVBoxLayout;
  left->addLayout(field);
  left->addWidget(pattern_);
  left->addStretch(1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findNext_);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addLayout(buttons);

  // Nothing to look for, nothing to press.
  connect(text_, &QLineEdit::textChanged, this,
          [this](const QString& t) { findNext_->setEnabled(!t.isEmpty()); });
  connect(findNext_, &QPushButton::clicked, this, [this] {
    if (!text_->text().isEmpty()) emit findNextPressed();
  });
  // Cancel and Escape only hide the dialog: it keeps its text for next time.
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QString FindDialog::searchText() const {
  return text_->text();
}

void FindDialog::setSearchText(const QString& text) {
  text_->setText(text);
}

bool FindDialog::isPattern() const {
  return pattern_->isChecked();
}

void FindDialog::openAt(const QPoint& topLeft) {
  ensurePolished();  // the style's sizes, before the size is taken
  adjustSize();
  // The window frame's size is known once the dialog has been shown: placed
  // again then if it has to move in.
  move(Within(topLeft, frameGeometry().size(), screen()));
  show();
  const QPoint inside = Within(topLeft, frameGeometry().size(), screen());
  if (inside != pos()) move(inside);
  raise();
  activateWindow();
  text_->setFocus(Qt::OtherFocusReason);
  text_->selectAll();
}

}  // namespace quorlin::ui
