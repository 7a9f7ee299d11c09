#include "engine/ChangeRun.h"

#include <algorithm>
#include <clocale>
#include <optional>

#include "engine/Actions.h"
#include "engine/LineStore.h"
#include "engine/LineTests.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

constexpr int kTabWidth = 8;

char UserDecimalPoint() {
  const std::lconv* lc = std::localeconv();
  if (lc && lc->decimal_point && lc->decimal_point[0] && !lc->decimal_point[1])
    return lc->decimal_point[0];
  return '.';
}

// Which numeric fields the chosen test and action read.
struct FieldUse {
  bool firstLine = false, lastLine = false, length = false, firstChar = false, lastChar = false,
       replPos = false;
};

FieldUse FieldsRead(const ChangeRequest& q) {
  FieldUse u;
  switch (q.testKind) {
    case 2: u.firstLine = u.lastLine = true; break;
    case 4: case 6: u.firstChar = true; break;
    case 7: case 8: u.length = true; break;
    default: break;
  }
  switch (q.actionKind) {
    case 16: case 17: case 18: case 20: case 39: u.length = true; break;
    case 19: u.replPos = true; break;
    case 25: case 26: u.firstChar = u.lastChar = true; break;
    case 32: u.firstChar = u.firstChar || q.firstCharPosFilled; break;
    default: break;
  }
  return u;
}

// The value of a numeric field that the run reads; a message instead when the
// text is no integer or lies outside the field's range (a field checked on
// leaving never does).
std::optional<long long> ReadField(const ChangeRequest& q, NumericField f,
                                   std::vector<std::string>& messages) {
  const std::string& text = q.text(f);
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
  Run(const ChangeRequest& q, LineSource& src, LineSink& sink) : q_(q), src_(src), sink_(sink) {}

  RunResult Execute();

 private:
  bool Prepare(std::vector<std::string>& messages);
  void Emit(std::string_view x);
  void Step(std::string_view raw, const LineFacts& facts);
  std::string_view Expand(std::string_view raw, std::vector<char>& buf);
  std::string_view Compare(std::string_view line, std::string& buf) const;

  void SplitAtLength(std::string_view line, std::string_view& result);
  void SplitAtSeparators(std::string_view line, std::string_view& result);
  void SplitAtKey(std::string_view line, std::string_view cmpLine, std::string_view& result);

  const ChangeRequest& q_;
  LineSource& src_;
  LineSink& sink_;

  TestParams test_;
  ActionParams action_;
  std::string cmpKey_;
  bool foldCompare_ = false;   // the comparison line and key are upper-cased
  bool needCompare_ = false;
  bool trackBlank_ = false;    // tests 10 and 14 look at the previous line
  bool keyFromSource_ = false; // the source tells whether a line holds the key
  bool outputUpper_ = false, outputLower_ = false;
  bool retain_ = false;

  long long number_ = 0;
  bool previousBlank_ = true;
  bool insideTag_ = false;
  std::optional<SortStore> sort_;
  std::optional<SeenLines> seen_;

  // Per-line buffers, reused so that the common line costs no allocation.
  std::vector<char> expanded_, nextExpanded_;
  std::string cmp_, scratch_, caseBuf_, joined_, tagBuf_;
};

bool Run::Prepare(std::vector<std::string>& messages) {
  // Code 0 (no action chosen) writes every line as it is; other codes that
  // name no action are refused.
  if (q_.actionKind != 0 && FindAction(q_.actionKind) == nullptr) {
    messages.push_back("Change action " + std::to_string(q_.actionKind) + " is not available");
    return false;
  }
  const FieldUse use = FieldsRead(q_);
  auto read = [&](bool used, NumericField f, long long& out) {
    if (!used) return;
    if (auto v = ReadField(q_, f, messages)) out = *v;
  };
  long long firstLine = 0, lastLine = 0, length = 0, firstChar = 0, lastChar = 0, replPos = 0;
  read(use.firstLine, NumericField::FirstLineNum, firstLine);
  read(use.lastLine, NumericField::LastLineNum, lastLine);
  read(use.length, NumericField::LineLength, length);
  read(use.firstChar, NumericField::FirstCharPos, firstChar);
  read(use.lastChar, NumericField::LastCharPos, lastChar);
  read(use.replPos, NumericField::ReplPos, replPos);
  if (!messages.empty()) return false;

  foldCompare_ = !q_.caseSensitive;
  cmpKey_ = foldCompare_ ? QU::UpperCase(q_.testKey) : q_.testKey;
  // Tests 3 and 5 ask whether the key occurs at all. Tab expansion cannot
  // make or break an occurrence of a key without tab or space, nor case
  // folding one of a key without letters; the source can then find the
  // occurrences in its raw bytes.
  const bool keyIsPlain =
      !q_.testKey.empty() && q_.testKey.find_first_of("\t ") == std::string::npos &&
      (q_.caseSensitive || QU::UpperCase(q_.testKey) == QU::LowerCase(q_.testKey));
  keyFromSource_ = (q_.testKind == 3 || q_.testKind == 5) && keyIsPlain;
  if (keyFromSource_) src_.watchKey(q_.testKey);
  needCompare_ = (TestUsesComparison(q_.testKind) && !keyFromSource_) ||
                 ActionUsesComparison(q_.actionKind);
  trackBlank_ = q_.testKind == 10 || q_.testKind == 14;
  outputUpper_ = q_.outputUpperCase;
  outputLower_ = q_.outputLowerCase && !q_.outputUpperCase;
  retain_ = q_.retainPassingOnly;

  test_ = TestParams{q_.testKind, cmpKey_, firstLine, lastLine, firstChar, length, UserDecimalPoint()};
  action_ = ActionParams{q_.actionKind, q_.testKey, cmpKey_, q_.replacementKey,
                         length, firstChar, lastChar, replPos, q_.caseSensitive};
  return true;
}

