// SPDX-License-Identifier: Apache-2.0
#include "engine/LineTests.h"

#include <cctype>

#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace quorlin {

bool BeginsWithNumber(std::string_view line, char decimalPoint) {
  std::size_t i = 0;
  while (i < line.size() && static_cast<unsigned char>(line[i]) < 33) ++i;
  if (i == line.size()) return false;
  const char c = line[i];
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == decimalPoint ||
         std::isdigit(static_cast<unsigned char>(c)) != 0;
}

namespace {

// The position of the key's first occurrence, in characters when the test
// counts UTF-8 characters (0: none).
long long KeyPosition(const TestParams& p, std::string_view cmpLine) {
  const std::size_t at = QuorlinUtils::KeyPos(p.cmpKey, cmpLine);
  if (at == 0 || !p.utf8) return static_cast<long long>(at);
  return static_cast<long long>(QuorlinUtils::CountUtf8Chars(cmpLine.substr(0, at - 1))) + 1;
}

long long Length(const TestParams& p, std::string_view line) {
  return static_cast<long long>(p.utf8 ? QuorlinUtils::CountUtf8Chars(line) : line.size());
}

}  // namespace

bool LinePasses(const TestParams& p, const TestLine& l) {
  using QuorlinUtils::KeyPos;
  switch (p.kind) {
    case TestCode::Passes:
      return true;
    case TestCode::LineRange:
      return p.firstLineNum <= l.number && l.number <= p.lastLineNum;
    case TestCode::HasKey:
      return KeyPos(p.cmpKey, l.cmpLine) > 0;
    case TestCode::KeyAtPosition:
      return KeyPosition(p, l.cmpLine) == p.firstCharPos;
    case TestCode::LacksKey:
      return KeyPos(p.cmpKey, l.cmpLine) == 0;
    case TestCode::KeyNotAtPosition:
      return KeyPosition(p, l.cmpLine) != p.firstCharPos;
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
      return l.cmpLine.size() >= p.cmpKey.size() &&
             l.cmpLine.substr(l.cmpLine.size() - p.cmpKey.size()) == p.cmpKey;
    case TestCode::SecondBlank:
      return l.number > 1 && l.previousBlank && QuorlinUtils::IsBlankLine(l.line);
    case TestCode::None:
      break;
  }
  return false;  // no test chosen (or a number that names none): no line passes
}

}  // namespace quorlin
