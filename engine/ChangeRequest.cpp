#include "engine/ChangeRequest.h"

#include <limits>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

const std::vector<KindInfo>& TestKinds() {
  static const std::vector<KindInfo> kinds = {
      {1, "RadioButton1", "PASSES - Each Line Passes, will be changed if possible"},
      {2, "RadioButton2", "Is Contained within a specific range of text line numbers"},
      {3, "RadioButton3", "Contains the Test Key anywhere "},
      {4, "RadioButton4",
       "Contains the Test Key starting at the position shown in 1st char position # "},
      {5, "RadioButton5", "Does NOT Contain the Test Key anywhere "},
      {6, "RadioButton6",
       "Does NOT Contain the Test Key starting at position shown in 1st char position # "},
      {7, "RadioButton7", "Is Shorter than Linelength Num Characters "},
      {8, "RadioButton8", "Is Longer than Linelength Num Characters "},
      {9, "RadioButton9", "Contains only whitespace or is empty "},
      {10, "RadioButton10", "Occurs right after a blank (whitespace) line "},
      {11, "RadioButton11", "Appears to contain all or parts of HTML tags <  >"},
      {12, "RadioButton12", "Begins With A Number (ignoring whitespace) "},
      {13, "RadioButton36", "Contains the Test Key Text at the end of the line"},
      {14, "RadioButton42", "Is 2nd of 2 sequential blank lines in file "},
  };
  return kinds;
}

const std::vector<KindInfo>& ActionKinds() {
  static const std::vector<KindInfo> kinds = {
      {13, "RadioButton13", "NO CHANGE in the line except spaces in place of Tabs"},
      {14, "RadioButton14", "DELETE the entire line "},
      {15, "RadioButton15", "Delete any whitespace at the beginning and end of the line"},
      {16, "RadioButton16", "Truncate right side of the line to Linelength Num Chars "},
      {17, "RadioButton17", "Insert spaces at line beginning to make Linelength Num Chars "},
      {18, "RadioButton18", "Insert spaces at line end to make Linelength Num Chars "},
      {19, "RadioButton19", "Insert Replacement Key Text at Repl Pos character #"},
      {20, "RadioButton20", "Start new line exactly at Linelength Num Characters "},
      {21, "RadioButton21", "Replace entire line with Replacement Key Text "},
      {22, "RadioButton22", "Delete Test Key Text from the line"},
      {23, "RadioButton23", "Delete the line segment right of the Test Key Text "},
      {24, "RadioButton24", "Delete the line segment left of the Test Key Text "},
      {25, "RadioButton25", "Delete a specific range of character positions"},
      {26, "RadioButton26", "Retain only a specific range of character positions "},
      {27, "RadioButton27", "Insert a NEW line containing Replacement Key after test line"},
      {28, "RadioButton28",
       "Replace line segment left of the Test Key with the Replacement Key Text"},
      {29, "RadioButton29",
       "Replace line segment right of the Test Key with the Replacement Key Text"},
      {30, "RadioButton30", "Attempt to Strip HTML tags, including multi-line"},
      {31, "RadioButton31", "Replace the Test Key Text with the Replacement Key Text"},
      {32, "RadioButton32", "Sort Current Text by 1st char position # entry - Ignore Test"},
      {33, "RadioButton33",
       "Treat 1st two chars in Replacement key as phrase begin/end markers-delete FIRST pair "
       "of markers in the line and chars in between"},
      {34, "RadioButton34", "Insert a NEW line containing Replacement Key before test line "},
      {35, "RadioButton35", "Add Replacement Key Text at end of line"},
      {37, "RadioButton37",
       "Treat 1st two chars in Replacement key as phrase begin/end markers-delete LAST pair "
       "of markers in the line and chars in between"},
      {38, "RadioButton38",
       "Delete from the line every character appearing in the Replacement Key Text "},
      {39, "RadioButton39",
       "Start Newline (hard CR) on spaces or commas at Linelength Num Chars "},
      {40, "RadioButton40", "Start new line at beginning of each Test Key Text"},
      {41, "RadioButton41", "Strip Backspaced Overstrikes and Underlines"},
      {43, "RadioButton43", "Remove All Duplicate Lines [Case Sensitive] - Ignore Test"},
      {44, "RadioButton44", "Move (Unwrap) next line to end of Test line"},
  };
  return kinds;
}

namespace {
const KindInfo* FindIn(const std::vector<KindInfo>& kinds, int code) {
  for (const KindInfo& k : kinds)
    if (k.code == code) return &k;
  return nullptr;
}
}  // namespace

const KindInfo* FindTest(int code) { return FindIn(TestKinds(), code); }
const KindInfo* FindAction(int code) { return FindIn(ActionKinds(), code); }

const NumericFieldInfo& FieldInfo(NumericField f) {
  static const NumericFieldInfo infos[] = {
      {"Edit3", 250000, "0", "Valid range for line numbers is 0 to 250000"},
      {"Edit4", 250000, "0", "Valid range for line numbers is 0 to 250000"},
      {"Edit5", 1024, "0", "Valid range for LineLength Number of Characters is 0 to 1024"},
      {"Edit6", 1024, "0", "Valid range for Character Position is 0 to 1024"},
      {"Edit7", 1024, "1", "Valid range for Character Position is 1 to 1024"},
      {"Edit9", 1024, "0", "Valid range for Character Position is 0 to 1024"},
  };
  return infos[static_cast<int>(f)];
}

