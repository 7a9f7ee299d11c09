// SPDX-License-Identifier: Apache-2.0
#include "cli/Signals.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#ifndef _WIN32
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#ifdef __linux__
#include <sys/signalfd.h>
#endif
#endif

namespace quorlin::batch {

namespace {

// The temporary files in use, and the lock under which they are created,
// committed, removed and, at an ending signal, removed for good. Neither is
// ever destroyed: the signal may come while the program exits.
std::mutex& TemporariesLock() {
  static auto* m = new std::mutex;
  return *m;
}
std::set<std::string>& Temporaries() {
  static auto* s = new std::set<std::string>;
  return *s;
}

#ifndef _WIN32
sigset_t& EndingSet() {
  static sigset_t set;
  return set;
}
std::atomic<bool> gEnding{false};

// An ending signal has come: taken by the waiting thread, or still pending.
bool Ending() {
  if (gEnding.load()) return true;
  sigset_t pending;
  if (::sigpending(&pending) != 0) return false;
  for (int sig : {SIGTERM, SIGHUP, SIGINT})
    if (sigismember(&EndingSet(), sig) == 1 && sigismember(&pending, sig) == 1) return true;
  return false;
}
#else
bool Ending() {
  return false;
}
#endif

}  // namespace

#ifndef _WIN32

// Every thread holds the ending signals back; one thread waits for them, so
// that removing the files is ordinary code under the lock, not a handler.
void HandleEndingSignals() {
  std::signal(SIGXFSZ, SIG_IGN);
  sigset_t& set = EndingSet();
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    struct sigaction before {};
    if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaddset(&set, sig);
  }
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set] {
    int sig = 0;
#ifdef __linux__
    // Waits until an ending signal is pending without taking it, so that a
    // commit() that comes meanwhile still sees it pending: the signal cannot
    // be lost between being taken here and the flag being set.
    const int fd = ::signalfd(-1, &set, SFD_CLOEXEC);
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      while (::poll(&p, 1, -1) != 1 || (p.revents & POLLIN) == 0) {
      }
      gEnding = true;
    }
#endif
    while (::sigwait(&set, &sig) != 0) {
    }
    gEnding = true;
    TemporariesLock().lock();  // held until the end: no temporary file is made after this
    for (const std::string& t : Temporaries()) ::unlink(t.c_str());
    std::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);  // ends the program as the signal would have
  }).detach();
}

#else
void HandleEndingSignals() {}
#endif

GuardedOutput::GuardedOutput(const std::string& target) {
  const std::lock_guard lock(TemporariesLock());
  file_.emplace(target);
  temporary_ = file_->temporary();
  if (!temporary_.empty()) Temporaries().insert(temporary_);
}

GuardedOutput::~GuardedOutput() {
  const std::lock_guard lock(TemporariesLock());
  file_.reset();
  if (!temporary_.empty()) Temporaries().erase(temporary_);
}

void GuardedOutput::commit() {
  std::unique_lock lock(TemporariesLock());
  // A signal that came before the end wins: the target stays as it was.
  if (Ending()) {
    lock.unlock();
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  file_->commit();
  if (!temporary_.empty()) Temporaries().erase(temporary_);
  temporary_.clear();
}

}  // namespace quorlin::batch
