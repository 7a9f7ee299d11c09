// SPDX-License-Identifier: Apache-2.0
// Leaving a parameter field. The field's check runs just after the focus has
// moved on, not inside the change of focus, so that a message box shown by
// the check never runs in the middle of that change.
//
// The focus leaving a field counts as leaving it when the user moves to
// another control (click, Tab, a hidden page). It does not count when the
// window loses the focus as a whole (another window, a message box, a menu
// or a context menu opening), nor when a check gives the focus back to its
// field.
#pragma once

#include <deque>

#include <QObject>
#include <QPointer>

class QLineEdit;

namespace quorlin::ui {

class FieldExitWatcher : public QObject {
  Q_OBJECT
 public:
  explicit FieldExitWatcher(QObject* parent = nullptr) : QObject(parent) {}

  void watch(QLineEdit* field);

  // Runs now the checks of fields left but not yet checked, in the order they
  // were left. A command started by a click (OK) calls it first, so that the
  // field it took the focus from has been checked. Returns how many checks
  // gave the focus back to their field.
  int flush();

  // Gives the focus back to a field after its check showed a message. The
  // control the focus is taken from was not left by the user and is not
  // checked; a button pressed to leave the field is let go without a click.
  void refocus(QLineEdit* field);

 signals:
  void left(QLineEdit* field);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::deque<QPointer<QLineEdit>> pending_;
  bool flushing_ = false;
  bool refocusing_ = false;
  int refocused_ = 0;
};

}  // namespace quorlin::ui