// The write-out step: one output line, converted by the output case option.
void Run::Emit(std::string_view x) {
  if (outputUpper_ || outputLower_) {
    caseBuf_.clear();
    if (outputUpper_)
      QU::AppendUpperCase(caseBuf_, x);
    else
      QU::AppendLowerCase(caseBuf_, x);
    sink_.write(caseBuf_);
  } else {
    sink_.write(x);
  }
}

std::string_view Run::Expand(std::string_view raw, std::vector<char>& buf) {
  // A buffer kept from line to line, sized for a few tabs first and for the
  // worst case only when a line needs it.
  if (buf.size() < raw.size() + 128) buf.resize(std::max(buf.size() * 2, raw.size() + 4096));
  char* end = QU::ExpandTabsInto(buf.data(), buf.data() + buf.size(), raw, kTabWidth);
  if (!end) {
    buf.resize(raw.size() * kTabWidth + 32);
    end = QU::ExpandTabsInto(buf.data(), buf.data() + buf.size(), raw, kTabWidth);
  }
  return std::string_view(buf.data(), std::size_t(end - buf.data()));
}

std::string_view Run::Compare(std::string_view line, std::string& buf) const {
  if (!foldCompare_) return line;
  buf.clear();
  QU::AppendUpperCase(buf, line);
  return buf;
}

RunResult Run::Execute() {
  RunResult r;
  if (!Prepare(r.messages)) return r;

  std::string_view raw;
  LineFacts facts;
  if (!src_.next(raw, facts)) {  // an empty text gives an empty output
    r.completed = true;
    return r;
  }
  if ((q_.actionKind == 25 || q_.actionKind == 26) &&
      (action_.lastCharPos < 1 || action_.lastCharPos < action_.firstCharPos)) {
    r.messages.emplace_back(kCharPositionsMessage);
    return r;
  }
  if (q_.actionKind == 32) {
    const long long F = q_.firstCharPosFilled ? test_.firstCharPos : 1;
    sort_.emplace(static_cast<std::size_t>(F < 1 ? 1 : F));
  }
  if (q_.actionKind == 43) seen_.emplace();

  do {
    Step(raw, facts);
  } while (src_.next(raw, facts));

  if (sort_) sort_->SortedEach([&](std::string_view line) { Emit(line); });
  sort_.reset();
  seen_.reset();
  r.completed = true;
  return r;
}

