// Cross-check of the change engine against the plain reference implementation
// in tests/reference: generated texts and requests go through both, and the
// completed flag, the messages and every output line must agree. The line
// routines are cross-checked one by one the same way.
//
// Everything is driven by a fixed-seed generator; a failure prints the case
// number, its seed, and a shrunk reproduction (request and input lines).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/LineList.h"
#include "engine/LineStream.h"
#include "engine/WorkFiles.h"
#include "tests/reference/ReferenceRun.h"
#include "textutil/QuorlinUtils.h"

namespace {

using quorlin::ChangeRequest;
using Lines = std::vector<std::string>;
namespace QU = QuorlinUtils;

// --- Generator ------------------------------------------------------------------

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int range(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
  template <class T>
  const T& pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
  }

 private:
  std::uint64_t state_;
};

// Bytes that make keys, separators, tags, markers, overstrikes, numbers and
// bytes above 127; repeated letters make keys match often.
const std::string kAlphabet = std::string(
                                  "aaaaAAAbbbBkK  \t,<>()*__\b\b+-.019xX"
                                  "\xE9\xC9\x80\xFF\x7F\xA0\x01") +
                              '\0';
const std::vector<std::string> kWords = {"ab",  "AB",   "Ab",   "key",       "KEY", "aa", "aaa",
                                         "a,b", "<i>",  "x>y",  "(z)",       "12",  "-3", "+q",
                                         ".5",  "_\bH", "A\bA", "\xE9t\xC9", "*b*"};
const std::vector<std::string> kKeys = {"a",   "aa", "aaa",  "aba",  "A",   "ab", "AB", "k",
                                        " ",   "  ", "\t",   "a b",  ",",   "<",  ">",  "*",
                                        "_\b", "12", "\xE9", "\xC9", "key", "b,", ".",  "KEY"};
const std::vector<std::string> kReplacements = {"N",  "()", "[]",  "**",  "<>",  "((",
                                                "))", " ,", ",;",  "aA",  "xyz", "\xE9\xC9",
                                                "a",  "(",  "_\b", "a b", "\t",  ")("};

std::string RandomText(Rng& rng, int minLen, int maxLen) {
  std::string s;
  const int n = rng.range(minLen, maxLen);
  for (int i = 0; i < n; ++i)
    s += kAlphabet[static_cast<std::size_t>(rng.below(static_cast<int>(kAlphabet.size())))];
  return s;
}

std::string FlipCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

Lines RandomLines(Rng& rng) {
  Lines lines;
  // Mostly up to 30 lines; a few longer texts give the sort its wider gaps.
  const int n = rng.chance(5) ? 0 : rng.chance(3) ? rng.range(60, 200) : rng.range(1, 30);
  for (int i = 0; i < n; ++i) {
    const int kind = rng.below(100);
    std::string line;
    if (kind < 8) {
      // empty
    } else if (kind < 16) {
      const std::string blanks = "  \t\x01\x1f";
      for (int j = rng.range(1, 6); j > 0; --j)
        line += blanks[static_cast<std::size_t>(rng.below(5))];
    } else if (kind < 28 && !lines.empty()) {
      line = lines[static_cast<std::size_t>(rng.below(static_cast<int>(lines.size())))];
      if (rng.chance(30)) line = FlipCase(line);
      if (rng.chance(15)) line += ' ';
    } else if (kind < 33) {
      line = RandomText(rng, 40, rng.chance(10) ? 3000 : 150);
    } else if (kind < 55) {
      const std::string seps = " ,\t";
      for (int j = rng.range(1, 5); j > 0; --j) {
        line += rng.pick(kWords);
        if (j > 1 || rng.chance(20)) line += seps[static_cast<std::size_t>(rng.below(3))];
      }
    } else {
      line = RandomText(rng, 1, 14);
    }
    lines.push_back(line);
  }
  return lines;
}

std::string RandomKey(Rng& rng, const Lines& lines) {
  const int kind = rng.below(100);
  if (kind < 40 && !lines.empty()) {
    const std::string& line = rng.pick(lines);
    if (!line.empty()) {
      const int start = rng.below(static_cast<int>(line.size()));
      std::string key =
          line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(rng.range(1, 4)));
      return rng.chance(25) ? FlipCase(key) : key;
    }
  }
  if (kind < 65) return rng.pick(kKeys);
  return RandomText(rng, 1, 3);
}

// A valid numeric field text for value v, in one of the forms the field check
// lets through: plain, leading blanks, plus sign, leading zeros, hexadecimal.
std::string NumberText(Rng& rng, int v) {
  std::ostringstream out;
  switch (rng.below(10)) {
    case 0:
      out << std::string(static_cast<std::size_t>(rng.range(1, 2)), ' ') << v;
      break;
    case 1:
      out << '+' << v;
      break;
    case 2:
      out << "00" << v;
      break;
    case 3:
      out << '$' << std::hex << std::uppercase << v;
      break;
    case 4:
      out << (rng.chance(50) ? "0x" : "X") << std::hex << v;
      break;
    default:
      out << v;
      break;
  }
  return out.str();
}

int SmallOrAny(Rng& rng, int small, int bound) {
  return rng.chance(8) ? rng.range(0, bound) : rng.range(0, small);
}

