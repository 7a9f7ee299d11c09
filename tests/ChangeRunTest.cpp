// SPDX-License-Identifier: Apache-2.0
// The run as a whole: what is written for passing and failing lines, the
// options, and the actions that change the structure of the text.
#include <algorithm>
#include <random>
#include <unordered_set>

#include <gtest/gtest.h>

#include "tests/support/RunHarness.h"

using namespace quorlin;
using namespace quorlin::testing;

namespace {

struct RunCase {
  const char* name;
  Req req;
  Lines input;
  Lines output;
};

void CheckAll(std::initializer_list<RunCase> cases) {
  for (const auto& c : cases) {
    const RunOutput out = RunLines(c.req, c.input);
    EXPECT_TRUE(out.completed) << c.name;
    EXPECT_EQ(out.lines, c.output) << c.name;
  }
}

TEST(Emission, RetainDeleteAndOutputCase) {
  // clang-format off
  CheckAll({
      {"empty text", {}, {}, {}},
      {"14 deletes exactly the passing lines", {.test = 3, .action = 14, .key = "x"},
       {"x1", "\ty", "x2"}, {"        y"}},
      {"retain with no passing line empties", {.test = 3, .action = 13, .key = "zz", .retain = true},
       {"a", "b"}, {}},
      {"retain keeps changed passing lines", {.test = 3, .action = 35, .key = "a", .repl = "!", .retain = true},
       {"a", "b", "ca"}, {"a!", "ca!"}},
      {"upper case reaches failing lines too", {.test = 3, .action = 35, .key = "a", .repl = "!", .upper = true},
       {"a", "b\xe9"}, {"A!", "B\xe9"}},
      {"lower case", {.action = 13, .lower = true}, {"MiXed", "\xc9Z"}, {"mixed", "\xc9z"}},
      {"upper wins over lower", {.action = 13, .lower = true, .upper = true}, {"MiXed"}, {"MIXED"}},
  });
  // clang-format on
}

TEST(StructureActions, AddedLines) {
  // clang-format off
  CheckAll({
      {"27 after", {.action = 27, .repl = "N"}, {"x", "y"}, {"x", "N", "y", "N"}},
      {"34 before", {.action = 34, .repl = "N"}, {"x", "y"}, {"N", "x", "N", "y"}},
      {"27 empty replacement", {.action = 27}, {"x"}, {"x", ""}},
      {"27 with retain", {.test = 3, .action = 27, .key = "x", .repl = "N", .retain = true},
       {"x", "y", "ax"}, {"x", "N", "ax", "N"}},
      {"34 only next to passing, upper", {.test = 3, .action = 34, .key = "k", .repl = "new", .upper = true},
       {"k1", "z"}, {"NEW", "K1", "Z"}},
      {"27 tabs in replacement kept", {.action = 27, .repl = "\t"}, {"x"}, {"x", "\t"}},
  });
  // clang-format on
}

TEST(StructureActions, Splits) {
  // clang-format off
  CheckAll({
      {"20 pieces", {.action = 20, .length = "4"}, {"abcdefghij", "abcdefgh", "abc", ""},
       {"abcd", "efgh", "ij", "abcd", "efgh", "abc", ""}},
      {"20 length 0", {.action = 20, .length = "0"}, {"abcdef"}, {"abcdef"}},
      {"20 exactly the length", {.action = 20, .length = "4"}, {"abcd"}, {"abcd"}},
      {"20 retain keeps the pieces of passing lines only",
       {.test = 3, .action = 20, .key = "a", .length = "2", .retain = true}, {"abc", "xyz"},
       {"ab", "c"}},
      {"20 length 1", {.action = 20, .length = "1"}, {"abc"}, {"a", "b", "c"}},
      {"20 after expansion, upper", {.action = 20, .length = "4", .upper = true}, {"\tab"},
       {"    ", "    ", "AB"}},
      {"39 at spaces", {.action = 39, .length = "8"}, {"hello world foo"},
       {"hello ", "world ", "foo"}},
      {"39 long word cut after next separator", {.action = 39, .length = "5"}, {"abcdefghij klm"},
       {"abcdefghij ", "klm"}},
      {"39 no separator never split", {.action = 39, .length = "3"}, {"abcdefgh"}, {"abcdefgh"}},
      {"39 exactly the length", {.action = 39, .length = "5"}, {"ab cd"}, {"ab cd"}},
      {"39 commas", {.action = 39, .length = "4"}, {"a,b,c,d,e"}, {"a,b,", "c,d,", "e"}},
      {"39 trailing separator", {.action = 39, .length = "3"}, {"abc, "}, {"abc,", " "}},
      {"39 length 0", {.action = 39, .length = "0"}, {"a b c"}, {"a b c"}},
      {"40 before each key", {.action = 40, .key = "K"}, {"aaKbbKcc", "Kaa", "none"},
       {"aa", "Kbb", "Kcc", "Kaa", "none"}},
      {"40 folded, pieces keep case", {.action = 40, .key = "k"}, {"xKyk"}, {"x", "Ky", "k"}},
      {"40 exact", {.action = 40, .key = "k", .cs = true}, {"xKyk"}, {"xKy", "k"}},
      {"40 key at start repeated", {.action = 40, .key = "ab"}, {"ababab"}, {"ab", "ab", "ab"}},
      // Overlapping keys: the count is of non-overlapping occurrences, the
      // position search counts overlaps; the pieces follow both.
      {"40 overlapping key", {.action = 40, .key = "aa"}, {"aaaa"}, {"a", "aaa"}},
      {"40 overlapping key, odd", {.action = 40, .key = "aa"}, {"xaaa"}, {"x", "aaa"}},
  });
  // clang-format on
}

TEST(StructureActions, JoinNextLine) {
  // clang-format off
  CheckAll({
      {"44 pairs", {.action = 44}, {"a", "b", "x"}, {"ab", "x"}},
      {"44 no chaining", {.action = 44}, {"a", "b", "x", "y"}, {"ab", "xy"}},
      {"44 only after passing", {.test = 3, .action = 44, .key = "a"}, {"a", "b", "a"}, {"ab", "a"}},
      {"44 consumed line counts", {.test = 2, .action = 44, .firstLine = "3", .lastLine = "3"},
       {"1", "2", "3", "4", "5"}, {"1", "2", "34", "5"}},
      {"44 consumed line is never tested",
       {.test = 2, .action = 44, .firstLine = "1", .lastLine = "2"}, {"1", "2", "3"}, {"12", "3"}},
      {"44 next line tabs expanded", {.action = 44}, {"a", "\tb"}, {"a        b"}},
      {"44 retain", {.test = 3, .action = 44, .key = "a", .retain = true}, {"a", "b", "c", "a"},
       {"ab", "a"}},
  });
  // clang-format on
  // The previous line after a join is the first line of the pair: the blank
  // line 2 joined with "x" leaves a blank previous line for "y", which passes.
  CheckAll({{"44 previous line",
             {.test = 10, .action = 44, .retain = true},
             {"", "", "x", "y"},
             {"x", "y"}}});
}

TEST(StructureActions, TagStripping) {
  // clang-format off
  CheckAll({
      {"30 across lines", {.action = 30}, {"x<b", "y>z<i>w"}, {"x", "zw"}},
      {"30 unclosed swallows", {.action = 30}, {"a<b", "cd", "e>f"}, {"a", "", "f"}},
      {"30 failing lines move the state",
       {.test = 3, .action = 30, .key = "z"}, {"q<", "z>tail"}, {"q<", "tail"}},
      {"30 retain", {.test = 3, .action = 30, .key = "k", .retain = true}, {"<k", "x>", "k>y"},
       {"", "ky"}},
  });
  // clang-format on
}

TEST(StructureActions, Duplicates) {
  // clang-format off
  CheckAll({
      {"43 first kept", {.action = 43}, {"a", "b", "a", "", "", "B"}, {"a", "b", "", "B"}},
      {"43 ignores test and retain", {.test = 3, .action = 43, .key = "zz", .retain = true},
       {"a", "a"}, {"a"}},
      {"43 trailing spaces count", {.action = 43}, {"a", "a "}, {"a", "a "}},
      {"43 tab equals its spaces", {.action = 43}, {"\tx", "        x"}, {"        x"}},
      {"43 upper on output only", {.action = 43, .upper = true}, {"a", "A"}, {"A", "A"}},
  });
  // clang-format on
}

TEST(StructureActions, Sort) {
  // clang-format off
  CheckAll({
      {"32 plain", {.action = 32}, {"b", "a"}, {"a", "b"}},
      {"32 bytes unsigned, upper first", {.action = 32}, {"b", "\xe9", "B", "a", ""},
       {"", "B", "a", "b", "\xe9"}},
      {"32 key from position 2", {.action = 32, .firstChar = "2"}, {"xb", "ya", "z"},
       {"z", "ya", "xb"}},
      {"32 first char 0 acts as 1", {.action = 32, .firstChar = "0"}, {"b", "a"}, {"a", "b"}},
      {"32 ignores test and retain", {.test = 3, .action = 32, .key = "zz", .retain = true},
       {"b", "a"}, {"a", "b"}},
      {"32 single line", {.action = 32}, {"only"}, {"only"}},
      {"32 prefix first", {.action = 32}, {"ab", "a", "abc"}, {"a", "ab", "abc"}},
  });
  // clang-format on
}

// The gapped insertion sort, written out plainly: it fixes the order of lines
// whose keys are equal.
Lines ShellSortByKey(Lines v, std::size_t from) {
  auto key = [&](const std::string& s) { return s.size() >= from ? s.substr(from - 1) : ""; };
  const std::size_t n = v.size();
  std::vector<std::size_t> gaps;
  for (std::size_t g = n >= 1 ? (n - 1) / 2 : 0; g >= 1; g /= 2) gaps.push_back(g);
  if (n == 2) gaps = {1};
  for (std::size_t g : gaps)
    for (std::size_t i = 1; i + g <= n; ++i)
      for (long j = long(i); j >= 1 && key(v[j - 1]) > key(v[j - 1 + g]); j -= long(g))
        std::swap(v[j - 1], v[j - 1 + g]);
  return v;
}

TEST(StructureActions, SortOrderOfEqualKeysFollowsTheGapSequence) {
  // Lines whose keys (from position 3) collide often, so the order within
  // equal keys shows whether the gap sequence was followed exactly.
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = rng() % 40;
    Lines input;
    for (std::size_t i = 0; i < n; ++i) {
      std::string line(1, char('a' + rng() % 26));
      line += char('0' + i % 10);
      const std::size_t len = rng() % 3;
      for (std::size_t k = 0; k < len; ++k) line += char('x' + rng() % 2);
      input.push_back(line);
    }
    Req r{.action = 32, .firstChar = "3"};
    ASSERT_EQ(RunLines(r, input).lines, ShellSortByKey(input, 3)) << "round " << round;
  }
}

