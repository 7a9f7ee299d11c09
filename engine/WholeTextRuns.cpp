// SPDX-License-Identifier: Apache-2.0
#include "engine/WholeTextRuns.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ChunkPipeline.h"
#include "engine/LineStore.h"
#include "engine/WorkThreads.h"

namespace quorlin {

namespace {

// The write-out step of the whole-text actions: output case, terminator, and
// large writes.
class OutputLines {
 public:
  OutputLines(ByteWriter& out, std::string_view terminator, OutputCase outputCase)
      : out_(out), terminator_(terminator), case_(outputCase) {}
  void emit(std::string_view line) {
    buffer_.append(ApplyOutputCase(case_, line, cased_));
    buffer_.append(terminator_);
    if (buffer_.size() >= (std::size_t(1) << 20)) flush();
  }
  void flush() {
    out_.write(buffer_.view());
    buffer_.clear();
  }

 private:
  ByteWriter& out_;
  std::string terminator_;
  OutputCase case_;
  std::string cased_;
  ByteBuffer buffer_;
};

// Each line of a chunk with its tabs expanded.
template <class F>
void ForEachExpandedLine(std::string_view bytes, ByteBuffer& buf, F&& f) {
  PieceLines lines(bytes);
  std::string_view line;
  LineFacts facts;
  while (lines.next(line, facts)) {
    if (facts.hasTab) {
      buf.clear();
      buf.appendExpanded(line, kTabWidth);
      line = buf.view();
    }
    f(line);
  }
}

// The lines of a chunk, tabs expanded, one after another, each ended by LF
// (no line holds one).
struct ParsedChunk {
  ParsedChunk(BufferPool* pool, std::ptrdiff_t shards) : lines(pool), sorted(shards) {}
  PooledBuffer lines;
  // For the removal of duplicates: where each line ends in lines, the shard
  // of the seen lines it belongs to, and whether it is kept; sorted counts
  // the shards that have yet to look at the chunk.
  std::vector<std::size_t> ends;
  std::vector<unsigned char> shard;
  std::vector<char> keep;
  std::latch sorted;
};

// The chunk's lines parsed; with shards > 0 also where each ends and its
// shard.
std::shared_ptr<ParsedChunk> Parse(const Chunk& c, ByteBuffer& expandBuffer, BufferPool& buffers,
                                   unsigned shards) {
  auto parsed = std::make_shared<ParsedChunk>(&buffers, shards);
  ByteBuffer& lines = *parsed->lines;
  lines.room(c.bytes->size() + 64);
  ForEachExpandedLine(c.bytes->view(), expandBuffer, [&](std::string_view line) {
    lines.append(line);
    lines.append("\n");
    if (shards == 0) return;
    parsed->ends.push_back(lines.size() - 1);
    parsed->shard.push_back(
        static_cast<unsigned char>(std::hash<std::string_view>{}(line) % shards));
  });
  parsed->keep.resize(parsed->ends.size());
  return parsed;
}

template <class F>
void ForEachParsedLine(const ParsedChunk& p, F&& f) {
  std::string_view rest = p.lines->view();
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    f(rest.substr(0, lf));
    rest.remove_prefix(lf + 1);
  }
}

// The sort from position 1: each worker sorts the lines it was given, and the
// sorted runs are merged (equal keys are equal lines there, so any order of
// them is the same output).
class SortPerWorker {
 public:
  struct Added {};

  explicit SortPerWorker(unsigned jobs) : expandBuffers_(jobs) {
    stores_.reserve(jobs);
    for (unsigned i = 0; i < jobs; ++i) stores_.emplace_back(1);
  }
  Added work(const Chunk& c, unsigned worker) {
    SortStore& store = stores_[worker];
    ForEachExpandedLine(c.bytes->view(), expandBuffers_[worker],
                        [&](std::string_view line) { store.add(line); });
    return {};
  }
  bool take(const Chunk& /*c*/, Added /*added*/) { return true; }
  void merge(OutputLines& out);

