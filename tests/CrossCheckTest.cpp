// SPDX-License-Identifier: Apache-2.0
// Cross-check of the change engine against the plain reference implementation
// in tests/reference: generated texts and requests go through both, and the
// completed flag, the messages and every output line must agree. The line
// routines are cross-checked one by one the same way.
//
// Everything is driven by a fixed-seed generator; a failure prints the case
// number, its seed, and a shrunk reproduction (request and input lines).
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/LineList.h"
#include "engine/LineStream.h"
#include "engine/RunPlan.h"
#include "engine/WorkFiles.h"
#include "tests/reference/ReferenceRun.h"
#include "tests/support/Generator.h"
#include "tests/support/RunHarness.h"
#include "tests/support/Shrink.h"
#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace {

using quorlin::ChangeRequest;
using quorlin::Field;
using namespace quorlin::testing;
namespace QU = QuorlinUtils;

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
    facts.hasHigh = static_cast<signed char>(more && !QU::AllAscii(line) ? 1 : 0);
    if (!watching_ || !more) {
      facts.hasKey = -1;
    } else if (caseBlind_) {
      facts.hasKey = QU::UpperCase(line).find(QU::UpperCase(key_)) != std::string::npos ? 1 : 0;
    } else {
      facts.hasKey = line.find(key_) != std::string_view::npos ? 1 : 0;
    }
    return more;
  }
  void watchKey(std::string_view key, bool caseBlind) override {
    if (!withFacts_) return;
    watching_ = true;
    key_ = key;
    caseBlind_ = caseBlind;
  }

 private:
  const Lines& lines_;
  bool withFacts_;
  std::size_t index_ = 0;
  std::string buffer_;
  bool watching_ = false;
  std::string key_;
  bool caseBlind_ = false;
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
      const quorlin::LineList output = quorlin::LineList::fromBytes(result.output);
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

// Keeps every change the run reports.
class AllChanges final : public quorlin::RunObserver {
 public:
  struct Entry {
    std::uint64_t line, taken;
    std::string before;
    Lines after;
  };
  std::vector<Entry> entries;
  bool changed(const quorlin::LineChange& c) override {
    entries.push_back(
        {c.line, c.taken, std::string(c.before), Lines(c.after.begin(), c.after.end())});
    return true;
  }
};

// A run that counts and reports writes what a plain one does, and its figures
// and changes describe that output exactly: the input with each reported
// change put in gives the output again, and the figures follow from the
// changes. The lines passed are checked where the reference tells them: the
// lines action 14 deletes, and the lines kept when only passing lines are.
// Returns what disagrees, or an empty text.
std::string CountsDisagree(const ChangeRequest& r, const Lines& input,
                           const refimpl::Outcome& expected) {
  ScribbledSource source(input, false);
  VectorSink sink;
  quorlin::RunStats figures;
  AllChanges seen;
  const quorlin::RunResult result = quorlin::RunChange(r, source, sink, &figures, &seen);
  if (sink.lines != expected.lines) return "counting changed the output";
  if (!result.completed) return {};
  quorlin::RunStats fromChanges{
      .linesIn = input.size(), .passed = figures.passed, .linesOut = expected.lines.size()};
  Lines rebuilt;
  std::size_t e = 0;
  for (std::size_t i = 0; i < input.size();) {
    if (e == seen.entries.size() || seen.entries[e].line != i + 1) {
      rebuilt.push_back(input[i++]);
      continue;
    }
    const AllChanges::Entry& c = seen.entries[e++];
    if (c.before != input[i]) return "change " + std::to_string(c.line) + " names another line";
    rebuilt.insert(rebuilt.end(), c.after.begin(), c.after.end());
    if (c.after.empty()) {
      fromChanges.deleted += c.taken;
    } else {
      fromChanges.added += c.after.size() - 1;
      fromChanges.deleted += c.taken - 1;
      if (std::find(c.after.begin(), c.after.end(), c.before) == c.after.end())
        ++fromChanges.changed;
    }
    i += c.taken;
  }
  if (e != seen.entries.size()) return "changes reported out of order or past the input";
  if (rebuilt != expected.lines) return "the changes do not rebuild the output";
  if (figures != fromChanges) return "the figures do not follow from the changes";
  const bool wholeText =
      r.action == quorlin::ActionCode::Sort || r.action == quorlin::ActionCode::RemoveDuplicates;
  if (wholeText && figures.passed != input.size()) return "whole-text action: not all passed";
  if (r.action == quorlin::ActionCode::DeleteLine &&
      figures.passed != input.size() - expected.lines.size())
    return "passed is not what action 14 deletes";
  if (r.action == quorlin::ActionCode::NoChange && r.retainPassingOnly &&
      figures.passed != expected.lines.size())
    return "passed is not what retain keeps";
  return {};
}

