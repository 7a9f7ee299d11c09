// SPDX-License-Identifier: Apache-2.0
// Which lines pass each line test, seen through a run that keeps only the
// passing lines.
#include <gtest/gtest.h>

#include "engine/LineTests.h"
#include "tests/support/RunHarness.h"

using namespace quorlin;
using namespace quorlin::testing;

namespace {

struct PassCase {
  const char* name;
  Req req;
  Lines input;
  Lines passing;
};

// The passing lines, as the run writes them (tabs expanded).
Lines Passing(Req r, const Lines& input) {
  r.action = 13;
  r.retain = true;
  return RunLines(r, input).lines;
}

TEST(LineTests, WhichLinesPass) {
  const Lines five = {"l1", "l2", "l3", "l4", "l5"};
  // clang-format off
  const PassCase cases[] = {
      {"1 passes all", {.test = 1}, {"a", "", "b"}, {"a", "", "b"}},
      {"2 range", {.test = 2, .firstLine = "3", .lastLine = "5"}, five, {"l3", "l4", "l5"}},
      {"2 first above last", {.test = 2, .firstLine = "4", .lastLine = "2"}, five, {}},
      {"2 first 0 acts as 1", {.test = 2, .firstLine = "0", .lastLine = "1"}, five, {"l1"}},
      {"3 folded", {.test = 3, .key = "ab"}, {"xABy", "Ab", "a b", "b"}, {"xABy", "Ab"}},
      {"3 exact", {.test = 3, .key = "ab", .cs = true}, {"xABy", "ab"}, {"ab"}},
      {"3 high bytes never fold", {.test = 3, .key = "\xe9"}, {"\xc9", "\xe9"}, {"\xe9"}},
      {"3 key with spaces meets expanded tab", {.test = 3, .key = "  b"}, {"a\tb", "a b"}, {"a       b"}},
      {"3 key with tab never matches", {.test = 3, .key = "a\tb"}, {"a\tb"}, {}},
      {"3 key longer than line", {.test = 3, .key = "abcd"}, {"abc", ""}, {}},
      {"4 first occurrence only", {.test = 4, .key = "k", .firstChar = "3"}, {"xxk", "kxk", "xk"},
       {"xxk"}},
      {"4 position 0 passes lines without key", {.test = 4, .key = "k", .firstChar = "0"},
       {"k", "x"}, {"x"}},
      {"4 position after tab", {.test = 4, .key = "k", .firstChar = "9"}, {"\tk", "k"}, {"        k"}},
      {"5 without key", {.test = 5, .key = "ab"}, {"AB", "x", ""}, {"x", ""}},
      {"5 exact", {.test = 5, .key = "ab", .cs = true}, {"AB", "ab"}, {"AB"}},
      {"6 opposite of 4", {.test = 6, .key = "k", .firstChar = "3"}, {"xxk", "kxk", "xk"},
       {"kxk", "xk"}},
      {"6 position 0 passes lines with key", {.test = 6, .key = "k", .firstChar = "0"}, {"k", "x"},
       {"k"}},
      {"7 shorter, tab counts as spaces", {.test = 7, .length = "10"},
       {"\ta", "0123456789", "", "abc"}, {"        a", "", "abc"}},
      {"8 longer", {.test = 8, .length = "10"}, {"\tab", "0123456789", "01234567890"},
       {"01234567890"}},
      {"9 blank", {.test = 9}, {"", "   ", "\t", " \x01", ".", " x "}, {"", "   ", "        ", " \x01"}},
      {"10 after a blank, never line 1", {.test = 10}, {"", "a", "", "", "b", "c"},
       {"a", "", "b"}},
      {"11 tag-like", {.test = 11}, {"a > b", "<", "none", "x<y>"}, {"a > b", "<", "x<y>"}},
      {"12 number", {.test = 12},
       {"   42", "-5x", "+a", "", "   ", "a1", ".5", "\t7", "x"},
       {"   42", "-5x", "+a", ".5", "        7"}},
      {"13 at the end", {.test = 13, .key = "end"}, {"the END", "en", "end.", "end"},
       {"the END", "end"}},
      {"13 exact", {.test = 13, .key = "end", .cs = true}, {"the END", "end"}, {"end"}},
      {"14 second of blank run", {.test = 14}, {"", "", "", "text", "", "x"}, {"", ""}},
      {"14 line 1 never", {.test = 14}, {"", "a"}, {}},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(Passing(c.req, c.input), c.passing) << c.name;
}

TEST(LineTests, PreviousLineIsTheInputLine) {
  // Line 2 is deleted by the action, yet it is still the previous line of
  // line 3, which therefore passes too.
  Req r{.test = 10, .action = 14};
  EXPECT_EQ(RunLines(r, {"", "", "b"}).lines, (Lines{""}));
  Req replaced{.test = 10, .action = 21, .repl = "X"};
  EXPECT_EQ(RunLines(replaced, {"", "", "b"}).lines, (Lines{"", "X", "X"}));
}

TEST(LineTests, BeginsWithNumberSeparator) {
  EXPECT_TRUE(BeginsWithNumber("  ,5", ','));
  EXPECT_FALSE(BeginsWithNumber("  ,5", '.'));
  EXPECT_TRUE(BeginsWithNumber("\x01\x02 9", '.'));
}

}  // namespace
