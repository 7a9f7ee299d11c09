// SPDX-License-Identifier: Apache-2.0
#include "engine/ChangeRun.h"

#include <algorithm>
#include <cassert>
#include <optional>
#include <type_traits>

#include "engine/BlockLines.h"
#include "engine/ByteBuffer.h"
#include "engine/LineRecords.h"
#include "engine/LineStore.h"
#include "engine/RunPlan.h"
#include "engine/Splitting.h"
#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

// The length of the whole lines at the start of lines (each with its break)
// that come out the same expanded (and cut at cap columns) byte by byte as
// character by character in UTF-8: those where no byte above 127 comes
// before a tab, or before the cut.
std::size_t AlikeInUtf8(std::string_view lines, std::size_t cap) {
  const char* const base = lines.data();
  const char* const end = base + lines.size();
  for (std::size_t at = 0;;) {
    const std::size_t high = at + QU::FirstNonAscii(lines.substr(at));
    if (high == lines.size()) return high;
    bool tabAfter = false, more = false;  // a tab from the byte to the line's end
    const auto stop = std::size_t(FindLineEnd(base + high, end, tabAfter, more) - base);
    const auto start = [&] { return QU::EndOfLastLine(lines.substr(0, high)); };
    if (cap == LineShape().cap) {
      if (tabAfter) return start();
    } else if (high - start() < cap) {  // columns are never fewer than bytes
      return start();
    }
    if (stop == lines.size()) return stop;
    at = stop + 1;  // a CR LF's LF is ASCII and ends no line of its own here
  }
}

// The run over the lines of a source into a sink. Made for the concrete
// source and sink of the batch program as well as for any other, so that the
// calls for every line of a large file go straight to the block reader and
// writer.
template <class Source, class Sink>
class Run {
 public:
  Run(const RunPlan& plan, Source& source, Sink& sink, RunStats* stats, RunObserver* observer,
      const PieceBoundary& start = {}, LineSource* after = nullptr)
      : plan_(plan),
        source_(source),
        sink_(sink),
        after_(after),
        stats_(stats),
        observer_(observer),
        counting_(stats != nullptr || observer != nullptr),
        watching_(observer != nullptr),
        number_(start.linesBefore),
        firstNumber_(start.linesBefore),
        previousBlank_(start.lastTestedBlank),
        insideTag_(start.insideTag),
        skipFirst_(start.firstLineJoined),
        bulk_(bulkOf(plan, counting_, source.givesLines() && sink.takesLines())),
        deletesKeyLines_(bulk_ == Bulk::UntilKey && plan.test.kind == TestCode::HasKey &&
                         plan.action.kind == ActionCode::DeleteLine),
        changesKeyLines_(
            bulk_ == Bulk::UntilKey && plan.actionKind == ActionKind::InLine &&
            !plan.actionReadsCmpLine && plan.outputCase == OutputCase::AsIs &&
            (plan.test.kind == TestCode::Passes || plan.test.kind == TestCode::HasKey)) {}

  RunResult execute();
  // What the run leaves to the lines after the ones it read.
  PieceBoundary end() const {
    return {number_ - (joinedAfter_ ? 1 : 0), previousBlank_, insideTag_, joinedAfter_};
  }

 private:
  // The line being stepped: as read, with its tabs expanded once asked, and
  // as compared with the key once asked.
  struct Current {
    std::string_view raw;
    std::string_view line;  // raw until expanded
    bool expanded;
    const LineFacts& facts;
    std::string_view cmp;
    bool compared = false;
  };

  // Runs of lines that come out as they went in, but for their tabs, letter
  // case and line ends: every line, those up to the next that holds the key,
  // or (stripping tags, outside a tag) those up to the next "<" or ">".
  enum class Bulk { None, All, UntilKey, UntilBracket };
  static Bulk bulkOf(const RunPlan& plan, bool counting, bool possible);
  void bulkLines();
  // The lines the source last handed out, copied with their stops.
  void copyRecorded(std::string_view lines, std::size_t cap);

  void step(std::string_view raw, const LineFacts& facts);
  void countedStep(std::string_view raw, const LineFacts& facts);
  void emitSorted();
  void report(std::uint64_t line, std::uint64_t taken, std::string_view before);
  bool testStep(Current& cur);
  void actionStep(Current& cur, bool passes);

