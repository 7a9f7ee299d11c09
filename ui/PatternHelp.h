// SPDX-License-Identifier: Apache-2.0
// The short summary of the pattern syntax that the pattern check boxes show
// as their tooltip.
#pragma once

#include <string>

namespace quorlin::ui {

inline constexpr char kPatternSyntax[] =
    "A pattern (RE2 syntax) over each line, by byte in Windows-1252, by character in UTF-8:\n"
    ".   any byte (character)\n"
    "[abc]  [a-z]  [^0-9]   one of the set, or not of it\n"
    "*  +  ?   the item before: any number of times, once or more, at most once\n"
    "a|b   either\n"
    "( )   a group\n"
    "^  $   the start and the end of the line\n"
    "\\d  \\w  \\b   a digit, a letter or digit or _, a word's edge\n"
    "\\.  \\*  \\(  \\\\   the sign itself\n"
    "Without case sensitivity only a-z and A-Z match either case.";

// The tooltip of the change page's box: the syntax, and what a replacement
// may name.
inline std::string KeyPatternTip() {
  return std::string(kPatternSyntax) +
         "\nIn the Replacement Key Text of action 31: \\1 to \\9 a group, \\0 the whole "
         "match, \\\\ one backslash.";
}

}  // namespace quorlin::ui
