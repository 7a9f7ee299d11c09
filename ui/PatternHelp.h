// SPDX-License-Identifier: Apache-2.0
// The short summary of the pattern syntax that the pattern check boxes show
// as their tooltip.
#pragma once

#include <string>

namespace quorlin::ui {

inline constexpr char kPatternSyntax[] =
    "A pattern (RE2 syntax) over the bytes of each line:\n"
    ".\tany byte\n"
    "[abc]  [a-z]  [^0-9]\tone byte of the set, or not of it\n"
    "*  +  ?\tthe item before: any number of times, once or more, at most once\n"
    "a|b\teither\n"
    "( )\ta group\n"
    "^  $\tthe start and the end of the line\n"
    "\\d  \\w  \\b\ta digit, a letter or digit or _, a word's edge\n"
    "\\.  \\*  \\(  \\\\\tthe byte itself\n"
    "Without case sensitivity only a-z and A-Z match either case.";

// The tooltip of the change page's box: the syntax, and what a replacement
// may name.
inline std::string KeyPatternTip() {
  return std::string(kPatternSyntax) +
         "\nIn the Replacement Key Text of action 31: \\1 to \\9 a group, \\0 the whole "
         "match, \\\\ one backslash.";
}

}  // namespace quorlin::ui