 private:
  std::vector<SortStore> stores_;  // one per worker
  std::vector<ByteBuffer> expandBuffers_;
};

void SortPerWorker::merge(OutputLines& out) {
  struct MergeEnded {};
  // Each store emits its sorted lines, LF-ended, in blocks.
  struct Run {
    BoundedQueue<std::string> blocks{4};
    std::string block;
    std::string_view rest;
    std::exception_ptr error;
  };
  std::vector<Run> runs(stores_.size());
  std::vector<std::thread> sorters;
  for (std::size_t w = 0; w < stores_.size(); ++w) {
    sorters.emplace_back([this, w, &runs] {
      Run& r = runs[w];
      try {
        std::string block;
        stores_[w].sortedEach([&](std::string_view line) {
          block.append(line);
          block.push_back('\n');
          if (block.size() >= (std::size_t(1) << 20)) {
            if (!r.blocks.push(std::move(block))) throw MergeEnded();
            block.clear();
          }
        });
        if (!block.empty()) r.blocks.push(std::move(block));
      } catch (const MergeEnded&) {
      } catch (...) {
        r.error = std::current_exception();
      }
      r.blocks.close();
    });
  }
  auto joinSorters = [&] {
    for (Run& r : runs) r.blocks.close();
    for (std::thread& t : sorters) t.join();
  };
  try {
    // A run's next line, or false when it has none left.
    auto refill = [&](Run& r) {
      while (r.rest.empty()) {
        std::optional<std::string> b = r.blocks.pop();
        if (!b) return false;
        r.block = std::move(*b);
        r.rest = r.block;
      }
      return true;
    };
    auto head = [](const Run& r) { return r.rest.substr(0, r.rest.find('\n')); };
    std::vector<Run*> heap;
    for (Run& r : runs)
      if (refill(r)) heap.push_back(&r);
    auto later = [&](const Run* a, const Run* b) { return head(*a) > head(*b); };
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), later);
      Run& r = *heap.back();
      const std::string_view line = head(r);
      out.emit(line);
      r.rest.remove_prefix(line.size() + 1);
      if (refill(r))
        std::push_heap(heap.begin(), heap.end(), later);
      else
        heap.pop_back();
    }
    out.flush();
  } catch (...) {
    joinSorters();
    throw;
  }
  joinSorters();
  for (Run& r : runs)
    if (r.error) std::rethrow_exception(r.error);
}

// The sort from a later position (the order of equal keys depends on every
// line's place in the whole text) and the removal of duplicates on one
// thread: the workers expand the tabs, the lines are taken in input order.
class InOrder {
 public:
  InOrder(const RunPlan& plan, const ChunkReader& reader, ByteWriter& out, unsigned jobs,
          BufferPool& buffers)
      : plan_(plan), reader_(reader), out_(out), buffers_(buffers), expandBuffers_(jobs) {
    if (plan.action.kind == ActionCode::Sort)
      sort_.emplace(plan.sortFrom);
    else
      seen_.emplace();
  }
  std::shared_ptr<ParsedChunk> work(const Chunk& c, unsigned worker) {
    return Parse(c, expandBuffers_[worker], buffers_, 0);
  }
  bool take(const Chunk& /*c*/, const std::shared_ptr<ParsedChunk>& p) {
    if (!lines_) lines_.emplace(out_, reader_.terminator(), plan_.outputCase);
    if (sort_) {
      ForEachParsedLine(*p, [&](std::string_view line) { sort_->add(line); });
    } else {
      ForEachParsedLine(*p, [&](std::string_view line) {
        if (seen_->addIfNew(line)) lines_->emit(line);
      });
    }
    return true;
  }
  void finish() {
    if (!lines_) return;  // no line read
    if (sort_) sort_->sortedEach([&](std::string_view line) { lines_->emit(line); });
    lines_->flush();
  }

 private:
  const RunPlan& plan_;
  const ChunkReader& reader_;
  ByteWriter& out_;
  BufferPool& buffers_;
  std::vector<ByteBuffer> expandBuffers_;
  std::optional<OutputLines> lines_;  // once the first chunk has set the terminator
  std::optional<SortStore> sort_;
  std::optional<SeenLines> seen_;
};

// The removal of duplicates on every thread: equal lines have equal hashes,
// so the seen lines can be split by hash into shards that work apart, each
// taking its lines in input order; the chunks are then written in order.
class DedupeShards {
 public:
  DedupeShards(const ChunkReader& reader, OutputCase outputCase, ByteWriter& out, unsigned jobs,
               BufferPool& buffers);
  ~DedupeShards();
  DedupeShards(const DedupeShards&) = delete;
  DedupeShards& operator=(const DedupeShards&) = delete;