void Run::Step(std::string_view raw, const LineFacts& facts) {
  ++number_;
  const int action = q_.actionKind;
  // The line with its tabs expanded, made only when something reads it: a
  // line written unchanged is expanded straight into the output.
  std::string_view line = raw;
  bool expanded = !facts.hasTab;
  auto current = [&]() {
    if (!expanded) {
      line = Expand(raw, expanded_);
      expanded = true;
    }
    return line;
  };
  auto emitCurrent = [&]() {
    if (!expanded && !outputUpper_ && !outputLower_)
      sink_.writeExpanded(raw, kTabWidth);
    else
      Emit(current());
  };

  if (action == 32) {  // every line is stored; the test is ignored
    sort_->Add(current());
    return;
  }
  if (action == 43) {  // the first occurrence of each line is kept; the test is ignored
    if (seen_->AddIfNew(current())) Emit(line);
    return;
  }

  // Blank lines, "<" and ">", and the first byte after leading blanks are the
  // same before and after tab expansion (a tab and a space are both below 33),
  // so those tests read the line as it came.
  std::string_view cmpLine;
  if (needCompare_) cmpLine = Compare(current(), cmp_);
  const bool blankNow = trackBlank_ && QU::IsBlankLine(raw);
  bool passes;
  switch (test_.kind) {
    case 1:
      passes = true;
      break;
    case 2:
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
      passes = LinePasses(test_, TestLine{number_, raw, raw, previousBlank_});
      break;
    default:
      if (keyFromSource_ && facts.hasKey >= 0) {  // tests 3 and 5, told by the source
        passes = (facts.hasKey != 0) == (test_.kind == 3);
      } else {
        if (!needCompare_ && TestUsesComparison(test_.kind)) cmpLine = Compare(current(), cmp_);
        passes = LinePasses(test_, TestLine{number_, current(), cmpLine, previousBlank_});
      }
      break;
  }
  if (trackBlank_) previousBlank_ = blankNow;

  std::string_view result;
  if (action == 30) {  // the tag state follows every line, passing or not
    tagBuf_.clear();
    QU::AppendStripTags(tagBuf_, current(), insideTag_);
    result = tagBuf_;
  }

  if (!passes) {
    if (!retain_) emitCurrent();
    return;
  }

  switch (action) {
    case 14:
      return;  // the passing line is deleted
    case 13:
      emitCurrent();
      return;
    case 27:
      emitCurrent();
      Emit(q_.replacementKey);
      return;
    case 34:
      Emit(q_.replacementKey);
      emitCurrent();
      return;
    case 30:
      break;
    case 20:
      result = current();
      SplitAtLength(line, result);
      break;
    case 39:
      result = current();
      SplitAtSeparators(line, result);
      break;
    case 40:
      result = current();
      SplitAtKey(line, cmpLine, result);
      break;
    case 44: {
      // The current line's view dies with the next read: keep a copy.
      joined_.assign(current());
      std::string_view next;
      LineFacts nextFacts;
      if (src_.next(next, nextFacts)) {
        ++number_;
        joined_.append(nextFacts.hasTab ? Expand(next, nextExpanded_) : next);
      }
      result = joined_;
      break;
    }
    default:
      result = ApplyInlineAction(action_, current(), cmpLine, scratch_);
      break;
  }
  Emit(result);
}

// Action 20: pieces of LineLength bytes; all but the last are written here.
void Run::SplitAtLength(std::string_view line, std::string_view& result) {
  const long long w = action_.lineLength;
  if (w < 1 || static_cast<long long>(line.size()) <= w) return;
  const std::size_t W = static_cast<std::size_t>(w);
  while (line.size() > W) {
    Emit(line.substr(0, W));
    line.remove_prefix(W);
  }
  result = line;
}

// Action 39: cut at the last space or comma within LineLength bytes, or after
// the first one beyond when there is none; the separator ends the piece.
void Run::SplitAtSeparators(std::string_view line, std::string_view& result) {
  const long long w = action_.lineLength;
  if (w < 1) return;
  const std::size_t W = static_cast<std::size_t>(w);
  std::string_view rest = line;
  while (rest.size() > W && rest.find_first_of(" ,") != std::string_view::npos) {
    std::size_t cut = QU::LastPosInSet(" ,", rest.substr(0, W), true);
    if (cut == 0) cut = QU::FirstPosInSet(" ,", rest, true);
    Emit(rest.substr(0, cut));
    rest.remove_prefix(cut);
  }
  result = rest;
}

// Action 40: a new line before each occurrence of the key, matched in the
// comparison line and copied from the line. The count and the position
// searches differ on keys that overlap themselves; the pieces follow them.
void Run::SplitAtKey(std::string_view line, std::string_view cmpLine, std::string_view& result) {
  const std::string_view key = cmpKey_;
  const std::size_t n = QU::CountKeys(cmpLine, key);
  if (n == 0) return;
  const std::size_t p = QU::NthKeyPos(cmpLine, key, static_cast<long long>(n));
  result = line.substr(p - 1);
  std::string_view work = line.substr(0, p - 1);
  std::string_view workCmp = cmpLine.substr(0, p - 1);
  const std::size_t first = QU::KeyPos(key, workCmp);
  if (first > 1) {
    Emit(work.substr(0, first - 1));
    work.remove_prefix(first - 1);
    workCmp.remove_prefix(first - 1);
  }
  while (!work.empty()) {
    const std::size_t next = QU::NthKeyPos(workCmp, key, 2);
    if (next == 0) {
      Emit(work);
      break;
    }
    Emit(work.substr(0, next - 1));
    work.remove_prefix(next - 1);
    workCmp.remove_prefix(next - 1);
  }
}

}  // namespace

RunResult RunChange(const ChangeRequest& request, LineSource& source, LineSink& sink) {
  Run run(request, source, sink);
  return run.Execute();
}

}  // namespace quorlin
