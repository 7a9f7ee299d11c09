// SPDX-License-Identifier: Apache-2.0
// What each change action makes of the lines that pass, through a whole run.
#include <gtest/gtest.h>

#include "tests/support/RunHarness.h"

using namespace quorlin;
using namespace quorlin::testing;

namespace {

struct ActionCase {
  const char* name;
  Req req;
  Lines input;
  Lines output;
};

void Check(const ActionCase& c) {
  const RunOutput out = RunLines(c.req, c.input);
  EXPECT_TRUE(out.completed) << c.name;
  EXPECT_EQ(out.lines, c.output) << c.name;
}

TEST(InlineActions, OneLineEach) {
  // clang-format off
  const ActionCase cases[] = {
      {"13 expands tabs", {.action = 13}, {"\tx", "abc\tx", "abcdefgh\t|"},
       {"        x", "abc     x", "abcdefgh        |"}},
      {"15 trims below 33", {.action = 15}, {"  text\t ", " \x01 ", "", "a b"}, {"text", "", "", "a b"}},
      {"16 truncates", {.action = 16, .length = "5"}, {"abcdefg", "abc", "abcde"},
       {"abcde", "abc", "abcde"}},
      {"16 length 0 keeps", {.action = 16, .length = "0"}, {"abcdefg"}, {"abcdefg"}},
      {"17 pads in front", {.action = 17, .length = "6"}, {"abc", "abcdefgh", ""},
       {"   abc", "abcdefgh", "      "}},
      {"18 pads at end", {.action = 18, .length = "6"}, {"abc", "abcdefgh"}, {"abc   ", "abcdefgh"}},
      {"17 length 0 keeps", {.action = 17, .length = "0"}, {"abc"}, {"abc"}},
      {"19 at 1", {.action = 19, .repl = "XY", .replPos = "1"}, {"abc", ""}, {"XYabc", "XY"}},
      {"19 inside", {.action = 19, .repl = "XY", .replPos = "2"}, {"abc"}, {"aXYbc"}},
      {"19 at L+1 appends", {.action = 19, .repl = "XY", .replPos = "4"}, {"abc"}, {"abcXY"}},
      {"19 beyond", {.action = 19, .repl = "XY", .replPos = "5"}, {"abc", ""}, {"abc", ""}},
      {"19 at 0", {.action = 19, .repl = "XY", .replPos = "0"}, {"abc"}, {"abc"}},
      {"19 counts after expansion", {.action = 19, .repl = "|", .replPos = "9"}, {"\tx"},
       {"        |x"}},
      {"21 replaces", {.action = 21, .repl = "new"}, {"old", ""}, {"new", "new"}},
      {"22 folded", {.action = 22, .key = "AB"}, {"xabyABz", "none"}, {"xyz", "none"}},
      {"22 exact", {.action = 22, .key = "AB", .cs = true}, {"xabyABz"}, {"xabyz"}},
      {"22 key is whole line", {.action = 22, .key = "ab"}, {"ab"}, {""}},
      {"23 right of key", {.action = 23, .key = "b"}, {"abcabc", "xyz", "aBc"}, {"ab", "xyz", "aB"}},
      {"24 left of key", {.action = 24, .key = "b"}, {"abcabc", "xyz"}, {"bcabc", "xyz"}},
      {"28 replace left", {.action = 28, .key = "b", .repl = "X"}, {"abcabc", "xyz"},
       {"Xbcabc", "xyz"}},
      {"29 replace right", {.action = 29, .key = "b", .repl = "X"}, {"abcabc", "xyz"},
       {"abX", "xyz"}},
      {"29 keeps case of the line", {.action = 29, .key = "b", .repl = "X"}, {"aBc"}, {"aBX"}},
      {"24 key at end", {.action = 24, .key = "c"}, {"abc"}, {"c"}},
      {"25 deletes range", {.action = 25, .firstChar = "2", .lastChar = "3"}, {"abcdef", "a", ""},
       {"adef", "a", ""}},
      {"25 to end", {.action = 25, .firstChar = "2", .lastChar = "99"}, {"abcdef"}, {"a"}},
      {"25 first 0 acts as 1", {.action = 25, .firstChar = "0", .lastChar = "2"}, {"abcdef"},
       {"cdef"}},
      {"25 equal positions", {.action = 25, .firstChar = "3", .lastChar = "3"}, {"abcdef"},
       {"abdef"}},
      {"26 keeps range", {.action = 26, .firstChar = "2", .lastChar = "3"}, {"abcdef", "a", ""},
       {"bc", "", ""}},
      {"26 first 0 acts as 1", {.action = 26, .firstChar = "0", .lastChar = "2"}, {"abcdef"},
       {"ab"}},
      {"26 last beyond", {.action = 26, .firstChar = "5", .lastChar = "99"}, {"abcdef"}, {"ef"}},
      {"31 replaces every key", {.action = 31, .key = "a", .repl = "aa"}, {"aaa", "bAb"},
       {"aaaaaa", "baab"}},
      {"31 exact", {.action = 31, .key = "a", .repl = "-", .cs = true}, {"aAa"}, {"-A-"}},
      {"33 first pair", {.action = 33, .repl = "()"}, {"a(b)x(d)e", "plain"}, {"ax(d)e", "plain"}},
      {"37 last pair", {.action = 37, .repl = "()"}, {"a(b)x(d)e", "plain"}, {"a(b)xe", "plain"}},
      {"33 markers beyond two ignored", {.action = 33, .repl = "**x"}, {"a*b*x*d"}, {"ax*d"}},
      {"35 appends", {.action = 35, .repl = "!"}, {"abc", ""}, {"abc!", "!"}},
      {"38 removes set", {.action = 38, .repl = ",;"}, {"a,b;d", "A,a"}, {"abd", "Aa"}},
      {"38 exact bytes", {.action = 38, .repl = "a"}, {"aAa"}, {"A"}},
      {"41 overstrikes", {.action = 41}, {"_\bH_\bi", "B\bBo\bold", "plain"}, {"Hi", "Bold", "plain"}},
  };
  // clang-format on
  for (const auto& c : cases) Check(c);
}

TEST(InlineActions, OnlyPassingLinesChange) {
  Check({"test 3 picks",
         {.test = 3, .action = 21, .key = "x", .repl = "R"},
         {"x", "y", "xx"},
         {"R", "y", "R"}});
  Check({"non-passing keep tabs expanded",
         {.test = 3, .action = 35, .key = "x", .repl = "!"},
         {"\ty", "x"},
         {"        y", "x!"}});
}

TEST(InlineActions, CharPositionsStopTheRun) {
  const Lines text = {"abc", "def"};
  for (int action : {25, 26}) {
    for (auto [first, last] : {std::pair{"3", "2"}, std::pair{"0", "0"}}) {
      Req r{.action = action, .firstChar = first, .lastChar = last};
      const RunOutput out = RunLines(r, text);
      EXPECT_FALSE(out.completed) << action << " " << first << "-" << last;
      EXPECT_TRUE(out.lines.empty());
      EXPECT_EQ(out.messages,
                (std::vector<std::string>{
                    "Char positions have to be Positive, with Last char > First Char"}));
    }
    // An empty text never reaches the check.
    Req r{.action = action, .firstChar = "3", .lastChar = "2"};
    const RunOutput empty = RunLines(r, {});
    EXPECT_TRUE(empty.completed);
    EXPECT_TRUE(empty.lines.empty());
  }
}

TEST(InlineActions, UnreadableParameterRefusesTheRun) {
  Req r{.action = 16, .length = "abc"};
  RunOutput out = RunLines(r, {"x"});
  EXPECT_FALSE(out.completed);
  EXPECT_EQ(out.messages, (std::vector<std::string>{"'abc' is not a valid integer value"}));
  Req big{.action = 17, .length = "2000000000"};  // never reached through the field check
  out = RunLines(big, {"x"});
  EXPECT_FALSE(out.completed);
  EXPECT_EQ(
      out.messages,
      (std::vector<std::string>{"Valid range for LineLength Number of Characters is 0 to 1024"}));
}

}  // namespace