bool NeedsLineLength(int t, int a) {
  return t == 7 || t == 8 || a == 16 || a == 17 || a == 18 || a == 20 || a == 39;
}

ChangeRequest RandomRequest(Rng& rng, int test, int action, const Lines& lines) {
  ChangeRequest r;
  r.testKind = test;
  r.actionKind = action;
  const bool needKey = (test >= 3 && test <= 6) || test == 13 || action == 22 || action == 23 ||
                       action == 24 || action == 40 || (action >= 28 && action <= 31);
  const bool needRepl = action == 19 || action == 21 || action == 35 || action == 38 ||
                        action == 28 || action == 29 || action == 31 || action == 33 ||
                        action == 37 || action == 27 || action == 34;
  const bool needFirstChar = test == 4 || test == 6 || action == 25 || action == 26 || action == 32;
  auto fill = [&](bool needed) { return rng.chance(needed ? 94 : 30); };

  if (fill(needKey)) r.testKey = RandomKey(rng, lines);
  if (fill(needRepl))
    r.replacementKey = rng.chance(40) ? rng.pick(kReplacements) : RandomKey(rng, lines);
  if (fill(test == 2)) r.firstLineNum = NumberText(rng, SmallOrAny(rng, 32, 250000));
  if (fill(test == 2)) r.lastLineNum = NumberText(rng, SmallOrAny(rng, 32, 250000));
  if (fill(NeedsLineLength(test, action)))
    r.lineLength = NumberText(rng, SmallOrAny(rng, 16, 1024));
  int firstChar = 0;
  if (fill(needFirstChar)) {
    firstChar = SmallOrAny(rng, 16, 1024);
    r.firstCharPos = NumberText(rng, firstChar);
  }
  if (fill(action == 25 || action == 26)) {
    // Mostly at or above the first position; sometimes below it or 0, which
    // actions 25 and 26 refuse at the first line.
    const int last = rng.chance(12) ? rng.range(0, std::max(firstChar, 1))
                                    : std::min(1024, firstChar + SmallOrAny(rng, 12, 1024));
    r.lastCharPos = NumberText(rng, last);
  }
  if (fill(action == 19)) r.replPos = NumberText(rng, SmallOrAny(rng, 16, 1024));

  r.testKeyFilled = !r.testKey.empty();
  r.replacementKeyFilled = !r.replacementKey.empty();
  r.firstLineNumFilled = !r.firstLineNum.empty();
  r.lastLineNumFilled = !r.lastLineNum.empty();
  r.lineLengthFilled = !r.lineLength.empty();
  r.firstCharPosFilled = !r.firstCharPos.empty();
  r.lastCharPosFilled = !r.lastCharPos.empty();
  r.replPosFilled = !r.replPos.empty();

  r.retainPassingOnly = rng.chance(action == 14 ? 8 : 25);
  r.caseSensitive = rng.chance(40);
  const int outputCase = rng.below(100);
  r.outputLowerCase = outputCase < 15;
  r.outputUpperCase = outputCase >= 15 && outputCase < 30;
  return r;
}

// --- Showing a case -------------------------------------------------------------

std::string Show(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 32 || b > 126) {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Show(const Lines& lines) {
  std::string out = "{";
  for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? ", " : "") + Show(lines[i]);
  return out + "}";
}

std::string Show(const ChangeRequest& r) {
  std::ostringstream out;
  out << "test " << r.testKind << ", action " << r.actionKind;
  auto field = [&](const char* name, const std::string& text, bool filled) {
    if (filled || !text.empty())
      out << ", " << name << ' ' << Show(text) << (filled ? "" : " (not filled)");
  };
  field("key", r.testKey, r.testKeyFilled);
  field("repl", r.replacementKey, r.replacementKeyFilled);
  field("firstLine", r.firstLineNum, r.firstLineNumFilled);
  field("lastLine", r.lastLineNum, r.lastLineNumFilled);
  field("lineLength", r.lineLength, r.lineLengthFilled);
  field("firstChar", r.firstCharPos, r.firstCharPosFilled);
  field("lastChar", r.lastCharPos, r.lastCharPosFilled);
  field("replPos", r.replPos, r.replPosFilled);
  if (r.retainPassingOnly) out << ", retain";
  if (r.caseSensitive) out << ", case-sensitive";
  if (r.outputLowerCase) out << ", lower";
  if (r.outputUpperCase) out << ", upper";
  return out.str();
}

std::string Show(const refimpl::Outcome& o) {
  std::ostringstream out;
  out << (o.completed ? "completed" : "stopped") << ", messages " << Show(o.messages) << ", lines "
      << Show(o.lines);
  return out.str();
}

// --- The engine's side ----------------------------------------------------------

// Hands out views into one buffer that is overwritten at every call, so a view
// the engine keeps past the next call shows wrong bytes instead of the old line.
class ScribbledSource : public quorlin::LineSource {
 public:
  ScribbledSource(const Lines& lines, bool withFacts) : lines_(lines), withFacts_(withFacts) {
    buffer_.reserve(4096);
  }
  bool next(std::string_view& line) override {
    if (index_ >= lines_.size()) return false;
    std::fill(buffer_.begin(), buffer_.end(), '\x7f');
    buffer_.assign(lines_[index_++]);
    line = buffer_;
    return true;
  }
  bool next(std::string_view& line, quorlin::LineFacts& facts) override {
    if (!withFacts_) return LineSource::next(line, facts);
    const bool more = next(line);
    facts.hasTab = more && line.find('\t') != std::string_view::npos;
    facts.hasKey = !watching_ || !more ? -1 : (line.find(key_) != std::string_view::npos ? 1 : 0);
    return more;
  }
  void watchKey(std::string_view key) override {
    if (!withFacts_) return;
    watching_ = true;
    key_ = key;
  }

