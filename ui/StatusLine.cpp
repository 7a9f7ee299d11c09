// SPDX-License-Identifier: Apache-2.0
#include "ui/StatusLine.h"

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

void StatusLine::update() {
  const QString text = StatusText(PanePosition(pane_));
  if (bar_.currentMessage() != text) bar_.showMessage(text);
}

}  // namespace quorlin::ui
