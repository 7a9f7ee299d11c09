// SPDX-License-Identifier: Apache-2.0
// The change actions that turn one passing line into exactly one result line.
#pragma once

#include <string>
#include <string_view>

#include "engine/Kinds.h"

namespace quorlin {

struct ActionParams {
  ActionCode kind = ActionCode::NoChange;
  std::string_view testKey;         // as typed
  std::string_view cmpKey;          // upper-cased unless case-sensitive
  std::string_view replacementKey;  // as typed
  long long lineLength = 0, firstCharPos = 0, lastCharPos = 0, replPos = 0;
  bool caseSensitive = false;
  // Positions and lengths count UTF-8 characters (a valid sequence or a
  // stray byte each), as do the markers and the set of the replacement key.
  bool utf8 = false;
};

// The result of an in-line action (ActionKind::InLine) for a passing line;
// the line itself for any other code. The view points into
// line or into scratch (which the call may overwrite); it stays valid until
// either changes.
std::string_view ApplyInlineAction(const ActionParams& p, std::string_view line,
                                   std::string_view cmpLine, std::string& scratch);

}  // namespace quorlin
