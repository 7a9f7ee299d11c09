// SPDX-License-Identifier: Apache-2.0
#include "engine/LineTests.h"

#include <cctype>

#include "engine/KeyPattern.h"
#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace quorlin {

namespace {

// The position of the key's first occurrence (0: none), in characters when
// the test counts UTF-8 characters. A pattern is matched in the line itself,
// a key in the comparison line (of the same length).
long long KeyPosition(const TestParams& p, const TestLine& l) {
  const std::size_t at = p.pattern != nullptr ? QuorlinUtils::KeyPos(*p.pattern, l.line)
                                              : QuorlinUtils::KeyPos(p.cmpKey, l.cmpLine);
  if (at == 0 || !p.utf8) return static_cast<long long>(at);
  return static_cast<long long>(QuorlinUtils::CountUtf8Chars(l.line.substr(0, at - 1))) + 1;
}

bool EndsWithKey(const TestParams& p, const TestLine& l) {
  if (p.pattern != nullptr) return p.pattern->endsLine(l.line);
  return l.cmpLine.size() >= p.cmpKey.size() &&
         l.cmpLine.substr(l.cmpLine.size() - p.cmpKey.size()) == p.cmpKey;
}

}  // namespace

bool BeginsWithNumber(std::string_view line, char decimalPoint) {
  std::size_t i = 0;
  while (i < line.size() && static_cast<unsigned char>(line[i]) < 33) ++i;
  if (i == line.size()) return false;
  const char c = line[i];
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == decimalPoint ||
         std::isdigit(static_cast<unsigned char>(c)) != 0;
}

namespace {

long long Length(const TestParams& p, std::string_view line) {
  return static_cast<long long>(p.utf8 ? QuorlinUtils::CountUtf8Chars(line) : line.size());
}

}  // namespace

bool LinePasses(const TestParams& p, const TestLine& l) {
  switch (p.kind) {
    case TestCode::Passes:
      return true;
    case TestCode::LineRange:
      return p.firstLineNum <= l.number && l.number <= p.lastLineNum;
    case TestCode::HasKey:
      return p.pattern != nullptr ? p.pattern->contains(l.line) : KeyPosition(p, l) > 0;
    case TestCode::KeyAtPosition:
      return KeyPosition(p, l) == p.firstCharPos;
    case TestCode::LacksKey:
      return p.pattern != nullptr ? !p.pattern->contains(l.line) : KeyPosition(p, l) == 0;
    case TestCode::KeyNotAtPosition:
      return KeyPosition(p, l) != p.firstCharPos;
    case TestCode::ShorterThan:
      return Length(p, l.line) < p.lineLength;
    case TestCode::LongerThan:
      return Length(p, l.line) > p.lineLength;
    case TestCode::Blank:
      return QuorlinUtils::IsBlankLine(l.line);
    case TestCode::AfterBlank:
      return l.number > 1 && l.previousBlank;
    case TestCode::HasTagBracket:
      return l.line.find_first_of("<>") != std::string_view::npos;
    case TestCode::BeginsWithNumber:
      return BeginsWithNumber(l.line, p.decimalPoint);
    case TestCode::EndsWithKey:
      return EndsWithKey(p, l);
    case TestCode::SecondBlank:
      return l.number > 1 && l.previousBlank && QuorlinUtils::IsBlankLine(l.line);
    case TestCode::None:
      break;
  }
  return false;  // no test chosen (or a number that names none): no line passes
}

}  // namespace quorlin
