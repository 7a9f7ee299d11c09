// SPDX-License-Identifier: Apache-2.0
#include "engine/ChangeRun.h"

#include <algorithm>
#include <cassert>
#include <clocale>
#include <memory>
#include <optional>

#include "engine/Actions.h"
#include "engine/Kinds.h"
#include "engine/LineStore.h"
#include "engine/LineTests.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

char UserDecimalPoint() {
  const std::lconv* lc = std::localeconv();
  if (lc && lc->decimal_point && lc->decimal_point[0] && !lc->decimal_point[1])
    return lc->decimal_point[0];
  return '.';
}

// The value of a numeric field that the run reads; a message instead when the
// text is no integer or lies outside the field's range (a field checked on
// leaving never does).
std::optional<long long> ReadField(const ChangeRequest& q, Field f,
                                   std::vector<std::string>& messages) {
  const std::string& text = q[f].text;
  const std::optional<std::int32_t> v = ParseIntegerText(text);
  if (!v) {
    messages.push_back(NotAnIntegerMessage(text));
    return std::nullopt;
  }
  const NumericFieldInfo& info = FieldInfo(f);
  if (*v < 0 || *v > info.upperBound) {
    messages.emplace_back(info.rangeMessage);
    return std::nullopt;
  }
  return *v;
}

class Run {
 public:
  Run(const ChangeRequest& q, LineSource& src, LineSink& sink, RunStats* stats,
      RunObserver* observer, const PieceBoundary& start = {}, LineSource* after = nullptr,
      const KeyPattern* pattern = nullptr)
      : q_(q),
        src_(src),
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
        pattern_(pattern) {}

  RunResult execute();
  // What the run leaves to the lines after the ones it read.
  PieceBoundary end() const {
    return {number_ - (joinedAfter_ ? 1 : 0), previousBlank_, insideTag_, joinedAfter_};
  }

 private:
  // The line being stepped: as read, and with its tabs expanded once asked.
  struct Current {
    std::string_view raw;
    std::string_view line;  // raw until expanded
    bool expanded;
  };

  bool prepare(std::vector<std::string>& messages);
  void step(std::string_view raw, const LineFacts& facts);
  void countedStep(std::string_view raw, const LineFacts& facts);
  void emitSorted();
  void report(std::uint64_t line, std::uint64_t taken, std::string_view before);
  bool testStep(Current& cur, const LineFacts& facts, std::string_view& cmpLine);
  void actionStep(Current& cur, std::string_view cmpLine, bool passes);

  std::string_view emit(std::string_view x);
  [[gnu::noinline]] void noteWritten(std::string_view x);
  void emitUnchanged(Current& cur);
  std::string_view expanded(Current& cur);
  std::string_view expand(std::string_view raw, std::vector<char>& buf);
  std::string_view compare(std::string_view line, std::string& buf) const;

  std::string_view splitAtLength(std::string_view line);
  std::string_view splitAtSeparators(std::string_view line);
  std::string_view splitBeforeKey(std::string_view line, std::string_view cmpLine);
  std::string_view joinNext(std::string_view line);

  const ChangeRequest& q_;
  LineSource& src_;
  LineSink& sink_;
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

  TestParams test_;
  ActionParams action_;
  ActionKind actionKind_ = ActionKind::InLine;
  bool mayStop_ = false;  // the action checks its positions at the first line
  std::string cmpKey_;
  bool foldCompare_ = false;     // the comparison line and key are upper-cased
  bool testCompares_ = false;    // the test matches the comparison key
  bool testTabsMatter_ = false;  // the test reads the line with its tabs expanded
  bool needCompare_ = false;     // every step builds the comparison line
  bool trackBlank_ = false;      // the test looks at the line before
  bool keyFromSource_ = false;   // the source tells whether a line holds the key
  bool outputUpper_ = false, outputLower_ = false;
  bool retain_ = false;

  long long number_;
  long long firstNumber_;  // lines before the first this run counts as its own
  bool previousBlank_;     // the line last tested was blank
  bool insideTag_;
  bool skipFirst_;            // the first line was joined to the line before the piece
  bool joinedAfter_ = false;  // the last line joined the line after the piece
  std::optional<SortStore> sort_;
  std::optional<SeenLines> seen_;
  const KeyPattern* pattern_;                     // the Test Key as a pattern, or null
  std::shared_ptr<const KeyPattern> ownPattern_;  // compiled by this run

  // Per-line buffers, reused so that the common line costs no allocation.
  std::vector<char> expanded_, nextExpanded_;
  std::string cmp_, scratch_, caseBuf_, joined_, tagBuf_;
};

