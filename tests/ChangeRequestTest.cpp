// Integer text, the check made when a numeric field is left, and the
// validation before a change starts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"

using namespace quorlin;

namespace {

TEST(IntegerText, AcceptsDecimalAndHexForms) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
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
  for (const auto& c : cases) EXPECT_EQ(ParseIntegerText(c.text), c.value) << '"' << c.text << '"';
}

struct FieldCase {
  const char* name;
  NumericField field;
  std::string text;
  std::optional<std::string> firstChar;
  std::string newText;
  bool filled;
  std::vector<std::string> messages;
};

TEST(NumericFieldCheck, NormalisesResetsAndReports) {
  const std::string lineRange = "Valid range for line numbers is 0 to 250000";
  const std::string posRange = "Valid range for Character Position is 0 to 1024";
  const std::string lastRange = "Valid range for Character Position is 1 to 1024";
  const std::string lenRange = "Valid range for LineLength Number of Characters is 0 to 1024";
  const std::string lastBelow = "Last Char Position must be greater or equal to 1st Char Position";
  const FieldCase cases[] = {
      {"empty stays empty and unfilled", NumericField::FirstLineNum, "", {}, "", false, {}},
      {"minus dropped", NumericField::FirstLineNum, "-7", {}, "7", true, {}},
      {"cut at the dot", NumericField::FirstLineNum, "3.9", {}, "3", true, {}},
      {"lone dot", NumericField::FirstLineNum, ".", {}, "0", true, {"'' is not a valid integer value"}},
      {"letters", NumericField::LastLineNum, "abc", {}, "0", true, {"'abc' is not a valid integer value"}},
      {"above bound", NumericField::LastLineNum, "250001", {}, "0", true, {lineRange}},
      {"at bound", NumericField::FirstLineNum, "250000", {}, "250000", true, {}},
      {"leading blank kept", NumericField::FirstLineNum, " 12", {}, " 12", true, {}},
      {"trailing blank", NumericField::FirstLineNum, "12 ", {}, "0", true,
       {"'12 ' is not a valid integer value"}},
      {"hex kept as typed", NumericField::LineLength, "$10", {}, "$10", true, {}},
      {"length above bound", NumericField::LineLength, "1025", {}, "0", true, {lenRange}},
      {"dot then minus", NumericField::ReplPos, "-.5", {}, "0", true,
       {"'' is not a valid integer value"}},
      {"doubled minus refused", NumericField::FirstCharPos, "--5", {}, "0", true, {posRange}},
      {"minus behind blank refused", NumericField::ReplPos, " -5", {}, "0", true, {posRange}},
      {"last above bound then below first", NumericField::LastCharPos, "2000", "5", "1", true,
       {lastRange, lastBelow}},
      {"last equal to first", NumericField::LastCharPos, "5", "5", "5", true, {}},
      {"last zero with first zero", NumericField::LastCharPos, "0", "0", "0", true, {}},
      {"last below first", NumericField::LastCharPos, "4", "5", "1", true, {lastBelow}},
      {"first empty", NumericField::LastCharPos, "5", "", "1", true,
       {"'' is not a valid integer value"}},
      {"first with blank", NumericField::LastCharPos, "9", " 5", "9", true, {}},
      {"no comparison when first not given", NumericField::LastCharPos, "3", std::nullopt, "3",
       true, {}},
      {"bad last skips the comparison", NumericField::LastCharPos, "x", "5", "1", true,
       {"'x' is not a valid integer value"}},
  };
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

ChangeRequest Request(int test, int action) {
  ChangeRequest q;
  q.testKind = test;
  q.actionKind = action;
  return q;
}

TEST(Validation, TestMessageFirstThenAction) {
  ChangeRequest q = Request(4, 19);
  EXPECT_EQ(ValidateRequest(q),
            (std::vector<std::string>{"Fill in Test Key Text and 1st Char Position",
                                      "Fill in Replacement Key Text and Repl Pos Char Position"}));
  q.testKeyFilled = q.firstCharPosFilled = q.replacementKeyFilled = q.replPosFilled = true;
  EXPECT_TRUE(ValidateRequest(q).empty());
}

TEST(Validation, EachRequirement) {
  struct Case {
    int test, action;
    void (*fill)(ChangeRequest&);
    std::vector<std::string> expected;
  };
  auto none = [](ChangeRequest&) {};
  const Case cases[] = {
      {2, 13, none, {"Fill in First and Last File Line Numbers"}},
      {2, 13, [](ChangeRequest& q) { q.firstLineNumFilled = true; },
       {"Fill in First and Last File Line Numbers"}},
      {2, 13, [](ChangeRequest& q) { q.firstLineNumFilled = q.lastLineNumFilled = true; }, {}},
      {13, 13, none, {"Fill In Test Key Text"}},
      {5, 13, none, {"Fill In Test Key Text"}},
      {8, 13, none, {"Fill In LineLength Number of Characters"}},
      {14, 13, none, {}},
      {0, 0, none, {}},
      {1, 14, [](ChangeRequest& q) { q.retainPassingOnly = true; },
       {"Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time"}},
      {1, 39, none, {"Fill In LineLength Number of Characters"}},
      {1, 38, none, {"Fill In Replacement Key Text"}},
      {1, 40, none, {"Fill In Test Key Text"}},
      {1, 26, [](ChangeRequest& q) { q.firstCharPosFilled = true; },
       {"Fill in 1st Char Position and Last Char Position"}},
      {1, 29, [](ChangeRequest& q) { q.testKeyFilled = true; },
       {"Fill in Test Key and Replacement Key Text Values"}},
      {1, 33,
       [](ChangeRequest& q) {
         q.replacementKeyFilled = true;
         q.replacementKey.assign(1, '(');  // one character only
       },
       {"Type Two characters in Replacement Key Text to be used as first/last markers"}},
      {1, 37,
       [](ChangeRequest& q) {
         q.replacementKeyFilled = true;
         q.replacementKey = "()";
       },
       {}},
      {1, 27, none, {}},  // an empty replacement makes an empty new line
      {1, 34, none, {}},
      {1, 30, none, {}},
      {1, 32, none, {}},
      {1, 43, none, {}},
      {1, 44, none, {}},
      {3, 22, none, {"Fill In Test Key Text", "Fill In Test Key Text"}},
  };
  for (const auto& c : cases) {
    ChangeRequest q = Request(c.test, c.action);
    c.fill(q);
    EXPECT_EQ(ValidateRequest(q), c.expected) << "test " << c.test << " action " << c.action;
  }
}

TEST(Kinds, CodesAndControlsLineUp) {
  ASSERT_EQ(TestKinds().size(), 14u);
  ASSERT_EQ(ActionKinds().size(), 30u);
  EXPECT_EQ(FindTest(13)->control, "RadioButton36");
  EXPECT_EQ(FindTest(14)->control, "RadioButton42");
  EXPECT_EQ(FindAction(36), nullptr);
  EXPECT_EQ(FindAction(42), nullptr);
  for (const KindInfo& a : ActionKinds())
    EXPECT_EQ(a.control, std::string("RadioButton").append(std::to_string(a.code)));
}

}  // namespace
