// SPDX-License-Identifier: Apache-2.0
// The run of a recipe. Consecutive streaming steps form a chain that a block
// of whole lines goes through step by step in memory, each step's output
// written with its terminator into a buffer that the next step splits into
// lines again, exactly as it would read them from a file. A step keeps from
// one block to the next what its single run keeps from line to line (the
// boundary of RunPiece), the start of a line whose end has not come yet,
// and, when it may join the next line (action 44), its last line, until the
// block after it tells whether that line is taken. A whole-text step (sort,
// removal of duplicates) reads the chain before it as a source and writes
// into the chain after it.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/ByteBuffer.h"
#include "engine/ChunkPipeline.h"
#include "engine/Chunks.h"
#include "engine/LineBreaks.h"
#include "engine/LineRecords.h"
#include "engine/Recipe.h"
#include "engine/RunPlan.h"
#include "engine/Splitting.h"

namespace quorlin {

namespace {

// The bytes a block of a chain holds, at most (but for a longer line): every
// step's input and output of a block stay in the processor's cache.
constexpr std::size_t kBlockBytes = std::size_t(64) << 10;

// A step stopped the run; nothing past that step was written.
struct Stopped {
  std::vector<std::string> messages;
};

// The terminator a step's output lines end with: the forced one, else its
// input's first (LF when it has none).
std::string TerminatorFor(std::string_view forced, std::string_view inputFirst) {
  if (!forced.empty()) return std::string(forced);
  return inputFirst.empty() ? "\n" : std::string(inputFirst);
}

// Where the last line of bytes (whole lines) starts.
std::size_t LastLineStart(std::string_view bytes) {
  std::size_t e = bytes.size();
  if (e >= 2 && bytes.substr(e - 2) == "\r\n")
    e -= 2;
  else if (e >= 1)
    e -= 1;
  if (e == 0) return 0;
  const std::size_t brk = bytes.find_last_of("\r\n", e - 1);
  return brk == std::string_view::npos ? 0 : brk + 1;
}

// One streaming step of a chain, with what it keeps between blocks.
struct Stage {
  const RunPlan* plan = nullptr;
  std::string forced;
  bool joins = false;  // may take the next line (action 44)
  PieceBoundary at;
  RunStats* stats = nullptr;  // the step's figures, added up block by block
  std::string term;
  bool termKnown = false;
  std::string pending;  // input not run yet: a line's start, or the line held for a join
  ByteBuffer out;
  // Where the lines of out end, when they hold no line break of their own and
  // the next step reads them from there; tabs: a line of out may hold a tab.
  std::vector<std::size_t> stops;
  bool records = false;
  bool tabs = true;
  LineSink* direct = nullptr;       // the caller's sink, for the recipe's last step
  std::string* announce = nullptr;  // told the terminator once it is known
  KeyWatch keys;                    // the step's key, watched from block to block
};

// Consecutive streaming steps run block by block; what the last writes goes
// to then (unless it writes to its direct sink).
class Chain {
 public:
  std::vector<Stage> stages;
  std::function<void(std::string_view bytes, bool end)> then;

  // bytes: the next bytes of the chain's input; end: none follow.
  void feed(std::string_view bytes, bool end) { feedStage(0, bytes, end, nullptr); }

