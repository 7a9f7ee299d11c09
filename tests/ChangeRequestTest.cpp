// SPDX-License-Identifier: Apache-2.0
// Integer text, the check made when a numeric field is left, and the
// validation before a change starts.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ChangeRequest.h"
#include "tests/support/RunHarness.h"

using namespace quorlin;
using quorlin::testing::Req;

namespace {

TEST(IntegerText, AcceptsDecimalAndHexForms) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
    // clang-format off
  } cases[] = {
      {"0", 0},
      {"12", 12},
      {"  12", 12},          // leading blanks
      {"12 ", std::nullopt},  // nothing after the last digit
      {"+5", 5},
      {"-5", -5},
      {"- 5", std::nullopt},
      {"$10", 16},
      {"x10", 16},
      {"X1f", 31},
      {"0x10", 16},
      {"0XfF", 255},
      {"  $A", 10},
      {"-$10", std::nullopt},  // no sign before a hexadecimal number
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"$7FFFFFFF", 2147483647},
      {"$80000000", std::nullopt},  // beyond a signed 32-bit value
      {"$FFFFFFFF", std::nullopt},
      {"2147483647", 2147483647},
      {"2147483648", std::nullopt},
      {"-2147483648", -2147483648LL},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"abc", std::nullopt},
      {"1e3", std::nullopt},
      {"\t5", std::nullopt},  // only spaces are blanks
      {"007", 7},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ParseIntegerText(c.text), c.value) << '"' << c.text << '"';
}

struct FieldCase {
  const char* name;
  Field field;
  std::string text;
  std::optional<std::string> firstChar;
  std::string newText;
  bool filled;
  std::vector<std::string> messages;
};

TEST(FieldCheck, NormalisesResetsAndReports) {
  const std::string lineRange = "Valid range for line numbers is 0 to 250000";
  const std::string posRange = "Valid range for Character Position is 0 to 1024";
  const std::string lastRange = "Valid range for Character Position is 1 to 1024";
  const std::string lenRange = "Valid range for LineLength Number of Characters is 0 to 1024";
  const std::string lastBelow = "Last Char Position must be greater or equal to 1st Char Position";
  // clang-format off
  const FieldCase cases[] = {
      {"empty stays empty and unfilled", Field::FirstLineNum, "", {}, "", false, {}},
      {"minus dropped", Field::FirstLineNum, "-7", {}, "7", true, {}},
      {"cut at the dot", Field::FirstLineNum, "3.9", {}, "3", true, {}},
      {"lone dot", Field::FirstLineNum, ".", {}, "0", true, {"'' is not a valid integer value"}},
      {"letters", Field::LastLineNum, "abc", {}, "0", true, {"'abc' is not a valid integer value"}},
      {"above bound", Field::LastLineNum, "250001", {}, "0", true, {lineRange}},
      {"at bound", Field::FirstLineNum, "250000", {}, "250000", true, {}},
      {"leading blank kept", Field::FirstLineNum, " 12", {}, " 12", true, {}},
      {"trailing blank", Field::FirstLineNum, "12 ", {}, "0", true,
       {"'12 ' is not a valid integer value"}},
      {"hex kept as typed", Field::LineLength, "$10", {}, "$10", true, {}},
      {"length above bound", Field::LineLength, "1025", {}, "0", true, {lenRange}},
      {"dot then minus", Field::ReplPos, "-.5", {}, "0", true,
       {"'' is not a valid integer value"}},
      {"doubled minus refused", Field::FirstCharPos, "--5", {}, "0", true, {posRange}},
      {"minus behind blank refused", Field::ReplPos, " -5", {}, "0", true, {posRange}},
      {"last above bound then below first", Field::LastCharPos, "2000", "5", "1", true,
       {lastRange, lastBelow}},
      {"last equal to first", Field::LastCharPos, "5", "5", "5", true, {}},
      {"last zero with first zero", Field::LastCharPos, "0", "0", "0", true, {}},
      {"last below first", Field::LastCharPos, "4", "5", "1", true, {lastBelow}},
      {"first empty", Field::LastCharPos, "5", "", "1", true,
       {"'' is not a valid integer value"}},
      {"first with blank", Field::LastCharPos, "9", " 5", "9", true, {}},
      {"no comparison when first not given", Field::LastCharPos, "3", std::nullopt, "3",
       true, {}},
      {"bad last skips the comparison", Field::LastCharPos, "x", "5", "1", true,
       {"'x' is not a valid integer value"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::optional<std::string_view> first;
    if (c.firstChar) first = *c.firstChar;
    const FieldCheckResult r = CheckNumericField(c.field, c.text, first);
    EXPECT_EQ(r.text, c.newText) << c.name;
    EXPECT_EQ(r.filled, c.filled) << c.name;
    EXPECT_EQ(r.messages, c.messages) << c.name;
    EXPECT_EQ(r.refocus, !c.messages.empty()) << c.name;
  }
}

TEST(Validation, TestMessageFirstThenAction) {
  EXPECT_EQ(ValidateRequest(Req{.test = 4, .action = 19}),
            (std::vector<std::string>{"Fill in Test Key Text and 1st Char Position",
                                      "Fill in Replacement Key Text and Repl Pos Char Position"}));
  EXPECT_TRUE(
      ValidateRequest(
          Req{.test = 4, .action = 19, .key = "k", .repl = "r", .firstChar = "1", .replPos = "1"})
          .empty());
}

TEST(Validation, EachRequirement) {
  struct Case {
    Req req;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{.test = 2}, {"Fill in First and Last File Line Numbers"}},
      {{.test = 2, .firstLine = "1"}, {"Fill in First and Last File Line Numbers"}},
      {{.test = 2, .firstLine = "1", .lastLine = "1"}, {}},
      {{.test = 13}, {"Fill In Test Key Text"}},
      {{.test = 5}, {"Fill In Test Key Text"}},
      {{.test = 8}, {"Fill In LineLength Number of Characters"}},
      {{.test = 14}, {}},
      {{.test = 0, .action = 0}, {}},
      {{.action = 14, .retain = true},
       {"Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time"}},
      {{.action = 39}, {"Fill In LineLength Number of Characters"}},
      {{.action = 38}, {"Fill In Replacement Key Text"}},
      {{.action = 40}, {"Fill In Test Key Text"}},
      {{.action = 26, .firstChar = "1"}, {"Fill in 1st Char Position and Last Char Position"}},
      {{.action = 29, .key = "k"}, {"Fill in Test Key and Replacement Key Text Values"}},
      {{.action = 33, .repl = "("},  // one character only
       {"Type Two characters in Replacement Key Text to be used as first/last markers"}},
      {{.action = 37, .repl = "()"}, {}},
      {{.action = 27}, {}},  // an empty replacement makes an empty new line
      {{.action = 34}, {}},
      {{.action = 30}, {}},
      {{.action = 32}, {}},
      {{.action = 43}, {}},
      {{.action = 44}, {}},
      {{.test = 3, .action = 22}, {"Fill In Test Key Text", "Fill In Test Key Text"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValidateRequest(c.req), c.expected)
        << "test " << c.req.test << " action " << c.req.action;
  }
}

}  // namespace