std::string& ChangeRequest::text(NumericField f) {
  switch (f) {
    case NumericField::FirstLineNum: return firstLineNum;
    case NumericField::LastLineNum: return lastLineNum;
    case NumericField::LineLength: return lineLength;
    case NumericField::FirstCharPos: return firstCharPos;
    case NumericField::LastCharPos: return lastCharPos;
    case NumericField::ReplPos: break;
  }
  return replPos;
}

const std::string& ChangeRequest::text(NumericField f) const {
  return const_cast<ChangeRequest*>(this)->text(f);
}

bool& ChangeRequest::filled(NumericField f) {
  switch (f) {
    case NumericField::FirstLineNum: return firstLineNumFilled;
    case NumericField::LastLineNum: return lastLineNumFilled;
    case NumericField::LineLength: return lineLengthFilled;
    case NumericField::FirstCharPos: return firstCharPosFilled;
    case NumericField::LastCharPos: return lastCharPosFilled;
    case NumericField::ReplPos: break;
  }
  return replPosFilled;
}

bool ChangeRequest::filled(NumericField f) const {
  return const_cast<ChangeRequest*>(this)->filled(f);
}

std::optional<std::int32_t> ParseIntegerText(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  if (i == t.size()) return std::nullopt;

  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };

  std::size_t hexStart = 0;
  if (t[i] == '$' || t[i] == 'x' || t[i] == 'X')
    hexStart = i + 1;
  else if (t[i] == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X'))
    hexStart = i + 2;

  if (hexStart != 0) {
    if (hexStart == t.size()) return std::nullopt;
    std::int64_t v = 0;
    for (std::size_t j = hexStart; j < t.size(); ++j) {
      const int d = hexValue(t[j]);
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
      if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
  }

  bool negative = false;
  if (t[i] == '+' || t[i] == '-') {
    negative = t[i] == '-';
    ++i;
  }
  if (i == t.size()) return std::nullopt;
  std::int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::string NotAnIntegerMessage(std::string_view text) {
  std::string m = "'";
  m.append(text);
  m.append("' is not a valid integer value");
  return m;
}

FieldCheckResult CheckNumericField(NumericField f, std::string_view text,
                                   std::optional<std::string_view> firstCharText) {
  FieldCheckResult r;
  if (text.empty()) return r;  // stays empty, not filled

  const NumericFieldInfo& info = FieldInfo(f);
  std::string t = QuorlinUtils::CutAtFirstKey(text, ".");
  if (!t.empty() && t[0] == '-') t.erase(0, 1);

  auto refuse = [&](std::string message, std::string_view newText) {
    r.messages.push_back(std::move(message));
    r.text = std::string(newText);
    r.refocus = true;
  };

  r.text = t;
  const std::optional<std::int32_t> value = ParseIntegerText(t);
  if (!value) {
    refuse(NotAnIntegerMessage(t), info.resetText);
  } else {
    // A value below 0 can survive the removal of one leading minus (a doubled
    // minus, or one behind a blank); it is refused like a value above the bound.
    if (*value > info.upperBound || *value < 0) refuse(std::string(info.rangeMessage), info.resetText);
    if (f == NumericField::LastCharPos && firstCharText) {
      const std::int32_t last = *ParseIntegerText(r.text);
      const std::optional<std::int32_t> first = ParseIntegerText(*firstCharText);
      if (!first)
        refuse(NotAnIntegerMessage(*firstCharText), "1");
      else if (*first > last)
        refuse(std::string(kLastBelowFirstMessage), "1");
    }
  }
  r.filled = true;
  return r;
}

std::vector<std::string> ValidateRequest(const ChangeRequest& q) {
  std::vector<std::string> m;
  switch (q.testKind) {
    case 2:
      if (!q.firstLineNumFilled || !q.lastLineNumFilled)
        m.emplace_back("Fill in First and Last File Line Numbers");
      break;
    case 3:
    case 5:
    case 13:
      if (!q.testKeyFilled) m.emplace_back("Fill In Test Key Text");
      break;
    case 4:
    case 6:
      if (!q.testKeyFilled || !q.firstCharPosFilled)
        m.emplace_back("Fill in Test Key Text and 1st Char Position");
      break;
    case 7:
    case 8:
      if (!q.lineLengthFilled) m.emplace_back("Fill In LineLength Number of Characters");
      break;
    default:
      break;
  }
  switch (q.actionKind) {
    case 14:
      if (q.retainPassingOnly)
        m.emplace_back("Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time");
      break;
    case 16:
    case 17:
    case 18:
    case 20:
    case 39:
      if (!q.lineLengthFilled) m.emplace_back("Fill In LineLength Number of Characters");
      break;
    case 19:
      if (!q.replacementKeyFilled || !q.replPosFilled)
        m.emplace_back("Fill in Replacement Key Text and Repl Pos Char Position");
      break;
    case 21:
    case 35:
    case 38:
      if (!q.replacementKeyFilled) m.emplace_back("Fill In Replacement Key Text");
      break;
    case 22:
    case 23:
    case 24:
    case 40:
      if (!q.testKeyFilled) m.emplace_back("Fill In Test Key Text");
      break;
    case 25:
    case 26:
      if (!q.firstCharPosFilled || !q.lastCharPosFilled)
        m.emplace_back("Fill in 1st Char Position and Last Char Position");
      break;
    case 28:
    case 29:
    case 31:
      if (!q.testKeyFilled || !q.replacementKeyFilled)
        m.emplace_back("Fill in Test Key and Replacement Key Text Values");
      break;
    case 33:
    case 37:
      if (!q.replacementKeyFilled || q.replacementKey.size() < 2)
        m.emplace_back(
            "Type Two characters in Replacement Key Text to be used as first/last markers");
      break;
    default:
      break;
  }
  return m;
}

}  // namespace quorlin