 private:
  const Lines& lines_;
  bool withFacts_;
  std::size_t index_ = 0;
  std::string buffer_;
  bool watching_ = false;
  std::string key_;
};

class VectorSink : public quorlin::LineSink {
 public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  Lines lines;
};

enum class Path { Plain, WithFacts, WorkFiles };

class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorlin-xcheck-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~TempFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

refimpl::Outcome RunEngine(const ChangeRequest& r, const Lines& input, Path path,
                           const std::string& workFolder) {
  refimpl::Outcome o;
  try {
    if (path == Path::WorkFiles) {
      quorlin::LineList list;
      for (const auto& line : input) list.push_back(line);
      quorlin::LineListSource source(list);
      const quorlin::WorkRunResult result = quorlin::RunThroughWorkFiles(workFolder, source, r);
      o.completed = result.completed;
      o.messages = result.messages;
      if (result.fileError) o.messages.push_back("(file error)");
      const quorlin::LineList output = quorlin::LineList::FromBytes(result.output);
      for (std::size_t i = 0; i < output.size(); ++i) o.lines.emplace_back(output[i]);
    } else {
      ScribbledSource source(input, path == Path::WithFacts);
      VectorSink sink;
      const quorlin::RunResult result = quorlin::RunChange(r, source, sink);
      o.completed = result.completed;
      o.messages = result.messages;
      o.lines = std::move(sink.lines);
    }
  } catch (const std::exception& e) {
    o.completed = false;
    o.messages = {std::string("exception: ") + e.what()};
  }
  return o;
}

bool Same(const refimpl::Outcome& a, const refimpl::Outcome& b) {
  return a.completed == b.completed && a.messages == b.messages && a.lines == b.lines;
}

// Greedy shrinking of a failing case: drop lines, drop bytes of lines and keys,
// turn options off, while the case still fails.
void Shrink(ChangeRequest& r, Lines& lines,
            const std::function<bool(const ChangeRequest&, const Lines&)>& fails) {
  for (bool progress = true; progress;) {
    progress = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Lines t = lines;
      t.erase(t.begin() + static_cast<std::ptrdiff_t>(i));
      if (fails(r, t)) lines = t, --i, progress = true;
    }
    for (auto& line : lines) {
      for (std::size_t j = 0; j < line.size(); ++j) {
        const std::string keep = line;
        line.erase(j, 1);
        if (fails(r, lines))
          --j, progress = true;
        else
          line = keep;
      }
    }
    for (std::string* key : {&r.testKey, &r.replacementKey}) {
      for (std::size_t j = 0; j < key->size(); ++j) {
        ChangeRequest t = r;
        std::string& k = key == &r.testKey ? t.testKey : t.replacementKey;
        k.erase(j, 1);
        t.testKeyFilled = !t.testKey.empty();
        t.replacementKeyFilled = !t.replacementKey.empty();
        if (fails(t, lines)) r = t, --j, progress = true;
      }
    }
    for (bool ChangeRequest::*option :
         {&ChangeRequest::retainPassingOnly, &ChangeRequest::caseSensitive,
          &ChangeRequest::outputLowerCase, &ChangeRequest::outputUpperCase}) {
      if (!(r.*option)) continue;
      ChangeRequest t = r;
      t.*option = false;
      if (fails(t, lines)) r = t, progress = true;
    }
  }
}

const std::vector<int> kActions = {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                   28, 29, 30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 41, 43, 44};

// --- The run ----------------------------------------------------------------------

