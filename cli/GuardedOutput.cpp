// SPDX-License-Identifier: Apache-2.0
#include "cli/GuardedOutput.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

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

// The output files: the temporary files in use, the outputs in place and
// how many are still to come, and the lock under which they are created,
// committed, removed and, at an ending signal, removed for good. Neither is
// ever destroyed: the signal may come while the program exits.
struct Outputs {
  std::set<std::string> temporaries;
  std::vector<std::string> committed;  // the names of the outputs in place
  std::size_t left = 1;                // outputs neither committed nor given up
};
std::mutex& OutputsLock() {
  static auto* m = new std::mutex;
  return *m;
}
Outputs& TheOutputs() {
  static auto* o = new Outputs;
  return *o;
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
    std::unique_lock lock(OutputsLock());
    Outputs& outputs = TheOutputs();
    for (const std::string& t : outputs.temporaries) ::unlink(t.c_str());
    if (outputs.left == 0) {
      // Every output is in place: the signal stops nothing. The program
      // finishes as it would have, unless a second signal comes.
      lock.unlock();
      while (::sigwait(&set, &sig) != 0) {
      }
    } else {
      // The lock is held until the end: no temporary file is made after this.
      std::string done;
      for (const std::string& name : outputs.committed)
        done += "quorlin-batch: " + name + ": written before the stop\n";
      for (std::size_t at = 0; at < done.size();) {
        const ssize_t n = ::write(2, done.data() + at, done.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
    }
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

void ExpectOutputs(std::size_t count) {
  const std::lock_guard lock(OutputsLock());
  TheOutputs().left = count;
}

void GiveUpOutput() {
  const std::lock_guard lock(OutputsLock());
  if (TheOutputs().left > 0) --TheOutputs().left;
}

GuardedOutput::GuardedOutput(const std::string& target, const std::string& name)
    : name_(name.empty() ? target : name) {
  const std::lock_guard lock(OutputsLock());
  file_.emplace(target);
  temporary_ = file_->temporary();
  if (!temporary_.empty()) TheOutputs().temporaries.insert(temporary_);
}

GuardedOutput::~GuardedOutput() {
  const std::lock_guard lock(OutputsLock());
  file_.reset();
  if (!temporary_.empty()) TheOutputs().temporaries.erase(temporary_);
}

void GuardedOutput::commit() {
  std::unique_lock lock(OutputsLock());
  // A signal that came before the end wins: the target stays as it was.
  if (Ending()) {
    lock.unlock();
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  file_->commit();
  Outputs& outputs = TheOutputs();
  if (!temporary_.empty()) outputs.temporaries.erase(temporary_);
  temporary_.clear();
  outputs.committed.push_back(name_);
  if (outputs.left > 0) --outputs.left;
}

}  // namespace quorlin::batch