  std::string_view emit(std::string_view x);
  [[gnu::noinline]] void noteWritten(std::string_view x);
  void emitUnchanged(Current& cur);
  std::string_view expanded(Current& cur);
  static std::string_view expand(std::string_view raw, ByteBuffer& buf, bool utf8);
  std::string_view comparison(Current& cur);

  std::string_view splitAtLength(std::string_view line);
  std::string_view splitAtSeparators(std::string_view line);
  std::string_view splitBeforeKey(std::string_view line, std::string_view cmpLine);
  std::string_view joinNext(std::string_view line);

  const RunPlan& plan_;
  Source& source_;
  Sink& sink_;
  LineSource* after_;  // the lines after a piece, for a join at its end
  RunStats* stats_;
  RunObserver* observer_;

  // Counting: what each step writes is compared with the line as read.
  const bool counting_;
  bool watching_;  // the observer wants more changes: what a step writes is copied
  RunStats counts_;
  std::string_view stepRaw_;            // the line as read, while it is stepped
  std::size_t stepOut_ = 0;             // lines written for it
  bool stepOwn_ = false;                // one of them is the line as read
  std::vector<std::string> stepLines_;  // what it wrote, while watching
  std::string rawCopy_;                 // the line as read, kept across a join's read
  RecordBuffer sortInput_;              // a sort's lines as read, in input order

  // What the lines read so far leave to the next one.
  long long number_;
  long long firstNumber_;  // lines before the first this run counts as its own
  bool previousBlank_;     // the line last tested was blank
  bool insideTag_;
  bool skipFirst_;            // the first line was joined to the line before the piece
  bool joinedAfter_ = false;  // the last line joined the line after the piece
  std::optional<SortStore> sort_;
  std::optional<SeenLines> seen_;
  const Bulk bulk_;
  const bool deletesKeyLines_;  // every line that holds the key goes, and nothing else
  // The lines that hold the key are the only ones changed, by an action on
  // the line alone: each is written with the lines before it, then changed.
  const bool changesKeyLines_;

  // Per-line buffers, reused so that the common line costs no allocation.
  ByteBuffer expanded_, nextExpanded_;
  std::string cmp_, scratch_, caseBuf_, joined_, tagBuf_;
};

// The write-out step: one output line, converted by the output case option.
// Returns the line as written.
template <class Source, class Sink>
std::string_view Run<Source, Sink>::emit(std::string_view x) {
  x = ApplyOutputCase(plan_.outputCase, x, caseBuf_);
  sink_.write(x);
  if (counting_) [[unlikely]]
    noteWritten(x);
  return x;
}

template <class Source, class Sink>
void Run<Source, Sink>::noteWritten(std::string_view x) {
  ++stepOut_;
  if (!stepOwn_ && x == stepRaw_) stepOwn_ = true;
  if (watching_) stepLines_.emplace_back(x);
}

// The line as read, with its tabs expanded: a line that nothing else read is
// expanded straight into the output (unless the run counts what it writes).
template <class Source, class Sink>
void Run<Source, Sink>::emitUnchanged(Current& cur) {
  // (A line of UTF-8 characters with tabs is expanded by characters, here;
  // the source mostly tells whether it is ASCII.)
  if (!cur.expanded && plan_.outputCase == OutputCase::AsIs && !counting_ &&
      !(plan_.utf8 && cur.facts.hasTab &&
        (cur.facts.hasHigh > 0 || (cur.facts.hasHigh < 0 && !QU::AllAscii(cur.raw)))))
    sink_.writeExpanded(cur.raw, kTabWidth);
  else
    emit(expanded(cur));
}

template <class Source, class Sink>
std::string_view Run<Source, Sink>::expanded(Current& cur) {
  if (!cur.expanded) {
    // A line the source found ASCII has its bytes for characters.
    cur.line = expand(cur.raw, expanded_, plan_.utf8 && cur.facts.hasHigh != 0);
    cur.expanded = true;
  }
  return cur.line;
}

template <class Source, class Sink>
std::string_view Run<Source, Sink>::expand(std::string_view raw, ByteBuffer& buf, bool utf8) {
  buf.clear();
  buf.appendExpanded(raw, kTabWidth, utf8);
  return buf.view();
}