  std::shared_ptr<ParsedChunk> work(const Chunk& c, unsigned worker) {
    return Parse(c, expandBuffers_[worker], buffers_, unsigned(shards_.size()));
  }
  bool take(const Chunk& c, std::shared_ptr<ParsedChunk> p);
  void finish();

 private:
  struct Shard {
    BoundedQueue<std::shared_ptr<ParsedChunk>> work{4};
    SeenLines seen;
    std::thread thread;
    std::exception_ptr error;  // set before failed
    std::atomic<bool> failed{false};
  };
  void writeOldest();

  const ChunkReader& reader_;
  const OutputCase case_;
  ByteWriter& out_;
  BufferPool& buffers_;
  std::vector<ByteBuffer> expandBuffers_;
  std::vector<std::unique_ptr<Shard>> shards_;
  std::optional<OutputLines> lines_;  // once the first chunk has set the terminator
  std::deque<std::shared_ptr<ParsedChunk>> waiting_;
};

DedupeShards::DedupeShards(const ChunkReader& reader, OutputCase outputCase, ByteWriter& out,
                           unsigned jobs, BufferPool& buffers)
    : reader_(reader), case_(outputCase), out_(out), buffers_(buffers), expandBuffers_(jobs) {
  for (unsigned i = 0; i < jobs; ++i) {
    shards_.push_back(std::make_unique<Shard>());
    Shard& sh = *shards_.back();
    sh.thread = std::thread([&sh, i] {
      while (std::optional<std::shared_ptr<ParsedChunk>> c = sh.work.pop()) {
        ParsedChunk& p = **c;
        if (!sh.error) {
          try {
            const std::string_view all = p.lines->view();
            for (std::size_t k = 0, start = 0; k < p.ends.size(); start = p.ends[k++] + 1)
              if (p.shard[k] == i)
                p.keep[k] = sh.seen.addIfNew(all.substr(start, p.ends[k] - start));
          } catch (...) {
            sh.error = std::current_exception();
            sh.failed = true;
          }
        }
        p.sorted.count_down();
      }
    });
  }
}

DedupeShards::~DedupeShards() {
  for (auto& s : shards_) s->work.close();
  for (auto& s : shards_)
    if (s->thread.joinable()) s->thread.join();
}

bool DedupeShards::take(const Chunk& /*c*/, std::shared_ptr<ParsedChunk> p) {
  if (!lines_) lines_.emplace(out_, reader_.terminator(), case_);
  for (auto& s : shards_) s->work.push(p);
  waiting_.push_back(std::move(p));
  if (waiting_.size() > 2 * shards_.size() + 2) writeOldest();
  return true;
}

void DedupeShards::writeOldest() {
  ParsedChunk& p = *waiting_.front();
  p.sorted.wait();
  for (auto& s : shards_)
    if (s->failed) std::rethrow_exception(s->error);
  const std::string_view all = p.lines->view();
  for (std::size_t k = 0, start = 0; k < p.ends.size(); start = p.ends[k++] + 1)
    if (p.keep[k]) lines_->emit(all.substr(start, p.ends[k] - start));
  waiting_.pop_front();
}

void DedupeShards::finish() {
  while (!waiting_.empty()) writeOldest();
  if (lines_) lines_->flush();
}

}  // namespace

ParallelResult RunWholeTextChunks(const RunPlan& plan, ChunkReader& reader, ByteWriter& out,
                                  unsigned jobs, BufferPool& buffers) {
  if (plan.action.kind == ActionCode::Sort && plan.sortFrom == 1) {
    SortPerWorker sort(jobs);
    RunChunkPipeline(reader, jobs, sort);
    OutputLines lines(out, reader.terminator(), plan.outputCase);
    sort.merge(lines);
  } else if (plan.action.kind == ActionCode::RemoveDuplicates && jobs <= 255) {
    DedupeShards dedupe(reader, plan.outputCase, out, jobs, buffers);
    RunChunkPipeline(reader, jobs, dedupe);
    dedupe.finish();
  } else {
    InOrder inOrder(plan, reader, out, jobs, buffers);
    RunChunkPipeline(reader, jobs, inOrder);
    inOrder.finish();
  }
  ParallelResult result;
  result.run.completed = true;
  return result;
}

}  // namespace quorlin