TEST(CrossCheck, ChangeRunAgreesWithReferenceOnGeneratedCases) {
  constexpr int kRounds = 48;
  constexpr std::uint64_t kBaseSeed = 0x51A7C0FFEEull;
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());

  int runs = 0, refused = 0, stops = 0, fileRuns = 0, failures = 0;
  std::vector<int> casesPerAction(45, 0), changedPerAction(45, 0);
  int caseNo = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (int test = 1; test <= 14; ++test) {
      for (int action : kActions) {
        const std::uint64_t seed = kBaseSeed + static_cast<std::uint64_t>(caseNo) * 7919u;
        ++caseNo;
        Rng rng(seed);
        Lines input = RandomLines(rng);
        ChangeRequest r = RandomRequest(rng, test, action, input);

        const std::vector<std::string> refusal = refimpl::Validate(r);
        ASSERT_EQ(quorlin::ValidateRequest(r), refusal)
            << "case " << caseNo << " seed " << seed << ": " << Show(r);
        if (!refusal.empty()) {
          ++refused;
          continue;
        }
        ++runs;
        ++casesPerAction[static_cast<std::size_t>(action)];

        const Path path = caseNo % 16 == 0  ? Path::WorkFiles
                          : caseNo % 2 == 0 ? Path::WithFacts
                                            : Path::Plain;
        if (path == Path::WorkFiles) ++fileRuns;
        auto fails = [&](const ChangeRequest& req, const Lines& in) {
          if (!refimpl::Validate(req).empty()) return false;
          return !Same(refimpl::Run(req, in), RunEngine(req, in, path, folder.path()));
        };
        const refimpl::Outcome expected = refimpl::Run(r, input);
        if (!expected.completed) ++stops;
        Lines expanded;
        for (const auto& line : input) expanded.push_back(*refimpl::ExpandTabs(line, 8));
        if (expected.lines != expanded) ++changedPerAction[static_cast<std::size_t>(action)];
        const refimpl::Outcome actual = RunEngine(r, input, path, folder.path());
        if (Same(expected, actual)) continue;

        ++failures;
        Shrink(r, input, fails);
        ADD_FAILURE() << "case " << caseNo << " (seed " << seed << ", path "
                      << static_cast<int>(path) << ")\n  request: " << Show(r)
                      << "\n  input:   " << Show(input)
                      << "\n  reference: " << Show(refimpl::Run(r, input))
                      << "\n  engine:    " << Show(RunEngine(r, input, path, folder.path()));
        if (failures >= 5) return;
      }
    }
  }
  // The generator must keep producing runnable cases of every kind.
  // ... and cases where the action really changes the text, not just runs.
  for (int action : kActions) {
    EXPECT_GT(casesPerAction[static_cast<std::size_t>(action)], 200) << action;
    EXPECT_GT(changedPerAction[static_cast<std::size_t>(action)], 50) << action;
  }
  EXPECT_GT(stops, 40);
  EXPECT_GT(fileRuns, 600);
  std::cout << "[ cross-check ] " << caseNo << " cases: " << runs << " runs (" << fileRuns
            << " through work files, " << stops << " stopped by the position check), " << refused
            << " refused by validation\n";
}

// Sort and duplicate removal on texts of thousands of lines drawn from a few
// distinct lines: many equal keys, so the order of equal keys after the gapped
// passes shows whether the exact gap sequence is kept.
TEST(CrossCheck, SortAndDuplicatesAgreeOnLargeTexts) {
  for (int c = 0; c < 12; ++c) {
    Rng rng(0xB16u + static_cast<std::uint64_t>(c));
    Lines pool;
    for (int i = rng.range(3, 40); i > 0; --i) pool.push_back(RandomText(rng, 0, 6));
    Lines input;
    for (int i = rng.range(1000, 4000); i > 0; --i) {
      std::string line = rng.pick(pool);
      if (rng.chance(50))
        line = std::to_string(rng.below(10)) + line;  // differs only at position 1
      input.push_back(line);
    }
    ChangeRequest r;
    r.testKind = 1;
    r.actionKind = c % 3 == 2 ? 43 : 32;
    if (c % 3 != 0) r.firstCharPos = std::to_string(rng.range(0, 4)), r.firstCharPosFilled = true;
    r.outputUpperCase = c % 4 == 1;
    const refimpl::Outcome expected = refimpl::Run(r, input);
    const refimpl::Outcome actual = RunEngine(r, input, Path::Plain, "");
    ASSERT_TRUE(Same(expected, actual))
        << "case " << c << ": " << Show(r) << ", " << input.size() << " lines";
  }
}

// Lines of thousands of bytes, tab-heavy (so they grow several-fold when
// expanded), through every action: the engine's buffers for short lines must
// not be what decides the result. Keys are rare in these lines, which keeps
// the plain reference fast.
TEST(CrossCheck, LongLinesAgreeWithReference) {
  const std::string alphabet = "xxxxxxxxyz \t\t,<>(";
  const std::vector<std::string> keys = {"K", "Kx", "zK", "y", "(K"};
  TempFolder folder;
  int ran = 0;
  for (int c = 0; c < 90; ++c) {
    Rng rng(0x10C6u + static_cast<std::uint64_t>(c));
    Lines input;
    for (int i = rng.range(1, 4); i > 0; --i) {
      std::string line;
      for (int n = rng.range(1000, 20000); n > 0; --n) {
        line +=
            rng.chance(1)
                ? 'K'
                : alphabet[static_cast<std::size_t>(rng.below(static_cast<int>(alphabet.size())))];
      }
      input.push_back(rng.chance(20) ? std::string("\t") : line);
    }
    const int action = kActions[static_cast<std::size_t>(c % kActions.size())];
    ChangeRequest r = RandomRequest(rng, rng.range(1, 14), action, input);
    r.testKey = rng.pick(keys), r.testKeyFilled = true;
    if (r.replacementKey.size() > 4) r.replacementKey.resize(4);
    r.replacementKeyFilled = !r.replacementKey.empty();
    r.lineLength = std::to_string(rng.range(16, 1024)), r.lineLengthFilled = true;
    if (!refimpl::Validate(r).empty()) continue;
    const Path path = c % 3 == 0 ? Path::WorkFiles : c % 3 == 1 ? Path::WithFacts : Path::Plain;
    const refimpl::Outcome expected = refimpl::Run(r, input);
    const refimpl::Outcome actual = RunEngine(r, input, path, folder.path());
    ASSERT_TRUE(Same(expected, actual)) << "case " << c << ": " << Show(r);
    ++ran;
  }
  EXPECT_GT(ran, 60);
}

