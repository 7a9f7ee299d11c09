// SPDX-License-Identifier: Apache-2.0
// The line routines, at the edges: empty lines, keys at the very start and end,
// keys longer than the line, positions 0, L and L+1, bytes above 127.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "textutil/QuorlinUtils.h"

using namespace QuorlinUtils;

namespace {

struct PosCase {
  const char* name;
  std::string s, k;
  std::size_t expected;
};

TEST(KeySearches, FirstLastAndSetPositions) {
  // clang-format off
  const PosCase keyPos[] = {
      {"at start", "abc", "a", 1},        {"at end", "abc", "c", 3},
      {"absent", "abc", "x", 0},          {"empty key", "abc", "", 0},
      {"empty line", "", "a", 0},         {"key longer", "ab", "abc", 0},
      {"whole line", "abc", "abc", 1},    {"high bytes", "a\xe9\xc9", "\xc9", 3},
  };
  // clang-format on
  for (const auto& c : keyPos) EXPECT_EQ(KeyPos(c.k, c.s), c.expected) << c.name;

  // clang-format off
  const PosCase lastChar[] = {
      {"path", "d:\\a\\b.txt", "\\", 5}, {"absent", "abc", "x", 0}, {"empty key", "abc", "", 0},
      {"first byte", "xab", "x", 1},      {"empty line", "", "x", 0},
  };
  // clang-format on
  for (const auto& c : lastChar) EXPECT_EQ(LastPosOfChar(c.k, c.s), c.expected) << c.name;

  EXPECT_EQ(FirstPosInSet(" ,", "ab,x y", true), 3u);
  EXPECT_EQ(LastPosInSet(" ,", "ab,x y", true), 5u);
  EXPECT_EQ(FirstPosInSet(" ,", "abcd", true), 0u);
  EXPECT_EQ(LastPosInSet(" ,", "abcd", true), 0u);
  EXPECT_EQ(FirstPosInSet(" ,", "", true), 0u);
  EXPECT_EQ(LastPosInSet(" ,", ",", true), 1u);
  EXPECT_EQ(FirstPosInSet("bc", "abcbc", false), 2u);  // key mode: the key position
}

// Every place of keys of 2 to 17 bytes, exact and folding A-Z, in a text of
// few letters where their first and last bytes stand often, and at its very
// end: the search by first and last byte and the prepared key against a look
// at each place. The prepared key looks for two of its bytes, chosen by how
// often they stand in a sample: none, or one where the outer bytes abound.
TEST(KeySearches, PreparedAndPlainFindEveryPlace) {
  std::string text;
  std::uint32_t seed = 7;
  for (int i = 0; i < 500; ++i) {
    seed = seed * 1103515245U + 12345U;
    text += "aAbB-\xe1\xc1"[(seed >> 16) % 7];
  }
  for (const std::string key : {"ab", "aB-", "a-\xe1", "AbaBabAbaBabABab", "abababababababab-"}) {
    for (const std::string& t : {text + key, text + key + "-"}) {
      for (const int sampled : {0, 1, 2, 3}) {
        const bool fold = sampled % 2 == 1;
        const std::string outer = std::string(40, key.front()) + std::string(40, key.back());
        const PreparedKey prepared(key, fold, sampled < 2 ? "" : outer + key);
        auto same = [&](char a, char b) { return fold ? LowerAscii(a) == LowerAscii(b) : a == b; };
        std::size_t expected = std::string::npos;
        for (std::size_t from = t.size() + 1; from-- > 0;) {
          if (from + key.size() <= t.size() &&
              std::equal(key.begin(), key.end(), t.begin() + std::ptrdiff_t(from), same))
            expected = from;
          ASSERT_EQ(FindKeyFrom(t, key, from, fold), expected) << key << fold << from;
          ASSERT_EQ(prepared.findFrom(t, from), expected) << key << sampled << from;
        }
      }
    }
  }
}

TEST(KeySearches, OverlapCountsDifferBetweenNthAndCount) {
  EXPECT_EQ(NthKeyPos("xKxKx", "K", 2), 4u);
  EXPECT_EQ(NthKeyPos("xKx", "K", 2), 0u);
  EXPECT_EQ(NthKeyPos("aaa", "aa", 2), 2u);  // overlapping matches count
  EXPECT_EQ(NthKeyPos("aaa", "aa", 3), 0u);
  EXPECT_EQ(NthKeyPos("abc", "a", 0), 0u);
  EXPECT_EQ(NthKeyPos("abc", "a", -1), 0u);
  EXPECT_EQ(NthKeyPos("abc", "c", 1), 3u);
  EXPECT_EQ(NthKeyPos("", "c", 1), 0u);

  EXPECT_EQ(CountKeys("aaa", "aa"), 1u);  // non-overlapping
  EXPECT_EQ(CountKeys("aaaa", "aa"), 2u);
  EXPECT_EQ(CountKeys("xKxKx", "K"), 2u);
  EXPECT_EQ(CountKeys("abc", ""), 0u);
  EXPECT_EQ(CountKeys("", "a"), 0u);

  EXPECT_EQ(TextAfterKey("abcabc", "b"), "cabc");
  EXPECT_EQ(TextAfterKey("abcabc", "x"), "abcabc");
  EXPECT_EQ(TextAfterKey("abc", "c"), "");
  EXPECT_EQ(TextAfterKey("abc", ""), "abc");
}

struct ReplaceCase {
  const char* name;
  std::string s, k, r;
  bool cs;
  std::string expected;
};

TEST(Cleaners, ReplaceAllKeys) {
  const ReplaceCase cases[] = {
      {"blind", "Abcabc", "ABC", "x", false, "xx"},
      {"exact misses", "Abcabc", "ABC", "x", true, "Abcabc"},
      {"no rescan of insert", "aaa", "a", "aa", true, "aaaaaa"},
      {"delete", "xabyABz", "AB", "", false, "xyz"},
      {"delete exact", "xabyABz", "AB", "", true, "xabyz"},
      {"no overlap", "aaaa", "aa", "b", true, "bb"},
      {"kept bytes keep case", "XaBcY", "b", "-", false, "Xa-cY"},
      {"high bytes not folded", "\xe9\xc9", "\xc9", "", false, "\xe9"},
      {"empty key", "abc", "", "x", true, "abc"},
      {"key longer than line", "ab", "abc", "x", false, "ab"},
      {"empty line", "", "a", "x", false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceAllKeys(c.s, c.k, c.r, c.cs), c.expected) << c.name;
}

TEST(Cleaners, RemoveAllBothModes) {
  EXPECT_EQ(RemoveAll("aeiou", "education", true), "dctn");
  EXPECT_EQ(RemoveAll("a", "aAa", true), "A");  // exact bytes only
  EXPECT_EQ(RemoveAll("", "abc", true), "abc");
  EXPECT_EQ(RemoveAll("_\b", "__\b\b", false), "");  // a deletion forms a new occurrence
  EXPECT_EQ(RemoveAll("abc", "aabcbcx", false), "x");
  EXPECT_EQ(RemoveAll("", "abc", false), "abc");
  EXPECT_EQ(RemoveAll("xy", "", false), "");
}

TEST(Cleaners, DeleteRangeFollowsLibraryRules) {
  EXPECT_EQ(DeleteRange("abcdef", 2, 2), "adef");
  EXPECT_EQ(DeleteRange("abcdef", 2, 99), "a");
  EXPECT_EQ(DeleteRange("abcdef", 0, 2), "abcdef");
  EXPECT_EQ(DeleteRange("abcdef", 6, 1), "abcde");
  EXPECT_EQ(DeleteRange("abcdef", 7, 1), "abcdef");
  EXPECT_EQ(DeleteRange("abcdef", 2, 0), "abcdef");
  EXPECT_EQ(DeleteRange("abcdef", 2, -3), "abcdef");
  EXPECT_EQ(DeleteRange("", 1, 1), "");
}

struct MarkerCase {
  const char* name;
  std::string s;
  char b, e;
  std::string first, last;
};

TEST(Cleaners, MarkerPairs) {
  const MarkerCase cases[] = {
      {"brackets", "a[b]x[d]e", '[', ']', "ax[d]e", "a[b]xe"},
      {"parentheses", "a(b)x(d)e", '(', ')', "ax(d)e", "a(b)xe"},
      {"same marker", "a*b*x*d", '*', '*', "ax*d", "a*bd"},
      {"same marker once", "a*b", '*', '*', "a*b", "a*b"},
      {"end before begin", "x) (y)", '(', ')', "x) (y)", "x) "},
      {"begin only", "a(b", '(', ')', "a(b", "a(b"},
      {"unclosed last", "a(b)x(d", '(', ')', "ax(d", "ax(d"},
      {"end without begin before it", "a)b(", '(', ')', "a)b(", "a)b("},
      {"adjacent", "()", '(', ')', "", ""},
      {"empty", "", '(', ')', "", ""},
      {"end at position 1", ")(", '(', ')', ")(", ")("},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeleteFirstMarkerPair(c.s, c.b, c.e), c.first) << c.name;
    EXPECT_EQ(DeleteLastMarkerPair(c.s, c.b, c.e), c.last) << c.name;
  }
}

TEST(Cleaners, StripTagsCarriesStateAcrossLines) {
  bool inside = false;
  EXPECT_EQ(StripTags("ab<i", inside), "ab");
  EXPECT_TRUE(inside);
  EXPECT_EQ(StripTags("x>cd", inside), "cd");
  EXPECT_FALSE(inside);
  EXPECT_EQ(StripTags("a>b<c>d<", inside), "abd");
  EXPECT_TRUE(inside);
  EXPECT_EQ(StripTags("no close here", inside), "");
  EXPECT_EQ(StripTags("<<x>>y", inside), "y");
  EXPECT_EQ(StripTags("", inside), "");
}

TEST(Cleaners, StripOverstrikes) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"_\bHi", "Hi"},         {"A\bA", "A"},        {"A\b\bB", "A"},
      {"ab_\bd", "abd"},       {"__\b\bx", "x"},     {"\bx", ""},
      {"plain", "plain"},      {"", ""},             {"B\bB\bBold", "Bold"},
  };
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(StripOverstrikes(in), out) << in;
}

