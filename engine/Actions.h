// SPDX-License-Identifier: Apache-2.0
// The change actions that turn one passing line into exactly one result line.
#pragma once

#include <string>
#include <string_view>

#include "engine/Kinds.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

class KeyPattern;

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
  // When the key is a pattern: matched in the line itself, in place of
  // cmpKey in the comparison line; the match's length is the key's.
  const KeyPattern* pattern = nullptr;
};

// The result of an in-line action (ActionKind::InLine) for a passing line;
// the line itself for any other code. cmpLine is the line as compared with
// the key (upper-cased unless case-sensitive); actions 22 and 31 do without
// it and find the key in line itself. The view points into
// line or into scratch (which the call may overwrite); it stays valid until
// either changes.
std::string_view ApplyInlineAction(const ActionParams& p, std::string_view line,
                                   std::string_view cmpLine, std::string& scratch);

// Action 40 with a pattern: the line cut immediately before every match, the
// matches taken left to right without overlapping. The text before the first
// match (when there is any) and each piece up to the next match go to emit,
// in order; the piece from the last match on is returned. A line without a
// match comes back whole.
template <class Emit>
std::string_view SplitBeforeMatches(const QuorlinUtils::KeyFinder& k, std::string_view line,
                                    Emit&& emit) {
  QuorlinUtils::KeyMatch m = k.find(line, 0);
  if (!m.found()) return line;
  if (m.at > 0) emit(line.substr(0, m.at));
  for (;;) {
    const QuorlinUtils::KeyMatch next = k.find(line, m.at + m.length);
    if (!next.found()) return line.substr(m.at);
    emit(line.substr(m.at, next.at - m.at));
    m = next;
  }
}

}  // namespace quorlin