template <class Source, class Sink>
std::string_view Run<Source, Sink>::comparison(Current& cur) {
  if (!cur.compared) {
    cur.cmp = expanded(cur);
    if (plan_.foldCompare) {
      cmp_.clear();
      QU::AppendUpperCase(cmp_, cur.cmp);
      cur.cmp = cmp_;
    }
    cur.compared = true;
  }
  return cur.cmp;
}

template <class Source, class Sink>
RunResult Run<Source, Sink>::execute() {
  RunResult r;
  if (plan_.watchKey) source_.watchKey(plan_.key, plan_.foldCompare);
  if (plan_.watchPattern) source_.watchPattern(plan_.pattern.get());

  std::string_view raw;
  LineFacts facts;
  if (skipFirst_ && source_.next(raw, facts)) {  // counted with the piece before
    ++number_;
    ++firstNumber_;
  }
  if (!source_.next(raw, facts)) {  // an empty text gives an empty output
    r.completed = true;
    return r;
  }
  // The actions that may stop do so at the first line.
  if (plan_.stopsAtFirstLine) {
    r.messages.emplace_back(kCharPositionsMessage);
    return r;
  }
  if (plan_.action.kind == ActionCode::Sort) sort_.emplace(plan_.sortFrom, plan_.utf8);
  if (plan_.action.kind == ActionCode::RemoveDuplicates) seen_.emplace();

  if (counting_) {
    do {
      countedStep(raw, facts);
    } while (source_.next(raw, facts));
  } else if (bulk_ != Bulk::None) {
    do {
      step(raw, facts);
      bulkLines();
    } while (source_.next(raw, facts));
  } else {
    do {
      step(raw, facts);
    } while (source_.next(raw, facts));
  }

  if (sort_) emitSorted();
  sort_.reset();
  seen_.reset();
  r.completed = true;
  if (stats_ != nullptr) {
    counts_.linesIn = static_cast<std::uint64_t>(number_ - firstNumber_);
    counts_.linesOut = counts_.linesIn - counts_.deleted + counts_.added;
    *stats_ = counts_;
  }
  return r;
}

template <class Source, class Sink>
typename Run<Source, Sink>::Bulk Run<Source, Sink>::bulkOf(const RunPlan& plan, bool counting,
                                                           bool possible) {
  // What the run tells line by line (figures, the line before) keeps it line
  // by line. Under UTF-8 only lines that come out alike in bytes go many at
  // once (bulkLines).
  if (!possible || counting || plan.trackBlank || plan.retainPassingOnly ||
      plan.actionKind == ActionKind::WholeText)
    return Bulk::None;
  const bool everyLine = plan.test.kind == TestCode::Passes;
  const ActionCode a = plan.action.kind;
  if (a == ActionCode::StripTags) return everyLine ? Bulk::UntilBracket : Bulk::None;
  if (everyLine && (a == ActionCode::NoChange || a == ActionCode::None || plan.truncatedAt > 0))
    return Bulk::All;
  // A line without the key fails the test, or passes and the action leaves
  // it as it is.
  if (plan.watchKey && ((plan.test.kind == TestCode::HasKey && plan.keyFromSource) ||
                        (everyLine && plan.actionKeyFromSource)))
    return Bulk::UntilKey;
  return Bulk::None;
}

