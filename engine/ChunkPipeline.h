// SPDX-License-Identifier: Apache-2.0
// The threads of a run over chunks: a reader thread cuts the input into
// chunks, a pool of workers works on them at once, and the calling thread
// takes the results in input order. At most 2 * jobs + 2 chunks are under
// way, so memory stays flat whatever the length of the input.
#pragma once

#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "engine/Chunks.h"
#include "engine/WorkThreads.h"

namespace quorlin {

// Runs work over every chunk that reader hands out, on jobs threads. Work
// provides:
//   Result work(const Chunk& chunk, unsigned worker): on the worker numbered
//     worker (0 to jobs - 1), chunks in any order, several at once;
//   bool take(const Chunk& chunk, Result result): on the calling thread, in
//     input order; false ends the run early.
// When it returns, every thread has ended. An exception from the reader or a
// worker comes out of the call, in input order, and so does one from take.
template <class Work>
void RunChunkPipeline(ChunkReader& reader, unsigned jobs, Work& work) {
  using Result = decltype(work.work(std::declval<const Chunk&>(), 0U));
  struct Item {
    std::shared_ptr<const Chunk> chunk;
    std::future<Result> result;
    std::exception_ptr error;  // the reader failed
  };
  BoundedQueue<Item> queue(2 * std::size_t(jobs) + 2);
  WorkerPool workers(jobs);
  std::thread readerThread([&] {
    try {
      reader.readAll([&](std::shared_ptr<const Chunk> c) {
        auto promise = std::make_shared<std::promise<Result>>();
        Item item{c, promise->get_future(), nullptr};
        workers.submit([&work, c, promise](unsigned worker) {
          try {
            promise->set_value(work.work(*c, worker));
          } catch (...) {
            promise->set_exception(std::current_exception());
          }
        });
        return queue.push(std::move(item));
      });
    } catch (...) {
      Item failed;
      failed.error = std::current_exception();
      queue.push(std::move(failed));
    }
    queue.close();
  });
  auto shutdown = [&] {
    reader.cancel();  // a read waiting for input that the run no longer needs
    queue.close();
    readerThread.join();
    workers.stop();
  };
  try {
    while (std::optional<Item> item = queue.pop()) {
      if (item->error) std::rethrow_exception(item->error);
      if (!work.take(*item->chunk, item->result.get())) break;
    }
  } catch (...) {
    shutdown();
    throw;
  }
  shutdown();
}

}  // namespace quorlin
