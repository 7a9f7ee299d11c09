// SPDX-License-Identifier: Apache-2.0
// Long commands (Open, a change run, Save As, Print) work on a worker thread
// while the window waits for them: it goes on repainting, holds the user's
// input back, and after a moment shows a progress box whose Cancel stops the
// work.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include <QString>

#include "engine/LineStream.h"

namespace quorlin::ui {

class Dialogs;

// Thrown on the worker thread once the user cancelled; the command then ends
// having changed nothing.
struct WorkCancelled {};

// What a worker tells the window (bytes done of a total) and hears from it.
class WorkProgress {
 public:
  // Called on the worker at every advance and checkpoint, with the bytes done
  // and the cancel flag; tests slow the work down with it.
  using Hook = std::function<void(std::uint64_t done, const std::atomic<bool>& cancel)>;
  explicit WorkProgress(Hook hook = nullptr) : hook_(std::move(hook)) {}

  void setTotal(std::uint64_t total) { total_.store(total, std::memory_order_relaxed); }
  // Counts bytes done; throws WorkCancelled once the user cancelled.
  void advance(std::uint64_t bytes) {
    done_.fetch_add(bytes, std::memory_order_relaxed);
    checkpoint();
  }
  // Throws WorkCancelled once the user cancelled.
  void checkpoint() {
    if (hook_) hook_(done(), cancel_);
    if (cancel_.load(std::memory_order_relaxed)) throw WorkCancelled();
  }
  const std::atomic<bool>& cancelFlag() const { return cancel_; }
  void cancel() { cancel_.store(true); }
  std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
  std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

 private:
  Hook hook_;
  std::atomic<std::uint64_t> done_{0}, total_{0};
  std::atomic<bool> cancel_{false};
};

// Lines handed on from another source, their bytes (a line and its break)
// counted as work done every 64 KB or so.
class ProgressLines final : public LineSource {
 public:
  ProgressLines(LineSource& in, WorkProgress& progress) : in_(in), progress_(progress) {}
  bool next(std::string_view& line) override {
    const bool more = in_.next(line);
    if (more) pending_ += line.size() + 1;
    if (pending_ >= kEvery || (!more && pending_ > 0)) {
      const std::uint64_t n = pending_;
      pending_ = 0;
      progress_.advance(n);
    }
    return more;
  }

 private:
  static constexpr std::uint64_t kEvery = 1 << 16;
  LineSource& in_;
  WorkProgress& progress_;
  std::uint64_t pending_ = 0;
};

struct WorkSettings {
  int delayMs = 500;        // the progress box waits this long for the work to end
  WorkProgress::Hook hook;  // given to every command's WorkProgress
};

enum class WorkOutcome { Done, Cancelled };

// Runs work on a worker thread. Meanwhile the calling (window) thread waits
// in an event loop: paint and timer events go on, the user's input waits;
// after settings.delayMs the modal progress box (what) appears and its
// Cancel cancels the work. Returns once the worker has ended: Cancelled when
// the work ended by WorkCancelled, Done otherwise; any other exception of
// the work is thrown again here. Should the event loop be told to quit
// meanwhile (the program ends), the work is cancelled and waited for.
WorkOutcome RunWithProgress(Dialogs& dialogs, const QString& what, const WorkSettings& settings,
                            const std::function<void(WorkProgress&)>& work);

}  // namespace quorlin::ui