// The lines the source has at hand that the run leaves as they are, written
// many at once; one too long for that goes through the step of its own. When
// only the lines with the key change, each such line comes last, is written
// with the rest and then taken back and changed.
template <class Source, class Sink>
void Run<Source, Sink>::bulkLines() {
  LineShape shape;
  shape.tabWidth = kTabWidth;
  shape.fold = plan_.outputCase == OutputCase::Upper   ? 'a'
               : plan_.outputCase == OutputCase::Lower ? 'A'
                                                       : '\0';
  if (bulk_ == Bulk::All && plan_.truncatedAt > 0) shape.cap = plan_.truncatedAt;
  constexpr bool kRecorded =
      std::is_same_v<Source, RecordedLines> && std::is_same_v<Sink, RecordingSink>;
  // Between the steps of a recipe, lines without tabs that keep their case
  // and terminator go on as they are, with the places they end (copyable).
  // The lines between those are changed here without a step of their own:
  // stripping tags, a line inside a tag or with a "<" or ">"; for an action
  // on every line that looks for a plain key, a line that holds it.
  bool copyable = false;
  if constexpr (kRecorded)
    copyable =
        shape.fold == '\0' && !source_.mayHoldTabs() && source_.terminator() == sink_.terminator();
  const bool stripsHere = copyable && bulk_ == Bulk::UntilBracket;
  const bool keyedHere = copyable && bulk_ == Bulk::UntilKey && plan_.watchKey &&
                         plan_.test.kind == TestCode::Passes &&
                         plan_.actionKind == ActionKind::InLine && !plan_.actionReadsCmpLine;
  for (;;) {
    if (bulk_ == Bulk::UntilBracket && insideTag_ && !stripsHere) return;
    if constexpr (std::is_same_v<Source, RecordedLines>) {
      // Lines that hold the key, when those go: passed without a step.
      if (deletesKeyLines_)
        while (source_.skipKeyLine()) ++number_;
    }
    bool keyLine = false;  // the last of the lines holds the key
    std::string_view lines = bulk_ == Bulk::UntilBracket && insideTag_ ? std::string_view()
                             : changesKeyLines_ ? source_.nextLinesAndKeyLine(keyLine)
                                                : source_.nextLines(bulk_ == Bulk::UntilKey,
                                                                    bulk_ == Bulk::UntilBracket);
    if (lines.empty()) {
      if constexpr (kRecorded) {
        std::string_view line;
        if ((stripsHere || keyedHere) && source_.takeLine(line)) {
          ++number_;
          if (stripsHere) {
            tagBuf_.clear();
            QU::AppendStripTags(tagBuf_, line, insideTag_);
            sink_.write(tagBuf_);
          } else {
            sink_.write(ApplyInlineAction(plan_.action, line, {}, scratch_));
          }
          continue;
        }
      }
      return;
    }
    if constexpr (kRecorded) {
      // Those longer than the cap are cut.
      if (copyable && (!plan_.utf8 || AlikeInUtf8(lines, shape.cap) == lines.size())) {
        copyRecorded(lines, shape.cap);
        continue;
      }
    }
    // Under UTF-8, the lines before the first that is not alike go many at
    // once; that line takes its own step. alike: where it starts in lines.
    // After a run of lines none of which is alike, one after another, the
    // rest of these take their steps without being looked at first.
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t alike = plan_.utf8 ? AlikeInUtf8(lines, shape.cap) : kNone;
    int unlike = 0;
    while (!lines.empty()) {
      const std::size_t whole = std::min(alike, lines.size());
      std::size_t count = 0;
      const std::size_t taken =
          whole > 0 ? sink_.writeLines(lines.substr(0, whole), shape, count) : 0;
      number_ += static_cast<long long>(count);
      lines.remove_prefix(taken);
      if (alike != kNone) alike -= taken;
      if (taken > 0) unlike = 0;
      if (taken > 0 && lines.empty() && keyLine) {  // the line with the key, as written
        expanded_.clear();
        expanded_.append(sink_.takeBackLastLine());
        emit(ApplyInlineAction(plan_.action, expanded_.view(), {}, scratch_));
      }
      if (taken == 0) {
        bool tabs = false, high = false;
        const auto stop = std::size_t(
            FindLineEnd(lines.data(), lines.data() + lines.size(), tabs, high) - lines.data());
        const std::string_view line = lines.substr(0, stop);
        const std::size_t passed = TerminatorAt(lines, stop).size() + stop;
        LineFacts facts;
        facts.hasTab = tabs;
        facts.hasHigh = static_cast<signed char>(high ? 1 : 0);
        facts.hasKey = bulk_ != Bulk::UntilKey ? -1 : keyLine && passed == lines.size() ? 1 : 0;
        step(line, facts);
        lines.remove_prefix(passed);
        if (alike != kNone) {
          unlike = alike == 0 ? unlike + 1 : 0;
          alike = unlike > 16 ? 0 : alike < passed ? AlikeInUtf8(lines, shape.cap) : alike - passed;
        }
      }
    }
  }
}

template <class Source, class Sink>
void Run<Source, Sink>::copyRecorded(std::string_view lines, std::size_t cap) {
  const std::size_t* const stops = source_.lastStops();
  const std::size_t n = source_.lastCount(), at = source_.lastAt();
  const std::size_t termLength = sink_.terminator().size();
  std::size_t i = 0, start = at;  // the first line not written, where it starts
  while (i < n) {
    std::size_t j = i, from = start;  // lines [i, j) within the cap
    while (j < n && stops[j] - from <= cap) from = stops[j++] + termLength;
    if (j > i) sink_.copyRecorded(lines.substr(start - at, from - start), stops + i, j - i, start);
    if (j < n) {
      sink_.write(lines.substr(from - at, cap));
      from = stops[j++] + termLength;
    }
    i = j;
    start = from;
  }
  number_ += static_cast<long long>(n);
}