bool Same(const refimpl::Outcome& a, const refimpl::Outcome& b) {
  return a.completed == b.completed && a.messages == b.messages && a.lines == b.lines;
}

// Every action code, from the user's list of codes.
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
        if (Same(expected, actual)) {
          if (path == Path::Plain) {
            const std::string disagree = CountsDisagree(r, input, expected);
            EXPECT_EQ(disagree, "")
                << "case " << caseNo << " (seed " << seed << ")\n  request: " << Show(r)
                << "\n  input:   " << Show(input);
            if (!disagree.empty() && ++failures >= 5) return;
          }
          continue;
        }

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

// A pattern over bytes and the same pattern over the characters that
// ToUtf8Characters makes of them: the key's bytes as literals, and pieces
// that read one character (".", classes, \W). A UTF-8 pattern never matches
// a stray byte, so the byte pattern's "." and classes leave those bytes out.
struct PatternPair {
  std::string bytes, utf8;
};

PatternPair PatternsOf(Rng& rng, const std::string& key) {
  const std::string strays = "\\x80-\\x8f\\xff";
  const auto hex = [](unsigned b, const char* form) {
    char h[16];
    std::snprintf(h, sizeof h, form, b);
    return std::string(h);
  };
  const auto utf8 = [&](unsigned b) { return ToUtf8Characters(std::string(1, char(b))); };
  const auto character = [&](unsigned b) {  // as \x{...}, or the character itself
    const std::string c = utf8(b);
    return rng.chance(50) ? c
                          : hex(QuorlinUtils::DecodeUtf8(c.data(), c.size()).codePoint, "\\x{%x}");
  };
  PatternPair p;
  const auto add = [&](const std::string& b, const std::string& u) {
    p.bytes += b;
    p.utf8 += u;
  };
  for (const char c : key.substr(0, 4)) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 0x80 && !QuorlinUtils::IsValidUtf8(utf8(b))) || rng.chance(15))
      add("[^\\n" + strays + "]", ".");
    else
      add(hex(b, "\\x%02x"), b >= 0x80 ? character(b) : hex(b, "\\x%02x"));
    if (rng.chance(20)) {
      const std::string repeat = rng.chance(50) ? "+" : "?";
      add(repeat, repeat);
    }
  }
  const int lo = rng.range(0x90, 0xFE), hi = std::min(0xFE, lo + rng.below(24));
  std::string chars;
  for (int b = lo; b <= hi; ++b) chars += character(static_cast<unsigned>(b));
  const std::string range =
      hex(static_cast<unsigned>(lo), "\\x%02x-") + hex(static_cast<unsigned>(hi), "\\x%02x");
  switch (rng.below(7)) {
    case 0:
      add("[" + range + "]+", "[" + chars + "]+");
      break;
    case 1:
      add("[^a-c" + range + strays + "]", "[^a-c" + chars + "]");
      break;
    case 2:
      add("[^\\w" + strays + "]", "\\W");
      break;
    case 3:
      p = {"^(" + p.bytes + ")", "^(" + p.utf8 + ")"};
      break;
    case 4:
      add("|\\d+", "|\\d+");
      break;
    case 5:
      p = {"\\b(?:" + p.bytes + ")$", "\\b(?:" + p.utf8 + ")$"};
      break;
  }
  return p;
}