TEST(LineRoutines, ExpandTabs) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"\tx", "        x"},
      {"abc\tx", "abc     x"},
      {"abcdefg\tx", "abcdefg x"},
      {"abcdefgh\t", "abcdefgh        "},
      {"\t\t", std::string(16, ' ')},
      {"", ""},
      {"no tabs", "no tabs"},
      {"\xe9\t|", "\xe9       |"},
  };
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(ExpandTabs(in, 8).value(), out) << in;
  EXPECT_EQ(ExpandTabs("a\tb", 2).value(), "a b");
  EXPECT_EQ(ExpandTabs("a\tb", 16).value(), "a" + std::string(15, ' ') + "b");
  EXPECT_FALSE(ExpandTabs("a\tb", 1).has_value());
  EXPECT_FALSE(ExpandTabs("ab", 17).has_value());
}

// Many lines at once against the same lines one by one: runs of every
// length between tabs and breaks, so that the bytes between two fall at
// every place within and across the blocks a routine may scan at a time.
TEST(LineRoutines, ManyLinesAtOnceAsOneByOne) {
  std::uint64_t seed = 12345;
  auto below = [&seed](std::size_t n) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return std::size_t(seed >> 33) % n;
  };
  const char* const breaks[] = {"\n", "\r\n", "\r"};
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> lines(1);
    for (std::size_t runs = 1 + below(40); runs > 0; --runs) {
      for (std::size_t n = below(round % 2 == 0 ? 20 : 80); n > 0; --n)
        lines.back() += "aZ.\xe9m"[below(5)];
      if (below(3) == 0) {
        lines.back() += '\t';
      } else {
        lines.emplace_back();
      }
    }
    // Every third text ends its lines as the output does (its breaks pass
    // as they are); every other one keeps no stops.
    const std::string term = breaks[below(2)];
    const bool uniform = round % 3 == 1, record = round % 2 == 0;
    std::string text;
    std::string before;  // a CR, then an empty line's LF, would be one CR LF
    for (const std::string& line : lines) {
      std::string end = uniform ? term : breaks[below(3)];
      if (before == "\r" && line.empty() && end == "\n") end = "\r";
      text += line + end;
      before = end;
    }
    const int w = round % 4 == 0 ? 8 : int(2 + below(15));
    const char fold = "\0aA"[below(3)];
    const std::size_t cap = below(3) == 0 ? below(90) : std::string::npos;
    std::string expected;
    std::vector<std::size_t> expectedStops;
    for (const std::string& line : lines) {
      std::string shown = ExpandTabs(fold == 'a'   ? UpperCase(line)
                                     : fold == 'A' ? LowerCase(line)
                                                   : line,
                                     w)
                              .value();
      expected += shown.substr(0, cap);
      expectedStops.push_back(expected.size());
      expected += term;
    }
    std::string out(text.size() * std::size_t(std::max(w, 2)) + 32, '\0');
    std::vector<std::size_t> stops(lines.size() + 1);
    std::size_t count = 0;
    char* const e = ExpandLinesInto(out.data(), text, w, fold, cap, term, count,
                                    record ? stops.data() : nullptr);
    out.resize(std::size_t(e - out.data()));
    EXPECT_EQ(out, expected) << "round " << round;
    EXPECT_EQ(count, lines.size()) << "round " << round;
    stops.resize(count);
    if (record) {
      EXPECT_EQ(stops, expectedStops) << "round " << round;
    }
  }
}

