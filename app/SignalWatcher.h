// SPDX-License-Identifier: Apache-2.0
// The signals that end the editor from outside (kill, a closed terminal,
// Ctrl+C), turned into a call on the event loop, where the window can close
// and clean up as it always does.
#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace quorlin::app {

// While it lives, SIGTERM, SIGHUP and SIGINT (those not ignored at start) are
// caught: the handler only writes the signal's number to a pipe, and the event
// loop reads it and calls onSignal with it; no toolkit call is made inside the
// handler. SIGXFSZ is ignored, so that a write beyond a file-size limit fails
// with "Disk full" instead of ending the program. The earlier handling comes
// back when the watcher goes. One watcher at a time.
class SignalWatcher : public QObject {
  Q_OBJECT
 public:
  explicit SignalWatcher(std::function<void(int)> onSignal, QObject* parent = nullptr);
  ~SignalWatcher() override;

 private:
  void readSignals();

  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
  int pipe_[2] = {-1, -1};
};

}  // namespace quorlin::app
