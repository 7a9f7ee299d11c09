// SPDX-License-Identifier: Apache-2.0
// The threads of a parallel run: a bounded queue between them, and a pool of
// workers that take tasks in order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quorlin {

// A queue that holds at most a given number of items; pushing waits for room.
// Once closed, pushes fail and pops drain what is left.
template <class T>
class BoundedQueue {
 public:
  explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}
  bool push(T item) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    ready_.notify_one();
    return true;
  }
  std::optional<T> pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return closed_ || !items_.empty(); });
    if (items_.empty()) return std::nullopt;
    T item = std::move(items_.front());
    items_.pop_front();
    room_.notify_one();
    return item;
  }
  void close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    room_.notify_all();
    ready_.notify_all();
  }

 private:
  std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable room_, ready_;
  std::deque<T> items_;
  bool closed_ = false;
};

// Threads that run tasks in the order given; a task learns which thread runs
// it (0 to n - 1), so that it may use that thread's own state.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned n) {
    for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this, i] { loop(i); });
  }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool() { stop(); }
  void submit(std::function<void(unsigned)> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    changed_.notify_one();
  }
  // Runs the tasks already given, then ends the threads.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
      if (t.joinable()) t.join();
  }

 private:
  void loop(unsigned index) {
    for (;;) {
      std::function<void(unsigned)> task;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task(index);  // tasks catch everything themselves
    }
  }
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void(unsigned)>> tasks_;
  bool stopping_ = false;
};

}  // namespace quorlin
