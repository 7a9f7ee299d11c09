// SPDX-License-Identifier: Apache-2.0
// The busy pointer while a command works: shown for the guard's lifetime, so
// that every way out of the command (a refusal, a stop, an error, an
// exception) turns it back to normal.
#pragma once

#include <QApplication>
#include <QCursor>

namespace quorlin::ui {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace quorlin::ui
