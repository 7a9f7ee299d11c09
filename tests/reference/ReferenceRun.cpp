// SPDX-License-Identifier: Apache-2.0
// The plain reading of the change run. Every routine is written as the loop it
// describes, with 1-based positions and signed arithmetic, so that it can be
// checked against its description line by line.
#include "tests/reference/ReferenceRun.h"

#include <limits>

namespace refimpl {

namespace {

using quorlin::ChangeRequest;

// The request under plain names, its codes as numbers: the reference reads
// this, not the engine's own access to the request.
struct Request {
  int testKind, actionKind;
  std::string testKey, replacementKey, firstLineNum, lastLineNum, lineLength, firstCharPos,
      lastCharPos, replPos;
  bool testKeyFilled, replacementKeyFilled, firstLineNumFilled, lastLineNumFilled, lineLengthFilled,
      firstCharPosFilled, lastCharPosFilled, replPosFilled;
  bool retainPassingOnly, caseSensitive, outputLowerCase, outputUpperCase;
};

Request Plain(const ChangeRequest& q) {
  using quorlin::Field;
  auto text = [&](Field f) { return q[f].text; };
  auto filled = [&](Field f) { return q[f].filled; };
  return Request{quorlin::Number(q.test),     quorlin::Number(q.action),
                 text(Field::TestKey),        text(Field::ReplacementKey),
                 text(Field::FirstLineNum),   text(Field::LastLineNum),
                 text(Field::LineLength),     text(Field::FirstCharPos),
                 text(Field::LastCharPos),    text(Field::ReplPos),
                 filled(Field::TestKey),      filled(Field::ReplacementKey),
                 filled(Field::FirstLineNum), filled(Field::LastLineNum),
                 filled(Field::LineLength),   filled(Field::FirstCharPos),
                 filled(Field::LastCharPos),  filled(Field::ReplPos),
                 q.retainPassingOnly,         q.caseSensitive,
                 q.outputLowerCase,           q.outputUpperCase};
}

const std::string kCharPositionsStop =
    "Char positions have to be Positive, with Last char > First Char";

long long Len(const std::string& s) {
  return static_cast<long long>(s.size());
}

// Byte i (1-based) as an unsigned value.
unsigned Byte(const std::string& s, long long i) {
  return static_cast<unsigned char>(s[static_cast<std::size_t>(i - 1)]);
}

bool IsDigitByte(unsigned x) {
  return x >= '0' && x <= '9';
}
bool IsHexByte(unsigned x) {
  return IsDigitByte(x) || (x >= 'a' && x <= 'f') || (x >= 'A' && x <= 'F');
}
unsigned HexValue(unsigned x) {
  if (IsDigitByte(x)) return x - '0';
  if (x >= 'a' && x <= 'f') return x - 'a' + 10;
  return x - 'A' + 10;
}

// Unsigned byte-by-byte comparison; a prefix sorts first.
bool KeyGreater(const std::string& a, const std::string& b) {
  long long i = 1;
  while (i <= Len(a) && i <= Len(b)) {
    if (Byte(a, i) != Byte(b, i)) return Byte(a, i) > Byte(b, i);
    ++i;
  }
  return Len(a) > Len(b);
}

}  // namespace

// --- Library effects ----------------------------------------------------------

long long KeyPos(const std::string& k, const std::string& s) {
  if (k.empty()) return 0;
  for (long long i = 1; i + Len(k) - 1 <= Len(s); ++i) {
    bool same = true;
    for (long long j = 1; j <= Len(k); ++j) {
      if (Byte(s, i + j - 1) != Byte(k, j)) {
        same = false;
        break;
      }
    }
    if (same) return i;
  }
  return 0;
}

std::string Copy(const std::string& s, long long p, long long n) {
  if (p < 1) p = 1;
  std::string out;
  for (long long i = p; i <= Len(s) && i < p + n; ++i) out += s[static_cast<std::size_t>(i - 1)];
  return out;
}

std::string Delete(const std::string& s, long long p, long long n) {
  if (p < 1 || p > Len(s) || n < 1) return s;
  std::string out;
  for (long long i = 1; i <= Len(s); ++i) {
    if (i >= p && i < p + n) continue;
    out += s[static_cast<std::size_t>(i - 1)];
  }
  return out;
}

// --- Line string routines -----------------------------------------------------

std::string UpperCase(const std::string& s) {
  std::string out;
  for (char c : s) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

std::string LowerCase(const std::string& s) {
  std::string out;
  for (char c : s) out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

std::string TextAfterKey(const std::string& s, const std::string& k) {
  const long long p = KeyPos(k, s);
  if (p > 0) return Delete(s, 1, p + Len(k) - 1);
  return s;
}

long long LastPosOfChar(const std::string& k, const std::string& s) {
  if (k.empty()) return 0;
  for (long long i = Len(s); i >= 1; --i) {
    if (Byte(s, i) == Byte(k, 1)) return i;
  }
  return 0;
}

long long FirstPosInSet(const std::string& q, const std::string& s, bool any) {
  if (s.empty()) return 0;
  if (!any) return KeyPos(q, s);
  for (long long i = 1; i <= Len(s); ++i) {
    for (long long j = 1; j <= Len(q); ++j) {
      if (Byte(s, i) == Byte(q, j)) return i;
    }
  }
  return 0;
}

long long LastPosInSet(const std::string& q, const std::string& s, bool any) {
  if (FirstPosInSet(q, s, any) == 0) return 0;
  if (any) {
    for (long long i = Len(s); i >= 1; --i) {
      for (long long j = 1; j <= Len(q); ++j) {
        if (Byte(s, i) == Byte(q, j)) return i;
      }
    }
    return 0;
  }
  // Key mode: the start of the last occurrence (callers pass one character).
  for (long long i = Len(s) - Len(q) + 1; i >= 1; --i) {
    if (Copy(s, i, Len(q)) == q) return i;
  }
  return 0;
}

long long NthKeyPos(const std::string& s, const std::string& k, long long n) {
  if (n <= 0) return 0;
  long long pos = KeyPos(k, s);
  if (pos == 0) return 0;
  for (long long found = 1; found < n; ++found) {
    const long long start = pos + 1;
    if (Len(s) < start) return 0;
    const long long p = KeyPos(k, Copy(s, start, Len(s)));
    if (p == 0) return 0;
    pos = start + p - 1;
  }
  return pos;
}

long long CountKeys(const std::string& s, const std::string& k) {
  long long count = 0;
  std::string t = s;
  while (KeyPos(k, t) > 0) {
    ++count;
    t = TextAfterKey(t, k);
  }
  return count;
}

std::string ReplaceAllKeys(const std::string& s, const std::string& k, const std::string& r,
                           bool caseSensitive) {
  std::string result;
  std::string rest = s;
  for (;;) {
    const long long p = caseSensitive ? KeyPos(k, rest) : KeyPos(LowerCase(k), LowerCase(rest));
    if (p > 0) {
      result += Copy(rest, 1, p - 1);
      result += r;
      rest = Copy(rest, p + Len(k), Len(rest));
    } else {
      result += rest;
      return result;
    }
  }
}

std::string RemoveAll(const std::string& q, const std::string& s, bool setMode) {
  if (setMode) {
    std::string out;
    for (char c : s) {
      if (q.find(c) == std::string::npos) out += c;
    }
    return out;
  }
  std::string t = s;
  for (long long p = KeyPos(q, t); p > 0; p = KeyPos(q, t)) t = Delete(t, p, Len(q));
  return t;
}

std::string DeleteRange(const std::string& s, long long p, long long n) {
  return Delete(s, p, n);
}

std::string DeleteFirstMarkerPair(const std::string& s, char b, char e) {
  const std::string bs(1, b), es(1, e);
  const long long B = KeyPos(bs, s);
  long long E = KeyPos(es, s);
  if (b == e) E = B + KeyPos(es, TextAfterKey(s, bs));
  if (B > 0 && E > 0 && E > B) return Delete(s, B, E - B + 1);
  return s;
}

std::string DeleteLastMarkerPair(const std::string& s, char b, char e) {
  const std::string bs(1, b), es(1, e);
  const long long E = LastPosOfChar(es, s);
  long long B = LastPosOfChar(bs, s);
  if (b == e) B = LastPosOfChar(bs, Copy(s, 1, E - 1));
  if (B > E) {
    B = 0;
    for (long long i = E - 1; i >= 1; --i) {
      if (Byte(s, i) == static_cast<unsigned char>(b)) {
        B = i;
        break;
      }
    }
  }
  if (E > 0 && B > 0 && E > B) return Delete(s, B, E - B + 1);
  return s;
}

std::string StripTags(const std::string& s, bool& insideTag) {
  std::string out;
  for (char x : s) {
    if (x == '<') insideTag = true;
    if (x == '>') insideTag = false;
    if (!insideTag && x != '>') out += x;
  }
  return out;
}

std::string StripOverstrikes(const std::string& s) {
  const std::string t = RemoveAll(std::string("_\b"), s, false);
  std::string out;
  bool skip = false;
  for (char x : t) {
    if (x == '\b') skip = true;
    if (!skip) out += x;
    if (x != '\b' && skip) skip = false;
  }
  return out;
}

bool IsBlankLine(const std::string& s) {
  for (long long i = 1; i <= Len(s); ++i) {
    if (Byte(s, i) >= 33) return false;
  }
  return true;
}

std::optional<std::string> ExpandTabs(const std::string& s, int w) {
  if (w < 2 || w > 16) return std::nullopt;
  if (s.find('\t') == std::string::npos) return s;
  std::string out;
  for (char x : s) {
    if (x != '\t') {
      out += x;
      continue;
    }
    const long long r = (Len(out) + 1) % w;
    const long long spaces = r == 0 ? 1 : w - r + 1;
    out += std::string(static_cast<std::size_t>(spaces), ' ');
  }
  return out;
}

std::string ApplyOutputCase(const std::string& s, bool upper, bool lower) {
  std::string out = s;
  if (lower) out = LowerCase(s);
  if (upper) out = UpperCase(s);
  return out;
}

std::string CutAtFirstKey(const std::string& s, const std::string& k) {
  const long long p = KeyPos(k, s);
  if (p > 0) return Copy(s, 1, p - 1);
  return s;
}

// --- Request ----------------------------------------------------------------

std::optional<std::int32_t> IntegerValue(const std::string& text) {
  long long i = 1;
  const long long n = Len(text);
  while (i <= n && Byte(text, i) == ' ') ++i;
  if (i > n) return std::nullopt;

  long long value = 0;
  const long long limit = std::numeric_limits<std::int32_t>::max();

  // Hexadecimal: "$", "x", "X", "0x", "0X" and at least one hex digit.
  long long hexStart = 0;
  if (Byte(text, i) == '$' || Byte(text, i) == 'x' || Byte(text, i) == 'X') {
    hexStart = i + 1;
  } else if (Byte(text, i) == '0' && i + 1 <= n &&
             (Byte(text, i + 1) == 'x' || Byte(text, i + 1) == 'X')) {
    hexStart = i + 2;
  }
  if (hexStart > 0) {
    if (hexStart > n) return std::nullopt;
    for (long long j = hexStart; j <= n; ++j) {
      if (!IsHexByte(Byte(text, j))) return std::nullopt;
      value = value * 16 + HexValue(Byte(text, j));
      if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
  }

  bool negative = false;
  if (Byte(text, i) == '+' || Byte(text, i) == '-') {
    negative = Byte(text, i) == '-';
    ++i;
  }
  if (i > n) return std::nullopt;
  for (long long j = i; j <= n; ++j) {
    if (!IsDigitByte(Byte(text, j))) return std::nullopt;
    value = value * 10 + (Byte(text, j) - '0');
    if (value > limit + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > limit) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

FieldCheck CheckField(quorlin::Field field, const std::string& text,
                      const std::optional<std::string>& firstCharText) {
  using quorlin::Field;
  struct Limits {
    long long bound;
    std::string reset, range;
  };
  const Limits limits =
      field == Field::FirstLineNum || field == Field::LastLineNum
          ? Limits{250000, "0", "Valid range for line numbers is 0 to 250000"}
      : field == Field::LineLength
          ? Limits{1024, "0", "Valid range for LineLength Number of Characters is 0 to 1024"}
      : field == Field::LastCharPos
          ? Limits{1024, "1", "Valid range for Character Position is 1 to 1024"}
          : Limits{1024, "0", "Valid range for Character Position is 0 to 1024"};
  const std::string one(1, '1');
  auto notInteger = [](const std::string& t) { return "'" + t + "' is not a valid integer value"; };

  FieldCheck check;
  check.filled = false;
  if (text.empty()) return check;
  std::string t = text;
  if (KeyPos(".", t) > 0) t = CutAtFirstKey(t, ".");
  if (!t.empty() && t[0] == '-') t = Delete(t, 1, 1);
  const std::optional<std::int32_t> value = IntegerValue(t);
  if (!value) {
    check.messages.push_back(notInteger(t));
    t = limits.reset;
    check.refocus = true;
  } else {
    // A negative value that survives (a doubled minus, a minus behind a
    // blank) is refused like one above the bound.
    if (*value > limits.bound || *value < 0) {
      t = limits.reset;
      check.messages.push_back(limits.range);
      check.refocus = true;
    }
    if (field == Field::LastCharPos && firstCharText) {
      const std::optional<std::int32_t> first = IntegerValue(*firstCharText);
      if (!first) {
        t = one;
        check.messages.push_back(notInteger(*firstCharText));
        check.refocus = true;
      } else if (*first > *IntegerValue(t)) {
        t = one;
        check.messages.push_back(
            "Last Char Position must be greater or equal to 1st Char Position");
        check.refocus = true;
      }
    }
  }
  check.text = t;
  check.filled = true;
  return check;
}

std::vector<std::string> Validate(const ChangeRequest& request) {
  const Request r = Plain(request);
  std::vector<std::string> messages;
  switch (r.testKind) {
    case 2:
      if (!(r.firstLineNumFilled && r.lastLineNumFilled))
        messages.push_back("Fill in First and Last File Line Numbers");
      break;
    case 3:
    case 5:
    case 13:
      if (!r.testKeyFilled) messages.push_back("Fill In Test Key Text");
      break;
    case 4:
    case 6:
      if (!(r.testKeyFilled && r.firstCharPosFilled))
        messages.push_back("Fill in Test Key Text and 1st Char Position");
      break;
    case 7:
    case 8:
      if (!r.lineLengthFilled) messages.push_back("Fill In LineLength Number of Characters");
      break;
    default:
      break;
  }
  switch (r.actionKind) {
    case 14:
      if (r.retainPassingOnly)
        messages.push_back(
            "Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time");
      break;
    case 16:
    case 17:
    case 18:
    case 20:
    case 39:
      if (!r.lineLengthFilled) messages.push_back("Fill In LineLength Number of Characters");
      break;
    case 19:
      if (!(r.replacementKeyFilled && r.replPosFilled))
        messages.push_back("Fill in Replacement Key Text and Repl Pos Char Position");
      break;
    case 21:
    case 35:
    case 38:
      if (!r.replacementKeyFilled) messages.push_back("Fill In Replacement Key Text");
      break;
    case 22:
    case 23:
    case 24:
    case 40:
      if (!r.testKeyFilled) messages.push_back("Fill In Test Key Text");
      break;
    case 25:
    case 26:
      if (!(r.firstCharPosFilled && r.lastCharPosFilled))
        messages.push_back("Fill in 1st Char Position and Last Char Position");
      break;
    case 28:
    case 29:
    case 31:
      if (!(r.testKeyFilled && r.replacementKeyFilled))
        messages.push_back("Fill in Test Key and Replacement Key Text Values");
      break;
    case 33:
    case 37:
      if (!(r.replacementKeyFilled && r.replacementKey.size() >= 2))
        messages.push_back(
            "Type Two characters in Replacement Key Text to be used as first/last markers");
      break;
    default:
      break;
  }
  return messages;
}

// --- The run ------------------------------------------------------------------

namespace {

long long Num(const std::string& text) {
  return IntegerValue(text).value_or(0);
}

bool LineTest(const Request& r, long long lineNo, const std::string& cur, const std::string& prev,
              const std::string& compLine, const std::string& compKey) {
  const long long keyPos = KeyPos(compKey, compLine);
  switch (r.testKind) {
    case 1:
      return true;
    case 2:
      return Num(r.firstLineNum) <= lineNo && lineNo <= Num(r.lastLineNum);
    case 3:
      return keyPos > 0;
    case 4:
      return keyPos == Num(r.firstCharPos);
    case 5:
      return keyPos == 0;
    case 6:
      return keyPos != Num(r.firstCharPos);
    case 7:
      return Len(cur) < Num(r.lineLength);
    case 8:
      return Len(cur) > Num(r.lineLength);
    case 9:
      return IsBlankLine(cur);
    case 10:
      return lineNo > 1 && IsBlankLine(prev);
    case 11:
      return cur.find('<') != std::string::npos || cur.find('>') != std::string::npos;
    case 12: {
      long long i = 1;
      while (i <= Len(cur) && Byte(cur, i) < 33) ++i;
      if (i > Len(cur)) return false;
      const unsigned x = Byte(cur, i);
      return IsDigitByte(x) || x == '+' || x == '-' || x == '.';
    }
    case 13: {
      const long long k = Len(compKey);
      if (Len(compLine) < k) return false;
      return Copy(compLine, Len(compLine) - k + 1, k) == compKey;
    }
    case 14:
      return lineNo > 1 && IsBlankLine(prev) && IsBlankLine(cur);
    default:
      return false;
  }
}

}  // namespace

Outcome Run(const ChangeRequest& request, const std::vector<std::string>& input) {
  const Request r = Plain(request);
  Outcome outcome;
  const int action = r.actionKind;
  const bool outputCase = r.outputLowerCase || r.outputUpperCase;
  auto writeOut = [&](const std::string& x) {
    outcome.lines.push_back(outputCase ? ApplyOutputCase(x, r.outputUpperCase, r.outputLowerCase)
                                       : x);
  };

  const long long N = static_cast<long long>(input.size());
  std::vector<std::string> store;
  if (action == 32 || action == 43) store.assign(static_cast<std::size_t>(N + 1), std::string());
  bool tagState = false;

  std::size_t nextInput = 0;
  long long lineNo = 0;
  long long step = 0;
  std::string prev, cur;

  while (nextInput < input.size()) {
    bool passes = false;
    ++lineNo;
    ++step;
    if (lineNo > 1) prev = cur;
    cur = *ExpandTabs(input[nextInput++], 8);

    const std::string compLine = r.caseSensitive ? cur : UpperCase(cur);
    const std::string compKey = r.caseSensitive ? r.testKey : UpperCase(r.testKey);
    const long long L = Len(cur);
    const long long K = Len(compKey);
    const long long p = KeyPos(compKey, compLine);

    passes = LineTest(r, lineNo, cur, prev, compLine, compKey);

    std::string result = cur;
    bool keptBy43 = true;
    switch (action) {
      case 13:
      case 14:
      case 27:
        break;
      case 15: {
        long long first = 1, last = L;
        while (first <= L && Byte(cur, first) < 33) ++first;
        while (last >= first && Byte(cur, last) < 33) --last;
        result = Copy(cur, first, last - first + 1);
        break;
      }
      case 16: {
        const long long w = Num(r.lineLength);
        if (w > 0 && L > w) result = Copy(cur, 1, w);
        break;
      }
      case 17: {
        const long long w = Num(r.lineLength);
        if (w > 0) {
          while (Len(result) < w) result = " " + result;
        }
        break;
      }
      case 18: {
        const long long w = Num(r.lineLength);
        if (w > 0) {
          while (Len(result) < w) result = result + " ";
        }
        break;
      }
      case 19: {
        const long long pos = Num(r.replPos);
        if (pos >= 1 && pos <= L)
          result = Copy(cur, 1, pos - 1) + r.replacementKey + Copy(cur, pos, L);
        else if (pos == L + 1)
          result = cur + r.replacementKey;
        break;
      }
      case 20: {
        const long long w = Num(r.lineLength);
        if (passes && w >= 1 && L > w) {
          std::string rest = cur;
          while (Len(rest) > w) {
            writeOut(Copy(rest, 1, w));
            rest = Copy(rest, w + 1, Len(rest));
          }
          result = rest;
        }
        break;
      }
      case 21:
        if (!r.replacementKey.empty()) result = r.replacementKey;
        break;
      case 22:
      case 31: {
        const std::string replacement = action == 22 ? std::string() : r.replacementKey;
        if (r.caseSensitive) {
          if (KeyPos(r.testKey, cur) > 0)
            result = ReplaceAllKeys(cur, r.testKey, replacement, true);
        } else {
          if (p > 0) result = ReplaceAllKeys(cur, r.testKey, replacement, false);
        }
        break;
      }
      case 23:
        if (p > 0) result = Copy(cur, 1, p + K - 1);
        break;
      case 24:
        if (p > 0) result = Copy(cur, p, L);
        break;
      case 25:
      case 26: {
        const long long first = Num(r.firstCharPos);
        const long long last = Num(r.lastCharPos);
        if (last < 1 || last < first) {
          outcome.completed = false;
          outcome.messages = {kCharPositionsStop};
          outcome.lines.clear();
          return outcome;
        }
        const long long f = first < 1 ? 1 : first;
        if (action == 25) {
          if (L >= f) result = Delete(cur, f, last - f + 1);
        } else {
          if (L < f)
            result.clear();
          else
            result = Copy(cur, f, (last < L ? last : L) - f + 1);
        }
        break;
      }
      case 28:
        if (p > 0) result = r.replacementKey + Copy(cur, p, L);
        break;
      case 29:
        if (p > 0) result = Copy(cur, 1, p + K - 1) + r.replacementKey;
        break;
      case 30:
        result = StripTags(cur, tagState);
        break;
      case 32:
        store[static_cast<std::size_t>(step)] = cur;
        break;
      case 33:
        result = DeleteFirstMarkerPair(cur, r.replacementKey[0], r.replacementKey[1]);
        break;
      case 34:
        if (passes) writeOut(r.replacementKey);
        break;
      case 35:
        result = cur + r.replacementKey;
        break;
      case 37:
        result = DeleteLastMarkerPair(cur, r.replacementKey[0], r.replacementKey[1]);
        break;
      case 38:
        result = RemoveAll(r.replacementKey, cur, true);
        break;
      case 39: {
        const long long w = Num(r.lineLength);
        if (passes && w >= 1) {
          std::string rest = cur;
          while (Len(rest) > w && FirstPosInSet(" ,", rest, true) > 0) {
            const std::string head = Copy(rest, 1, w);
            long long cut = LastPosInSet(" ,", head, true);
            if (cut == 0) cut = FirstPosInSet(" ,", rest, true);
            writeOut(Copy(rest, 1, cut));
            rest = Copy(rest, cut + 1, Len(rest));
          }
          result = rest;
        }
        break;
      }
      case 40: {
        if (!passes) break;
        const long long n = CountKeys(compLine, compKey);
        if (n == 0) break;
        const long long last = NthKeyPos(compLine, compKey, n);
        result = Copy(cur, last, L);
        std::string work = Copy(cur, 1, last - 1);
        std::string workComp = Copy(compLine, 1, last - 1);
        const long long first = KeyPos(compKey, workComp);
        if (first > 1) {
          writeOut(Copy(work, 1, first - 1));
          work = Copy(work, first, Len(work));
          workComp = Copy(workComp, first, Len(workComp));
        }
        while (!work.empty()) {
          const long long q = NthKeyPos(workComp, compKey, 2);
          if (q == 0) {
            writeOut(work);
            break;
          }
          writeOut(Copy(work, 1, q - 1));
          work = Copy(work, q, Len(work));
          workComp = Copy(workComp, q, Len(workComp));
        }
        break;
      }
      case 41:
        result = StripOverstrikes(cur);
        break;
      case 43: {
        store[static_cast<std::size_t>(step)] = cur;
        for (long long j = 1; j <= step - 1; ++j) {
          if (store[static_cast<std::size_t>(j)] == cur) keptBy43 = false;
        }
        break;
      }
      case 44:
        if (passes && nextInput < input.size()) {
          ++lineNo;
          result = cur + *ExpandTabs(input[nextInput++], 8);
        }
        break;
      default:
        break;
    }

    // Emission of the line.
    if (action == 32) {
      // stored; written after the last line
    } else if (action == 43) {
      if (keptBy43) writeOut(result);
    } else if (!passes) {
      if (!r.retainPassingOnly) writeOut(cur);
    } else if (action != 14) {
      writeOut(result);
    }
    if (action == 27 && passes) writeOut(r.replacementKey);
  }

  if (action == 32) {
    long long f = r.firstCharPosFilled ? Num(r.firstCharPos) : 1;
    if (f == 0) f = 1;
    auto key = [&](long long slot) {
      const std::string& line = store[static_cast<std::size_t>(slot)];
      return Len(line) >= f ? Copy(line, f, Len(line)) : std::string();
    };
    std::vector<long long> gaps;
    if (N == 2) {
      gaps.push_back(1);
    } else {
      for (long long g = (N - 1) / 2; g >= 1; g /= 2) gaps.push_back(g);
    }
    for (long long g : gaps) {
      for (long long i = 1; i <= N - g; ++i) {
        long long j = i;
        while (j >= 1 && KeyGreater(key(j), key(j + g))) {
          std::swap(store[static_cast<std::size_t>(j)], store[static_cast<std::size_t>(j + g)]);
          j -= g;
        }
      }
    }
    for (long long k = 1; k <= N; ++k) writeOut(store[static_cast<std::size_t>(k)]);
  }

  outcome.completed = true;
  return outcome;
}

}  // namespace refimpl