// In UTF-8 every test and action works on characters exactly as it works on
// bytes: a generated text (its bytes above 127 made characters of one to four
// bytes, stray bytes among them) run as UTF-8 gives, character for
// character, what the same text with every character one byte gives run
// byte by byte; a pattern key over the characters as the same pattern over
// the bytes (PatternsOf).
TEST(CrossCheck, Utf8RunsAsTheByteRunOfTheSameCharacters) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  int caseNo = 0, runs = 0, patternRuns = 0, refusedKeys = 0, failures = 0;
  for (int round = 0; round < 12; ++round) {
    for (int test = 1; test <= 14; ++test) {
      for (int action : kActions) {
        const std::uint64_t seed = 0x07F8C4A2ull + static_cast<std::uint64_t>(caseNo) * 7919u;
        const Path path = caseNo % 16 == 0  ? Path::WorkFiles
                          : caseNo % 2 == 0 ? Path::WithFacts
                                            : Path::Plain;
        ++caseNo;
        Rng rng(seed);
        const Lines bytes = RandomLines(rng);
        ChangeRequest byteRequest = RandomRequest(rng, test, action, bytes);
        // A third of the rounds: the same pattern over the bytes and over the
        // characters.
        const bool asPattern = round % 3 == 2 && quorlin::LooksForKey(byteRequest);
        PatternPair patterns;
        if (asPattern) {
          patterns = PatternsOf(rng, byteRequest[Field::TestKey].text);
          byteRequest.keyIsPattern = true;
          byteRequest[Field::TestKey].text = patterns.bytes;
          if (action == 31 && rng.chance(50)) byteRequest[Field::ReplacementKey].text = "[\\0]";
        }
        if (!quorlin::ValidateRequest(byteRequest).empty()) continue;
        Lines chars;
        for (const std::string& line : bytes) chars.push_back(ToUtf8Characters(line));
        ChangeRequest r = byteRequest;
        r.encoding = quorlin::Encoding::Utf8;
        for (const Field f : {Field::TestKey, Field::ReplacementKey})
          r[f].text = ToUtf8Characters(byteRequest[f].text);
        if (asPattern) r[Field::TestKey].text = patterns.utf8;

        const refimpl::Outcome expected = RunEngine(byteRequest, bytes, Path::Plain, "");
        refimpl::Outcome actual = RunEngine(r, chars, path, folder.path());
        if (!QuorlinUtils::IsValidUtf8(r[Field::TestKey].text) && !actual.completed &&
            actual.messages == std::vector<std::string>{quorlin::kKeyNotUtf8Message}) {
          ++refusedKeys;  // a key with a stray byte could match inside a character
          continue;
        }
        ++runs;
        patternRuns += asPattern ? 1 : 0;
        bool same = actual.completed == expected.completed &&
                    actual.messages == expected.messages &&
                    actual.lines.size() == expected.lines.size();
        for (std::size_t i = 0; same && i < actual.lines.size(); ++i)
          same = FromUtf8Characters(actual.lines[i]) == expected.lines[i];
        if (same) continue;
        ADD_FAILURE() << "case " << caseNo << " (seed " << seed << ", path "
                      << static_cast<int>(path) << ")\n  request: " << Show(r)
                      << "\n  input:   " << Show(chars) << "\n  bytes:   " << Show(expected)
                      << "\n  UTF-8:   " << Show(actual);
        if (++failures >= 5) return;
      }
    }
  }
  EXPECT_GT(runs, 4000);
  EXPECT_GT(patternRuns, 600);
  EXPECT_GT(refusedKeys, 0);
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
    Req req{.action = c % 3 == 2 ? 43 : 32, .upper = c % 4 == 1};
    if (c % 3 != 0) req.firstChar = std::to_string(rng.range(0, 4));
    const ChangeRequest r = req;
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
    r[Field::TestKey] = {rng.pick(keys), true};
    std::string& repl = r[Field::ReplacementKey].text;
    if (repl.size() > 4) repl.resize(4);
    r[Field::ReplacementKey].filled = !repl.empty();
    r[Field::LineLength] = {std::to_string(rng.range(16, 1024)), true};
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

