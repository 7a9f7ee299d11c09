// SPDX-License-Identifier: Apache-2.0
// A second, deliberately plain implementation of the change run, kept in the
// test tree only. It is written for clarity, not speed: std::string everywhere,
// 1-based positions as the routines describe them, the loops written out step
// by step, quadratic duplicate removal, the gapped insertion sort exactly as
// described. The cross-check test runs it beside the real engine on generated
// input and compares the results.
//
// Nothing here calls the engine or QuorlinUtils; only the ChangeRequest record
// is shared, as the contract both sides read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"

namespace refimpl {

// --- Library effects, 1-based ---------------------------------------------

// Position of the first occurrence of k in s; 0 when k is absent or empty.
long long KeyPos(const std::string& k, const std::string& s);
// Copy of n bytes from position p: p below 1 starts at 1, a negative n copies
// nothing, a count past the end stops at the end.
std::string Copy(const std::string& s, long long p, long long n);
// s with n bytes deleted at p: nothing when p < 1, p past the end or n < 1;
// a count past the end deletes to the end.
std::string Delete(const std::string& s, long long p, long long n);

// --- Line string routines -------------------------------------------------

std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
std::string TextAfterKey(const std::string& s, const std::string& k);
long long LastPosOfChar(const std::string& k, const std::string& s);
long long FirstPosInSet(const std::string& q, const std::string& s, bool any);
long long LastPosInSet(const std::string& q, const std::string& s, bool any);
long long NthKeyPos(const std::string& s, const std::string& k, long long n);
long long CountKeys(const std::string& s, const std::string& k);
std::string ReplaceAllKeys(const std::string& s, const std::string& k, const std::string& r,
                           bool caseSensitive);
std::string RemoveAll(const std::string& q, const std::string& s, bool setMode);
std::string DeleteRange(const std::string& s, long long p, long long n);
std::string DeleteFirstMarkerPair(const std::string& s, char b, char e);
std::string DeleteLastMarkerPair(const std::string& s, char b, char e);
std::string StripTags(const std::string& s, bool& insideTag);
std::string StripOverstrikes(const std::string& s);
bool IsBlankLine(const std::string& s);
// No value for a width outside 2..16.
std::optional<std::string> ExpandTabs(const std::string& s, int w);
std::string ApplyOutputCase(const std::string& s, bool upper, bool lower);
std::string CutAtFirstKey(const std::string& s, const std::string& k);

// --- Request ----------------------------------------------------------------

// Integer text: leading spaces, then [+|-]digits, or "$", "x", "X", "0x", "0X"
// followed by hex digits; the value must fit a signed 32-bit integer and
// nothing may follow.
std::optional<std::int32_t> IntegerValue(const std::string& text);

// Leaving a numeric field: its new text, its filled flag, the messages shown in
// order and whether the focus goes back to it. firstCharText is the text of
// the 1st char field, compared only when the field left is the last char one
// and the text is given.
struct FieldCheck {
  std::string text;
  bool filled = false;
  std::vector<std::string> messages;
  bool refocus = false;
};
FieldCheck CheckField(quorlin::Field field, const std::string& text,
                      const std::optional<std::string>& firstCharText);

// The messages that refuse the request, the test's first; empty when it may run.
std::vector<std::string> Validate(const quorlin::ChangeRequest& request);

// --- The run ----------------------------------------------------------------

struct Outcome {
  bool completed = false;
  std::vector<std::string> messages;
  std::vector<std::string> lines;
};

// Runs a request that Validate accepts over the input lines.
Outcome Run(const quorlin::ChangeRequest& request, const std::vector<std::string>& input);

}  // namespace refimpl