bool Run::prepare(std::vector<std::string>& messages) {
  const TestRow* testRow = FindTest(q_.test);
  const ActionRow* actionRow = FindAction(q_.action);
  // No action chosen writes every line as it is; other codes that name no
  // action are refused.
  if (q_.action != ActionCode::None && actionRow == nullptr) {
    messages.push_back("Change action " + std::to_string(Number(q_.action)) + " is not available");
    return false;
  }
  // The numeric fields the test and action need, and those they read when
  // filled, in field order.
  FieldSet needs = testRow != nullptr ? testRow->needs : FieldSet();
  FieldSet optional;
  if (actionRow != nullptr) {
    needs = needs | actionRow->needs;
    optional = actionRow->alsoReads;
  }
  long long value[kFieldCount] = {};
  for (std::size_t i = Index(Field::FirstLineNum); i < kFieldCount; ++i) {
    const auto f = static_cast<Field>(i);
    if (!needs.has(f) && !(optional.has(f) && q_[f].filled)) continue;
    if (auto v = ReadField(q_, f, messages)) value[i] = *v;
  }
  if (!messages.empty()) return false;
  auto number = [&](Field f) { return value[Index(f)]; };

  // The Test Key as a pattern: compiled once per run, here unless handed in.
  // It is matched in the line itself, so no comparison line is made for it.
  if (pattern_ == nullptr && q_.keyIsPattern) {
    KeyPattern::Compiled compiled = RequestPattern(q_);
    if (!compiled.message.empty()) {
      messages.push_back(std::move(compiled.message));
      return false;
    }
    ownPattern_ = std::move(compiled.pattern);
    pattern_ = ownPattern_.get();
  }

  const std::string& key = q_[Field::TestKey].text;
  foldCompare_ = !q_.caseSensitive;
  cmpKey_ = foldCompare_ ? QU::UpperCase(key) : key;
  testCompares_ = testRow != nullptr && testRow->comparesKey;
  testTabsMatter_ = testRow != nullptr && testRow->tabsMatter;
  // Tests 3 and 5 ask whether the key occurs at all. Tab expansion cannot
  // make or break an occurrence of a key without tab or space, nor case
  // folding one of a key without letters; the source can then find the
  // occurrences in its raw bytes.
  const bool keyIsPlain = !key.empty() && key.find_first_of("\t ") == std::string::npos &&
                          (q_.caseSensitive || QU::UpperCase(key) == QU::LowerCase(key));
  // A pattern's matches the source finds over many lines at once.
  keyFromSource_ = (q_.test == TestCode::HasKey || q_.test == TestCode::LacksKey) &&
                   (keyIsPlain || pattern_ != nullptr);
  if (keyFromSource_ && pattern_ != nullptr)
    src_.watchPattern(pattern_);
  else if (keyFromSource_)
    src_.watchKey(key);
  needCompare_ =
      (testCompares_ && !keyFromSource_) || (actionRow != nullptr && actionRow->comparesKey);
  if (pattern_ != nullptr) testCompares_ = needCompare_ = false;
  trackBlank_ = testRow != nullptr && testRow->context == Context::LineBefore;
  actionKind_ = actionRow != nullptr ? actionRow->kind : ActionKind::InLine;
  mayStop_ = actionRow != nullptr && actionRow->context == Context::MayStop;
  outputUpper_ = q_.outputUpperCase;
  outputLower_ = q_.outputLowerCase && !q_.outputUpperCase;
  retain_ = q_.retainPassingOnly;

  test_ = TestParams{q_.test,
                     cmpKey_,
                     number(Field::FirstLineNum),
                     number(Field::LastLineNum),
                     number(Field::FirstCharPos),
                     number(Field::LineLength),
                     UserDecimalPoint(),
                     pattern_};
  action_ = ActionParams{q_.action,
                         key,
                         cmpKey_,
                         q_[Field::ReplacementKey].text,
                         number(Field::LineLength),
                         number(Field::FirstCharPos),
                         number(Field::LastCharPos),
                         number(Field::ReplPos),
                         q_.caseSensitive,
                         pattern_};
  return true;
}

// The write-out step: one output line, converted by the output case option.
// Returns the line as written.
std::string_view Run::emit(std::string_view x) {
  if (outputUpper_ || outputLower_) {
    caseBuf_.clear();
    if (outputUpper_)
      QU::AppendUpperCase(caseBuf_, x);
    else
      QU::AppendLowerCase(caseBuf_, x);
    x = caseBuf_;
  }
  sink_.write(x);
  if (counting_) [[unlikely]]
    noteWritten(x);
  return x;
}

void Run::noteWritten(std::string_view x) {
  ++stepOut_;
  if (!stepOwn_ && x == stepRaw_) stepOwn_ = true;
  if (watching_) stepLines_.emplace_back(x);
}

// The line as read, with its tabs expanded: a line that nothing else read is
// expanded straight into the output (unless the run counts what it writes).
void Run::emitUnchanged(Current& cur) {
  if (!cur.expanded && !outputUpper_ && !outputLower_ && !counting_)
    sink_.writeExpanded(cur.raw, kTabWidth);
  else
    emit(expanded(cur));
}