// --- Documented examples ------------------------------------------------------
// The worked examples of the change run's behaviour, run through the reference
// and the engine alike: they pin the reference to the described behaviour, so
// that the random cross-check is not merely two programs agreeing.

struct Req {
  ChangeRequest r;
  Req(int test, int action) {
    r.testKind = test;
    r.actionKind = action;
  }
  Req& key(std::string k) { return r.testKey = std::move(k), r.testKeyFilled = true, *this; }
  Req& repl(std::string k) {
    r.replacementKeyFilled = !k.empty();
    return r.replacementKey = std::move(k), *this;
  }
  Req& lines(int first, int last) {
    r.firstLineNum = std::to_string(first), r.lastLineNum = std::to_string(last);
    return r.firstLineNumFilled = r.lastLineNumFilled = true, *this;
  }
  Req& len(int n) { return r.lineLength = std::to_string(n), r.lineLengthFilled = true, *this; }
  Req& first(int n) {
    return r.firstCharPos = std::to_string(n), r.firstCharPosFilled = true, *this;
  }
  Req& chars(int f, int l) {
    first(f);
    return r.lastCharPos = std::to_string(l), r.lastCharPosFilled = true, *this;
  }
  Req& pos(int n) { return r.replPos = std::to_string(n), r.replPosFilled = true, *this; }
  Req& retain() { return r.retainPassingOnly = true, *this; }
  Req& cs() { return r.caseSensitive = true, *this; }
  Req& upper() { return r.outputUpperCase = true, *this; }
};

struct Example {
  const char* name;
  Req request;
  Lines input, expected;
  bool completed = true;
};

