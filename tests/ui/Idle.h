// SPDX-License-Identifier: Apache-2.0
// Lets the program reach the point where it waits for input, as it does
// between a user's actions: the status line is rewritten there.
#pragma once

#include <QEventLoop>
#include <QTimer>

namespace quorlin::testing {

inline void WaitForIdle() {
  QEventLoop loop;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace quorlin::testing