struct Example {
  const char* name;
  Req request;
  Lines input, expected;
  bool completed = true;
};

TEST(CrossCheck, DocumentedExamplesHoldForReferenceAndEngine) {
  const Lines kBlank3Text = {"", "", "", "text"};
  // clang-format off
  const Example examples[] = {
      {"tab in column 1 becomes 8 spaces",
       {.action = 13},
       {"\tx", "ab\tc"},
       {"        x", "ab      c"}},
      {"empty text", {.action = 13}, {}, {}},
      {"retain with no passing line", {.test = 9, .action = 13, .retain = true}, {"a", "b"}, {}},
      {"test 2 range, both ends", {.test = 2, .action = 14, .firstLine = "2", .lastLine = "3"}, {"a", "b", "c", "d"}, {"a", "d"}},
      {"test 2 first above last", {.test = 2, .action = 14, .firstLine = "3", .lastLine = "2"}, {"a", "b", "c"}, {"a", "b", "c"}},
      {"test 4 at 0: lines without the key", {.test = 4, .action = 14, .key = "k", .firstChar = "0"}, {"ak", "b"}, {"ak"}},
      {"test 4 sees only the first occurrence",
       {.test = 4, .action = 14, .key = "a", .firstChar = "3"},
       {"aba", "bba"},
       {"aba"}},
      {"test 7 counts expanded tabs", {.test = 7, .action = 14, .length = "10"}, {"\ta", "0123456789"}, {"0123456789"}},
      {"test 10 not at line 1", {.test = 10, .action = 21, .repl = "P"}, {"a", "", "b", "c"}, {"a", "", "P", "c"}},
      {"test 12 leading number",
       {.test = 12, .action = 14},
       {"   42", "-1", "+a", "", "   ", "a1", ".5"},
       {"", "   ", "a1"}},
      {"test 13 at the end, case-blind", {.test = 13, .action = 14, .key = "end"}, {"theEND", "en"}, {"en"}},
      {"test 14 second and later blanks", {.test = 14, .action = 14}, kBlank3Text, {"", "text"}},
      {"upper case reaches failing lines",
       {.test = 3, .action = 22, .key = "b", .upper = true},
       {"abc", "xyz"},
       {"AC", "XYZ"}},
      {"action 15 trims", {.action = 15}, {"  text\t", "\x01 "}, {"text", ""}},
      {"action 16 truncates", {.action = 16, .length = "5"}, {"abcdefg", "abc"}, {"abcde", "abc"}},
      {"action 16 with 0", {.action = 16, .length = "0"}, {"abcdefg"}, {"abcdefg"}},
      {"action 17 pads in front", {.action = 17, .length = "6"}, {"abc", "abcdefgh"}, {"   abc", "abcdefgh"}},
      {"action 18 pads at the end", {.action = 18, .length = "6"}, {"abc", "abcdefgh"}, {"abc   ", "abcdefgh"}},
      {"action 19 at 1", {.action = 19, .repl = "X", .replPos = "1"}, {"abc", ""}, {"Xabc", "X"}},
      {"action 19 at L+1 and L+2", {.action = 19, .repl = "X", .replPos = "4"}, {"abc", "ab"}, {"abcX", "ab"}},
      {"action 20 fixed pieces",
       {.action = 20, .length = "4"},
       {"abcdefghij", "abcdefgh", "abc"},
       {"abcd", "efgh", "ij", "abcd", "efgh", "abc"}},
      {"action 22 case-blind", {.action = 22, .key = "AB"}, {"xabyABz"}, {"xyz"}},
      {"action 22 case-sensitive", {.action = 22, .key = "AB", .cs = true}, {"xabyABz"}, {"xabyz"}},
      {"action 23", {.action = 23, .key = "b"}, {"abcabc"}, {"ab"}},
      {"action 24", {.action = 24, .key = "b"}, {"abcabc"}, {"bcabc"}},
      {"action 25 range", {.action = 25, .firstChar = "2", .lastChar = "3"}, {"abcdef", "a"}, {"adef", "a"}},
      {"action 25 past the end", {.action = 25, .firstChar = "2", .lastChar = "99"}, {"abcdef"}, {"a"}},
      {"action 25 from 0 acts as 1", {.action = 25, .firstChar = "0", .lastChar = "2"}, {"abcdef"}, {"cdef"}},
      {"action 26 range", {.action = 26, .firstChar = "2", .lastChar = "3"}, {"abcdef", "a"}, {"bc", ""}},
      {"action 26 from 0", {.action = 26, .firstChar = "0", .lastChar = "2"}, {"abcdef"}, {"ab"}},
      {"action 26 equal positions", {.action = 26, .firstChar = "3", .lastChar = "3"}, {"abcdef"}, {"c"}},
      {"action 26 last below first stops", {.action = 26, .firstChar = "3", .lastChar = "2"}, {"abcdef"}, {}, false},
      {"action 25 last 0 stops", {.action = 25, .firstChar = "0", .lastChar = "0"}, {"abcdef"}, {}, false},
      {"action 25 stop needs a line", {.action = 25, .firstChar = "3", .lastChar = "2"}, {}, {}},
      {"action 27 after", {.action = 27, .repl = "N"}, {"x", "y"}, {"x", "N", "y", "N"}},
      {"action 27 with retain", {.test = 3, .action = 27, .key = "x", .repl = "N", .retain = true}, {"x", "y"}, {"x", "N"}},
      {"action 27 empty replacement", {.action = 27}, {"x"}, {"x", ""}},
      {"action 28", {.action = 28, .key = "b", .repl = "X"}, {"abcabc"}, {"Xbcabc"}},
      {"action 29", {.action = 29, .key = "b", .repl = "X"}, {"abcabc"}, {"abX"}},
      {"action 30 across lines", {.action = 30}, {"x<b", "y>z<i>w"}, {"x", "zw"}},
      {"action 30 state moves on failing lines",
       {.test = 3, .action = 30, .key = "q"},
       {"a<b", "c>dq"},
       {"a<b", "dq"}},
      {"action 31 never searches the inserted text",
       {.action = 31, .key = "a", .repl = "aa"},
       {"aaa"},
       {"aaaaaa"}},
      {"action 32 sorts", {.action = 32}, {"b", "a"}, {"a", "b"}},
      {"action 32 from position 2", {.action = 32, .firstChar = "2"}, {"xb", "ya", "z"}, {"z", "ya", "xb"}},
      {"action 32 ignores retain", {.test = 9, .action = 32, .retain = true}, {"b", "a"}, {"a", "b"}},
      {"action 32 bytes unsigned, upper first", {.action = 32}, {"\xE9", "b", "B"}, {"B", "b", "\xE9"}},
      {"action 33 first pair",
       {.action = 33, .repl = "()"},
       {"a(b)x(d)e", "abc", "x) (y)"},
       {"ax(d)e", "abc", "x) (y)"}},
      {"action 33 same markers", {.action = 33, .repl = "**"}, {"a*b*x*d"}, {"ax*d"}},
      {"action 34 before", {.action = 34, .repl = "N"}, {"x", "y"}, {"N", "x", "N", "y"}},
      {"action 34 with test and upper",
       {.test = 3, .action = 34, .key = "a", .repl = "n", .upper = true},
       {"ab", "cd"},
       {"N", "AB", "CD"}},
      {"action 37 last pair", {.action = 37, .repl = "()"}, {"a(b)x(d)e", "a(b)x(d"}, {"a(b)xe", "ax(d"}},
      {"action 37 same markers", {.action = 37, .repl = "**"}, {"a*b*x*d"}, {"a*bd"}},
      {"action 38 set", {.action = 38, .repl = ",;"}, {"a,b;d", "A"}, {"abd", "A"}},
      {"action 39 at spaces", {.action = 39, .length = "8"}, {"hello world foo"}, {"hello ", "world ", "foo"}},
      {"action 39 long word",
       {.action = 39, .length = "5"},
       {"abcdefghij klm", "abcdefghij"},
       {"abcdefghij ", "klm", "abcdefghij"}},
      {"action 40 splits before the key",
       {.action = 40, .key = "K", .cs = true},
       {"aaKbbKcc", "Kaa", "xyz"},
       {"aa", "Kbb", "Kcc", "Kaa", "xyz"}},
      {"action 40 case-blind keeps case", {.action = 40, .key = "k"}, {"aaKbbkcc"}, {"aa", "Kbb", "kcc"}},
      {"action 40 only on passing lines",
       {.test = 3, .action = 40, .key = "K", .cs = true},
       {"aKb", "xK"},
       {"a", "Kb", "x", "K"}},
      {"action 41", {.action = 41}, {"_\bHi", "A\bA", "A\b\bB", "ab_\bd"}, {"Hi", "A", "A", "abd"}},
      {"action 43", {.action = 43}, {"a", "b", "a", "", "", "B"}, {"a", "b", "", "B"}},
      {"action 44 joins", {.action = 44}, {"a", "b", "x"}, {"ab", "x"}},
      {"action 44 joins do not chain", {.action = 44}, {"a", "b", "x", "y"}, {"ab", "xy"}},
      {"action 44 with a key", {.test = 3, .action = 44, .key = "a"}, {"a", "b", "a"}, {"ab", "a"}},
      {"action 44 consumed lines count",
       {.test = 2, .action = 44, .firstLine = "1", .lastLine = "2"},
       {"a", "b", "c", "d"},
       {"ab", "c", "d"}},
      {"action 44 previous line is the pair's first",
       {.test = 10, .action = 44},
       {"", "x", "", "z", "w"},
       {"", "x", "z", "w"}},
  };
  // clang-format on
  for (const Example& e : examples) {
    SCOPED_TRACE(e.name);
    const ChangeRequest request = e.request;
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
    // Every fourth text is long enough for the routines that work on 16 bytes
    // at a time, their last bytes included.
    const std::string s = Short(rng, i % 4 == 0 ? 48 : 10);
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
  const Field fields[] = {Field::FirstLineNum, Field::LastLineNum, Field::LineLength,
                          Field::FirstCharPos, Field::LastCharPos, Field::ReplPos};
  const std::vector<std::string> pieces = {
      "",  "-", "--",   ".",    " ",    "+", "$", "0x",     "x",      "1",          "12",
      "0", "5", "1024", "1025", "2000", "a", "F", "250000", "250001", "9999999999", "3.9"};
  Rng rng(0xF1E1D);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = rng.range(0, 3); n > 0; --n) text += rng.pick(pieces);
    const Field field = fields[rng.below(6)];
    std::optional<std::string> first;
    if (field == Field::LastCharPos && rng.chance(80)) {
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
        r.test = quorlin::TestCode(test);
        r.action = quorlin::ActionCode(action);
        for (int f = 0; f < 8; ++f) r.fields[std::size_t(f)].filled = pattern == 8 || pattern == f;
        r.retainPassingOnly = pattern == 9 || pattern == 8;
        r[Field::ReplacementKey].text = pattern == 10 ? "(" : "()";
        r[Field::ReplacementKey].filled = r[Field::ReplacementKey].filled || pattern >= 10;
        EXPECT_EQ(quorlin::ValidateRequest(r), refimpl::Validate(r))
            << "test " << test << " action " << action << " pattern " << pattern;
      }
    }
  }
}

}  // namespace