 private:
  // from: the step before, when bytes are its output lines as it recorded them.
  void feedStage(std::size_t k, std::string_view bytes, bool end, const Stage* from);
  // Runs step k over lines (after: the lines after them, for a join) and
  // hands its output on.
  void runStage(std::size_t k, LineSource& lines, LineSource* after, bool end);
};

void Chain::feedStage(std::size_t k, std::string_view bytes, bool end, const Stage* from) {
  if (k == stages.size()) {
    if (then) then(bytes, end);
    return;
  }
  Stage& s = stages[k];
  if (from != nullptr && !s.joins && s.pending.empty()) {
    // Whole lines, each with its terminator, and where they end.
    if (bytes.empty() && !end) return;
    if (!s.termKnown) {
      s.term = TerminatorFor(s.forced, FirstTerminator(bytes));
      s.termKnown = true;
      if (s.announce != nullptr) *s.announce = s.term;
    }
    RecordedLines lines(bytes, from->stops, from->term.size(), from->tabs, &s.keys);
    runStage(k, lines, nullptr, end);
    return;
  }
  const bool own = !s.pending.empty();
  if (own) s.pending.append(bytes);
  const std::string_view input = own ? std::string_view(s.pending) : bytes;
  const std::size_t take = end ? input.size() : WholeLinesLength(input);
  const std::size_t cut = s.joins && !end ? LastLineStart(input.substr(0, take)) : take;
  if (cut == 0 && !end) {
    if (!own) s.pending.assign(bytes);
    return;
  }
  if (!s.termKnown) {
    s.term = TerminatorFor(s.forced, FirstTerminator(input.substr(0, take)));
    s.termKnown = true;
    if (s.announce != nullptr) *s.announce = s.term;
  }
  PieceLines lines(input.substr(0, cut), &s.keys);
  PieceLines after(input.substr(cut, take - cut));
  std::string rest(input.substr(cut));
  runStage(k, lines, s.joins && !end ? &after : nullptr, end);
  s.pending = std::move(rest);
}

void Chain::runStage(std::size_t k, LineSource& lines, LineSource* after, bool end) {
  Stage& s = stages[k];
  s.stops.clear();
  RecordingSink buffered(s.out, s.term, s.records ? &s.stops : nullptr);
  LineSink& sink = s.direct != nullptr ? *s.direct : buffered;
  RunStats figures;
  RunResult run =
      RunPiece(*s.plan, lines, sink, s.at, after, &s.at, s.stats != nullptr ? &figures : nullptr);
  if (!run.completed) throw Stopped{std::move(run.messages)};
  if (s.stats != nullptr) *s.stats += figures;
  feedStage(k + 1, s.out.view(), end, s.records ? &s : nullptr);
  s.out.clear();
}

// Blocks of whole lines (the last line of the last block may lack its break).
class BlockInput {
 public:
  virtual ~BlockInput() = default;
  // The next block; false at the end.
  virtual bool next(std::string_view& block) = 0;
};

// The length of the first block of bytes that hold whole lines: the lines
// that end within blockBytes, or the first line when it is longer.
std::size_t BlockLength(std::string_view bytes, std::size_t blockBytes) {
  if (bytes.size() <= blockBytes) return bytes.size();
  const std::size_t cut = WholeLinesLength(bytes.substr(0, blockBytes));
  if (cut > 0) return cut;
  const auto at =
      std::size_t(FindLineBreak(bytes.data(), bytes.data() + bytes.size()) - bytes.data());
  return at == bytes.size() ? at : at + TerminatorAt(bytes, at).size();
}

// The bytes of a reader, read a megabyte at a time into one buffer and handed
// out in blocks of whole lines of about blockBytes, small enough that a block
// stays in the processor's cache while every step of a chain reads it.
class ByteInput final : public BlockInput {
 public:
  ByteInput(ByteReader& in, std::size_t blockBytes) : in_(in), blockBytes_(blockBytes) {}
  bool next(std::string_view& block) override {
    if (pos_ == whole_ && !refill()) return false;
    const std::string_view rest = buf_.view().substr(pos_, whole_ - pos_);
    const std::size_t cut = BlockLength(rest, blockBytes_);
    block = rest.substr(0, cut);
    pos_ += cut;
    return true;
  }

 private:
  static constexpr std::size_t kReadBytes = std::size_t(1) << 20;
  // Reads on to the end of a line at least; false at the end of the input.
  bool refill() {
    buf_.truncate(0);
    buf_.append(carry_);
    carry_.clear();
    pos_ = whole_ = 0;
    for (std::size_t target = std::max(kReadBytes, buf_.size() + 1); !end_;) {
      while (!end_ && buf_.size() < target) {
        const std::size_t want = target - buf_.size();
        const std::size_t got = in_.read(buf_.room(want), want);
        end_ = got == 0;
        buf_.commit(got);
      }
      whole_ = WholeLinesLength(buf_.view());
      if (whole_ > 0) break;
      target *= 2;
    }
    if (end_) whole_ = buf_.size();
    carry_.assign(buf_.view().substr(whole_));
    return whole_ > 0;
  }

