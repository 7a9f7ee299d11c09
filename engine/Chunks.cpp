// SPDX-License-Identifier: Apache-2.0
#include "engine/Chunks.h"

#include <algorithm>

#include "engine/LineBreaks.h"

namespace quorlin {

namespace {

// The first line of what a reader holds, followed by LF; empty when it holds
// nothing.
std::string FirstLine(ByteReader& in) {
  std::string line;
  char buf[4096];
  for (;;) {
    const std::size_t got = in.read(buf, sizeof buf);
    if (got == 0) break;
    const char* brk = FindLineBreak(buf, buf + got);
    line.append(buf, std::size_t(brk - buf));
    if (brk != buf + got) return line + '\n';
  }
  return line.empty() ? line : line + '\n';
}

}  // namespace

std::shared_ptr<Chunk> ChunkCutter::next() {
  if (end_ && carry_.empty()) return nullptr;
  auto c = std::make_shared<Chunk>(pool_);
  ByteBuffer& b = *c->bytes;
  b.append(carry_.view());
  carry_.clear();
  std::size_t target = std::max(chunkBytes_, b.size() + 1);
  for (;;) {
    while (!end_ && b.size() < target) {
      const std::size_t want = target - b.size();
      const std::size_t got = input_.read(b.room(want), want);
      if (got == 0)
        end_ = true;
      else
        b.commit(got);
    }
    const std::size_t cut = end_ ? b.size() : WholeLinesLength(b.view());
    if (cut > 0 || b.empty()) {
      carry_.append(b.view().substr(cut));
      b.truncate(cut);
      break;
    }
    target *= 2;  // one line longer than a chunk: read on to its end
  }
  if (b.empty()) return nullptr;
  return c;
}

ChunkReader::ChunkReader(ByteReader& in, const ParallelOptions& options, const SplitNeeds& needs,
                         TestCode test, BufferPool& buffers)
    : input_(in),
      options_(options),
      needs_(needs),
      joinsPairs_(needs.nextLine && test == TestCode::Passes),
      buffers_(buffers),
      terminator_(options.terminator) {}

void ChunkReader::readAll(const std::function<bool(std::shared_ptr<const Chunk>)>& take) {
  ChunkCutter cutter(input_, std::max<std::size_t>(options_.chunkBytes, 1), &buffers_);
  PieceBoundary at = Normalised(needs_, options_.start);
  // With every line joined to the next, a chunk's first line is joined when
  // an odd number of lines lie between it and the input's first line, unless
  // that one was joined itself.
  long long lines = 0;  // lines read so far
  const bool scan = !needs_.independent() && !needs_.wholeText;
  const bool firstJoined = at.firstLineJoined;
  std::shared_ptr<Chunk> held;  // waits for the chunk after it (action 44)
  bool first = true;
  while (std::shared_ptr<Chunk> c = cutter.next()) {
    if (first && terminator_.empty()) {
      const std::string_view t = FirstTerminator(c->bytes->view());
      terminator_ = t.empty() ? "\n" : t;
    }
    c->start = at;
    if (joinsPairs_ && !first) c->start.firstLineJoined = (lines % 2 == 1) != firstJoined;
    first = false;
    if (scan) {
      const PieceFacts facts = ScanPiece(c->bytes->view(), needs_);
      lines += facts.lines;
      at = After(needs_, at, facts);
    }
    if (needs_.nextLine) {
      if (held) {
        held->next = c;
        if (!take(std::move(held))) return;
      }
      held = std::move(c);
    } else if (!take(std::move(c))) {
      return;  // the run ended early
    }
  }
  if (held) {
    if (options_.after != nullptr) held->lineAfter = FirstLine(*options_.after);
    take(std::move(held));
  }
}

}  // namespace quorlin
