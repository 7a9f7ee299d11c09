// SPDX-License-Identifier: Apache-2.0
// Finding a text in the document: forward from an offset, case-blind,
// matching anywhere (inside words too), over the bytes as they are stored.
//
// Case-blind means: every letter of the Western (Windows-1252) set whose
// other case the set also holds matches that other case: the ASCII letters,
// the accented letters (A-grave with a-grave and so on), and the pairs
// S-caron, OE, Z-caron and Y-diaeresis. Bytes without a partner in the set
// (sharp s, the micro sign) match only themselves. Each byte folds to one
// byte, so a match is always as long as the search text.
//
// In UTF-8 only the ASCII letters match their other case; every other byte
// matches only itself. A search text of whole UTF-8 characters then matches
// only whole characters: its first byte is no continuation byte, so it never
// matches inside a character of the text.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/KeyPattern.h"
#include "text/LineLayout.h"
#include "text/Text.h"

namespace quorlin::text {

// The byte that b is compared as when case is ignored.
unsigned char FoldByte(unsigned char b);

// The offset of the first match of needle at or after from, or npos. A needle
// that holds a line break never matches (the search runs within lines); an
// empty one never matches.
std::size_t FindForward(const Text& text, std::string_view needle, std::size_t from,
                        Encoding encoding = Encoding::Windows1252);

inline constexpr std::size_t npos = static_cast<std::size_t>(-1);

// The first non-empty match of pattern that starts at or after from, as the
// key searches find one: within a line, the line never cut (a match at from
// sees the bytes before it, and "^" is only the line's start). at is npos
// when there is none.
struct PatternMatch {
  std::size_t at = npos, length = 0;
};
PatternMatch FindPatternForward(const Text& text, const KeyPattern& pattern, std::size_t from);

}  // namespace quorlin::text