  ByteReader& in_;
  std::size_t blockBytes_;
  ByteBuffer buf_;
  std::string carry_;
  std::size_t pos_ = 0, whole_ = 0;
  bool end_ = false;
};

// The lines of a source as bytes, each ended with the source's first
// terminator (LF when it has none).
class LineInput final : public BlockInput {
 public:
  LineInput(LineSource& source, std::size_t chunkBytes, const RecipeLineEnds* ends)
      : source_(source), chunkBytes_(chunkBytes), ends_(ends) {}
  bool next(std::string_view& block) override {
    block_.clear();
    std::string_view line;
    while (block_.size() < chunkBytes_ && source_.next(line)) {
      if (term_.empty())
        term_ = TerminatorFor({}, ends_ != nullptr && ends_->input ? ends_->input() : "\n");
      block_.append(line);
      block_.append(term_);
    }
    block = block_.view();
    return !block_.empty();
  }

 private:
  LineSource& source_;
  std::size_t chunkBytes_;
  const RecipeLineEnds* ends_;
  std::string term_;
  ByteBuffer block_;
};

class StringReader final : public ByteReader {
 public:
  explicit StringReader(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* to, std::size_t n) override {
    n = std::min(n, bytes_.size());
    if (n > 0) std::memcpy(to, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view bytes_;
};

// The output of a chain over an input, as the source of a whole-text step.
class ChainSource final : public LineSource {
 public:
  ChainSource(Chain& chain, BlockInput& input) : chain_(chain), input_(input) {
    chain_.then = [this](std::string_view bytes, bool /*end*/) {
      if (!firstKnown_ && !bytes.empty()) {
        first_ = FirstTerminator(bytes);
        firstKnown_ = true;
      }
      out_.append(bytes);
    };
  }
  bool next(std::string_view& line) override {
    for (;;) {
      if (lines_.next(line)) return true;
      if (done_) return false;
      refill();
    }
  }
  // The first terminator of the output ("" when it has none).
  std::string_view firstTerminator() const { return first_; }

 private:
  void refill() {
    out_.clear();
    out_.append(carry_);
    carry_.clear();
    std::string_view block;
    done_ = !input_.next(block);
    chain_.feed(done_ ? std::string_view() : block, done_);
    const std::size_t take = done_ ? out_.size() : WholeLinesLength(out_.view());
    carry_.assign(out_.view().substr(take));
    lines_ = PieceLines(out_.view().substr(0, take));
  }

  Chain& chain_;
  BlockInput& input_;
  ByteBuffer out_;
  std::string carry_;
  PieceLines lines_{std::string_view()};
  bool done_ = false;
  bool firstKnown_ = false;
  std::string first_;
};

// The sink of a whole-text step: its lines, with its terminator, go through
// the chain after it in blocks.
class ChainSink final : public LineSink {
 public:
  ChainSink(Chain& chain, std::string_view forced, std::function<std::string()> inputFirst,
            std::size_t blockBytes)
      : chain_(chain),
        forced_(forced),
        inputFirst_(std::move(inputFirst)),
        blockBytes_(blockBytes),
        sink_(block_, term_) {}
  void write(std::string_view line) override {
    start();
    sink_.write(line);
    flushFull();
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    start();
    sink_.writeExpanded(raw, tabWidth);
    flushFull();
  }
  void finish() {
    chain_.feed(block_.view(), true);
    block_.clear();
  }

 private:
  void start() {
    if (!started_) term_ = TerminatorFor(forced_, inputFirst_());
    started_ = true;
  }
  void flushFull() {
    if (block_.size() < blockBytes_) return;
    chain_.feed(block_.view(), false);
    block_.clear();
  }

  Chain& chain_;
  std::string forced_;
  std::function<std::string()> inputFirst_;
  std::size_t blockBytes_;
  bool started_ = false;
  std::string term_;
  ByteBuffer block_;
  RecordingSink sink_;
};

// The caller's sink, told the terminator before the first line is written.
class AnnouncingSink final : public LineSink {
 public:
  AnnouncingSink(LineSink& to, std::function<void()> first) : to_(to), first_(std::move(first)) {}
  void write(std::string_view line) override {
    announce();
    to_.write(line);
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    announce();
    to_.writeExpanded(raw, tabWidth);
  }

 private:
  void announce() {
    if (first_) first_();
    first_ = nullptr;
  }
  LineSink& to_;
  std::function<void()> first_;
};

bool IsWhole(const RecipeStep& step) {
  return FindAction(step.request.action)->kind == ActionKind::WholeText;
}

// A line break of its own in what a step writes: its output lines split
// otherwise when read again than they were written.
bool MayWriteBreaks(const RecipeStep& step) {
  return step.request[Field::ReplacementKey].text.find_first_of("\r\n") != std::string::npos;
}

// A tab in what a step writes: only the text it puts in can bring one, every
// line it reads has its tabs expanded.
bool WritesTabs(const RecipeStep& step) {
  return step.request[Field::ReplacementKey].text.find('\t') != std::string::npos;
}

// What a recipe run writes to: the caller's line sink, or bytes.
struct RecipeOutput {
  LineSink* lines = nullptr;
  ByteWriter* bytes = nullptr;
  RecipeLineEnds* ends = nullptr;
};

struct Plans {
  std::vector<std::shared_ptr<const RunPlan>> plans;
  std::vector<std::string> messages;  // of the first step whose plan cannot be made
};

Plans MakePlans(const Recipe& recipe) {
  assert(!recipe.steps.empty());
  Plans p;
  for (const RecipeStep& step : recipe.steps) {
    assert(ValidateRequest(step.request).empty());
    p.plans.push_back(RunPlan::make(step.request, p.messages));
    if (!p.plans.back()) return p;
  }
  return p;
}

RunResult RunSteps(const Recipe& recipe, const Plans& plans, BlockInput& input,
                   const RecipeOutput& output, std::vector<RunStats>* stats,
                   std::size_t blockBytes) {
  const std::size_t n = recipe.steps.size();
  if (stats != nullptr) stats->assign(n, RunStats());
  // The chains between the whole-text steps: chains[0] before the first.
  std::vector<std::size_t> whole;
  for (std::size_t i = 0; i < n; ++i)
    if (IsWhole(recipe.steps[i])) whole.push_back(i);
  std::vector<Chain> chains(whole.size() + 1);
  for (std::size_t i = 0, c = 0; i < n; ++i) {
    if (IsWhole(recipe.steps[i])) {
      ++c;
      continue;
    }
    Stage s;
    s.plan = plans.plans[i].get();
    s.forced = recipe.steps[i].terminator;
    s.joins = NeedsOf(recipe.steps[i].request).nextLine;
    s.stats = stats != nullptr ? &(*stats)[i] : nullptr;
    s.records = !MayWriteBreaks(recipe.steps[i]);
    s.tabs = WritesTabs(recipe.steps[i]);
    chains[c].stages.push_back(std::move(s));
  }
  Chain& last = chains.back();
  if (output.bytes != nullptr) {
    last.then = [&output](std::string_view bytes, bool /*end*/) { output.bytes->write(bytes); };
  } else if (!last.stages.empty()) {
    last.stages.back().direct = output.lines;
    if (output.ends != nullptr) last.stages.back().announce = &output.ends->output;
  }
  try {
    if (whole.empty()) {
      std::string_view block;
      while (input.next(block)) chains[0].feed(block, false);
      chains[0].feed({}, true);
      return {true, {}};
    }
    std::string spool;  // the output of a chain between two whole-text steps
    std::unique_ptr<BlockInput> spoolInput;
    std::unique_ptr<StringReader> spoolReader;
    Chain none;
    BlockInput* in = &input;
    Chain* before = &chains[0];
    for (std::size_t w = 0; w < whole.size(); ++w) {
      const RecipeStep& step = recipe.steps[whole[w]];
      ChainSource source(*before, *in);
      Chain& after = chains[w + 1];
      std::string next;
      if (w + 1 < whole.size())
        after.then = [&next](std::string_view bytes, bool /*end*/) { next.append(bytes); };
      ChainSink sink(
          after, step.terminator, [&source] { return std::string(source.firstTerminator()); },
          blockBytes);
      RunStats* figures = stats != nullptr ? &(*stats)[whole[w]] : nullptr;
      RunResult run;
      if (output.lines != nullptr && &after == &last && after.stages.empty()) {
        // The last step writes to the caller's sink itself.
        AnnouncingSink direct(*output.lines, [&] {
          if (output.ends != nullptr)
            output.ends->output = TerminatorFor(step.terminator, source.firstTerminator());
        });
        run = RunChange(step.request, source, direct, figures);
        if (!run.completed) throw Stopped{std::move(run.messages)};
      } else {
        run = RunChange(step.request, source, sink, figures);
        if (!run.completed) throw Stopped{std::move(run.messages)};
        sink.finish();
      }
      spool = std::move(next);
      spoolReader = std::make_unique<StringReader>(spool);
      spoolInput = std::make_unique<ByteInput>(*spoolReader, blockBytes);
      in = spoolInput.get();
      before = &none;
    }
  } catch (Stopped& stopped) {
    return {false, std::move(stopped.messages)};
  }
  return {true, {}};
}

// A chain of streaming steps over chunks on several threads. Each step of a
// chunk starts from a guess of what the lines before the chunk leave it after
// the steps before it: the start of a text (no tag open, the line before
// blank). The chunks are taken in order, and one whose steps started
// otherwise than the chunk before them ended runs again from where they did.
// So the steps may need the line before or the tag state, but not the line
// numbers (every chunk but the first would run again) nor the next line.
class ParallelChain {
 public:
  struct Output {
    explicit Output(BufferPool* pool) : bytes(pool), spare(pool) {}
    RunResult run;
    std::vector<RunStats> figures;
    std::vector<PieceBoundary> starts, ends;  // of each step, normalised
    PooledBuffer bytes, spare;
  };

  ParallelChain(const Recipe& recipe, const Plans& plans, const ChunkReader& reader,
                ByteWriter& out, bool count, BufferPool& buffers, unsigned jobs)
      : recipe_(recipe),
        plans_(plans),
        reader_(reader),
        out_(out),
        count_(count),
        sequential_(jobs <= 1),
        buffers_(buffers) {
    result_.completed = true;
    if (count_) figures_.assign(recipe.steps.size(), RunStats());
    for (const RecipeStep& step : recipe.steps) {
      needs_.push_back(NeedsOf(step.request));
      guess_.push_back(Normalised(needs_.back(), PieceBoundary()));
    }
    expect_ = running_ = guess_;
  }

  // One worker takes the chunks in order: each starts from where the one
  // before it ended, and none runs again.
  std::shared_ptr<Output> work(const Chunk& c, unsigned /*worker*/) const {
    if (!sequential_) return run(c, guess_);
    std::shared_ptr<Output> r = run(c, running_);
    if (r->run.completed) running_ = r->ends;
    return r;
  }
  bool take(const Chunk& c, std::shared_ptr<Output> r) {
    if (r->run.completed && r->starts != expect_) {
      r = run(c, expect_);
    }
    if (!r->run.completed) {  // nothing past the stopping step was written before
      result_ = r->run;
      return false;
    }
    out_.write(r->bytes->view());
    for (std::size_t k = 0; k < figures_.size(); ++k) figures_[k] += r->figures[k];
    expect_ = r->ends;
    return true;
  }
  RunResult result() const { return result_; }
  const std::vector<RunStats>& figures() const { return figures_; }

 private:
  // The chunk goes through the steps in blocks that stay in the cache.
  std::shared_ptr<Output> run(const Chunk& c, const std::vector<PieceBoundary>& starts) const {
    const std::size_t n = recipe_.steps.size();
    auto out = std::make_shared<Output>(&buffers_);
    out->run.completed = true;
    out->starts = starts;
    if (count_) out->figures.assign(n, RunStats());
    std::vector<std::string> terms(n);
    for (std::size_t k = 0; k < n; ++k)
      terms[k] = TerminatorFor(recipe_.steps[k].terminator,
                               k == 0 ? std::string(reader_.terminator()) : terms[k - 1]);
    std::vector<PieceBoundary> at = starts;
    PooledBuffer other(&buffers_);
    std::vector<std::size_t> stops[2];  // of the lines in spare and other
    std::vector<KeyWatch> keys(n);      // each step's key, watched from block to block
    for (std::string_view rest = c.bytes->view(); !rest.empty();) {
      std::string_view in = rest.substr(0, BlockLength(rest, kBlockBytes));
      rest.remove_prefix(in.size());
      for (std::size_t k = 0; k < n; ++k) {
        const bool last = k + 1 == n;
        ByteBuffer& to = last ? *out->bytes : k % 2 == 0 ? *out->spare : *other;
        std::vector<std::size_t>* ends = last ? nullptr : &stops[k % 2];
        if (!last) {
          to.clear();
          ends->clear();
        }
        RecordingSink sink(to, terms[k], ends);
        RunStats figures;
        // Steps chunked apart write no line break of their own: the lines
        // after the first step are read back where they were recorded.
        if (k == 0) {
          PieceLines lines(in, &keys[k]);
          out->run = RunPiece(*plans_.plans[k], lines, sink, at[k], nullptr, &at[k],
                              count_ ? &figures : nullptr);
        } else {
          RecordedLines lines(in, stops[(k - 1) % 2], terms[k - 1].size(),
                              WritesTabs(recipe_.steps[k - 1]), &keys[k]);
          out->run = RunPiece(*plans_.plans[k], lines, sink, at[k], nullptr, &at[k],
                              count_ ? &figures : nullptr);
        }
        if (!out->run.completed) return out;
        if (count_) out->figures[k] += figures;
        in = to.view();
      }
    }
    for (std::size_t k = 0; k < n; ++k) at[k] = Normalised(needs_[k], at[k]);
    out->ends = std::move(at);
    return out;
  }

  const Recipe& recipe_;
  const Plans& plans_;
  const ChunkReader& reader_;
  ByteWriter& out_;
  const bool count_;
  const bool sequential_;
  BufferPool& buffers_;
  std::vector<SplitNeeds> needs_;
  std::vector<PieceBoundary> guess_, expect_;
  mutable std::vector<PieceBoundary> running_;  // the one worker's, when sequential
  RunResult result_;
  std::vector<RunStats> figures_;
};

// The first step's reason for which a chunk of a text cannot run a recipe
// alone, or "".
std::string WhyNotAlone(const Recipe& recipe, bool mayGuess) {
  for (std::size_t i = 0; i < recipe.steps.size(); ++i) {
    const RecipeStep& step = recipe.steps[i];
    const std::string which = "step " + std::to_string(i + 1);
    const SplitNeeds needs = NeedsOf(step.request);
    if (needs.wholeText) return which + " needs the whole text";
    if (needs.lineNumber || needs.nextLine || (!mayGuess && !needs.independent())) {
      const std::string explained = ExplainSplit(step.request);
      return which + " needs what the lines before a chunk leave after the steps before it (" +
             explained.substr(explained.rfind(' ') + 1) + ")";
    }
    if (MayWriteBreaks(step))
      return which + " writes line breaks within its lines (the steps after it read them)";
  }
  return {};
}

// Why the recipe runs on one thread under -j; "" when it runs in chunks.
std::string WhyOneThread(const Recipe& recipe) {
  return WhyNotAlone(recipe, true);
}

}  // namespace

RunResult RunRecipe(const Recipe& recipe, LineSource& source, LineSink& sink,
                    std::vector<RunStats>* stats, RecipeLineEnds* ends) {
  const Plans plans = MakePlans(recipe);
  if (!plans.messages.empty()) return {false, plans.messages};
  LineInput input(source, kBlockBytes, ends);
  return RunSteps(recipe, plans, input, {&sink, nullptr, ends}, stats, kBlockBytes);
}

RunResult RunRecipeBytes(const Recipe& recipe, ByteReader& in, ByteWriter& out,
                         const RecipeByteOptions& options, std::vector<RunStats>* stats) {
  const Plans plans = MakePlans(recipe);
  if (!plans.messages.empty()) return {false, plans.messages};
  const std::size_t chunkBytes = std::max<std::size_t>(options.chunkBytes, 1);
  const bool chunks = WhyOneThread(recipe).empty();
  assert(options.inputTerminator.empty() || RecipeIndependent(recipe));
  if (!chunks) {
    const std::size_t blockBytes = std::min(chunkBytes, kBlockBytes);
    ByteInput input(in, blockBytes);
    return RunSteps(recipe, plans, input, {nullptr, &out, nullptr}, stats, blockBytes);
  }
  BufferPool buffers;
  ParallelOptions po;
  po.jobs = options.jobs;
  po.chunkBytes = chunkBytes;
  po.terminator = recipe.steps.front().terminator;
  if (po.terminator.empty()) po.terminator = options.inputTerminator;
  ChunkReader reader(in, po, SplitNeeds{}, TestCode::None, buffers);
  ParallelChain chain(recipe, plans, reader, out, stats != nullptr, buffers,
                      std::max(1U, options.jobs));
  RunChunkPipeline(reader, std::max(1U, options.jobs), chain);
  if (stats != nullptr) *stats = chain.figures();
  return chain.result();
}

std::vector<std::string> ExplainRecipe(const Recipe& recipe) {
  std::vector<std::string> lines;
  bool whole = false;
  for (std::size_t i = 0; i < recipe.steps.size(); ++i) {
    const RecipeStep& step = recipe.steps[i];
    const SplitNeeds needs = NeedsOf(step.request);
    whole = whole || needs.wholeText;
    std::string s = "step " + std::to_string(i + 1);
    if (step.line > 0) s += " (line " + std::to_string(step.line) + ")";
    lines.push_back(s + ": " + ExplainSplit(step.request));
  }
  // The chains and the whole-text steps between them, in order.
  std::size_t chains = 0;
  for (std::size_t i = 0; i < recipe.steps.size();) {
    if (IsWhole(recipe.steps[i])) {
      lines.push_back(
          "step " + std::to_string(i + 1) +
          ": the whole text at once, on one thread; the steps after it read its output");
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < recipe.steps.size() && !IsWhole(recipe.steps[j])) ++j;
    ++chains;
    lines.push_back("chain " + std::to_string(chains) + ": steps " + std::to_string(i + 1) + "-" +
                    std::to_string(j) + " in one pass");
    i = j;
  }
  const std::string why = WhyOneThread(recipe);
  const bool alone = RecipeIndependent(recipe);
  const char* split = whole ? "whole-text" : alone ? "independent" : "context";
  std::string threads = "on one thread, " + why;
  if (why.empty())
    threads = alone ? "in chunks on every thread"
                    : "in chunks on every thread; a chunk whose steps start otherwise than the "
                      "chunk before leaves them runs again";
  lines.push_back(std::string("recipe: split=") + split +
                  " steps=" + std::to_string(recipe.steps.size()) +
                  " chains=" + std::to_string(chains) + ": " + threads);
  return lines;
}

bool RecipeIndependent(const Recipe& recipe) {
  return WhyNotAlone(recipe, false).empty();
}

}  // namespace quorlin
