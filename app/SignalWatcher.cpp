// SPDX-License-Identifier: Apache-2.0
#include "app/SignalWatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace quorlin::app {

#ifdef Q_OS_UNIX
namespace {

constexpr int kEnding[] = {SIGTERM, SIGHUP, SIGINT};
int gWriteEnd = -1;
struct sigaction gSaved[3];
bool gInstalled[3];
void (*gSavedFileSize)(int) = SIG_DFL;

extern "C" void WriteSignal(int sig) {
  const int saved = errno;
  const auto b = static_cast<unsigned char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(gWriteEnd, &b, 1);
  errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  gSavedFileSize = std::signal(SIGXFSZ, SIG_IGN);
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gWriteEnd = pipe_[1];
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::readSignals);
  struct sigaction action {};
  action.sa_handler = WriteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) {
    gInstalled[i] = ::sigaction(kEnding[i], nullptr, &gSaved[i]) == 0 &&
                    gSaved[i].sa_handler != SIG_IGN &&
                    ::sigaction(kEnding[i], &action, nullptr) == 0;
  }
}

SignalWatcher::~SignalWatcher() {
  for (int i = 0; i < 3; ++i) {
    if (gInstalled[i]) ::sigaction(kEnding[i], &gSaved[i], nullptr);
    gInstalled[i] = false;
  }
  std::signal(SIGXFSZ, gSavedFileSize);
  gWriteEnd = -1;
  for (int fd : pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void SignalWatcher::readSignals() {
  unsigned char caught[16];
  for (ssize_t n; (n = ::read(pipe_[0], caught, sizeof caught)) > 0;) {
    for (ssize_t i = 0; i < n; ++i) onSignal_(caught[i]);
  }
}
#else
SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {}
SignalWatcher::~SignalWatcher() = default;
void SignalWatcher::readSignals() {}
#endif

}  // namespace quorlin::app