TEST(CrossCheck, DocumentedExamplesHoldForReferenceAndEngine) {
  const Lines kBlank3Text = {"", "", "", "text"};
  const Example examples[] = {
      {"tab in column 1 becomes 8 spaces",
       Req(1, 13),
       {"\tx", "ab\tc"},
       {"        x", "ab      c"}},
      {"empty text", Req(1, 13), {}, {}},
      {"retain with no passing line", Req(9, 13).retain(), {"a", "b"}, {}},
      {"test 2 range, both ends", Req(2, 14).lines(2, 3), {"a", "b", "c", "d"}, {"a", "d"}},
      {"test 2 first above last", Req(2, 14).lines(3, 2), {"a", "b", "c"}, {"a", "b", "c"}},
      {"test 4 at 0: lines without the key", Req(4, 14).key("k").first(0), {"ak", "b"}, {"ak"}},
      {"test 4 sees only the first occurrence",
       Req(4, 14).key("a").first(3),
       {"aba", "bba"},
       {"aba"}},
      {"test 7 counts expanded tabs", Req(7, 14).len(10), {"\ta", "0123456789"}, {"0123456789"}},
      {"test 10 not at line 1", Req(10, 21).repl("P"), {"a", "", "b", "c"}, {"a", "", "P", "c"}},
      {"test 12 leading number",
       Req(12, 14),
       {"   42", "-1", "+a", "", "   ", "a1", ".5"},
       {"", "   ", "a1"}},
      {"test 13 at the end, case-blind", Req(13, 14).key("end"), {"theEND", "en"}, {"en"}},
      {"test 14 second and later blanks", Req(14, 14), kBlank3Text, {"", "text"}},
      {"upper case reaches failing lines",
       Req(3, 22).key("b").upper(),
       {"abc", "xyz"},
       {"AC", "XYZ"}},
      {"action 15 trims", Req(1, 15), {"  text\t", "\x01 "}, {"text", ""}},
      {"action 16 truncates", Req(1, 16).len(5), {"abcdefg", "abc"}, {"abcde", "abc"}},
      {"action 16 with 0", Req(1, 16).len(0), {"abcdefg"}, {"abcdefg"}},
      {"action 17 pads in front", Req(1, 17).len(6), {"abc", "abcdefgh"}, {"   abc", "abcdefgh"}},
      {"action 18 pads at the end", Req(1, 18).len(6), {"abc", "abcdefgh"}, {"abc   ", "abcdefgh"}},
      {"action 19 at 1", Req(1, 19).repl("X").pos(1), {"abc", ""}, {"Xabc", "X"}},
      {"action 19 at L+1 and L+2", Req(1, 19).repl("X").pos(4), {"abc", "ab"}, {"abcX", "ab"}},
      {"action 20 fixed pieces",
       Req(1, 20).len(4),
       {"abcdefghij", "abcdefgh", "abc"},
       {"abcd", "efgh", "ij", "abcd", "efgh", "abc"}},
      {"action 22 case-blind", Req(1, 22).key("AB"), {"xabyABz"}, {"xyz"}},
      {"action 22 case-sensitive", Req(1, 22).key("AB").cs(), {"xabyABz"}, {"xabyz"}},
      {"action 23", Req(1, 23).key("b"), {"abcabc"}, {"ab"}},
      {"action 24", Req(1, 24).key("b"), {"abcabc"}, {"bcabc"}},
      {"action 25 range", Req(1, 25).chars(2, 3), {"abcdef", "a"}, {"adef", "a"}},
      {"action 25 past the end", Req(1, 25).chars(2, 99), {"abcdef"}, {"a"}},
      {"action 25 from 0 acts as 1", Req(1, 25).chars(0, 2), {"abcdef"}, {"cdef"}},
      {"action 26 range", Req(1, 26).chars(2, 3), {"abcdef", "a"}, {"bc", ""}},
      {"action 26 from 0", Req(1, 26).chars(0, 2), {"abcdef"}, {"ab"}},
      {"action 26 equal positions", Req(1, 26).chars(3, 3), {"abcdef"}, {"c"}},
      {"action 26 last below first stops", Req(1, 26).chars(3, 2), {"abcdef"}, {}, false},
      {"action 25 last 0 stops", Req(1, 25).chars(0, 0), {"abcdef"}, {}, false},
      {"action 25 stop needs a line", Req(1, 25).chars(3, 2), {}, {}},
      {"action 27 after", Req(1, 27).repl("N"), {"x", "y"}, {"x", "N", "y", "N"}},
      {"action 27 with retain", Req(3, 27).key("x").repl("N").retain(), {"x", "y"}, {"x", "N"}},
      {"action 27 empty replacement", Req(1, 27), {"x"}, {"x", ""}},
      {"action 28", Req(1, 28).key("b").repl("X"), {"abcabc"}, {"Xbcabc"}},
      {"action 29", Req(1, 29).key("b").repl("X"), {"abcabc"}, {"abX"}},
      {"action 30 across lines", Req(1, 30), {"x<b", "y>z<i>w"}, {"x", "zw"}},
      {"action 30 state moves on failing lines",
       Req(3, 30).key("q"),
       {"a<b", "c>dq"},
       {"a<b", "dq"}},
      {"action 31 never searches the inserted text",
       Req(1, 31).key("a").repl("aa"),
       {"aaa"},
       {"aaaaaa"}},
      {"action 32 sorts", Req(1, 32), {"b", "a"}, {"a", "b"}},
      {"action 32 from position 2", Req(1, 32).first(2), {"xb", "ya", "z"}, {"z", "ya", "xb"}},
      {"action 32 ignores retain", Req(9, 32).retain(), {"b", "a"}, {"a", "b"}},
      {"action 32 bytes unsigned, upper first", Req(1, 32), {"\xE9", "b", "B"}, {"B", "b", "\xE9"}},
      {"action 33 first pair",
       Req(1, 33).repl("()"),
       {"a(b)x(d)e", "abc", "x) (y)"},
       {"ax(d)e", "abc", "x) (y)"}},
      {"action 33 same markers", Req(1, 33).repl("**"), {"a*b*x*d"}, {"ax*d"}},
      {"action 34 before", Req(1, 34).repl("N"), {"x", "y"}, {"N", "x", "N", "y"}},
      {"action 34 with test and upper",
       Req(3, 34).key("a").repl("n").upper(),
       {"ab", "cd"},
       {"N", "AB", "CD"}},
      {"action 37 last pair", Req(1, 37).repl("()"), {"a(b)x(d)e", "a(b)x(d"}, {"a(b)xe", "ax(d"}},
      {"action 37 same markers", Req(1, 37).repl("**"), {"a*b*x*d"}, {"a*bd"}},
      {"action 38 set", Req(1, 38).repl(",;"), {"a,b;d", "A"}, {"abd", "A"}},
      {"action 39 at spaces", Req(1, 39).len(8), {"hello world foo"}, {"hello ", "world ", "foo"}},
      {"action 39 long word",
       Req(1, 39).len(5),
       {"abcdefghij klm", "abcdefghij"},
       {"abcdefghij ", "klm", "abcdefghij"}},
      {"action 40 splits before the key",
       Req(1, 40).key("K").cs(),
       {"aaKbbKcc", "Kaa", "xyz"},
       {"aa", "Kbb", "Kcc", "Kaa", "xyz"}},
      {"action 40 case-blind keeps case", Req(1, 40).key("k"), {"aaKbbkcc"}, {"aa", "Kbb", "kcc"}},
      {"action 40 only on passing lines",
       Req(3, 40).key("K").cs(),
       {"aKb", "xK"},
       {"a", "Kb", "x", "K"}},
      {"action 41", Req(1, 41), {"_\bHi", "A\bA", "A\b\bB", "ab_\bd"}, {"Hi", "A", "A", "abd"}},
      {"action 43", Req(1, 43), {"a", "b", "a", "", "", "B"}, {"a", "b", "", "B"}},
      {"action 44 joins", Req(1, 44), {"a", "b", "x"}, {"ab", "x"}},
      {"action 44 joins do not chain", Req(1, 44), {"a", "b", "x", "y"}, {"ab", "xy"}},
      {"action 44 with a key", Req(3, 44).key("a"), {"a", "b", "a"}, {"ab", "a"}},
      {"action 44 consumed lines count",
       Req(2, 44).lines(1, 2),
       {"a", "b", "c", "d"},
       {"ab", "c", "d"}},
      {"action 44 previous line is the pair's first",
       Req(10, 44),
       {"", "x", "", "z", "w"},
       {"", "x", "z", "w"}},
  };
  for (const Example& e : examples) {
    SCOPED_TRACE(e.name);
    const ChangeRequest& request = e.request.r;
    ASSERT_TRUE(quorlin::ValidateRequest(request).empty());
    ASSERT_TRUE(refimpl::Validate(request).empty());
    refimpl::Outcome expected;
    expected.completed = e.completed;
    expected.lines = e.expected;
    if (!e.completed) expected.messages = {std::string(quorlin::kCharPositionsMessage)};
    EXPECT_EQ(Show(refimpl::Run(request, e.input)), Show(expected)) << "reference";
    EXPECT_EQ(Show(RunEngine(request, e.input, Path::Plain, "")), Show(expected)) << "engine";
  }
}

