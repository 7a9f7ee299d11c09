// The change actions that turn one passing line into exactly one result line.
#pragma once

#include <string>
#include <string_view>

namespace quorlin {

struct ActionParams {
  int kind = 13;
  std::string_view testKey;         // as typed
  std::string_view cmpKey;          // upper-cased unless case-sensitive
  std::string_view replacementKey;  // as typed
  long long lineLength = 0, firstCharPos = 0, lastCharPos = 0, replPos = 0;
  bool caseSensitive = false;
};

// Actions 13, 15-19, 21-26, 28, 29, 31, 33, 35, 37, 38, 41.
bool IsInlineAction(int kind);

// Actions 22-24, 28, 29, 31 and 40 locate the key in the comparison line.
bool ActionUsesComparison(int kind);

// The result of an in-line action for a passing line. The view points into
// line or into scratch (which the call may overwrite); it stays valid until
// either changes.
std::string_view ApplyInlineAction(const ActionParams& p, std::string_view line,
                                   std::string_view cmpLine, std::string& scratch);

}  // namespace quorlin