// A step that counts: what it wrote for its line (or lines) decides whether
// the line was deleted, kept as it was, or changed, and what was added.
template <class Source, class Sink>
void Run<Source, Sink>::countedStep(std::string_view raw, const LineFacts& facts) {
  if (plan_.action.kind == ActionCode::JoinNext) {  // the view of the line dies with the next read
    rawCopy_.assign(raw);
    raw = rawCopy_;
  }
  stepRaw_ = raw;
  stepOut_ = 0;
  stepOwn_ = false;
  const long long numberBefore = number_;
  if (watching_) stepLines_.clear();
  step(raw, facts);
  if (sort_) {  // counted as the sorted lines are written
    sortInput_.append(raw);
    return;
  }
  const auto taken = static_cast<std::uint64_t>(number_ - numberBefore);
  if (stepOut_ == 0) {
    counts_.deleted += taken;
  } else {
    counts_.added += stepOut_ - 1;
    counts_.deleted += taken - 1;
    if (!stepOwn_) ++counts_.changed;
  }
  if (watching_ && (stepOut_ != 1 || !stepOwn_ || taken != 1))
    report(static_cast<std::uint64_t>(numberBefore) + 1, taken, raw);
}

// The sorted lines, each compared with the line that stood at its position.
template <class Source, class Sink>
void Run<Source, Sink>::emitSorted() {
  if (!counting_) {
    sort_->sortedEach([&](std::string_view line) { emit(line); });
    return;
  }
  std::size_t at = 0;
  std::uint64_t position = 0;
  sort_->sortedEach([&](std::string_view line) {
    ++position;
    const std::string_view before = sortInput_.lineAt(at, &at);
    stepRaw_ = before;
    stepOut_ = 0;
    stepOwn_ = false;
    if (watching_) stepLines_.clear();
    emit(line);
    if (stepOwn_) return;
    ++counts_.changed;
    if (watching_) report(position, 1, before);
  });
}

template <class Source, class Sink>
void Run<Source, Sink>::report(std::uint64_t line, std::uint64_t taken, std::string_view before) {
  watching_ = observer_->changed(LineChange{line, taken, before, stepLines_});
  if (!watching_) stepLines_ = {};
}

template <class Source, class Sink>
void Run<Source, Sink>::step(std::string_view raw, const LineFacts& facts) {
  ++number_;
  if (deletesKeyLines_ && facts.hasKey == 1) return;
  // The line with its tabs expanded is made only when something reads it.
  Current cur{raw, raw, !facts.hasTab, facts, {}, false};
  if (plan_.actionKind == ActionKind::WholeText) {  // the test is not consulted
    if (counting_) ++counts_.passed;
    if (sort_) {
      sort_->add(expanded(cur));
    } else if (seen_->addIfNew(expanded(cur))) {  // the first of equal lines is kept
      emit(cur.line);
    }
    return;
  }
  const bool passes = testStep(cur);
  if (counting_ && passes) ++counts_.passed;
  actionStep(cur, passes);
}

// The verdict of the test on the current line.
template <class Source, class Sink>
bool Run<Source, Sink>::testStep(Current& cur) {
  const bool blankNow = plan_.trackBlank && QU::IsBlankLine(cur.raw);
  bool passes;
  if (plan_.test.kind == TestCode::Passes) {
    passes = true;
  } else if (!plan_.testTabsMatter) {
    // Line numbers, blank lines, "<" and ">", and the first byte after leading
    // blanks are the same before and after tab expansion (a tab and a space
    // are both below 33): those tests read the line as it came.
    passes = LinePasses(plan_.test, TestLine{number_, cur.raw, cur.raw, previousBlank_});
  } else if (plan_.keyFromSource && cur.facts.hasKey >= 0) {
    passes = (cur.facts.hasKey != 0) == (plan_.test.kind == TestCode::HasKey);
  } else {
    const std::string_view cmpLine = plan_.testCompares ? comparison(cur) : std::string_view();
    passes = LinePasses(plan_.test, TestLine{number_, expanded(cur), cmpLine, previousBlank_});
  }
  if (plan_.trackBlank) previousBlank_ = blankNow;
  return passes;
}

