// SPDX-License-Identifier: Apache-2.0
// UTF-8 over a text's bytes: the encoding a text opens in, where its
// characters start (valid sequences and stray bytes) seen forwards, backwards
// and from any byte, and the character counts kept through edits.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/CharCounts.h"
#include "text/Text.h"
#include "text/Utf8Measure.h"
#include "textutil/Utf8.h"

namespace quorlin::text {
namespace {

using QuorlinUtils::DetectEncoding;

TEST(Utf8, AnEncodingIsDetectedFromTheBytes) {
  constexpr Encoding U = Encoding::Utf8, W = Encoding::Windows1252;
  const struct {
    const char* name;
    std::string bytes;
    Encoding underUtf8Locale, underOtherLocale;
  } rows[] = {
      {"empty: the locale's", "", U, W},
      {"ASCII only: the locale's", "plain\ttext\n", U, W},
      {"a byte-order mark", "\xEF\xBB\xBFplain", U, U},
      {"a byte-order mark before bytes that are not UTF-8", "\xEF\xBB\xBF\xE9t\xE9", U, U},
      {"two-, three- and four-byte characters", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", U, U},
      {"a Western accent", "caf\xE9", W, W},
      {"a sequence cut off at the end", "ab\xE2\x82", W, W},
      {"an overlong form", "\xC0\xAF", W, W},
      {"an overlong three-byte form", "\xE0\x80\xAF", W, W},
      {"a surrogate", "\xED\xA0\x80", W, W},
      {"above U+10FFFF", "\xF4\x90\x80\x80", W, W},
      {"U+10FFFF itself", "\xF4\x8F\xBF\xBF", U, U},
      {"a stray byte far after valid ones",
       std::string(100, 'a') + "\xC3\xA9" + std::string(100, 'b') + "\x80", W, W},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DetectEncoding(row.bytes, U), row.underUtf8Locale) << row.name;
    EXPECT_EQ(DetectEncoding(row.bytes, W), row.underOtherLocale) << row.name;
    // Read in pieces of every size up to five bytes: the same answer.
    for (std::size_t piece = 1; piece <= 5; ++piece) {
      QuorlinUtils::EncodingDetector detector;
      for (std::size_t i = 0; i < row.bytes.size(); i += piece)
        detector.feed(std::string_view(row.bytes).substr(i, piece));
      EXPECT_EQ(detector.result(U), row.underUtf8Locale) << row.name << ", pieces of " << piece;
      EXPECT_EQ(detector.result(W), row.underOtherLocale) << row.name << ", pieces of " << piece;
    }
  }
  for (const char* name : {"C.UTF-8", "POSIX", "de_DE.ISO-8859-1", ""})
    EXPECT_EQ(QuorlinUtils::LocaleEncoding(nullptr, nullptr, name), W) << name;
  for (const char* name : {"en_US.UTF-8", "fr_FR.utf8", "sr_RS.UTF-8@latin"})
    EXPECT_EQ(QuorlinUtils::LocaleEncoding(nullptr, nullptr, name), U) << name;
  EXPECT_EQ(QuorlinUtils::LocaleEncoding("C", "en_US.UTF-8", nullptr), W);  // LC_ALL first
  EXPECT_EQ(QuorlinUtils::LocaleEncoding("", "en_US.UTF-8", "C"), U);       // an empty one is unset
}

// A measure of UTF-8 whose clusters are its characters.
class PlainUtf8 final : public Utf8Measure {
 public:
  PlainUtf8() : Utf8Measure(Metrics{}) {}

