// SPDX-License-Identifier: Apache-2.0
// The fourteen line tests: given one line and its context, does it pass?
#pragma once

#include <string_view>

#include "engine/Kinds.h"

namespace quorlin {

class KeyPattern;

struct TestParams {
  TestCode kind = TestCode::Passes;
  std::string_view cmpKey;  // the test key, upper-cased unless case-sensitive
  long long firstLineNum = 0, lastLineNum = 0, firstCharPos = 0, lineLength = 0;
  char decimalPoint = '.';  // the user's decimal separator (test 12)
  bool utf8 = false;        // positions and lengths count UTF-8 characters
  // When the key is a pattern: matched in the line itself (its case rule is
  // its own), in place of cmpKey in the comparison line.
  const KeyPattern* pattern = nullptr;
};

struct TestLine {
  long long number = 0;       // 1-based number of the input line
  std::string_view line;      // tabs already expanded
  std::string_view cmpLine;   // the line, upper-cased unless case-sensitive
  bool previousBlank = true;  // the line tested in the step before was blank
};

bool LinePasses(const TestParams& p, const TestLine& l);

// After leading bytes below 33, the line starts with a digit, "+", "-" or the
// decimal separator. Digits are 0-9 and any byte the C locale calls a digit.
bool BeginsWithNumber(std::string_view line, char decimalPoint);

}  // namespace quorlin