std::string_view Run::expanded(Current& cur) {
  if (!cur.expanded) {
    cur.line = expand(cur.raw, expanded_);
    cur.expanded = true;
  }
  return cur.line;
}

std::string_view Run::expand(std::string_view raw, std::vector<char>& buf) {
  // A buffer kept from line to line, sized for a few tabs first and for the
  // worst case only when a line needs it.
  if (buf.size() < raw.size() + 128) buf.resize(std::max(buf.size() * 2, raw.size() + 4096));
  char* end = QU::ExpandTabsInto(buf.data(), buf.data() + buf.size(), raw, kTabWidth);
  if (!end) {
    buf.resize(raw.size() * kTabWidth + 32);
    end = QU::ExpandTabsInto(buf.data(), buf.data() + buf.size(), raw, kTabWidth);
  }
  return {buf.data(), std::size_t(end - buf.data())};
}

std::string_view Run::compare(std::string_view line, std::string& buf) const {
  if (!foldCompare_) return line;
  buf.clear();
  QU::AppendUpperCase(buf, line);
  return buf;
}

RunResult Run::execute() {
  RunResult r;
  if (!prepare(r.messages)) return r;

  std::string_view raw;
  LineFacts facts;
  if (skipFirst_ && src_.next(raw, facts)) {  // counted with the piece before
    ++number_;
    ++firstNumber_;
  }
  if (!src_.next(raw, facts)) {  // an empty text gives an empty output
    r.completed = true;
    return r;
  }
  // The actions that may stop do so at the first line, on character
  // positions that name no range.
  if (mayStop_ && (action_.lastCharPos < 1 || action_.lastCharPos < action_.firstCharPos)) {
    r.messages.emplace_back(kCharPositionsMessage);
    return r;
  }
  if (q_.action == ActionCode::Sort) {
    const long long from = q_[Field::FirstCharPos].filled ? action_.firstCharPos : 1;
    sort_.emplace(static_cast<std::size_t>(from < 1 ? 1 : from));
  }
  if (q_.action == ActionCode::RemoveDuplicates) seen_.emplace();

  if (counting_) {
    do {
      countedStep(raw, facts);
    } while (src_.next(raw, facts));
  } else {
    do {
      step(raw, facts);
    } while (src_.next(raw, facts));
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

// A step that counts: what it wrote for its line (or lines) decides whether
// the line was deleted, kept as it was, or changed, and what was added.
void Run::countedStep(std::string_view raw, const LineFacts& facts) {
  if (q_.action == ActionCode::JoinNext) {  // the view of the line dies with the next read
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
void Run::emitSorted() {
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

void Run::report(std::uint64_t line, std::uint64_t taken, std::string_view before) {
  watching_ = observer_->changed(LineChange{line, taken, before, stepLines_});
  if (!watching_) stepLines_ = {};
}

void Run::step(std::string_view raw, const LineFacts& facts) {
  ++number_;
  // The line with its tabs expanded is made only when something reads it.
  Current cur{raw, raw, !facts.hasTab};
  if (actionKind_ == ActionKind::WholeText) {  // the test is not consulted
    if (counting_) ++counts_.passed;
    if (sort_) {
      sort_->add(expanded(cur));
    } else if (seen_->addIfNew(expanded(cur))) {  // the first of equal lines is kept
      emit(cur.line);
    }
    return;
  }
  std::string_view cmpLine;
  const bool passes = testStep(cur, facts, cmpLine);
  if (counting_ && passes) ++counts_.passed;
  actionStep(cur, cmpLine, passes);
}

// The verdict of the test on the current line; sets cmpLine when the step
// needs the comparison line.
bool Run::testStep(Current& cur, const LineFacts& facts, std::string_view& cmpLine) {
  if (needCompare_) cmpLine = compare(expanded(cur), cmp_);
  const bool blankNow = trackBlank_ && QU::IsBlankLine(cur.raw);
  bool passes;
  if (test_.kind == TestCode::Passes) {
    passes = true;
  } else if (!testTabsMatter_) {
    // Line numbers, blank lines, "<" and ">", and the first byte after leading
    // blanks are the same before and after tab expansion (a tab and a space
    // are both below 33): those tests read the line as it came.
    passes = LinePasses(test_, TestLine{number_, cur.raw, cur.raw, previousBlank_});
  } else if (keyFromSource_ && facts.hasKey >= 0) {
    passes = (facts.hasKey != 0) == (test_.kind == TestCode::HasKey);
  } else {
    if (!needCompare_ && testCompares_) cmpLine = compare(expanded(cur), cmp_);
    passes = LinePasses(test_, TestLine{number_, expanded(cur), cmpLine, previousBlank_});
  }
  if (trackBlank_) previousBlank_ = blankNow;
  return passes;
}

// What the action writes for the current line.
void Run::actionStep(Current& cur, std::string_view cmpLine, bool passes) {
  std::string_view result;
  if (action_.kind == ActionCode::StripTags) {  // the tag state follows every line
    tagBuf_.clear();
    QU::AppendStripTags(tagBuf_, expanded(cur), insideTag_);
    result = tagBuf_;
  }
  if (!passes) {
    if (!retain_) emitUnchanged(cur);
    return;
  }
  if (actionKind_ == ActionKind::InLine) {
    if (action_.kind == ActionCode::NoChange || action_.kind == ActionCode::None)
      emitUnchanged(cur);
    else
      emit(ApplyInlineAction(action_, expanded(cur), cmpLine, scratch_));
    return;
  }
  switch (action_.kind) {
    case ActionCode::DeleteLine:
      return;
    case ActionCode::AddLineAfter:
      emitUnchanged(cur);
      emit(action_.replacementKey);
      return;
    case ActionCode::AddLineBefore:
      emit(action_.replacementKey);
      emitUnchanged(cur);
      return;
    case ActionCode::SplitAtLength:
      result = splitAtLength(expanded(cur));
      break;
    case ActionCode::SplitAtSeparators:
      result = splitAtSeparators(expanded(cur));
      break;
    case ActionCode::SplitBeforeKey:
      result = splitBeforeKey(expanded(cur), cmpLine);
      break;
    case ActionCode::JoinNext:
      result = joinNext(expanded(cur));
      break;
    default:  // StripTags: its result is made above
      break;
  }
  emit(result);
}

// Action 20: pieces of LineLength bytes; all but the last are written here,
// the last is returned.
std::string_view Run::splitAtLength(std::string_view line) {
  const long long w = action_.lineLength;
  if (w < 1 || static_cast<long long>(line.size()) <= w) return line;
  const auto W = static_cast<std::size_t>(w);
  while (line.size() > W) {
    emit(line.substr(0, W));
    line.remove_prefix(W);
  }
  return line;
}

// Action 39: cut at the last space or comma within LineLength bytes, or after
// the first one beyond when there is none; the separator ends the piece.
std::string_view Run::splitAtSeparators(std::string_view line) {
  const long long w = action_.lineLength;
  if (w < 1) return line;
  const auto W = static_cast<std::size_t>(w);
  std::string_view rest = line;
  while (rest.size() > W && rest.find_first_of(" ,") != std::string_view::npos) {
    std::size_t cut = QU::LastPosInSet(" ,", rest.substr(0, W), true);
    if (cut == 0) cut = QU::FirstPosInSet(" ,", rest, true);
    emit(rest.substr(0, cut));
    rest.remove_prefix(cut);
  }
  return rest;
}

// Action 40: a new line before each occurrence of the key, matched in the
// comparison line and copied from the line. The count and the position
// searches differ on keys that overlap themselves; the pieces follow them.
std::string_view Run::splitBeforeKey(std::string_view line, std::string_view cmpLine) {
  if (pattern_ != nullptr)
    return SplitBeforeMatches(*pattern_, line, [&](std::string_view piece) { emit(piece); });
  const std::string_view key = cmpKey_;
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
std::string_view Run::joinNext(std::string_view line) {
  // The line's view dies with the next read: keep a copy.
  joined_.assign(line);
  std::string_view next;
  LineFacts nextFacts;
  bool more = src_.next(next, nextFacts);
  if (!more && after_ != nullptr) {
    more = after_->next(next, nextFacts);
    joinedAfter_ = more;
  }
  if (more) {
    ++number_;
    joined_.append(nextFacts.hasTab ? expand(next, nextExpanded_) : next);
  }
  return joined_;
}

}  // namespace

RunResult RunChange(const ChangeRequest& request, LineSource& source, LineSink& sink,
                    RunStats* stats, RunObserver* observer, const KeyPattern* pattern) {
  assert(ValidateRequest(request).empty());
  if (stats != nullptr) *stats = RunStats();
  Run run(request, source, sink, stats, observer, {}, nullptr, pattern);
  return run.execute();
}

RunResult RunPiece(const ChangeRequest& request, LineSource& piece, LineSink& sink,
                   const PieceBoundary& start, LineSource* after, PieceBoundary* end,
                   RunStats* stats, const KeyPattern* pattern) {
  assert(ValidateRequest(request).empty());
  assert(FindAction(request.action) == nullptr ||
         FindAction(request.action)->kind != ActionKind::WholeText);
  if (stats != nullptr) *stats = RunStats();
  Run run(request, piece, sink, stats, nullptr, start, after, pattern);
  RunResult r = run.execute();
  if (end) *end = run.end();
  return r;
}

}  // namespace quorlin