// Texts of many lines in every length class the stores treat apart: empty,
// one and two bytes, lengths that take one and two bytes to record, and
// enough distinct lines to grow the table of seen lines through both its slot
// widths. Bytes above 127 and zero bytes test the unsigned order.
TEST(StructureActions, SortAndDuplicatesOnManyLines) {
  std::mt19937 rng(5);
  const char alphabet[] = {'a', 'b', '\xE9', '\0'};
  for (std::size_t maxLen : {2u, 12u, 40u, 300u}) {
    Lines input;
    for (int i = 0; i < 30000; ++i) {
      std::string line(rng() % (maxLen + 1), 'a');
      for (char& c : line) c = alphabet[rng() % 4];
      input.push_back(line);
    }
    Lines sorted = input;
    std::sort(sorted.begin(), sorted.end());
    Lines firsts;
    std::unordered_set<std::string> seen;
    for (const std::string& line : input)
      if (seen.insert(line).second) firsts.push_back(line);
    EXPECT_EQ(RunLines(Req{.action = 32}, input).lines, sorted) << "up to " << maxLen;
    EXPECT_EQ(RunLines(Req{.action = 43}, input).lines, firsts) << "up to " << maxLen;
  }
}

// The figures by kind of action: {passed, changed, deleted, added} over the
// input, and what an observer that stops after its first change is told.
TEST(RunFigures, CountEachKindOfAction) {
  struct Case {
    const char* name;
    Req req;
    Lines input;
    RunStats figures;  // lines in and out are checked against input and output
    std::uint64_t firstLine;
    Lines firstAfter;
  };
  // clang-format off
  const Case cases[] = {
      {"in place: tabs count, equal result does not", {.test = 3, .action = 22, .key = "x"},
       {"ax", "b", "\tc", "y"}, {.passed = 1, .changed = 2}, 1, {"a"}},
      {"delete", {.test = 3, .action = 14, .key = "x"}, {"x", "a", "x"},
       {.passed = 2, .deleted = 2}, 1, {}},
      {"retain drops failing lines", {.test = 3, .action = 13, .key = "x", .retain = true},
       {"x", "a", "x"}, {.passed = 2, .deleted = 1}, 2, {}},
      {"added line beside an unchanged one", {.test = 3, .action = 27, .key = "x", .repl = "N"},
       {"a", "x"}, {.passed = 1, .added = 1}, 2, {"x", "N"}},
      {"split: pieces beyond the first are added", {.action = 20, .length = "2"},
       {"abcde", "ab"}, {.passed = 2, .changed = 1, .added = 2}, 1, {"ab", "cd", "e"}},
      {"join: the joined line is deleted", {.action = 44}, {"a", "", "b", "c"},
       {.passed = 2, .changed = 1, .deleted = 2}, 1, {"a"}},
      {"sort: positions that hold another line", {.action = 32}, {"b", "a", "c"},
       {.passed = 3, .changed = 2}, 1, {"a"}},
      {"duplicates: later equal lines deleted", {.test = 3, .action = 43, .key = "zz"},
       {"a", "a", "\tb", "a"}, {.passed = 4, .changed = 1, .deleted = 2}, 2, {}},
      {"output case changes every line it touches", {.action = 13, .upper = true},
       {"A", "b"}, {.passed = 2, .changed = 1}, 2, {"B"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    // Stops after the first change: later ones are not reported.
    struct First final : RunObserver {
      std::vector<std::pair<std::uint64_t, Lines>> seen;
      bool changed(const LineChange& ch) override {
        seen.emplace_back(ch.line, Lines(ch.after.begin(), ch.after.end()));
        return false;
      }
    } first;
    VectorSource source(c.input);
    VectorSink sink;
    RunStats figures;
    ASSERT_TRUE(RunChange(c.req, source, sink, &figures, &first).completed) << c.name;
    RunStats expected = c.figures;
    expected.linesIn = c.input.size();
    expected.linesOut = sink.lines.size();
    EXPECT_EQ(figures, expected) << c.name;
    EXPECT_EQ(figures.linesOut, figures.linesIn - figures.deleted + figures.added) << c.name;
    ASSERT_EQ(first.seen.size(), 1u) << c.name;
    EXPECT_EQ(first.seen[0].first, c.firstLine) << c.name;
    EXPECT_EQ(first.seen[0].second, c.firstAfter) << c.name;
    EXPECT_EQ(sink.lines, RunLines(c.req, c.input).lines) << c.name << ": counting wrote otherwise";
  }
}

}  // namespace
