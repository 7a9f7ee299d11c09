// SPDX-License-Identifier: Apache-2.0
#include "ui/StatusLine.h"

#include <QLabel>
#include <QStatusBar>

#include "ui/TextPane.h"

namespace quorlin::ui {

QString StatusText(const CaretPosition& position) {
  return QStringLiteral("Line : %1     Char Position : %2        Total Lines: %3")
      .arg(position.line)
      .arg(position.column)
      .arg(position.total);
}

CaretPosition PanePosition(const TextPane& pane) {
  const TextPane::Position at = pane.endPosition();
  return {at.line, at.column, at.total};
}

StatusLine::StatusLine(const TextPane& pane, QStatusBar& bar)
    : pane_(pane), bar_(bar), encoding_(new QLabel(&bar)) {
  encoding_->setObjectName(QStringLiteral("EncodingPanel"));
  encoding_->setAccessibleName(QStringLiteral("Encoding"));
  encoding_->setText(EncodingName(pane.encoding()));
  bar.addPermanentWidget(encoding_);
}

void StatusLine::update() {
  const QString text = StatusText(PanePosition(pane_));
  if (bar_.currentMessage() != text) bar_.showMessage(text);
  const QString name = EncodingName(pane_.encoding());
  if (encoding_->text() != name) encoding_->setText(name);
}

}  // namespace quorlin::ui