// --- The line routines ----------------------------------------------------------

const std::string kShortAlphabet = std::string("aab_\b<>()*, A\xE9\t") + '\0';

std::string Short(Rng& rng, int maxLen) {
  std::string s;
  for (int n = rng.range(0, maxLen); n > 0; --n)
    s += kShortAlphabet[static_cast<std::size_t>(
        rng.below(static_cast<int>(kShortAlphabet.size())))];
  return s;
}

long long L(std::size_t v) {
  return static_cast<long long>(v);
}

TEST(CrossCheck, LineRoutinesAgreeWithReference) {
  Rng rng(0xC0DE5EED);
  for (int i = 0; i < 20000; ++i) {
    const std::string s = Short(rng, 10);
    const std::string k = Short(rng, 3);
    const std::string k1 = k.substr(0, std::min<std::size_t>(k.size(), 1));
    const std::string r = Short(rng, 3);
    const std::string prefix = rng.chance(50) ? "pre" : "";
    const char b = kShortAlphabet[static_cast<std::size_t>(rng.below(8))];
    const char e = rng.chance(30) ? b : kShortAlphabet[static_cast<std::size_t>(rng.below(8))];
    const long long n = rng.range(-2, 5);
    const long long p = rng.range(-2, static_cast<int>(s.size()) + 2);
    const long long count = rng.range(-2, static_cast<int>(s.size()) + 2);
    const int width = rng.range(0, 18);
    const bool flag = rng.chance(50), flag2 = rng.chance(50);
    const std::string ctx = "s " + Show(s) + " k " + Show(k) + " r " + Show(r);
    SCOPED_TRACE(ctx);

    EXPECT_EQ(L(QU::KeyPos(k, s)), refimpl::KeyPos(k, s));
    EXPECT_EQ(QU::TextAfterKey(s, k), refimpl::TextAfterKey(s, k));
    EXPECT_EQ(L(QU::LastPosOfChar(k1, s)), refimpl::LastPosOfChar(k1, s));
    EXPECT_EQ(L(QU::FirstPosInSet(k, s, flag)), refimpl::FirstPosInSet(k, s, flag));
    EXPECT_EQ(L(QU::LastPosInSet(k, s, true)), refimpl::LastPosInSet(k, s, true));
    EXPECT_EQ(L(QU::LastPosInSet(k1, s, false)), refimpl::LastPosInSet(k1, s, false));
    EXPECT_EQ(L(QU::NthKeyPos(s, k, n)), refimpl::NthKeyPos(s, k, n)) << "n " << n;
    EXPECT_EQ(L(QU::CountKeys(s, k)), refimpl::CountKeys(s, k));
    EXPECT_EQ(QU::ReplaceAllKeys(s, k, r, flag), refimpl::ReplaceAllKeys(s, k, r, flag));
    EXPECT_EQ(QU::RemoveAll(k, s, flag), refimpl::RemoveAll(k, s, flag));
    EXPECT_EQ(QU::DeleteRange(s, p, count), refimpl::DeleteRange(s, p, count)) << p << ' ' << count;
    EXPECT_EQ(QU::DeleteFirstMarkerPair(s, b, e), refimpl::DeleteFirstMarkerPair(s, b, e))
        << b << e;
    EXPECT_EQ(QU::DeleteLastMarkerPair(s, b, e), refimpl::DeleteLastMarkerPair(s, b, e)) << b << e;
    EXPECT_EQ(QU::StripOverstrikes(s), refimpl::StripOverstrikes(s));
    EXPECT_EQ(QU::IsBlankLine(s), refimpl::IsBlankLine(s));
    EXPECT_EQ(QU::ExpandTabs(s, width), refimpl::ExpandTabs(s, width)) << "width " << width;
    EXPECT_EQ(QU::ApplyOutputCase(s, flag, flag2), refimpl::ApplyOutputCase(s, flag, flag2));
    EXPECT_EQ(QU::UpperCase(s), refimpl::UpperCase(s));
    EXPECT_EQ(QU::LowerCase(s), refimpl::LowerCase(s));
    EXPECT_EQ(QU::CutAtFirstKey(s, k), refimpl::CutAtFirstKey(s, k));

    bool insideEngine = flag, insideRef = flag;
    EXPECT_EQ(QU::StripTags(s, insideEngine), refimpl::StripTags(s, insideRef));
    EXPECT_EQ(insideEngine, insideRef);

    // The appending forms the engine's fast path uses: same text, after the prefix.
    std::string out = prefix;
    QU::AppendUpperCase(out, s);
    EXPECT_EQ(out, prefix + refimpl::UpperCase(s));
    out = prefix;
    QU::AppendLowerCase(out, s);
    EXPECT_EQ(out, prefix + refimpl::LowerCase(s));
    out = prefix;
    QU::AppendReplaceAllKeys(out, s, k, r, flag);
    EXPECT_EQ(out, prefix + refimpl::ReplaceAllKeys(s, k, r, flag));
    out = prefix;
    insideEngine = insideRef = flag2;
    QU::AppendStripTags(out, s, insideEngine);
    EXPECT_EQ(out, prefix + refimpl::StripTags(s, insideRef));
    EXPECT_EQ(insideEngine, insideRef);
    if (width >= 2 && width <= 16) {
      out = prefix;
      QU::AppendExpandedTabs(out, s, width);
      EXPECT_EQ(out, prefix + *refimpl::ExpandTabs(s, width));
      std::string buffer(s.size() * static_cast<std::size_t>(width) + 32, '#');
      char* end = QU::ExpandTabsInto(buffer.data(), buffer.data() + buffer.size(), s, width);
      ASSERT_NE(end, nullptr);
      EXPECT_EQ(std::string(buffer.data(), end), *refimpl::ExpandTabs(s, width));
    }
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(CrossCheck, IntegerTextAgreesWithReference) {
  const std::string alphabet = " +-$xX0123456789aFfg";
  const std::vector<std::string> edges = {
      "2147483647", "2147483648", "-2147483648", "-2147483649", "$7FFFFFFF", "$80000000",
      "0x",         "$",          "0x0",         "  -0",        "+",         "-",
      "12 ",        " 12",        "0X1f",        "x-1",         "00012"};
  Rng rng(0x1A7E6E2);
  for (int i = 0; i < 20000 + static_cast<int>(edges.size()); ++i) {
    std::string text;
    if (i < static_cast<int>(edges.size())) {
      text = edges[static_cast<std::size_t>(i)];
    } else {
      for (int n = rng.range(0, 6); n > 0; --n)
        text += alphabet[static_cast<std::size_t>(rng.below(static_cast<int>(alphabet.size())))];
    }
    const auto engine = quorlin::ParseIntegerText(text);
    const auto reference = refimpl::IntegerValue(text);
    ASSERT_EQ(engine, reference) << Show(text);
  }
}

TEST(CrossCheck, NumericFieldCheckAgreesWithReference) {
  using quorlin::NumericField;
  const NumericField fields[] = {NumericField::FirstLineNum, NumericField::LastLineNum,
                                 NumericField::LineLength,   NumericField::FirstCharPos,
                                 NumericField::LastCharPos,  NumericField::ReplPos};
  const std::vector<std::string> pieces = {
      "",  "-", "--",   ".",    " ",    "+", "$", "0x",     "x",      "1",          "12",
      "0", "5", "1024", "1025", "2000", "a", "F", "250000", "250001", "9999999999", "3.9"};
  Rng rng(0xF1E1D);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = rng.range(0, 3); n > 0; --n) text += rng.pick(pieces);
    const NumericField field = fields[rng.below(6)];
    std::optional<std::string> first;
    if (field == NumericField::LastCharPos && rng.chance(80)) {
      first = rng.chance(15) ? rng.pick(pieces) : std::to_string(rng.range(0, 30));
    }
    const quorlin::FieldCheckResult engine =
        first ? quorlin::CheckNumericField(field, text, std::string_view(*first))
              : quorlin::CheckNumericField(field, text);
    const refimpl::FieldCheck reference = refimpl::CheckField(field, text, first);
    ASSERT_EQ(Show(engine.text), Show(reference.text))
        << "field " << static_cast<int>(field) << " text " << Show(text) << " first "
        << (first ? Show(*first) : "none");
    ASSERT_EQ(engine.filled, reference.filled) << Show(text);
    ASSERT_EQ(engine.messages, reference.messages) << Show(text);
    ASSERT_EQ(engine.refocus, reference.refocus) << Show(text);
  }
}

