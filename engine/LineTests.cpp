#include "engine/LineTests.h"

#include <cctype>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

bool TestUsesComparison(int kind) {
  return (kind >= 3 && kind <= 6) || kind == 13;
}

bool BeginsWithNumber(std::string_view line, char decimalPoint) {
  std::size_t i = 0;
  while (i < line.size() && static_cast<unsigned char>(line[i]) < 33) ++i;
  if (i == line.size()) return false;
  const char c = line[i];
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == decimalPoint ||
         std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool LinePasses(const TestParams& p, const TestLine& l) {
  using QuorlinUtils::KeyPos;
  switch (p.kind) {
    case 1:
      return true;
    case 2:
      return p.firstLineNum <= l.number && l.number <= p.lastLineNum;
    case 3:
      return KeyPos(p.cmpKey, l.cmpLine) > 0;
    case 4:
      return static_cast<long long>(KeyPos(p.cmpKey, l.cmpLine)) == p.firstCharPos;
    case 5:
      return KeyPos(p.cmpKey, l.cmpLine) == 0;
    case 6:
      return static_cast<long long>(KeyPos(p.cmpKey, l.cmpLine)) != p.firstCharPos;
    case 7:
      return static_cast<long long>(l.line.size()) < p.lineLength;
    case 8:
      return static_cast<long long>(l.line.size()) > p.lineLength;
    case 9:
      return QuorlinUtils::IsBlankLine(l.line);
    case 10:
      return l.number > 1 && l.previousBlank;
    case 11:
      return l.line.find_first_of("<>") != std::string_view::npos;
    case 12:
      return BeginsWithNumber(l.line, p.decimalPoint);
    case 13:
      return l.cmpLine.size() >= p.cmpKey.size() &&
             l.cmpLine.substr(l.cmpLine.size() - p.cmpKey.size()) == p.cmpKey;
    case 14:
      return l.number > 1 && l.previousBlank && QuorlinUtils::IsBlankLine(l.line);
    default:
      return false;  // no test chosen: no line passes
  }
}

}  // namespace quorlin