 protected:
  std::int64_t clusterWidth(std::string_view /*cluster*/) const override { return kUnits; }
};

TEST(Utf8, CharactersAreFoundAlikeForwardsBackwardsAndFromAnyByte) {
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::size_t> starts;  // every character's start, then the end
  } rows[] = {
      {"ASCII", "ab", {0, 1, 2}},
      {"two to four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {0, 2, 5, 9}},
      {"a lone continuation byte",
       "a\x80"
       "b",
       {0, 1, 2, 3}},
      {"continuation bytes after a whole character", "\xC3\xA9\xA9\xA9", {0, 2, 3, 4}},
      {"a sequence cut short by ASCII", "\xE2\x82x", {0, 1, 2, 3}},
      {"a sequence cut short by the end", "x\xF0\x9F\x98", {0, 1, 2, 3, 4}},
      {"an overlong form is two stray bytes", "\xC0\xAF", {0, 1, 2}},
      {"a surrogate is three stray bytes", "\xED\xA0\x80", {0, 1, 2, 3}},
      {"a Western text", "caf\xE9 cr\xE8me", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {"a long ASCII run before a character", std::string(40, 'a') + "\xC3\xA9",
       [] {
         std::vector<std::size_t> s;
         for (std::size_t i = 0; i <= 40; ++i) s.push_back(i);
         s.push_back(42);
         return s;
       }()},
  };
  const PlainUtf8 measure;
  for (const auto& row : rows) {
    const std::string_view b = row.bytes;
    std::vector<std::size_t> forward{0}, backward{b.size()};
    for (std::size_t i = 0; i < b.size();) forward.push_back(i += measure.charLength(b.substr(i)));
    for (std::size_t i = b.size(); i > 0;)
      backward.insert(backward.begin(), i -= measure.lastCharLength(b.substr(0, i)));
    EXPECT_EQ(forward, row.starts) << row.name;
    EXPECT_EQ(backward, row.starts) << row.name;
    const std::size_t chars = row.starts.size() - 1;
    EXPECT_EQ(QuorlinUtils::CountUtf8Chars(b), chars) << row.name;
    for (std::size_t n = 0; n <= chars; ++n)
      EXPECT_EQ(QuorlinUtils::Utf8Skip(b, n), row.starts[n]) << row.name << ", skip " << n;
    // Every byte lies in the character that starts at the last start at or
    // before it.
    std::size_t k = 0;
    for (std::size_t i = 0; i <= b.size(); ++i) {
      while (k + 1 < row.starts.size() && row.starts[k + 1] <= i) ++k;
      EXPECT_EQ(QuorlinUtils::Utf8CharStart(b, i), row.starts[k]) << row.name << ", byte " << i;
    }
  }
}

TEST(Utf8, CharacterCountsFollowEditsOfALongText) {
  // Characters of one to four bytes and stray bytes, over several spans.
  const std::string pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xA9", "\n"};
  std::mt19937 random(7);
  std::string bytes;
  while (bytes.size() < 300'000) bytes += pieces[random() % 6];
  Text t = Text::fromBytes(bytes);
  CharCounts counts;
  counts.setText(t);
  for (int round = 0; round < 4; ++round) {
    std::vector<std::size_t> starts;
    const std::string_view b = bytes;
    for (std::size_t i = 0; i < b.size(); i += QuorlinUtils::Utf8CharLength(b, i))
      starts.push_back(i);
    for (std::size_t n = 0; n < starts.size(); n += 9973) {
      ASSERT_EQ(counts.offsetOf(n), starts[n]) << "round " << round << ", char " << n;
      ASSERT_EQ(counts.charsBefore(starts[n]), n) << "round " << round << ", char " << n;
      // A byte inside a character counts that character as before it.
      if (starts[n] + 1 < (n + 1 < starts.size() ? starts[n + 1] : b.size())) {
        ASSERT_EQ(counts.charsBefore(starts[n] + 1), n + 1) << "round " << round;
      }
    }
    EXPECT_EQ(counts.offsetOf(starts.size()), b.size());
    // An edit that turns a stray byte into the end of a character, or back.
    const std::size_t at = 100'000 + std::size_t(round) * 40'000;
    const std::string inserted = round % 2 == 0 ? "\xE2\x82" : "x";
    t = t.insert(at, inserted);
    bytes.insert(at, inserted);
    counts.edited(t, Change{at, 0, inserted.size()});
  }
}

}  // namespace
}  // namespace quorlin::text
