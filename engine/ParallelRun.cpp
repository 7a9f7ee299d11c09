// SPDX-License-Identifier: Apache-2.0
#include "engine/ParallelRun.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/LineStore.h"
#include "engine/Splitting.h"
#include "engine/WorkThreads.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

// ---------------------------------------------------------------- plumbing

// Bytes in one allocation that grows without initialising what it adds.
class Bytes {
 public:
  Bytes() = default;
  Bytes(Bytes&& o) noexcept { swap(o); }
  Bytes& operator=(Bytes&& o) noexcept {
    swap(o);
    return *this;
  }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;
  ~Bytes() { std::free(data_); }
  void swap(Bytes& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(cap_, o.cap_);
  }

  std::string_view view() const { return {data_, size_}; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Room for n more bytes at end(); commit(k) keeps k of them.
  char* room(std::size_t n) {
    if (cap_ - size_ < n) {
      const std::size_t cap = std::max(size_ + n, cap_ + cap_ / 2);
      void* p = std::realloc(data_, cap);
      if (p == nullptr) throw std::bad_alloc();
      data_ = static_cast<char*>(p);
      cap_ = cap;
    }
    return data_ + size_;
  }
  void commit(std::size_t k) { size_ += k; }
  void append(std::string_view s) {
    if (!s.empty()) std::memcpy(room(s.size()), s.data(), s.size());
    size_ += s.size();
  }
  void truncate(std::size_t n) { size_ = std::min(size_, n); }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0, cap_ = 0;
};

// Buffers given back after use and taken again, so that a long run does not
// fault in fresh pages for every chunk.
class BufferPool {
 public:
  // Puts an empty buffer, with room from an earlier use when there is one,
  // into b.
  void take(Bytes& b) {
    const std::lock_guard lock(mutex_);
    if (!free_.empty()) {
      b.swap(free_.back());
      free_.pop_back();
    }
    b.truncate(0);
  }
  void give(Bytes& b) {
    const std::lock_guard lock(mutex_);
    if (free_.size() < 64) free_.push_back(std::move(b));
  }

 private:
  std::mutex mutex_;
  std::vector<Bytes> free_;
};

// A buffer taken from a pool (when there is one) and given back at the end.
class PooledBytes {
 public:
  explicit PooledBytes(BufferPool* pool) : pool_(pool) {
    if (pool_ != nullptr) pool_->take(bytes_);
  }
  PooledBytes(const PooledBytes&) = delete;
  PooledBytes& operator=(const PooledBytes&) = delete;
  ~PooledBytes() {
    if (pool_ != nullptr) pool_->give(bytes_);
  }
  Bytes& operator*() { return bytes_; }
  Bytes* operator->() { return &bytes_; }
  const Bytes& operator*() const { return bytes_; }
  const Bytes* operator->() const { return &bytes_; }

 private:
  Bytes bytes_;
  BufferPool* pool_;
};

// ---------------------------------------------------------------- chunks

struct Chunk {
  explicit Chunk(BufferPool* pool) : bytes(pool) {}
  PooledBytes bytes;  // whole lines; the last chunk's last line may lack its break
  PieceBoundary start;
  // For a join across the chunk's end: the chunk after it, or the line after
  // the input for the last chunk.
  std::shared_ptr<const Chunk> next;
  std::string lineAfter;
};

// Cuts what it reads into chunks of whole lines.
class ChunkCutter {
 public:
  ChunkCutter(ByteReader& in, std::size_t chunkBytes, BufferPool* pool = nullptr)
      : in_(in), chunkBytes_(chunkBytes), pool_(pool) {}