// What the action writes for the current line.
template <class Source, class Sink>
void Run<Source, Sink>::actionStep(Current& cur, bool passes) {
  std::string_view result;
  bool tagsLeaveLine = false;
  if (plan_.action.kind == ActionCode::StripTags) {  // the tag state follows every line
    // Outside a tag, a line without "<" or ">" comes out as it is.
    tagsLeaveLine = !insideTag_ && !QU::HoldsTagBracket(cur.raw);
    if (!tagsLeaveLine) {
      tagBuf_.clear();
      QU::AppendStripTags(tagBuf_, expanded(cur), insideTag_);
      result = tagBuf_;
    }
  }
  if (!passes) {
    if (!plan_.retainPassingOnly) emitUnchanged(cur);
    return;
  }
  // An action that looks for the key leaves a line without it as it is.
  if (plan_.actionKeyFromSource && cur.facts.hasKey == 0) {
    emitUnchanged(cur);
    return;
  }
  if (plan_.actionKind == ActionKind::InLine) {
    if (plan_.action.kind == ActionCode::NoChange || plan_.action.kind == ActionCode::None)
      emitUnchanged(cur);
    else if (plan_.truncatedAt > 0 && !plan_.utf8 && !cur.expanded &&
             cur.raw.size() > plan_.truncatedAt)
      emit(expand(cur.raw.substr(0, plan_.truncatedAt), expanded_, false)
               .substr(0, plan_.truncatedAt));
    else
      emit(ApplyInlineAction(plan_.action, expanded(cur),
                             plan_.actionReadsCmpLine ? comparison(cur) : std::string_view(),
                             scratch_));
    return;
  }
  switch (plan_.action.kind) {
    case ActionCode::DeleteLine:
      return;
    case ActionCode::AddLineAfter:
      emitUnchanged(cur);
      emit(plan_.action.replacementKey);
      return;
    case ActionCode::AddLineBefore:
      emit(plan_.action.replacementKey);
      emitUnchanged(cur);
      return;
    case ActionCode::SplitAtLength:
      result = splitAtLength(expanded(cur));
      break;
    case ActionCode::SplitAtSeparators:
      result = splitAtSeparators(expanded(cur));
      break;
    case ActionCode::SplitBeforeKey:
      result = splitBeforeKey(expanded(cur),
                              plan_.actionCompares ? comparison(cur) : std::string_view());
      break;
    case ActionCode::JoinNext:
      result = joinNext(expanded(cur));
      break;
    default:  // StripTags: its result is made above
      if (tagsLeaveLine) {
        emitUnchanged(cur);
        return;
      }
      break;
  }
  emit(result);
}

// Action 20: pieces of LineLength bytes; all but the last are written here,
// the last is returned.
template <class Source, class Sink>
std::string_view Run<Source, Sink>::splitAtLength(std::string_view line) {
  const long long w = plan_.action.lineLength;
  if (w < 1 || static_cast<long long>(line.size()) <= w) return line;
  const auto W = static_cast<std::size_t>(w);
  if (plan_.utf8) {  // pieces of W characters
    for (std::size_t cut = QU::Utf8Skip(line, W); cut < line.size(); cut = QU::Utf8Skip(line, W)) {
      emit(line.substr(0, cut));
      line.remove_prefix(cut);
    }
    return line;
  }
  while (line.size() > W) {
    emit(line.substr(0, W));
    line.remove_prefix(W);
  }
  return line;
}

// Action 39: cut at the last space or comma within LineLength bytes, or after
// the first one beyond when there is none; the separator ends the piece.
template <class Source, class Sink>
std::string_view Run<Source, Sink>::splitAtSeparators(std::string_view line) {
  const long long w = plan_.action.lineLength;
  if (w < 1) return line;
  const auto W = static_cast<std::size_t>(w);
  std::string_view rest = line;
  // The first W characters (bytes); rest is longer when they end before it.
  const auto within = [&] { return plan_.utf8 ? QU::Utf8Skip(rest, W) : std::min(W, rest.size()); };
  while (within() < rest.size() && rest.find_first_of(" ,") != std::string_view::npos) {
    std::size_t cut = QU::LastPosInSet(" ,", rest.substr(0, within()), true);
    if (cut == 0) cut = QU::FirstPosInSet(" ,", rest, true);
    emit(rest.substr(0, cut));
    rest.remove_prefix(cut);
  }
  return rest;
}

