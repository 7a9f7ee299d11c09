// SPDX-License-Identifier: Apache-2.0
#include "engine/Kinds.h"

#include <algorithm>
#include <iterator>

namespace quorlin {
namespace {

using A = ActionCode;
using T = TestCode;
// Short names for the tables' columns.
constexpr Field Key = Field::TestKey;
constexpr Field Repl = Field::ReplacementKey;
constexpr Field FirstLine = Field::FirstLineNum;
constexpr Field LastLine = Field::LastLineNum;
constexpr Field Length = Field::LineLength;
constexpr Field First = Field::FirstCharPos;
constexpr Field Last = Field::LastCharPos;
constexpr Field Pos = Field::ReplPos;
constexpr ActionKind InLine = ActionKind::InLine;
constexpr ActionKind Structure = ActionKind::LineStructure;
constexpr ActionKind Whole = ActionKind::WholeText;
constexpr Condition NoMore = Condition::None;
constexpr Condition NoRetain = Condition::RetainUnchecked;
constexpr Condition TwoMarkers = Condition::TwoMarkerCharacters;
constexpr Context Own = Context::OwnLine;
constexpr Context LineNo = Context::LineNumber;
constexpr Context Before = Context::LineBefore;
constexpr Context Carried = Context::CarriedState;
constexpr Context Next = Context::NextLine;
constexpr Context AllLines = Context::WholeText;
constexpr Context Stops = Context::MayStop;

constexpr std::string_view kNeedLineNumbers = "Fill in First and Last File Line Numbers";
constexpr std::string_view kNeedKey = "Fill In Test Key Text";
constexpr std::string_view kNeedKeyAndFirst = "Fill in Test Key Text and 1st Char Position";
constexpr std::string_view kNeedLength = "Fill In LineLength Number of Characters";
constexpr std::string_view kNeedNoRetain =
    "Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time";
constexpr std::string_view kNeedReplAndPos =
    "Fill in Replacement Key Text and Repl Pos Char Position";
constexpr std::string_view kNeedRepl = "Fill In Replacement Key Text";
constexpr std::string_view kNeedPositions = "Fill in 1st Char Position and Last Char Position";
constexpr std::string_view kNeedKeyAndRepl = "Fill in Test Key and Replacement Key Text Values";
constexpr std::string_view kNeedMarkers =
    "Type Two characters in Replacement Key Text to be used as first/last markers";

// clang-format off
constexpr TestRow kTests[] = {
  // code              needs                  refusal           key    tabs   context
  {T::Passes,           {},                    {},               false, false, Own,
   "PASSES - Each Line Passes, will be changed if possible", "every-line"},
  {T::LineRange,        {FirstLine, LastLine}, kNeedLineNumbers, false, false, LineNo,
   "Is Contained within a specific range of text line numbers", "line-range"},
  {T::HasKey,           {Key},                 kNeedKey,         true,  true,  Own,
   "Contains the Test Key anywhere ", "contains-key"},
  {T::KeyAtPosition,    {Key, First},          kNeedKeyAndFirst, true,  true,  Own,
   "Contains the Test Key starting at the position shown in 1st char position # ", "key-at-position"},
  {T::LacksKey,         {Key},                 kNeedKey,         true,  true,  Own,
   "Does NOT Contain the Test Key anywhere ", "lacks-key"},
  {T::KeyNotAtPosition, {Key, First},          kNeedKeyAndFirst, true,  true,  Own,
   "Does NOT Contain the Test Key starting at position shown in 1st char position # ", "key-not-at-position"},
  {T::ShorterThan,      {Length},              kNeedLength,      false, true,  Own,
   "Is Shorter than Linelength Num Characters ", "shorter-than"},
  {T::LongerThan,       {Length},              kNeedLength,      false, true,  Own,
   "Is Longer than Linelength Num Characters ", "longer-than"},
  {T::Blank,            {},                    {},               false, false, Own,
   "Contains only whitespace or is empty ", "blank"},
  {T::AfterBlank,       {},                    {},               false, false, Before,
   "Occurs right after a blank (whitespace) line ", "after-blank"},
  {T::HasTagBracket,    {},                    {},               false, false, Own,
   "Appears to contain all or parts of HTML tags <  >", "has-tag"},
  {T::BeginsWithNumber, {},                    {},               false, false, Own,
   "Begins With A Number (ignoring whitespace) ", "begins-with-number"},
  {T::EndsWithKey,      {Key},                 kNeedKey,         true,  true,  Own,
   "Contains the Test Key Text at the end of the line", "ends-with-key"},
  {T::SecondBlank,      {},                    {},               false, false, Before,
   "Is 2nd of 2 sequential blank lines in file ", "second-blank"},
};

constexpr ActionRow kActions[] = {
  // code                kind       needs          condition   refusal          also     key    context
  {A::NoChange,           InLine,    {},            NoMore,     {},              {},      false, Own,
   "NO CHANGE in the line except spaces in place of Tabs", "no-change"},
  {A::DeleteLine,         Structure, {},            NoRetain,   kNeedNoRetain,   {},      false, Own,
   "DELETE the entire line ", "delete-line"},
  {A::Trim,               InLine,    {},            NoMore,     {},              {},      false, Own,
   "Delete any whitespace at the beginning and end of the line", "trim"},
  {A::Truncate,           InLine,    {Length},      NoMore,     kNeedLength,     {},      false, Own,
   "Truncate right side of the line to Linelength Num Chars ", "truncate"},
  {A::PadFront,           InLine,    {Length},      NoMore,     kNeedLength,     {},      false, Own,
   "Insert spaces at line beginning to make Linelength Num Chars ", "pad-front"},
  {A::PadEnd,             InLine,    {Length},      NoMore,     kNeedLength,     {},      false, Own,
   "Insert spaces at line end to make Linelength Num Chars ", "pad-end"},
  {A::InsertAtPos,        InLine,    {Repl, Pos},   NoMore,     kNeedReplAndPos, {},      false, Own,
   "Insert Replacement Key Text at Repl Pos character #", "insert-at"},
  {A::SplitAtLength,      Structure, {Length},      NoMore,     kNeedLength,     {},      false, Own,
   "Start new line exactly at Linelength Num Characters ", "split-at-length"},
  {A::ReplaceLine,        InLine,    {Repl},        NoMore,     kNeedRepl,       {},      false, Own,
   "Replace entire line with Replacement Key Text ", "replace-line"},
  {A::DeleteKey,          InLine,    {Key},         NoMore,     kNeedKey,        {},      true,  Own,
   "Delete Test Key Text from the line", "delete-key"},
  {A::DeleteRightOfKey,   InLine,    {Key},         NoMore,     kNeedKey,        {},      true,  Own,
   "Delete the line segment right of the Test Key Text ", "delete-right-of-key"},
  {A::DeleteLeftOfKey,    InLine,    {Key},         NoMore,     kNeedKey,        {},      true,  Own,
   "Delete the line segment left of the Test Key Text ", "delete-left-of-key"},
  {A::DeleteRange,        InLine,    {First, Last}, NoMore,     kNeedPositions,  {},      false, Stops,
   "Delete a specific range of character positions", "delete-range"},
  {A::KeepRange,          InLine,    {First, Last}, NoMore,     kNeedPositions,  {},      false, Stops,
   "Retain only a specific range of character positions ", "keep-range"},
  {A::AddLineAfter,       Structure, {},            NoMore,     {},              {Repl},  false, Own,
   "Insert a NEW line containing Replacement Key after test line", "add-line-after"},
  {A::ReplaceLeftOfKey,   InLine,    {Key, Repl},   NoMore,     kNeedKeyAndRepl, {},      true,  Own,
   "Replace line segment left of the Test Key with the Replacement Key Text", "replace-left-of-key"},
  {A::ReplaceRightOfKey,  InLine,    {Key, Repl},   NoMore,     kNeedKeyAndRepl, {},      true,  Own,
   "Replace line segment right of the Test Key with the Replacement Key Text", "replace-right-of-key"},
  {A::StripTags,          Structure, {},            NoMore,     {},              {},      false, Carried,
   "Attempt to Strip HTML tags, including multi-line", "strip-tags"},
  {A::ReplaceKey,         InLine,    {Key, Repl},   NoMore,     kNeedKeyAndRepl, {},      true,  Own,
   "Replace the Test Key Text with the Replacement Key Text", "replace-key"},
  {A::Sort,               Whole,     {},            NoMore,     {},              {First}, false, AllLines,
   "Sort Current Text by 1st char position # entry - Ignore Test", "sort"},
  {A::DeleteFirstMarkers, InLine,    {Repl},        TwoMarkers, kNeedMarkers,    {},      false, Own,
   "Treat 1st two chars in Replacement key as phrase begin/end markers-delete FIRST pair "
   "of markers in the line and chars in between", "delete-first-markers"},
  {A::AddLineBefore,      Structure, {},            NoMore,     {},              {Repl},  false, Own,
   "Insert a NEW line containing Replacement Key before test line ", "add-line-before"},
  {A::Append,             InLine,    {Repl},        NoMore,     kNeedRepl,       {},      false, Own,
   "Add Replacement Key Text at end of line", "append"},
  {A::DeleteLastMarkers,  InLine,    {Repl},        TwoMarkers, kNeedMarkers,    {},      false, Own,
   "Treat 1st two chars in Replacement key as phrase begin/end markers-delete LAST pair "
   "of markers in the line and chars in between", "delete-last-markers"},
  {A::DeleteCharSet,      InLine,    {Repl},        NoMore,     kNeedRepl,       {},      false, Own,
   "Delete from the line every character appearing in the Replacement Key Text ", "delete-chars"},
  {A::SplitAtSeparators,  Structure, {Length},      NoMore,     kNeedLength,     {},      false, Own,
   "Start Newline (hard CR) on spaces or commas at Linelength Num Chars ", "split-at-separators"},
  {A::SplitBeforeKey,     Structure, {Key},         NoMore,     kNeedKey,        {},      true,  Own,
   "Start new line at beginning of each Test Key Text", "split-before-key"},
  {A::StripOverstrikes,   InLine,    {},            NoMore,     {},              {},      false, Own,
   "Strip Backspaced Overstrikes and Underlines", "strip-overstrikes"},
  {A::RemoveDuplicates,   Whole,     {},            NoMore,     {},              {},      false, AllLines,
   "Remove All Duplicate Lines [Case Sensitive] - Ignore Test", "remove-duplicates"},
  {A::JoinNext,           Structure, {},            NoMore,     {},              {},      false, Next,
   "Move (Unwrap) next line to end of Test line", "join-next"},
};
// clang-format on

// One row per code, in code order: rows name their codes by enumerator, so
// with as many rows as enumerators and strictly rising codes, every code has
// exactly one row.
template <class Row>
constexpr bool RisingCodes(const Row* rows, std::size_t n) {
  for (std::size_t i = 1; i < n; ++i)
    if (!(rows[i - 1].code < rows[i].code)) return false;
  return n > 0 && Number(rows[0].code) > 0;
}
static_assert(std::size(kTests) == kTestCount && RisingCodes(kTests, kTestCount));
static_assert(std::size(kActions) == kActionCount && RisingCodes(kActions, kActionCount));

// A refusal is given exactly when there is something to refuse.
constexpr bool RefusalsMatch() {
  for (const TestRow& t : kTests)
    if (t.needs.empty() != t.refusal.empty()) return false;
  for (const ActionRow& a : kActions)
    if ((a.needs.empty() && a.condition == Condition::None) != a.refusal.empty()) return false;
  return true;
}
static_assert(RefusalsMatch());

// Names are lower-case words joined by "-", and no two rows of a table share one.
template <class Row>
constexpr bool GoodNames(const Row* rows, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view name = rows[i].name;
    if (name.empty() || name.front() == '-' || name.back() == '-') return false;
    for (const char c : name)
      if (!((c >= 'a' && c <= 'z') || c == '-')) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (rows[j].name == name) return false;
  }
  return true;
}
static_assert(GoodNames(kTests, kTestCount) && GoodNames(kActions, kActionCount));

template <class Row, class Code>
const Row* Find(std::span<const Row> rows, Code code) {
  const auto at = std::lower_bound(rows.begin(), rows.end(), code,
                                   [](const Row& row, Code c) { return row.code < c; });
  return at != rows.end() && at->code == code ? &*at : nullptr;
}

template <class Row>
const Row* FindWord(std::span<const Row> rows, std::string_view word) {
  const bool digits =
      !word.empty() && word.size() <= 3 &&
      std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
  int code = 0;
  for (const char c : digits ? word : std::string_view()) code = code * 10 + (c - '0');
  for (const Row& row : rows)
    if (digits ? Number(row.code) == code : row.name == word) return &row;
  return nullptr;
}

}  // namespace

std::span<const TestRow> TestRows() {
  return kTests;
}
std::span<const ActionRow> ActionRows() {
  return kActions;
}
const TestRow* FindTest(TestCode code) {
  return Find(TestRows(), code);
}
const ActionRow* FindAction(ActionCode code) {
  return Find(ActionRows(), code);
}
const TestRow* FindTest(std::string_view word) {
  return FindWord(TestRows(), word);
}
const ActionRow* FindAction(std::string_view word) {
  return FindWord(ActionRows(), word);
}

}  // namespace quorlin
