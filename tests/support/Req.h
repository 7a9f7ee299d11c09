// SPDX-License-Identifier: Apache-2.0
// The one request builder of the tests: a test and action by code, the fields
// given as text (filled when not empty), the options. Rows name only what
// matters to them: Req{.action = 16, .length = "5"}.
#pragma once

#include <string>

#include "engine/ChangeRequest.h"

namespace quorlin::testing {

struct Req {
  int test = 1, action = 13;
  std::string key, repl, firstLine, lastLine, length, firstChar, lastChar, replPos;
  bool retain = false, cs = false, lower = false, upper = false;
  bool pattern = false;  // the key is a pattern
  bool utf8 = false;     // the text and fields are UTF-8

  operator ChangeRequest() const;  // rows convert implicitly
};

}  // namespace quorlin::testing
