// SPDX-License-Identifier: Apache-2.0
#include "ui/FieldExits.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QLineEdit>

namespace quorlin::ui {

void FieldExitWatcher::watch(QLineEdit* field) {
  field->installEventFilter(this);
}

bool FieldExitWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusOut || refocusing_) return false;
  switch (static_cast<QFocusEvent*>(event)->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
      return false;
    default:
      break;
  }
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (field == nullptr) return false;
  pending_.emplace_back(field);
  if (pending_.size() == 1) {
    QMetaObject::invokeMethod(this, &FieldExitWatcher::flush, Qt::QueuedConnection);
  }
  return false;
}

int FieldExitWatcher::flush() {
  // A check's message box runs an event loop of its own, which may deliver the
  // queued call again: the outer loop goes on with whatever is pending.
  if (flushing_) return 0;
  struct Flushing {
    bool& flag;
    explicit Flushing(bool& f) : flag(f) { flag = true; }
    ~Flushing() { flag = false; }
  } flushing(flushing_);
  const int before = refocused_;
  while (!pending_.empty()) {
    const QPointer<QLineEdit> field = pending_.front();
    pending_.pop_front();
    if (field) emit left(field);
  }
  return refocused_ - before;
}

void FieldExitWatcher::refocus(QLineEdit* field) {
  ++refocused_;
  QWidget* holder = field->window()->focusWidget();
  if (auto* button = qobject_cast<QAbstractButton*>(holder); button != nullptr) {
    button->setDown(false);
  }
  refocusing_ = true;
  field->setFocus(Qt::OtherFocusReason);
  refocusing_ = false;
}

}  // namespace quorlin::ui
