// SPDX-License-Identifier: Apache-2.0
#include "engine/ParallelRun.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

#include "engine/ByteBuffer.h"
#include "engine/ChunkPipeline.h"
#include "engine/Chunks.h"
#include "engine/LineBreaks.h"
#include "engine/RunPlan.h"
#include "engine/WholeTextRuns.h"

namespace quorlin {

namespace {

// Output lines, each followed by the terminator, into a buffer.
class BufferSink final : public LineSink {
 public:
  BufferSink(ByteBuffer& out, std::string_view terminator) : out_(out), terminator_(terminator) {}
  void write(std::string_view line) override {
    char* d = out_.room(line.size() + terminator_.size());
    if (!line.empty()) std::memcpy(d, line.data(), line.size());
    std::memcpy(d + line.size(), terminator_.data(), terminator_.size());
    out_.commit(line.size() + terminator_.size());
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    out_.appendExpanded(raw, tabWidth);
    out_.append(terminator_);
  }
  bool takesLines() const override { return !terminator_.empty(); }
  std::size_t writeLines(std::string_view lines, const LineShape& shape,
                         std::size_t& count) override {
    count += AppendLines(out_, lines, shape, terminator_);
    return lines.size();
  }
  std::string_view takeBackLastLine() override {
    return TakeBackLastLine(out_, terminator_.size());
  }

 private:
  ByteBuffer& out_;
  std::string_view terminator_;
};

// The streaming actions: every chunk runs as a piece of the text from the
// boundary the chunks before it leave. Only a join across a chunk's first
// boundary (action 44) is guessed; a chunk that began otherwise than guessed
// is run again.
class StreamChunks {
 public:
  struct Output {
    explicit Output(BufferPool* pool) : bytes(pool) {}
    PieceBoundary start;
    RunResult run;
    PieceBoundary end;
    RunStats figures;
    PooledBuffer bytes;
  };

  StreamChunks(const RunPlan& plan, const SplitNeeds& needs, const ParallelOptions& options,
               const ChunkReader& reader, ByteWriter& out, BufferPool& buffers)
      : plan_(plan),
        needs_(needs),
        options_(options),
        reader_(reader),
        out_(out),
        buffers_(buffers),
        expect_(Normalised(needs, options.start)) {
    result_.run.completed = true;
  }

  std::shared_ptr<Output> work(const Chunk& c, unsigned /*worker*/) const {
    return run(c, c.start);
  }
  bool take(const Chunk& c, std::shared_ptr<Output> r);
  ParallelResult finish() {
    if (result_.run.completed) result_.end = expect_;
    return std::move(result_);
  }

 private:
  std::shared_ptr<Output> run(const Chunk& c, const PieceBoundary& start) const;

  const RunPlan& plan_;
  const SplitNeeds needs_;
  const ParallelOptions& options_;
  const ChunkReader& reader_;
  ByteWriter& out_;
  BufferPool& buffers_;
  PieceBoundary expect_;  // where the next chunk starts
  ParallelResult result_;
};

std::shared_ptr<StreamChunks::Output> StreamChunks::run(const Chunk& c,
                                                        const PieceBoundary& start) const {
  auto out = std::make_shared<Output>(&buffers_);
  out->start = start;
  out->bytes->room(c.bytes->size() + c.bytes->size() / 8 + 64);
  PieceLines lines(c.bytes->view());
  BufferSink sink(*out->bytes, reader_.terminator());
  PieceLines after(c.next ? c.next->bytes->view() : std::string_view(c.lineAfter));
  const bool hasAfter = c.next != nullptr || options_.after != nullptr;
  PieceBoundary end;
  out->run = RunPiece(plan_, lines, sink, start, hasAfter ? &after : nullptr, &end,
                      options_.count ? &out->figures : nullptr);
  out->end = Normalised(needs_, end);
  return out;
}

bool StreamChunks::take(const Chunk& c, std::shared_ptr<Output> r) {
  if (r->run.completed && r->start != expect_) {
    r = run(c, expect_);
    ++result_.reruns;
  }
  if (!r->run.completed) {  // only the first chunk can stop: nothing is written yet
    result_.run = std::move(r->run);
    return false;
  }
  out_.write(r->bytes->view());
  result_.figures += r->figures;
  expect_ = r->end;
  return true;
}

}  // namespace

PieceFacts ScanText(ByteReader& in, const SplitNeeds& needs) {
  PieceFacts facts;
  if (needs.independent() || needs.wholeText) {
    char buf[4096];
    for (bool afterCr = false;;) {
      const std::size_t got = in.read(buf, sizeof buf);
      if (got == 0) {
        if (afterCr) facts.firstTerminator = "\r";
        return facts;
      }
      const std::string_view part(buf, got);
      if (afterCr) {
        facts.firstTerminator = part[0] == '\n' ? "\r\n" : "\r";
        return facts;
      }
      const char* brk = FindLineBreak(buf, buf + got);
      if (brk == buf + got) continue;
      if (*brk == '\r' && brk + 1 == buf + got) {  // is an LF next? read on to see
        afterCr = true;
        continue;
      }
      facts.firstTerminator = TerminatorAt(part, std::size_t(brk - buf));
      return facts;
    }
  }
  ChunkCutter cutter(in, std::size_t(4) << 20);
  while (const std::shared_ptr<Chunk> c = cutter.next())
    facts = Combine(facts, ScanPiece(c->bytes->view(), needs));
  return facts;
}

ParallelResult RunParallel(const ChangeRequest& request, ByteReader& in, ByteWriter& out,
                           const ParallelOptions& options) {
  assert(ValidateRequest(request).empty());
  assert(!options.count || !NeedsOf(request).wholeText);
  ParallelResult result;
  // The checks a run makes before its first line: the numbers it reads.
  const std::shared_ptr<const RunPlan> plan = RunPlan::make(request, result.run.messages);
  if (!plan) return result;
  const SplitNeeds needs = NeedsOf(request);
  const unsigned jobs = std::max(1U, options.jobs);
  BufferPool buffers;  // first: chunks and outputs give their buffers back
  ChunkReader reader(in, options, needs, request.test, buffers);
  if (needs.wholeText) return RunWholeTextChunks(*plan, reader, out, jobs, buffers);
  StreamChunks stream(*plan, needs, options, reader, out, buffers);
  RunChunkPipeline(reader, jobs, stream);
  return stream.finish();
}

}  // namespace quorlin
