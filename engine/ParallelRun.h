// SPDX-License-Identifier: Apache-2.0
// A change run over a text cut into chunks of whole lines that several
// threads work on at once. The output is the same, byte for byte, as that of
// one run over the whole text: each chunk starts from what the chunks before
// it leave (line count, the line before, the tag state, a join across the
// boundary), and the sort and the removal of duplicates see every line.
#pragma once

#include <cstddef>
#include <string>

#include "engine/ByteStreams.h"
#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Splitting.h"

namespace quorlin {

struct ParallelOptions {
  unsigned jobs = 2;  // threads working on chunks, at least 1
  // Bytes a chunk is cut at (at the line boundary before); a longer line
  // makes a longer chunk. At most 2 * jobs + 2 chunks are held at a time.
  std::size_t chunkBytes = std::size_t(1) << 20;
  // The output line terminator; empty for the input's first (LF when none).
  std::string terminator;
  // Where the input starts within a longer text.
  PieceBoundary start;
  // The text after the input, when the input is a piece of a longer text:
  // action 44 joins its first line to the input's last line.
  ByteReader* after = nullptr;
  // Count the run's figures (not for a sort or the removal of duplicates).
  bool count = false;
};

struct ParallelResult {
  RunResult run;
  // What the input leaves to the text after it.
  PieceBoundary end;
  // Chunks run a second time because the start guessed for them (a join by
  // action 44 across their first boundary) was not the one found.
  std::size_t reruns = 0;
  // The run's figures, when counted.
  RunStats figures;
};

// Runs a validated request over in, writing to out: the same bytes, and the
// same stop and messages, as RunChange over the whole text (with the same
// terminator). When the run stops, nothing has been written. FileError from
// in or out propagates.
ParallelResult RunParallel(const ChangeRequest& request, ByteReader& in, ByteWriter& out,
                           const ParallelOptions& options);

// The facts of the text that in holds (whole lines), as far as a request
// needs them. One that needs nothing but the terminator reads only up to it.
PieceFacts ScanText(ByteReader& in, const SplitNeeds& needs);

}  // namespace quorlin
