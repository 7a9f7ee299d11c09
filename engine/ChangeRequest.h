// The change request: which line test and which change action to apply, the
// parameter fields with their filled flags, and the four options; plus the
// check run when a parameter field is left and the validation run before a
// change starts. Messages are returned as data, in the order they are shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin {

// One entry of the test or action tables: code, radio button name, caption.
struct KindInfo {
  int code;
  std::string_view control;
  std::string_view caption;
};

// The fourteen line tests (codes 1..14) in code order.
const std::vector<KindInfo>& TestKinds();
// The thirty change actions (codes 13..35, 37..41, 43, 44) in code order.
const std::vector<KindInfo>& ActionKinds();
const KindInfo* FindTest(int code);
const KindInfo* FindAction(int code);

// The six numeric parameter fields, in the order the batch program checks them.
enum class NumericField { FirstLineNum, LastLineNum, LineLength, FirstCharPos, LastCharPos, ReplPos };

struct NumericFieldInfo {
  std::string_view control;  // "Edit3" ...
  int upperBound;
  std::string_view resetText;
  std::string_view rangeMessage;
};
const NumericFieldInfo& FieldInfo(NumericField f);

struct ChangeRequest {
  int testKind = 1;
  int actionKind = 13;

  // Field texts as typed; numeric fields are converted where they are used.
  std::string testKey, replacementKey;
  std::string firstLineNum, lastLineNum, lineLength, firstCharPos, lastCharPos, replPos;

  bool testKeyFilled = false, replacementKeyFilled = false;
  bool firstLineNumFilled = false, lastLineNumFilled = false, lineLengthFilled = false;
  bool firstCharPosFilled = false, lastCharPosFilled = false, replPosFilled = false;

  bool retainPassingOnly = false;
  bool caseSensitive = false;
  bool outputLowerCase = false;
  bool outputUpperCase = false;

  std::string& text(NumericField f);
  const std::string& text(NumericField f) const;
  bool& filled(NumericField f);
  bool filled(NumericField f) const;
};

// Integer text: leading spaces, then an optionally signed decimal number or a
// hexadecimal one ("$", "x", "X", "0x" or "0X" then hex digits, no sign); the
// value must fit a signed 32-bit integer and nothing may follow the last
// digit. Anything else, the empty text included, gives no value.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// "'%s' is not a valid integer value" for the given text.
std::string NotAnIntegerMessage(std::string_view text);

inline constexpr std::string_view kLastBelowFirstMessage =
    "Last Char Position must be greater or equal to 1st Char Position";

// What leaving a numeric field does: the field's new text, its filled flag,
// the messages to show in order, and whether the focus goes back to the field.
struct FieldCheckResult {
  std::string text;
  bool filled = false;
  std::vector<std::string> messages;
  bool refocus = false;
};

// Checks the text of a numeric field being left. For LastCharPos, firstCharText
// is the current text of the 1st char field to compare with; when it is absent
// no comparison is made (the batch program compares only when both are given).
FieldCheckResult CheckNumericField(NumericField f, std::string_view text,
                                   std::optional<std::string_view> firstCharText = std::nullopt);

// Leaving a text field: filled when it is not empty; the text is not changed.
inline bool TextFieldFilled(std::string_view text) { return !text.empty(); }

// Pre-run validation: the test's message (if any) first, then the action's.
// Empty when the run may start.
std::vector<std::string> ValidateRequest(const ChangeRequest& request);

}  // namespace quorlin