// Validation for every test and action code (0 included, as when no button is
// checked) with the filled flags set one at a time, all, or none.
TEST(CrossCheck, ValidationAgreesForEveryCodePair) {
  std::vector<int> actions = kActions;
  actions.push_back(0);
  for (int test = 0; test <= 14; ++test) {
    for (int action : actions) {
      for (int pattern = 0; pattern < 12; ++pattern) {
        ChangeRequest r;
        r.testKind = test;
        r.actionKind = action;
        bool* flags[] = {&r.testKeyFilled,     &r.replacementKeyFilled, &r.firstLineNumFilled,
                         &r.lastLineNumFilled, &r.lineLengthFilled,     &r.firstCharPosFilled,
                         &r.lastCharPosFilled, &r.replPosFilled};
        for (int f = 0; f < 8; ++f) *flags[f] = pattern == 8 || pattern == f;
        r.retainPassingOnly = pattern == 9 || pattern == 8;
        r.replacementKey = pattern == 10 ? "(" : "()";
        r.replacementKeyFilled = r.replacementKeyFilled || pattern >= 10;
        EXPECT_EQ(quorlin::ValidateRequest(r), refimpl::Validate(r))
            << "test " << test << " action " << action << " pattern " << pattern;
      }
    }
  }
}

}  // namespace