TEST(LineRoutines, BlankAndCase) {
  EXPECT_TRUE(IsBlankLine(""));
  EXPECT_TRUE(IsBlankLine(" \t\x01\x1f "));
  EXPECT_FALSE(IsBlankLine("  .  "));
  EXPECT_FALSE(IsBlankLine("\xa0"));  // 160 is not below 33

  EXPECT_EQ(ApplyOutputCase("MiXed", true, true), "MIXED");
  EXPECT_EQ(ApplyOutputCase("MiXed", false, true), "mixed");
  EXPECT_EQ(ApplyOutputCase("MiXed", false, false), "MiXed");
  EXPECT_EQ(ApplyOutputCase("\xe9\xc9z", true, false), "\xe9\xc9Z");

  EXPECT_EQ(CutAtFirstKey("12.5.1", "."), "12");
  EXPECT_EQ(CutAtFirstKey(".5", "."), "");
  EXPECT_EQ(CutAtFirstKey("12", "."), "12");
  EXPECT_EQ(TextBeforeLastKey("D:\\data\\list.txt", "\\"), "D:\\data");
  EXPECT_EQ(TextBeforeLastKey("D:\\list.txt", "\\"), "D:");
  EXPECT_EQ(TextBeforeLastKey("list.txt", "\\"), "list.txt");
}

}  // namespace
