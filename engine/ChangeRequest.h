// SPDX-License-Identifier: Apache-2.0
// The change request: which line test and which change action to apply, the
// parameter fields with their filled flags, and the four options; plus the
// check run when a parameter field is left and the validation run before a
// change starts. Messages are returned as data, in the order they are shown.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/KeyPattern.h"
#include "engine/Kinds.h"
#include "textutil/Utf8.h"

namespace quorlin {

using Encoding = QuorlinUtils::Encoding;

// One parameter field as the request carries it.
struct Parameter {
  std::string text;     // as typed; numeric fields are converted where they are used
  bool filled = false;  // the field held text when it was last left
};

struct ChangeRequest {
  TestCode test = TestCode::Passes;
  ActionCode action = ActionCode::NoChange;
  std::array<Parameter, kFieldCount> fields;

  bool retainPassingOnly = false;
  bool caseSensitive = false;
  bool outputLowerCase = false;
  bool outputUpperCase = false;
  // The Test Key is a pattern (KeyPattern) wherever a test or action looks
  // for it; the Replacement Key Text of action 31 may then name its groups.
  bool keyIsPattern = false;

  // How the text and the key fields are read: each byte a character, or
  // UTF-8 characters (a valid sequence, or one stray byte).
  Encoding encoding = Encoding::Windows1252;

  Parameter& operator[](Field f) {
    assert(Index(f) < kFieldCount);
    return fields[Index(f)];
  }
  const Parameter& operator[](Field f) const {
    assert(Index(f) < kFieldCount);
    return fields[Index(f)];
  }
};

// The bounds of a numeric field and what leaving it with a bad value shows.
struct NumericFieldInfo {
  int upperBound;
  std::string_view resetText;
  std::string_view rangeMessage;
};
// f must be numeric (IsNumeric).
const NumericFieldInfo& FieldInfo(Field f);

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

// Checks the text of numeric field f (IsNumeric) being left. For LastCharPos, firstCharText
// is the current text of the 1st char field to compare with; when it is absent
// no comparison is made (the batch program compares only when both are given).
FieldCheckResult CheckNumericField(Field f, std::string_view text,
                                   std::optional<std::string_view> firstCharText = std::nullopt);

// Leaving a text field: filled when it is not empty; the text is not changed.
inline bool TextFieldFilled(std::string_view text) {
  return !text.empty();
}

// Why a UTF-8 run refuses a test key that is not valid UTF-8.
inline constexpr char kKeyNotUtf8Message[] = "Test Key Text is not valid UTF-8";

// Pre-run validation by the rows of the chosen test and action: the test's
// refusal (if any) first, then the action's, then what is wrong with a
// pattern key or with the replacement that action 31 makes of it. Empty
// when the run may start.
std::vector<std::string> ValidateRequest(const ChangeRequest& request);

// Whether the request's test or action looks for the Test Key.
bool LooksForKey(const ChangeRequest& request);

// The Test Key compiled as a pattern, for a request whose key is one and is
// looked for (else no pattern and no message), with what its test asks of
// it. No pattern, and a message, when the key does not compile.
KeyPattern::Compiled RequestPattern(const ChangeRequest& request);

}  // namespace quorlin
