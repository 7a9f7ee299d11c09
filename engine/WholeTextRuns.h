// SPDX-License-Identifier: Apache-2.0
// The whole-text actions over chunks on several threads: the sort (action
// 32) and the removal of duplicates (43) see every line of the text before
// they write, and write what one run over the whole text writes.
#pragma once

#include "engine/ByteBuffer.h"
#include "engine/ByteStreams.h"
#include "engine/Chunks.h"
#include "engine/ParallelRun.h"
#include "engine/RunPlan.h"

namespace quorlin {

// Runs the plan of a whole-text action over the chunks reader hands out, on
// jobs threads, writing to out. FileError from the input or out propagates.
ParallelResult RunWholeTextChunks(const RunPlan& plan, ChunkReader& reader, ByteWriter& out,
                                  unsigned jobs, BufferPool& buffers);

}  // namespace quorlin