// Action 40: a new line before each occurrence of the key, matched in the
// comparison line and copied from the line. The count and the position
// searches differ on keys that overlap themselves; the pieces follow them.
template <class Source, class Sink>
std::string_view Run<Source, Sink>::splitBeforeKey(std::string_view line,
                                                   std::string_view cmpLine) {
  if (plan_.pattern != nullptr)
    return SplitBeforeMatches(*plan_.pattern, line, [&](std::string_view piece) { emit(piece); });
  const std::string_view key = plan_.cmpKey;
  const std::size_t n = QU::CountKeys(cmpLine, key);
  if (n == 0) return line;
  const std::size_t p = QU::NthKeyPos(cmpLine, key, static_cast<long long>(n));
  const std::string_view result = line.substr(p - 1);
  std::string_view work = line.substr(0, p - 1);
  std::string_view workCmp = cmpLine.substr(0, p - 1);
  const std::size_t first = QU::KeyPos(key, workCmp);
  if (first > 1) {
    emit(work.substr(0, first - 1));
    work.remove_prefix(first - 1);
    workCmp.remove_prefix(first - 1);
  }
  while (!work.empty()) {
    const std::size_t next = QU::NthKeyPos(workCmp, key, 2);
    if (next == 0) {
      emit(work);
      break;
    }
    emit(work.substr(0, next - 1));
    work.remove_prefix(next - 1);
    workCmp.remove_prefix(next - 1);
  }
  return result;
}

// Action 44: the next input line, tabs expanded, appended to the line; it
// counts as a line read but is neither tested nor the next step's line before.
template <class Source, class Sink>
std::string_view Run<Source, Sink>::joinNext(std::string_view line) {
  // The line's view dies with the next read: keep a copy.
  joined_.assign(line);
  std::string_view next;
  LineFacts nextFacts;
  bool more = source_.next(next, nextFacts);
  if (!more && after_ != nullptr) {
    more = after_->next(next, nextFacts);
    joinedAfter_ = more;
  }
  if (more) {
    ++number_;
    joined_.append(nextFacts.hasTab ? expand(next, nextExpanded_, plan_.utf8) : next);
  }
  return joined_;
}

}  // namespace

RunResult RunChange(const ChangeRequest& request, LineSource& source, LineSink& sink,
                    RunStats* stats, RunObserver* observer) {
  assert(ValidateRequest(request).empty());
  if (stats != nullptr) *stats = RunStats();
  RunResult refused;
  const std::shared_ptr<const RunPlan> plan = RunPlan::make(request, refused.messages);
  if (!plan) return refused;
  auto* reader = dynamic_cast<BlockLineReader*>(&source);
  auto* writer = dynamic_cast<BlockLineWriter*>(&sink);
  if (reader != nullptr && writer != nullptr)
    return Run<BlockLineReader, BlockLineWriter>(*plan, *reader, *writer, stats, observer)
        .execute();
  return Run<LineSource, LineSink>(*plan, source, sink, stats, observer).execute();
}

RunResult RunPiece(const RunPlan& plan, LineSource& piece, LineSink& sink,
                   const PieceBoundary& start, LineSource* after, PieceBoundary* end,
                   RunStats* stats) {
  assert(plan.actionKind != ActionKind::WholeText);
  if (stats != nullptr) *stats = RunStats();
  auto over = [&]<class Source, class Sink>(Source& source, Sink& to) {
    Run<Source, Sink> run(plan, source, to, stats, nullptr, start, after);
    RunResult r = run.execute();
    if (end) *end = run.end();
    return r;
  };
  // The steps of a recipe hand lines on in memory: their calls for every line
  // go straight to these.
  if (auto* recording = dynamic_cast<RecordingSink*>(&sink)) {
    if (auto* recorded = dynamic_cast<RecordedLines*>(&piece)) return over(*recorded, *recording);
    if (auto* lines = dynamic_cast<PieceLines*>(&piece)) return over(*lines, *recording);
  }
  return over(piece, sink);
}

}  // namespace quorlin
