// SPDX-License-Identifier: Apache-2.0
// The Test Key as a pattern. First the key routines over a pattern at their
// edges: empty matches, overlapping matches, searches that go on along the
// line, groups in replacements, the case rule (a-z only), refused patterns.
// Then requests over generated lines, each run with a pattern and with a
// plain key that means the same (a literal, a class, an alternation, a group,
// an anchor, a repetition), and the searches over whole blocks of lines
// against the search line by line.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <re2/re2.h>

#include "engine/Actions.h"
#include "engine/BlockLines.h"
#include "engine/ChangeRequest.h"
#include "engine/KeyPattern.h"
#include "engine/ParallelRun.h"
#include "tests/support/Generator.h"
#include "tests/support/RunHarness.h"
#include "textutil/QuorlinUtils.h"

using namespace quorlin;
using namespace quorlin::testing;
namespace QU = QuorlinUtils;

namespace {

std::shared_ptr<const KeyPattern> Compile(const std::string& pattern, bool cs,
                                          Encoding encoding = Encoding::Windows1252) {
  KeyPattern::Compiled c =
      KeyPattern::compile(pattern, cs, {.lineEnd = true, .blocks = true}, encoding);
  EXPECT_EQ(c.message, "") << pattern;
  return c.pattern;
}

enum class Ask { Contains, KeyPos, Nth2, Nth3, Count, After, Replace, EndsLine, Split };

struct RoutineCase {
  const char* name;
  std::string pattern;
  bool cs;
  std::string line;
  Ask ask;
  std::string expected;
  std::string repl = {};
};

std::string Answer(const KeyPattern& k, const RoutineCase& c) {
  std::string out;
  switch (c.ask) {
    case Ask::Contains:
      return k.contains(c.line) ? "yes" : "no";
    case Ask::KeyPos:
      return std::to_string(QU::KeyPos(k, c.line));
    case Ask::Nth2:
      return std::to_string(QU::NthKeyPos(c.line, k, 2));
    case Ask::Nth3:
      return std::to_string(QU::NthKeyPos(c.line, k, 3));
    case Ask::Count:
      return std::to_string(QU::CountKeys(c.line, k));
    case Ask::After:
      return QU::TextAfterKey(c.line, k);
    case Ask::Replace:
      QU::AppendReplaceAllKeys(out, c.line, k, c.repl);
      return out;
    case Ask::EndsLine:
      return k.endsLine(c.line) ? "yes" : "no";
    case Ask::Split: {
      const std::string_view last = SplitBeforeMatches(k, c.line, [&](std::string_view piece) {
        out.append(piece);
        out += '|';
      });
      return out.append(last);
    }
  }
  return {};
}

template <std::size_t N>
void ExpectAnswers(const RoutineCase (&cases)[N], Encoding encoding) {
  for (const auto& c : cases) {
    const auto k = Compile(c.pattern, c.cs, encoding);
    if (!k) continue;
    if (!c.repl.empty()) {
      EXPECT_EQ(k->replacementProblem(c.repl), "") << c.name;
    }
    EXPECT_EQ(Answer(*k, c), c.expected) << c.name;
  }
}

TEST(PatternRoutines, AtTheEdges) {
  const bool cs = true, ci = false;
  // clang-format off
  const RoutineCase cases[] = {
      {"empty match is no occurrence", "x*", cs, "aaxxb", Ask::KeyPos, "3"},
      {"only empty matches: nothing found", "a*", cs, "bbb", Ask::KeyPos, "0"},
      {"only empty matches: nothing counted", "a*", cs, "bbb", Ask::Count, "0"},
      {"only empty matches: nothing replaced", "a*", cs, "bbb", Ask::Replace, "bbb", "X"},
      {"empty first alternative: search goes on a byte", "(?:)|b", cs, "ab", Ask::KeyPos, "0"},
      {"word boundary alone matches only empty", "\\b", cs, "a b", Ask::Count, "0"},
      {"empty line", "a?", cs, "", Ask::KeyPos, "0"},
      {"holds: only empty matches", "x*", cs, "ab", Ask::Contains, "no"},
      {"holds: a non-empty match after empty ones", "x*", cs, "axb", Ask::Contains, "yes"},
      {"holds: empty between word bytes", "\\B", cs, "ab", Ask::Contains, "no"},
      {"holds: empty before a word byte", "z|\\b", cs, " a", Ask::Contains, "no"},
      {"holds: empty line", "^$", cs, "", Ask::Contains, "no"},
      {"holds: a match", "b|\\B", cs, "ab", Ask::Contains, "yes"},
      {"nth counts overlapping matches", "aa", cs, "aaaa", Ask::Nth3, "3"},
      {"nth starts a byte after a match's start", "a+", cs, "aaa", Ask::Nth3, "3"},
      {"count goes on after each match", "aa", cs, "aaaaa", Ask::Count, "2"},
      {"^ stays the line's start", "^a", cs, "aaa", Ask::Count, "1"},
      {"^ stays the line's start when replacing", "^a", cs, "aaa", Ask::Replace, "xaa", "x"},
      {"^ stays the line's start for nth", "^a", cs, "aaa", Ask::Nth2, "0"},
      {"\\b sees the byte before", "\\bab", cs, "abab ab", Ask::Count, "2"},
      {"$ only at the line's end", "a$", cs, "aa", Ask::Count, "1"},
      {"text after the match", "b+", cs, "abbbc", Ask::After, "c"},
      {"\\0 the whole match", "[0-9]+", cs, "a12b3", Ask::Replace, "a<12>b<3>", "<\\0>"},
      {"\\1 \\2 the groups", "(\\w+)=(\\w+)", cs, "k=v x=y", Ask::Replace, "v=k y=x", "\\2=\\1"},
      {"a group that took no part is empty", "(a)|(b)", cs, "ab", Ask::Replace, "[a|][|b]",
       "[\\1|\\2]"},
      {"groups numbered across alternatives", "(k)(x+)|(a)((b))", cs, "kxxab", Ask::Replace,
       "[k|xx|||][||a|b|b]", "[\\1|\\2|\\3|\\4|\\5]"},
      {"group before $", "(a)$", cs, "aa", Ask::Replace, "a<a>", "<\\1>"},
      {"group after \\b", "\\b(a)", cs, "aa a", Ask::Replace, "<a>a <a>", "<\\1>"},
      {"empty group", "a()b", cs, "abab", Ask::Replace, "[]b[]b", "[\\1]b"},
      {"groups of the alternative after ^", "^a|(a)", cs, "aa", Ask::Replace, "[][a]", "[\\1]"},
      {"many places tried", "a+c|b", cs, std::string(9000, 'a') + "b", Ask::KeyPos, "9001"},
      {"\\\\ one backslash", "-", cs, "a-b", Ask::Replace, "a\\b", "\\\\"},
      {"\\0 keeps the line's case", "abc", ci, "xABCy", Ask::Replace, "x<ABC>y", "<\\0>"},
      {"replacement never searched again", "a", cs, "aaa", Ask::Replace, "aaaaaa", "aa"},
      {"ends the line", "b+", cs, "abb", Ask::EndsLine, "yes"},
      {"ends the line: a later match", "a|ab", cs, "ab", Ask::EndsLine, "yes"},
      {"ends the line: not at the end", "a", cs, "ab", Ask::EndsLine, "no"},
      {"ends the line: only an empty match", "x*", cs, "ab", Ask::EndsLine, "no"},
      {"ends the line: ^ is the line's start", "^ab", cs, "cab", Ask::EndsLine, "no"},
      {"ends the line: folded", "B", ci, "ab", Ask::EndsLine, "yes"},
      {"split before every match", "K", cs, "aaKbbKcc", Ask::Split, "aa|Kbb|Kcc"},
      {"split: matches do not overlap", "aa", cs, "aaaaa", Ask::Split, "aa|aaa"},
      {"split: match at the start", "K", cs, "Kaa", Ask::Split, "Kaa"},
      {"split: empty matches cut nothing", "x*", cs, "axxb", Ask::Split, "a|xxb"},
      {"letters fold", "abc", ci, "xAbC", Ask::KeyPos, "2"},
      {"letters fold in ranges", "[a-c]+", ci, "xBCA", Ask::Replace, "x-", "-"},
      {"negated class excludes both cases", "[^a]", ci, "aA", Ask::KeyPos, "0"},
      {"escaped letters fold", "\\x41\\102\\x{63}", ci, "abc", Ask::KeyPos, "1"},
      {"quoted letters fold", "\\Qa.b\\E", ci, "A.B AxB", Ask::Count, "1"},
      {"unterminated quote", "x\\Q.[", ci, "X.[", Ask::KeyPos, "1"},
      {"Unicode class folds a-z", "\\p{Lu}", ci, "a", Ask::KeyPos, "1"},
      {"POSIX class folds a-z", "[[:upper:]]", ci, "a", Ask::KeyPos, "1"},
      {"\xE9 and \xC9 stay apart", "\xE9", ci, "\xC9", Ask::KeyPos, "0"},
      {"\xE9 finds \xE9", "\xE9", ci, "\xC9\xE9", Ask::KeyPos, "2"},
      {"class of accented bytes unfolded", "[\xE0-\xFE]", ci, "\xC9", Ask::KeyPos, "0"},
      {"Unicode class: \xE9 is no capital", "\\p{Lu}", ci, "\xE9", Ask::KeyPos, "0"},
      {"hex escape of \xC9 unfolded", "\\xc9", ci, "\xE9", Ask::KeyPos, "0"},
      {"user's (?i) folds \xE9 too", "(?i)\xE9", ci, "\xC9", Ask::KeyPos, "1"},
      {"user's (?i) ends with its group", "(?i:\xE9)\xE9", ci, "\xC9\xC9\xC9\xE9", Ask::KeyPos, "3"},
      {"group names keep their letters", "(?P<Name>k)", ci, "K", Ask::Replace, "<K>", "<\\1>"},
      {"user's (?-i) is exact", "a(?-i)b", ci, "AB Ab", Ask::KeyPos, "4"},
      {"case sensitive", "abc", cs, "ABC abc", Ask::KeyPos, "5"},
      {"bytes of any value", "[\\x80-\\xff]+", cs, "a\x80\xFF\x01", Ask::Replace, "a.\x01", "."},
  };
  // clang-format on
  ExpectAnswers(cases, Encoding::Windows1252);
}

// In a UTF-8 text a pattern works on characters: "." and classes take a
// character whole, a stray byte (E9 alone, a cut or overlong sequence, a
// surrogate) is matched by nothing, and only a-z and A-Z fold. The routines
// answer in bytes; a match starts and ends between characters.
TEST(PatternRoutines, Utf8TextIsMatchedAsCharacters) {
  const bool cs = true, ci = false;
  // é C3 A9, É C3 89, ö C3 B6, ü C3 BC, € E2 82 AC, 😀 F0 9F 98 80.
  // clang-format off
  const RoutineCase cases[] = {
      {"dot takes 1 to 4 bytes", ".", cs, "a\u00e9\u20ac\U0001F600", Ask::Replace,
       "[a][\u00e9][\u20ac][\U0001F600]", "[\\0]"},
      {"dot never takes a stray byte", ".+", cs, "ab\xE9z", Ask::Replace, "<ab>\xE9<z>", "<\\0>"},
      {"a cut character is stray bytes", ".+", cs, "a\xE2\x82z", Ask::Replace, "<a>\xE2\x82<z>", "<\\0>"},
      {"overlong form is stray bytes", ".", cs, "\xE0\x80\x80", Ask::Count, "0"},
      {"surrogate is stray bytes", "[^a]", cs, "\xED\xA0\x80", Ask::Count, "0"},
      {"above U+10FFFF is stray bytes", "\\W", cs, "\xF4\x90\x80\x80", Ask::Count, "0"},
      {"negated class takes characters whole", "[^<>]+", cs, "<\u00e9\u20ac>", Ask::Replace, "<x>", "x"},
      {"negated class stops at a stray byte", "[^<>]+", cs, "<a\xE9" "b>", Ask::Replace, "<x\xE9x>", "x"},
      {"class of code points", "[\u00e9-\u00fc]+", cs, "a\u00e9\u00f6\u00fcb", Ask::Replace, "a-b", "-"},
      {"\\xE9 is the character", "\\xe9\\x{20ac}", cs, "a\u00e9\u20ac", Ask::KeyPos, "2"},
      {"quoted characters", "\\Q\u00e9.\\E", cs, "\u00e9x \u00e9.", Ask::KeyPos, "5"},
      {"ASCII letters fold", "caf.", ci, "CAF\u00c9", Ask::Replace, "-", "-"},
      {"\u00e9 and \u00c9 stay apart", "\u00e9", ci, "\u00c9", Ask::KeyPos, "0"},
      {"accented class unfolded", "[\u00e0-\u00fe]", ci, "\u00c9", Ask::Count, "0"},
      {"Unicode class folds a-z only", "\\p{Lu}", ci, "a\u00e9", Ask::Count, "1"},
      {"negated class excludes both cases", "[^a]", ci, "Aa\u00e9", Ask::Replace, "Aa-", "-"},
      {"negated Unicode class drops a-z", "\\P{Lu}", ci, "aB1\u00e9", Ask::Replace, "aB--", "-"},
      {"negated class with ] first", "[^]a\u00e9]", ci, "]Aa\u00e9b", Ask::Replace, "]Aa\u00e9-", "-"},
      {"user's (?i) folds \u00e9 too", "(?i)\u00e9", ci, "\u00c9", Ask::KeyPos, "1"},
      {"nth goes on from inside a character", ".", cs, "\u00e9\u00e9", Ask::Nth2, "3"},
      {"empty match steps over a character", "x*", cs, "\u20acx", Ask::KeyPos, "4"},
      {"\\b sees a character as no word byte", "\\bx", cs, "\u00e9x", Ask::KeyPos, "3"},
      {"groups hold characters", "(.)(.)", cs, "\u00e9\u20acab", Ask::Replace, "\u20ac\u00e9ba", "\\2\\1"},
      {"ends the line with a character", ".$", cs, "a\U0001F600", Ask::EndsLine, "yes"},
      {"ends the line with a stray byte", ".$", cs, "a\xE9", Ask::EndsLine, "no"},
      {"split never cuts a character", "\u20ac", cs, "a\u20acb\u20ac", Ask::Split, "a|\u20acb|\u20ac"},
      {"split before each character", ".", cs, "\u00e9\xE9\u20ac", Ask::Split, "\u00e9\xE9|\u20ac"},
  };
  // clang-format on
  ExpectAnswers(cases, Encoding::Utf8);
}

// A letter folds as under RE2's own (?i), which on text without bytes above
// 127 is exactly the rule: the same matches, at the same places, for every
// kind of piece a pattern is made of. In UTF-8 the same holds on lines whose
// characters above 127 have no case.
TEST(PatternRoutines, CaseRuleIsRe2sFoldingOnAscii) {
  const std::vector<std::string> patterns = {
      "ab",           "a.B",          "[a-c]x",    "[^b]+",     "[^\\W]b",
      "[[:alpha:]]+", "[[:^lower:]]", "\\pL\\PL",  "\\p{Ll}+",  "[\\p{Lu}1]",
      "\\x61|\\x42",  "\\141\\102",   "\\QaB\\E",  "(?P<g>k+)", "(?s:a.)",
      "(?U)a+",       "a{2}",         "k{,2}x",    "[]a]",      "[^]a]",
      "[a-]",         "[!-[]",        "\\[a\\]",   "(a|B)+c",   "[\\x41-\\x43]",
      "[^\\x61]",     "\\w+-\\d",     "^a|b$",     "\\bk",      "[k-m][^k-m]",
      "a(?-i:b)c",    "(?-i)a(?i)b",  "x(?i)(a)b", "\\W\\S\\D", "[^a-]\\P{Ll}",
  };
  const std::vector<std::string> alphabet = {"a", "A", "b", "B", "c", "C", "k", "K", "l",
                                             "M", "x", "1", "-", "[", "]", " ", "_", "!"};
  Rng rng(7);
  for (const Encoding encoding : {Encoding::Windows1252, Encoding::Utf8}) {
    const std::size_t letters = alphabet.size() + (encoding == Encoding::Utf8 ? 2 : 0);
    for (const auto& p : patterns) {
      const auto ours = Compile(p, false, encoding);
      const auto re2Folding = Compile("(?i)" + p, true, encoding);
      if (!ours || !re2Folding) continue;
      for (int i = 0; i < 200; ++i) {
        std::string line;
        for (int j = rng.range(0, 12); j > 0; --j) {
          const std::size_t pick = rng.below(static_cast<int>(letters));
          line += pick < alphabet.size() ? alphabet[pick] : pick % 2 ? "\u3042" : "\u20ac";
        }
        const QU::KeyMatch a = ours->find(line, 0), b = re2Folding->find(line, 0);
        EXPECT_TRUE(a.at == b.at && a.length == b.length) << p << " on \"" << line << "\"";
      }
    }
  }
}

// The search rule itself, one place after another: the occurrence is at the
// first place at or after from where the match the pattern prefers there is
// not empty.
QU::KeyMatch ByTheRule(const RE2& re, std::string_view s, std::size_t from) {
  for (std::size_t q = from; q <= s.size(); ++q) {
    re2::StringPiece m;
    if (re.Match(s, q, s.size(), RE2::ANCHOR_START, &m, 1) && !m.empty()) return {q, m.size()};
  }
  return {};
}

// Patterns that may match empty text are searched only where a non-empty
// match may start, and patterns made of byte sets taken a number of times
// are matched without RE2; the occurrences must be those of the rule.
TEST(PatternRoutines, EmptyMatchesFollowTheRule) {
  const std::vector<std::string> patterns = {
      "x*",      "(?:)|b",         "(.*z)?",        "a?b?",
      "\\bx*",   "(a|)(b|)c?",     "(?:ab)*",       "k*$",
      "^a*",     "(a*)+",          "b??a",          "(?i)a*",
      "[^a]*",   "\\B|a",          "(?:a|b*){2}",   "x{0,3}y?",
      "(?U)a+|", "(?:(?:.*y)?|x)", "a*?",           "(?:)",
      "\\b",     "()|(?P<n>z)k*",  "\u00e9*x",      "(?:\u20ac|a)*b?",
      "a+b",     "k|ka|z",         "[ab]+x?y",      "x[^a]*a",
      "a*ab",    "[ab]+b",         "(k)(x+)|a{2,}", "[^ ]{2}\\ ?-",
      "y?k",     "\\x61z|\\w+y",   "^[ab]+$",       "x$|^y+",
  };
  Rng rng(11);
  // In UTF-8 the lines hold characters of two and three bytes: no match may
  // start inside one.
  for (const Encoding encoding : {Encoding::Windows1252, Encoding::Utf8}) {
    const bool utf8 = encoding == Encoding::Utf8;
    RE2::Options o;
    o.set_encoding(utf8 ? RE2::Options::EncodingUTF8 : RE2::Options::EncodingLatin1);
    for (const auto& p : patterns) {
      const auto ours = Compile(p, true, encoding);
      const RE2 re(p, o);
      if (!ours) continue;
      for (int i = 0; i < 60; ++i) {
        std::string line;
        for (int j = rng.range(0, 14); j > 0; --j) {
          const int pick = rng.below(utf8 ? 11 : 9);
          line += pick < 9 ? std::string(1, "abxyzk A-"[pick]) : pick == 9 ? "\u00e9" : "\u20ac";
        }
        for (std::size_t from = 0; from <= line.size() + 1; ++from) {
          const QU::KeyMatch a = ours->find(line, from), b = ByTheRule(re, line, from);
          EXPECT_TRUE(a.at == b.at && a.length == b.length)
              << p << " on \"" << line << "\" from " << from << ": " << a.at << "/" << b.at;
        }
      }
    }
  }
}

struct RefusedCase {
  const char* name;
  Req req;
  std::vector<std::string> messages;
};

TEST(PatternRoutines, RefusedPatternsSayWhatAndWhere) {
  const std::string bad = "The Test Key is not a valid pattern: ";
  const std::string badRepl =
      "The Replacement Key Text is not a valid replacement for the pattern: ";
  // A pattern that RE2 accepts but that does not fit in the memory budget.
  std::string huge;
  for (int i = 0; i < 200; ++i) huge += "\\w{1000}";
  // clang-format off
  const RefusedCase cases[] = {
      {"syntax", {.test = 3, .key = "(ab", .pattern = true}, {bad + "missing ): (ab"}},
      {"back-reference", {.test = 3, .key = "(a)\\1", .pattern = true},
       {bad + "invalid escape sequence: \\1"}},
      {"look-around", {.test = 3, .key = "a(?=b)", .pattern = true},
       {bad + "invalid perl operator: (?="}},
      {"quoted as typed (8-bit)", {.test = 13, .key = "\xE9(", .pattern = true},
       {bad + "missing ): \xE9("}},
      {"quoted as typed (UTF-8)", {.test = 13, .key = "\u00e9(", .pattern = true, .utf8 = true},
       {bad + "missing ): \u00e9("}},
      {"not UTF-8 in a UTF-8 text", {.test = 3, .key = "\xE9", .pattern = true, .utf8 = true},
       {"Test Key Text is not valid UTF-8"}},
      {"one byte in a UTF-8 text", {.test = 3, .key = "a\\C", .pattern = true, .utf8 = true},
       {bad + "\\C (any one byte) could cut a character in two in a UTF-8 text"}},
      {"one byte in Windows-1252", {.test = 3, .key = "a\\C", .pattern = true}, {}},
      {"over the memory budget", {.test = 5, .key = huge, .pattern = true},
       {bad + "pattern too large - compile failed"}},
      {"action's pattern", {.action = 24, .key = "[z-a]", .pattern = true},
       {bad + "invalid character class range: z-a"}},
      {"after the fill-in messages", {.test = 3, .action = 31, .key = "*", .pattern = true},
       {"Fill in Test Key and Replacement Key Text Values", bad + "no argument for repetition operator: *"}},
      {"group the pattern lacks", {.action = 31, .key = "(a)", .repl = "\\2", .pattern = true},
       {badRepl + "\\2 names a group the pattern does not have (it has 1)"}},
      {"backslash before a letter", {.action = 31, .key = "a", .repl = "\\n", .pattern = true},
       {badRepl + "\\n is none of \\0 to \\9 and \\\\"}},
      {"lone backslash at the end", {.action = 31, .key = "a", .repl = "x\\", .pattern = true},
       {badRepl + "it ends in a lone \\"}},
      {"replacement literal in other actions", {.action = 29, .key = "a", .repl = "\\2", .pattern = true}, {}},
      {"key not looked for", {.action = 13, .key = "(", .pattern = true}, {}},
      {"plain key", {.test = 3, .key = "(ab"}, {}},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(ValidateRequest(c.req), c.messages) << c.name;
}

// --- Requests: a pattern against a plain key that means the same --------------

// The key as a pattern of escaped bytes: it matches exactly the key.
std::string Literal(std::string_view key) {
  std::string p;
  for (char c : key) {
    const auto u = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      p += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      p += hex;
    }
  }
  return p;
}

// Whether an occurrence of the key can overlap the next one (with A-Z folded
// unless case-sensitive): action 40 cuts before each of the overlapping
// occurrences the plain routines find, and only before non-overlapping matches.
bool SelfOverlaps(std::string key, bool cs) {
  if (!cs) key = QU::UpperCase(key);
  for (std::size_t n = 1; n < key.size(); ++n)
    if (key.compare(0, n, key, key.size() - n, n) == 0) return true;
  return false;
}

struct Equivalence {
  const char* name;
  std::vector<int> tests, actions;
  // The request with a pattern made from key k, and the same with a plain key.
  std::function<void(Req& pattern, Req& plain, const std::string& k)> make;
  bool caseSensitiveOnly = false;
};

TEST(PatternRequests, MeanTheSameAsAPlainKey) {
  const std::vector<int> keyTests = {3, 4, 5, 6, 13};
  const std::vector<int> keyActions = {22, 23, 24, 28, 29, 31, 40};
  // clang-format off
  const Equivalence rows[] = {
      {"literal", keyTests, keyActions, [](Req& p, Req&, const std::string& k) { p.key = Literal(k); }},
      {"backslashes doubled in the replacement", {1}, {31}, [](Req& p, Req& q, const std::string& k) {
         p.key = Literal(k);
         q.repl = "a\\b\\";
         p.repl = "a\\\\b\\\\";
       }},
      {"group and alternation", keyTests, {22, 31}, [](Req& p, Req&, const std::string& k) {
         p.key = "(?:(" + Literal(k) + ")|" + Literal(k) + ")";
       }},
      {"class of the first byte", keyTests, {22, 23, 24}, [](Req& p, Req&, const std::string& k) {
         p.key = "[" + Literal(k.substr(0, 1)) + "]" + Literal(k.substr(1));
       }},
      {"^ as test 4 at position 1", {3}, {13}, [](Req& p, Req& q, const std::string& k) {
         p.key = "^" + Literal(k);
         q.test = 4;
         q.firstChar = "1";
       }},
      {"$ as test 13", {3}, {13}, [](Req& p, Req& q, const std::string& k) {
         p.key = Literal(k) + "$";
         q.test = 13;
       }},
      {"repetition as the key twice", {3, 5}, {13, 14}, [](Req& p, Req& q, const std::string& k) {
         p.key = "(?:" + Literal(k) + "){2}";
         q.key = k + k;
       }},
      {"\\0 in the replacement", {1}, {31}, [](Req& p, Req& q, const std::string& k) {
         p.key = Literal(k);
         p.repl = "<\\0>";
         q.repl = "<" + k + ">";
       }, true},
      {"\\1 in the replacement", {1}, {31}, [](Req& p, Req& q, const std::string& k) {
         p.key = "(" + Literal(k) + ")";
         p.repl = "\\1\\1";
         q.repl = k + k;
       }, true},
  };
  // clang-format on
  int compared = 0;
  for (const auto& row : rows) {
    for (int round = 0; round < 12; ++round) {
      Rng rng(0x9A77E2u + static_cast<std::uint64_t>(round) * 131u);
      const Lines input = RandomLines(rng);
      const std::string key = RandomKey(rng, input);
      if (key.empty()) continue;
      for (int test : row.tests) {
        for (int action : row.actions) {
          for (bool cs : {true, false}) {
            if (!cs && row.caseSensitiveOnly) continue;
            if (action == 40 && SelfOverlaps(key, cs)) continue;
            Req plain{.test = test,
                      .action = action,
                      .key = key,
                      .repl = "R",
                      .firstChar = std::to_string(rng.range(0, 4)),
                      .cs = cs};
            Req pattern = plain;
            pattern.pattern = true;
            row.make(pattern, plain, key);
            if (!ValidateRequest(plain).empty()) continue;
            ASSERT_EQ(ValidateRequest(pattern), std::vector<std::string>()) << row.name;
            const RunOutput a = RunLines(pattern, input), b = RunLines(plain, input);
            EXPECT_TRUE(a.completed == b.completed && a.lines == b.lines)
                << row.name << ": test " << test << ", action " << action << ", key \"" << key
                << "\" as " << pattern.key << (cs ? " (case-sensitive)" : "");
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 500);
}

// --- Searches over blocks of lines --------------------------------------------------

// Tests 3 and 5, and the actions that leave a line without a match as it is,
// read from a file in small blocks (the lines' matches found over a block at
// once, then mapped to lines) and in chunks on two threads write what the
// search line by line writes.
TEST(PatternRequests, BlockSearchesAgreeWithLineByLine) {
  const std::vector<std::string> patterns = {
      "a",       "ab|k",       "^a",     "b$",     "\\bk",       "a\\s+b",      "[^q]*z",
      "x*",      "\\bx*",      "a.*b",   "\\s",    "a b",        "\\t",         "^$",
      "A",       "k{2,}",      "(?m)^b", "\xE9",   ".b",         "\\Wb",        "[ x]k",
      "\\x20b",  "a\\Q \\E",   "\\pZb",  "a\\ ",   "^.[abAB]",   "^*a",         "(^)k|b$?",
      "a[^b]*b", "(k)(a+)|xb", "e\\.",   "k|ab|x", "ab|k|x|e|d", "kx|ab|xb|Ab", "ab|ka|xb|eb|da"};
  const std::string terminators[] = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 18; ++round) {
    Rng rng(0xB10C5u + static_cast<std::uint64_t>(round));
    Lines lines = RandomLines(rng);
    lines.insert(lines.begin() + rng.range(0, int(lines.size())), {"\tab", "k\t b"});
    const std::string& term = terminators[round % 3];
    std::string text;
    for (const auto& line : lines) text += line + term;
    if (round % 4 == 0 && !text.empty()) text.pop_back();  // the last line unended
    for (const auto& p : patterns) {
      for (const auto& [test, action] : std::initializer_list<std::pair<int, int>>{
               {3, 14}, {5, 14}, {1, 22}, {1, 31}, {5, 40}}) {
        const Req r{.test = test,
                    .action = action,
                    .key = p,
                    .repl = "<\\0>",
                    .cs = round % 2 == 0,
                    .pattern = true};
        const RunOutput expected = RunLines(r, Lines(lines));
        std::string want;
        for (const auto& line : expected.lines) want += line + term;

        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::fwrite(text.data(), 1, text.size(), in);
        std::rewind(in);
        {
          BlockLineReader reader(in, "in", 16 + static_cast<std::size_t>(round));
          BlockLineWriter writer(out, "out", term, 64);
          ASSERT_TRUE(RunChange(r, reader, writer).completed);
          writer.finish();
        }
        EXPECT_EQ(ReadBack(out), want) << "blocks: pattern " << p << ", test " << test
                                       << ", action " << action << ", round " << round;
        std::fclose(in);
        std::fclose(out);

        class Text final : public ByteReader {
         public:
          explicit Text(std::string_view t) : rest_(t) {}
          std::size_t read(char* to, std::size_t n) override {
            n = std::min(n, rest_.size());
            rest_.copy(to, n);
            rest_.remove_prefix(n);
            return n;
          }

         private:
          std::string_view rest_;
        } source(text);
        class Bytes final : public ByteWriter {
         public:
          void write(std::string_view b) override { s.append(b); }
          std::string s;
        } sink;
        ParallelOptions o;
        o.jobs = 2;
        o.chunkBytes = 40;
        o.terminator = term;
        ASSERT_TRUE(RunParallel(r, source, sink, o).run.completed);
        EXPECT_EQ(sink.s, want) << "chunks: pattern " << p << ", test " << test << ", action "
                                << action << ", round " << round;
      }
    }
  }
}

}  // namespace
