// SPDX-License-Identifier: Apache-2.0
// The line tests and change actions by code, and one table row for each: its
// caption, the parameter fields it needs and reads, the message that refuses a
// run without them, and how it works on the text. Validation, the fields a run
// converts and the way the run treats each action are read from these rows.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

namespace quorlin {

// The eight parameter fields of a change request: the two text fields, then
// the six numeric ones in the order a run converts them.
enum class Field {
  TestKey,         // the key a test or action looks for, as typed
  ReplacementKey,  // the text an action puts in, as typed
  FirstLineNum,    // first line of test 2's range
  LastLineNum,     // last line of test 2's range
  LineLength,      // a length in bytes (tests 7, 8; actions 16-18, 20, 39)
  FirstCharPos,    // a 1-based position (tests 4, 6; actions 25, 26, 32)
  LastCharPos,     // the last position of actions 25 and 26
  ReplPos,         // where action 19 inserts
};
inline constexpr std::size_t kFieldCount = 8;

constexpr std::size_t Index(Field f) {
  return static_cast<std::size_t>(f);
}
constexpr bool IsNumeric(Field f) {
  return f >= Field::FirstLineNum;
}

// A set of parameter fields.
class FieldSet {
 public:
  constexpr FieldSet() = default;
  constexpr FieldSet(std::initializer_list<Field> fields) {
    for (const Field f : fields) bits_ |= bit(f);
  }
  constexpr bool has(Field f) const { return (bits_ & bit(f)) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr FieldSet operator|(FieldSet o) const { return FieldSet(bits_ | o.bits_); }

 private:
  constexpr explicit FieldSet(unsigned bits) : bits_(bits) {}
  static constexpr unsigned bit(Field f) { return 1U << Index(f); }
  unsigned bits_ = 0;
};

// The line tests. The value is the code the user picks (and quorlin-batch -t).
enum class TestCode {
  None = 0,               // no test chosen: no line passes
  Passes = 1,             // every line passes
  LineRange = 2,          // the line number lies in FirstLineNum..LastLineNum
  HasKey = 3,             // the key occurs in the line
  KeyAtPosition = 4,      // the key's first occurrence starts at FirstCharPos
  LacksKey = 5,           // the key does not occur
  KeyNotAtPosition = 6,   // the lines that fail test 4
  ShorterThan = 7,        // shorter than LineLength
  LongerThan = 8,         // longer than LineLength
  Blank = 9,              // empty, or bytes below 33 only
  AfterBlank = 10,        // the line before is blank (never line 1)
  HasTagBracket = 11,     // holds a "<" or a ">"
  BeginsWithNumber = 12,  // after leading blanks: a digit, a sign or the decimal separator
  EndsWithKey = 13,       // the line ends with the key
  SecondBlank = 14,       // blank, and the line before is blank (never line 1)
};
inline constexpr std::size_t kTestCount = 14;  // codes above, None aside

// The change actions. The value is the code the user picks (and -a).
enum class ActionCode {
  None = 0,                 // no action chosen: every line written as read
  NoChange = 13,            // nothing but the tab expansion every line gets
  DeleteLine = 14,          // the line is not written
  Trim = 15,                // bytes below 33 off both ends
  Truncate = 16,            // cut to LineLength bytes
  PadFront = 17,            // spaces in front up to LineLength bytes
  PadEnd = 18,              // spaces at the end up to LineLength bytes
  InsertAtPos = 19,         // ReplacementKey inserted at ReplPos
  SplitAtLength = 20,       // pieces of LineLength bytes, one a line
  ReplaceLine = 21,         // the line becomes ReplacementKey
  DeleteKey = 22,           // every occurrence of the key removed
  DeleteRightOfKey = 23,    // the bytes after the key's first occurrence removed
  DeleteLeftOfKey = 24,     // the bytes before the key's first occurrence removed
  DeleteRange = 25,         // positions FirstCharPos..LastCharPos removed
  KeepRange = 26,           // only positions FirstCharPos..LastCharPos kept
  AddLineAfter = 27,        // a line holding ReplacementKey after the line
  ReplaceLeftOfKey = 28,    // the bytes before the key become ReplacementKey
  ReplaceRightOfKey = 29,   // the bytes after the key become ReplacementKey
  StripTags = 30,           // tags removed; a tag may run across lines
  ReplaceKey = 31,          // every occurrence of the key becomes ReplacementKey
  Sort = 32,                // the whole text sorted from FirstCharPos on
  DeleteFirstMarkers = 33,  // the first marker pair and what it encloses removed
  AddLineBefore = 34,       // a line holding ReplacementKey before the line
  Append = 35,              // ReplacementKey added at the end
  DeleteLastMarkers = 37,   // the last marker pair and what it encloses removed
  DeleteCharSet = 38,       // every byte that occurs in ReplacementKey removed
  SplitAtSeparators = 39,   // cut at spaces or commas near LineLength
  SplitBeforeKey = 40,      // a new line before each occurrence of the key
  StripOverstrikes = 41,    // backspaced overstrikes and underlines removed
  RemoveDuplicates = 43,    // lines equal to an earlier line dropped
  JoinNext = 44,            // the next line appended to the line
};
inline constexpr std::size_t kActionCount = 30;  // codes above, None aside

constexpr int Number(TestCode c) {
  return static_cast<int>(c);
}
constexpr int Number(ActionCode c) {
  return static_cast<int>(c);
}

// How an action works on the text.
enum class ActionKind {
  InLine,         // one result line in place of each passing line
  LineStructure,  // deletes, adds, splits or joins lines, or carries state
  WholeText,      // works on all lines at once; the test is not consulted
};

// What a test or action needs beyond the line itself: what a run cut into
// pieces would have to carry from one piece to the next.
enum class Context {
  OwnLine,       // the line alone
  LineNumber,    // the line's number in the input
  LineBefore,    // whether the line before was blank
  CarriedState,  // state carried from line to line through the whole run
  NextLine,      // may take the next input line
  WholeText,     // every line, before any output
  MayStop,       // may stop the run at its first line, before any output
};

// What an action asks of the request beyond its filled fields.
enum class Condition {
  None,
  RetainUnchecked,      // RetainPassingOnly is not checked
  TwoMarkerCharacters,  // the replacement key holds at least two characters
};

struct TestRow {
  TestCode code;
  FieldSet needs;            // filled before a run; the run reads them
  std::string_view refusal;  // why a run is refused when one is not filled
  bool comparesKey;          // matches the comparison key in the comparison line
  bool tabsMatter;           // tab expansion may change the verdict
  Context context;
  std::string_view caption;
  std::string_view name;  // short and stable, for scripts and recipes: "contains-key"
};

struct ActionRow {
  ActionCode code;
  ActionKind kind;
  FieldSet needs;            // filled before a run
  Condition condition;       // also met before a run
  std::string_view refusal;  // why a run is refused when needs or condition fail
  FieldSet alsoReads;        // read without being needed: text as it is, numbers when filled
  bool comparesKey;          // matches the comparison key in the comparison line
  Context context;
  std::string_view caption;
  std::string_view name;  // short and stable, for scripts and recipes: "delete-line"
};

// Every test and every action, in code order.
std::span<const TestRow> TestRows();
std::span<const ActionRow> ActionRows();
// The row of a code; nullptr for None and for numbers that name none.
const TestRow* FindTest(TestCode code);
const ActionRow* FindAction(ActionCode code);
// The row a word names: its code in decimal (at most three digits) or its
// name; nullptr when it names none.
const TestRow* FindTest(std::string_view word);
const ActionRow* FindAction(std::string_view word);

}  // namespace quorlin