  // The next chunk, or null at the end of the input.
  std::shared_ptr<Chunk> next() {
    if (end_ && carry_.empty()) return nullptr;
    auto c = std::make_shared<Chunk>(pool_);
    Bytes& b = *c->bytes;
    b.append(carry_.view());
    carry_.truncate(0);
    std::size_t target = std::max(chunkBytes_, b.size() + 1);
    for (;;) {
      while (!end_ && b.size() < target) {
        const std::size_t want = target - b.size();
        const std::size_t got = in_.read(b.room(want), want);
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

 private:
  ByteReader& in_;
  std::size_t chunkBytes_;
  BufferPool* pool_;
  Bytes carry_;  // the start of a line whose end is not read yet
  bool end_ = false;
};

// The first line of what a reader holds, followed by LF; empty when it holds
// nothing.
std::string FirstLine(ByteReader& in) {
  std::string line;
  char buf[4096];
  for (;;) {
    const std::size_t got = in.read(buf, sizeof buf);
    if (got == 0) break;
    const std::string_view part(buf, got);
    const std::size_t brk = part.find_first_of("\r\n");
    line.append(part.substr(0, brk));
    if (brk != std::string_view::npos) return line + '\n';
  }
  return line.empty() ? line : line + '\n';
}

// Output lines, each followed by the terminator, into bytes.
class BytesSink final : public LineSink {
 public:
  BytesSink(Bytes& out, std::string_view terminator) : out_(out), term_(terminator) {}
  void write(std::string_view line) override {
    char* d = out_.room(line.size() + term_.size());
    if (!line.empty()) std::memcpy(d, line.data(), line.size());
    std::memcpy(d + line.size(), term_.data(), term_.size());
    out_.commit(line.size() + term_.size());
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    char* d = out_.room(raw.size() + 128 + term_.size());
    char* e = QU::ExpandTabsInto(d, d + raw.size() + 128, raw, tabWidth);
    if (e == nullptr) {
      const std::size_t worst = raw.size() * std::size_t(tabWidth) + 32;
      d = out_.room(worst + term_.size());
      e = QU::ExpandTabsInto(d, d + worst, raw, tabWidth);
    }
    std::memcpy(e, term_.data(), term_.size());
    out_.commit(std::size_t(e - d) + term_.size());
  }

 private:
  Bytes& out_;
  std::string_view term_;
};

// The write-out step of the whole-text actions: output case, terminator, and
// large writes.
class Formatter {
 public:
  Formatter(ByteWriter& out, std::string_view terminator, bool upper, bool lower)
      : out_(out), term_(terminator), upper_(upper), lower_(lower && !upper) {}
  void emit(std::string_view line) {
    if (upper_ || lower_) {
      cased_.clear();
      if (upper_)
        QU::AppendUpperCase(cased_, line);
      else
        QU::AppendLowerCase(cased_, line);
      line = cased_;
    }
    buf_.append(line);
    buf_.append(term_);
    if (buf_.size() >= (std::size_t(1) << 20)) flush();
  }
  void flush() {
    out_.write(buf_.view());
    buf_.truncate(0);
  }

 private:
  ByteWriter& out_;
  std::string term_;
  bool upper_, lower_;
  std::string cased_;
  Bytes buf_;
};

// Each line of a chunk with its tabs expanded.
template <class F>
void ForEachExpandedLine(std::string_view bytes, std::vector<char>& buf, F&& f) {
  PieceLines lines(bytes);
  std::string_view line;
  LineFacts facts;
  while (lines.next(line, facts)) {
    if (facts.hasTab) {
      const std::size_t worst = line.size() * kTabWidth + 32;
      if (buf.size() < worst) buf.resize(worst);
      char* end = QU::ExpandTabsInto(buf.data(), buf.data() + buf.size(), line, kTabWidth);
      line = std::string_view(buf.data(), std::size_t(end - buf.data()));
    }
    f(line);
  }
}

// The lines of a chunk, tabs expanded, one after another, each ended by LF
// (no line holds one).
struct ParsedChunk {
  ParsedChunk(BufferPool* pool, std::ptrdiff_t shards) : lines(pool), sorted(shards) {}
  PooledBytes lines;
  // For the removal of duplicates: where each line ends in lines, the shard
  // of the seen lines it belongs to, and whether it is kept; sorted counts
  // the shards that have yet to look at the chunk.
  std::vector<std::size_t> ends;
  std::vector<unsigned char> shard;
  std::vector<char> keep;
  std::latch sorted;
};

template <class F>
void ForEachParsedLine(const ParsedChunk& p, F&& f) {
  std::string_view rest = p.lines->view();
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    f(rest.substr(0, lf));
    rest.remove_prefix(lf + 1);
  }
}

// ---------------------------------------------------------------- the run

class Runner {
 public:
  Runner(const ChangeRequest& q, ByteReader& in, ByteWriter& out, const ParallelOptions& o)
      : q_(q),
        needs_(NeedsOf(q)),
        in_(in),
        out_(out),
        o_(o),
        jobs_(std::max(1U, o.jobs)),
        queue_(2 * std::size_t(jobs_) + 2) {}
  ~Runner() { shutdown(); }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  ParallelResult run();

 private:
  struct ChunkOutput {
    explicit ChunkOutput(BufferPool* pool) : bytes(pool) {}
    PieceBoundary start;
    RunResult run;
    PieceBoundary end;
    RunStats figures;
    PooledBytes bytes;
  };
  struct Item {
    std::shared_ptr<const Chunk> chunk;
    std::future<std::shared_ptr<ChunkOutput>> output;  // streaming actions
    std::future<std::shared_ptr<ParsedChunk>> parsed;  // whole-text actions in order
    std::future<void> added;                           // lines added to a worker's sort
    std::exception_ptr error;                          // the reader failed
  };

  enum class Mode { Stream, SortPerWorker, InOrder, Dedupe };

  void readChunks();
  bool dispatch(const std::shared_ptr<Chunk>& c);
  std::shared_ptr<ChunkOutput> runChunk(const Chunk& c, const PieceBoundary& start) const;
  ParallelResult stream();
  ParallelResult sortPerWorker();
  ParallelResult inOrder();
  ParallelResult dedupe();
  void shutdown();

  const ChangeRequest& q_;
  const SplitNeeds needs_;
  ByteReader& in_;
  ByteWriter& out_;
  const ParallelOptions& o_;
  const unsigned jobs_;
  Mode mode_ = Mode::Stream;
  std::size_t sortFrom_ = 1;                   // the sort's first key position
  std::shared_ptr<const KeyPattern> pattern_;  // the Test Key as a pattern, or null
  std::string terminator_;                     // set by the reader before the first chunk goes out

  mutable BufferPool buffers_;     // first: chunks and outputs give their buffers back
  std::vector<SortStore> stores_;  // one per worker (SortPerWorker)
  std::vector<std::vector<char>> expandBufs_;
  WorkerPool* pool_ = nullptr;
  BoundedQueue<Item> queue_;
  std::thread reader_;
};

void Runner::shutdown() {
  in_.cancel();  // a reader waiting for input that the run no longer needs
  queue_.close();
  if (reader_.joinable()) reader_.join();
  if (pool_ != nullptr) pool_->stop();
}

// Reads the input into chunks and hands each to the workers, in order; the
// boundary each starts from is worked out from the chunks before it.
void Runner::readChunks() {
  try {
    ChunkCutter cutter(in_, std::max<std::size_t>(o_.chunkBytes, 1), &buffers_);
    PieceBoundary at = Normalised(needs_, o_.start);
    // A join by every line (test 1, action 44) takes the lines in pairs: a
    // chunk's first line is joined when an odd number of lines lie between
    // it and the input's first line, unless that one was joined itself.
    const bool joinsPairs = needs_.nextLine && q_.test == TestCode::Passes;
    long long lines = 0;  // lines read so far
    const bool scan = !needs_.independent() && !needs_.wholeText;
    const bool at0Joined = at.firstLineJoined;
    std::shared_ptr<Chunk> held;  // waits for the chunk after it (action 44)
    bool first = true;
    while (std::shared_ptr<Chunk> c = cutter.next()) {
      if (first && terminator_.empty()) {
        const std::string_view b = c->bytes->view();
        const std::size_t brk = b.find_first_of("\r\n");
        terminator_ = brk == std::string_view::npos                ? "\n"
                      : b[brk] == '\n'                             ? "\n"
                      : (brk + 1 < b.size() && b[brk + 1] == '\n') ? "\r\n"
                                                                   : "\r";
      }
      c->start = at;
      if (joinsPairs && !first) c->start.firstLineJoined = (lines % 2 == 1) != at0Joined;
      first = false;
      if (scan) {
        const PieceFacts facts = ScanPiece(c->bytes->view(), needs_);
        lines += facts.lines;
        at = After(needs_, at, facts);
      }
      if (needs_.nextLine) {
        if (held) {
          held->next = c;
          if (!dispatch(held)) return;
        }
        held = std::move(c);
      } else if (!dispatch(c)) {
        return;  // the run ended early
      }
    }
    if (held) {
      if (o_.after != nullptr) held->lineAfter = FirstLine(*o_.after);
      dispatch(held);
    }
  } catch (...) {
    Item failed;
    failed.error = std::current_exception();
    queue_.push(std::move(failed));
  }
  queue_.close();
}

std::shared_ptr<Runner::ChunkOutput> Runner::runChunk(const Chunk& c,
                                                      const PieceBoundary& start) const {
  auto out = std::make_shared<ChunkOutput>(&buffers_);
  out->start = start;
  out->bytes->room(c.bytes->size() + c.bytes->size() / 8 + 64);
  PieceLines lines(c.bytes->view());
  BytesSink sink(*out->bytes, terminator_);
  PieceLines after(c.next ? c.next->bytes->view() : std::string_view(c.lineAfter));
  const bool hasAfter = c.next != nullptr || o_.after != nullptr;
  PieceBoundary end;
  out->run = RunPiece(q_, lines, sink, start, hasAfter ? &after : nullptr, &end,
                      o_.count ? &out->figures : nullptr, pattern_.get());
  out->end = Normalised(needs_, end);
  return out;
}

// Hands a chunk to the workers; false when the run has ended meanwhile.
bool Runner::dispatch(const std::shared_ptr<Chunk>& c) {
  Item item;
  item.chunk = c;
  switch (mode_) {
    case Mode::Stream: {
      auto p = std::make_shared<std::promise<std::shared_ptr<ChunkOutput>>>();
      item.output = p->get_future();
      pool_->submit([this, c, p](unsigned) {
        try {
          p->set_value(runChunk(*c, c->start));
        } catch (...) {
          p->set_exception(std::current_exception());
        }
      });
      break;
    }
    case Mode::SortPerWorker: {
      auto p = std::make_shared<std::promise<void>>();
      item.added = p->get_future();
      pool_->submit([this, c, p](unsigned worker) {
        try {
          SortStore& store = stores_[worker];
          ForEachExpandedLine(c->bytes->view(), expandBufs_[worker],
                              [&](std::string_view line) { store.add(line); });
          p->set_value();
        } catch (...) {
          p->set_exception(std::current_exception());
        }
      });
      break;
    }
    case Mode::InOrder:
    case Mode::Dedupe: {
      auto p = std::make_shared<std::promise<std::shared_ptr<ParsedChunk>>>();
      item.parsed = p->get_future();
      pool_->submit([this, c, p](unsigned worker) {
        try {
          const bool dedupe = mode_ == Mode::Dedupe;
          auto parsed = std::make_shared<ParsedChunk>(&buffers_, dedupe ? jobs_ : 0);
          Bytes& lines = *parsed->lines;
          lines.room(c->bytes->size() + 64);
          ForEachExpandedLine(c->bytes->view(), expandBufs_[worker], [&](std::string_view line) {
            lines.append(line);
            lines.append("\n");
            if (!dedupe) return;
            parsed->ends.push_back(lines.size() - 1);
            parsed->shard.push_back(
                static_cast<unsigned char>(std::hash<std::string_view>{}(line) % jobs_));
          });
          parsed->keep.resize(parsed->ends.size());
          p->set_value(std::move(parsed));
        } catch (...) {
          p->set_exception(std::current_exception());
        }
      });
      break;
    }
  }
  return queue_.push(std::move(item));
}

ParallelResult Runner::run() {
  ParallelResult result;
  // The Test Key as a pattern: compiled once, for every chunk.
  KeyPattern::Compiled pattern = RequestPattern(q_);
  if (!pattern.message.empty()) {
    result.run.messages.push_back(std::move(pattern.message));
    return result;
  }
  pattern_ = std::move(pattern.pattern);
  // The checks the run makes before its first line: the numbers it reads.
  {
    PieceLines none{std::string_view()};
    class NoSink final : public LineSink {
     public:
      void write(std::string_view /*line*/) override {}
    } sink;
    result.run = RunChange(q_, none, sink, nullptr, nullptr, pattern_.get());
    if (!result.run.completed) return result;
  }
  terminator_ = o_.terminator;
  if (needs_.wholeText) {
    if (q_.action == ActionCode::Sort) {
      const Parameter& first = q_[Field::FirstCharPos];
      const std::int32_t from = first.filled ? ParseIntegerText(first.text).value_or(1) : 1;
      sortFrom_ = static_cast<std::size_t>(std::max(from, 1));
      // From position 1 equal keys are equal lines, and the runs of the
      // workers can be sorted apart and merged; from a later position the
      // order of equal keys depends on every line's place in the whole text.
      mode_ = sortFrom_ == 1 ? Mode::SortPerWorker : Mode::InOrder;
    } else {
      mode_ = jobs_ <= 255 ? Mode::Dedupe : Mode::InOrder;
    }
  }
  if (mode_ == Mode::SortPerWorker) {
    stores_.reserve(jobs_);
    for (unsigned i = 0; i < jobs_; ++i) stores_.emplace_back(1);
  }
  expandBufs_.resize(jobs_);
  WorkerPool pool(jobs_);
  pool_ = &pool;
  reader_ = std::thread([this] { readChunks(); });
  try {
    switch (mode_) {
      case Mode::Stream:
        result = stream();
        break;
      case Mode::SortPerWorker:
        result = sortPerWorker();
        break;
      case Mode::InOrder:
        result = inOrder();
        break;
      case Mode::Dedupe:
        result = dedupe();
        break;
    }
  } catch (...) {
    shutdown();
    pool_ = nullptr;
    throw;
  }
  shutdown();
  pool_ = nullptr;
  return result;
}

ParallelResult Runner::stream() {
  ParallelResult result;
  result.run.completed = true;
  PieceBoundary expect = Normalised(needs_, o_.start);
  while (std::optional<Item> item = queue_.pop()) {
    if (item->error) std::rethrow_exception(item->error);
    std::shared_ptr<ChunkOutput> r = item->output.get();
    if (r->run.completed && r->start != expect) {
      r = runChunk(*item->chunk, expect);
      ++result.reruns;
    }
    if (!r->run.completed) {  // only the first chunk can stop: nothing is written yet
      result.run = std::move(r->run);
      return result;
    }
    out_.write(r->bytes->view());
    result.figures += r->figures;
    expect = r->end;
  }
  result.end = expect;
  return result;
}

// Sorting from position 1: each worker sorts the lines it was given, and the
// sorted runs are merged.
ParallelResult Runner::sortPerWorker() {
  struct MergeEnded {};
  while (std::optional<Item> item = queue_.pop()) {
    if (item->error) std::rethrow_exception(item->error);
    item->added.get();
  }
  // Each store emits its sorted lines, LF-ended, in blocks.
  struct Run {
    BoundedQueue<std::string> blocks{4};
    std::string block;
    std::string_view rest;
    std::exception_ptr error;
  };
  std::vector<Run> runs(jobs_);
  std::vector<std::thread> sorters;
  for (unsigned w = 0; w < jobs_; ++w) {
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
    Formatter out(out_, terminator_, q_.outputUpperCase, q_.outputLowerCase);
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
  ParallelResult result;
  result.run.completed = true;
  return result;
}

// The sort from a later position and the removal of duplicates take the
// lines in input order.
ParallelResult Runner::inOrder() {
  std::optional<Formatter> out;  // once the first chunk has set the terminator
  std::optional<SortStore> sort;
  std::optional<SeenLines> seen;
  if (q_.action == ActionCode::Sort)
    sort.emplace(sortFrom_);
  else
    seen.emplace();
  while (std::optional<Item> item = queue_.pop()) {
    if (item->error) std::rethrow_exception(item->error);
    const std::shared_ptr<ParsedChunk> p = item->parsed.get();
    if (!out) out.emplace(out_, terminator_, q_.outputUpperCase, q_.outputLowerCase);
    if (sort) {
      ForEachParsedLine(*p, [&](std::string_view line) { sort->add(line); });
    } else {
      ForEachParsedLine(*p, [&](std::string_view line) {
        if (seen->addIfNew(line)) out->emit(line);
      });
    }
  }
  if (out) {
    if (sort) sort->sortedEach([&](std::string_view line) { out->emit(line); });
    out->flush();
  }
  ParallelResult result;
  result.run.completed = true;
  return result;
}

// The removal of duplicates: equal lines have equal hashes, so the seen
// lines can be split by hash into shards that work apart, each taking its
// lines in input order; the chunks are then written in order.
ParallelResult Runner::dedupe() {
  struct Shard {
    BoundedQueue<std::shared_ptr<ParsedChunk>> work{4};
    SeenLines seen;
    std::thread thread;
    std::exception_ptr error;  // set before failed
    std::atomic<bool> failed{false};
  };
  std::vector<std::unique_ptr<Shard>> shards;
  struct Stop {
    std::vector<std::unique_ptr<Shard>>& shards;
    ~Stop() {
      for (auto& s : shards) s->work.close();
      for (auto& s : shards)
        if (s->thread.joinable()) s->thread.join();
    }
  } stop{shards};
  for (unsigned i = 0; i < jobs_; ++i) {
    shards.push_back(std::make_unique<Shard>());
    Shard& sh = *shards.back();
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
          }
        }
        p.sorted.count_down();
      }
    });
  }
  std::optional<Formatter> out;  // once the first chunk has set the terminator
  std::deque<std::shared_ptr<ParsedChunk>> waiting;
  auto writeOldest = [&] {
    ParsedChunk& p = *waiting.front();
    p.sorted.wait();
    for (auto& s : shards)
      if (s->failed) std::rethrow_exception(s->error);
    const std::string_view all = p.lines->view();
    for (std::size_t k = 0, start = 0; k < p.ends.size(); start = p.ends[k++] + 1)
      if (p.keep[k]) out->emit(all.substr(start, p.ends[k] - start));
    waiting.pop_front();
  };
  while (std::optional<Item> item = queue_.pop()) {
    if (item->error) std::rethrow_exception(item->error);
    std::shared_ptr<ParsedChunk> p = item->parsed.get();
    if (!out) out.emplace(out_, terminator_, q_.outputUpperCase, q_.outputLowerCase);
    for (auto& s : shards) s->work.push(p);
    waiting.push_back(std::move(p));
    if (waiting.size() > 2 * std::size_t(jobs_) + 2) writeOldest();
  }
  while (!waiting.empty()) writeOldest();
  if (out) out->flush();
  ParallelResult result;
  result.run.completed = true;
  return result;
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
      const std::size_t brk = part.find_first_of("\r\n");
      if (brk == std::string_view::npos) continue;
      if (part[brk] == '\n') {
        facts.firstTerminator = "\n";
        return facts;
      }
      if (brk + 1 < got) {
        facts.firstTerminator = part[brk + 1] == '\n' ? "\r\n" : "\r";
        return facts;
      }
      afterCr = true;
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
  Runner runner(request, in, out, options);
  return runner.run();
}

}  // namespace quorlin
