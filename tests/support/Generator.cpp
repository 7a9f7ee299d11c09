// SPDX-License-Identifier: Apache-2.0
#include "tests/support/Generator.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "textutil/Utf8.h"

namespace quorlin::testing {

namespace {

// Bytes that make keys, separators, tags, markers, overstrikes, numbers and
// bytes above 127; repeated letters make keys match often.
const std::string kAlphabet = std::string(
                                  "aaaaAAAbbbBkK  \t,<>()*__\b\b+-.019xX"
                                  "\xE9\xC9\x80\xFF\x7F\xA0\x01") +
                              '\0';
const std::vector<std::string> kWords = {"ab",  "AB",   "Ab",   "key",       "KEY", "aa", "aaa",
                                         "a,b", "<i>",  "x>y",  "(z)",       "12",  "-3", "+q",
                                         ".5",  "_\bH", "A\bA", "\xE9t\xC9", "*b*"};
const std::vector<std::string> kKeys = {"a",   "aa", "aaa",  "aba",  "A",   "ab", "AB", "k",
                                        " ",   "  ", "\t",   "a b",  ",",   "<",  ">",  "*",
                                        "_\b", "12", "\xE9", "\xC9", "key", "b,", ".",  "KEY"};
const std::vector<std::string> kReplacements = {"N",  "()", "[]",  "**",  "<>",  "((",
                                                "))", " ,", ",;",  "aA",  "xyz", "\xE9\xC9",
                                                "a",  "(",  "_\b", "a b", "\t",  ")("};

}  // namespace

std::string RandomText(Rng& rng, int minLen, int maxLen) {
  std::string s;
  const int n = rng.range(minLen, maxLen);
  for (int i = 0; i < n; ++i)
    s += kAlphabet[static_cast<std::size_t>(rng.below(static_cast<int>(kAlphabet.size())))];
  return s;
}

namespace {

std::string FlipCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

Lines RandomLines(Rng& rng) {
  Lines lines;
  // Mostly up to 30 lines; a few longer texts give the sort its wider gaps.
  const int n = rng.chance(5) ? 0 : rng.chance(3) ? rng.range(60, 200) : rng.range(1, 30);
  for (int i = 0; i < n; ++i) {
    const int kind = rng.below(100);
    std::string line;
    if (kind < 8) {
      // empty
    } else if (kind < 16) {
      const std::string blanks = "  \t\x01\x1f";
      for (int j = rng.range(1, 6); j > 0; --j)
        line += blanks[static_cast<std::size_t>(rng.below(5))];
    } else if (kind < 28 && !lines.empty()) {
      line = lines[static_cast<std::size_t>(rng.below(static_cast<int>(lines.size())))];
      if (rng.chance(30)) line = FlipCase(line);
      if (rng.chance(15)) line += ' ';
    } else if (kind < 33) {
      line = RandomText(rng, 40, rng.chance(10) ? 3000 : 150);
    } else if (kind < 55) {
      const std::string seps = " ,\t";
      for (int j = rng.range(1, 5); j > 0; --j) {
        line += rng.pick(kWords);
        if (j > 1 || rng.chance(20)) line += seps[static_cast<std::size_t>(rng.below(3))];
      }
    } else {
      line = RandomText(rng, 1, 14);
    }
    lines.push_back(line);
  }
  return lines;
}

std::string RandomKey(Rng& rng, const Lines& lines) {
  const int kind = rng.below(100);
  if (kind < 40 && !lines.empty()) {
    const std::string& line = rng.pick(lines);
    if (!line.empty()) {
      const int start = rng.below(static_cast<int>(line.size()));
      std::string key =
          line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(rng.range(1, 4)));
      return rng.chance(25) ? FlipCase(key) : key;
    }
  }
  if (kind < 65) return rng.pick(kKeys);
  return RandomText(rng, 1, 3);
}

namespace {

// A valid numeric field text for value v, in one of the forms the field check
// lets through: plain, leading blanks, plus sign, leading zeros, hexadecimal.
std::string NumberText(Rng& rng, int v) {
  std::ostringstream out;
  switch (rng.below(10)) {
    case 0:
      out << std::string(static_cast<std::size_t>(rng.range(1, 2)), ' ') << v;
      break;
    case 1:
      out << '+' << v;
      break;
    case 2:
      out << "00" << v;
      break;
    case 3:
      out << '$' << std::hex << std::uppercase << v;
      break;
    case 4:
      out << (rng.chance(50) ? "0x" : "X") << std::hex << v;
      break;
    default:
      out << v;
      break;
  }
  return out.str();
}

int SmallOrAny(Rng& rng, int small, int bound) {
  return rng.chance(8) ? rng.range(0, bound) : rng.range(0, small);
}

bool NeedsLineLength(int t, int a) {
  return t == 7 || t == 8 || a == 16 || a == 17 || a == 18 || a == 20 || a == 39;
}

}  // namespace

ChangeRequest RandomRequest(Rng& rng, int test, int action, const Lines& lines) {
  ChangeRequest r;
  r.test = TestCode(test);
  r.action = ActionCode(action);
  std::string key, repl, firstLine, lastLine, length, firstCharPos, lastCharPos, replPos;
  const bool needKey = (test >= 3 && test <= 6) || test == 13 || action == 22 || action == 23 ||
                       action == 24 || action == 40 || (action >= 28 && action <= 31);
  const bool needRepl = action == 19 || action == 21 || action == 35 || action == 38 ||
                        action == 28 || action == 29 || action == 31 || action == 33 ||
                        action == 37 || action == 27 || action == 34;
  const bool needFirstChar = test == 4 || test == 6 || action == 25 || action == 26 || action == 32;
  auto fill = [&](bool needed) { return rng.chance(needed ? 94 : 30); };

  if (fill(needKey)) key = RandomKey(rng, lines);
  if (fill(needRepl)) repl = rng.chance(40) ? rng.pick(kReplacements) : RandomKey(rng, lines);
  if (fill(test == 2)) firstLine = NumberText(rng, SmallOrAny(rng, 32, 250000));
  if (fill(test == 2)) lastLine = NumberText(rng, SmallOrAny(rng, 32, 250000));
  if (fill(NeedsLineLength(test, action))) length = NumberText(rng, SmallOrAny(rng, 16, 1024));
  int firstChar = 0;
  if (fill(needFirstChar)) {
    firstChar = SmallOrAny(rng, 16, 1024);
    firstCharPos = NumberText(rng, firstChar);
  }
  if (fill(action == 25 || action == 26)) {
    // Mostly at or above the first position; sometimes below it or 0, which
    // actions 25 and 26 refuse at the first line.
    const int last = rng.chance(12) ? rng.range(0, std::max(firstChar, 1))
                                    : std::min(1024, firstChar + SmallOrAny(rng, 12, 1024));
    lastCharPos = NumberText(rng, last);
  }
  if (fill(action == 19)) replPos = NumberText(rng, SmallOrAny(rng, 16, 1024));
  const std::string* texts[] = {&key,    &repl,         &firstLine,   &lastLine,
                                &length, &firstCharPos, &lastCharPos, &replPos};
  for (std::size_t i = 0; i < kFieldCount; ++i) r.fields[i] = {*texts[i], !texts[i]->empty()};

  r.retainPassingOnly = rng.chance(action == 14 ? 8 : 25);
  r.caseSensitive = rng.chance(40);
  const int outputCase = rng.below(100);
  r.outputLowerCase = outputCase < 15;
  r.outputUpperCase = outputCase >= 15 && outputCase < 30;
  return r;
}

namespace {

std::array<std::string, 128> MakeUtf8Characters() {
  std::array<std::string, 128> chars;
  std::size_t n = 0;
  for (int b = 0x80; b <= 0x8F; ++b) chars[n++] = std::string(1, static_cast<char>(b));
  const auto add = [&](char32_t first, char32_t last) {
    for (char32_t c = first; c <= last; ++c) QuorlinUtils::AppendUtf8(chars[n++], c);
  };
  add(0xC0, 0xFF);
  add(0x3041, 0x3058);
  add(0x1F600, 0x1F616);
  chars[n++] = std::string(1, static_cast<char>(0xFF));
  return chars;
}
const std::array<std::string, 128> kUtf8Characters = MakeUtf8Characters();

}  // namespace

std::string ToUtf8Characters(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out.push_back(c);
    else
      out += kUtf8Characters[b - 0x80];
  }
  return out;
}

std::optional<std::string> FromUtf8Characters(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = QuorlinUtils::Utf8CharLength(text, i);
    const std::string_view c = text.substr(i, n);
    i += n;
    if (n == 1 && static_cast<unsigned char>(c[0]) < 0x80) {
      out.push_back(c[0]);
      continue;
    }
    const auto at = std::find(kUtf8Characters.begin(), kUtf8Characters.end(), c);
    if (at == kUtf8Characters.end()) return std::nullopt;
    out.push_back(static_cast<char>(0x80 + (at - kUtf8Characters.begin())));
  }
  return out;
}

}  // namespace quorlin::testing
