// SPDX-License-Identifier: Apache-2.0
// A text cut into chunks of whole lines for a run on several threads, each
// chunk with the boundary it starts from as far as the bytes before it tell.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ByteBuffer.h"
#include "engine/ByteStreams.h"
#include "engine/ChangeRun.h"
#include "engine/ParallelRun.h"
#include "engine/Splitting.h"

namespace quorlin {

struct Chunk {
  explicit Chunk(BufferPool* pool) : bytes(pool) {}
  PooledBuffer bytes;  // whole lines; the last chunk's last line may lack its break
  PieceBoundary start;
  // For a join across the chunk's end: the chunk after it, or the line after
  // the input for the last chunk.
  std::shared_ptr<const Chunk> next;
  std::string lineAfter;
};

// Cuts what it reads into chunks of whole lines of about chunkBytes; a longer
// line makes a longer chunk.
class ChunkCutter {
 public:
  ChunkCutter(ByteReader& in, std::size_t chunkBytes, BufferPool* pool = nullptr)
      : input_(in), chunkBytes_(chunkBytes), pool_(pool) {}

  // The next chunk, or null at the end of the input.
  std::shared_ptr<Chunk> next();

 private:
  ByteReader& input_;
  std::size_t chunkBytes_;
  BufferPool* pool_;
  ByteBuffer carry_;  // the start of a line whose end is not read yet
  bool end_ = false;
};

// Reads the input of a parallel run into chunks and hands them out in order,
// each with the boundary it starts from, worked out from the chunks before
// it; only whether its first line was joined to the line before (action 44)
// is a guess, which the run of the chunk before confirms.
class ChunkReader {
 public:
  ChunkReader(ByteReader& in, const ParallelOptions& options, const SplitNeeds& needs,
              TestCode test, BufferPool& buffers);

  // Reads to the end of the input, handing each chunk to take until take
  // returns false. Throws FileError from the input.
  void readAll(const std::function<bool(std::shared_ptr<const Chunk>)>& take);
  // From another thread: a read that waits for input gives up.
  void cancel() { input_.cancel(); }
  // The output line terminator: the one given, else the input's first (LF
  // when it has none). Set before the first chunk is handed out.
  std::string_view terminator() const { return terminator_; }

 private:
  ByteReader& input_;
  const ParallelOptions& options_;
  const SplitNeeds needs_;
  // Every line joins the next (test 1, action 44): the lines go in pairs.
  const bool joinsPairs_;
  BufferPool& buffers_;
  std::string terminator_;
};

}  // namespace quorlin
