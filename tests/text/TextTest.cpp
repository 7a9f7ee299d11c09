// SPDX-License-Identifier: Apache-2.0
// The text model against a plain std::string: adopting a file's bytes, the
// line index, and random edits with snapshots that must never change and a
// tree whose shape is checked after every one.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/Text.h"
#include "text/TextLines.h"

namespace quorlin::text {
namespace {

std::vector<std::string> Lines(const Text& t) {
  std::vector<std::string> out;
  TextLineSource source(t);
  std::string_view line;
  while (source.next(line)) out.emplace_back(line);
  return out;
}

TEST(TextAdopt, LineBreaksOfEveryKindBecomeOneAndTheFirstIsTold) {
  const struct {
    const char* name;
    std::string file;
    std::string text;
    std::string firstBreak;
    std::vector<std::string> lines;
  } rows[] = {
      {"empty", "", "", "", {}},
      {"no break", "abc", "abc", "", {"abc"}},
      {"final LF gives no empty line", "a\nb\n", "a\nb\n", "\n", {"a", "b"}},
      {"CR LF", "a\r\nb\r\n", "a\nb\n", "\r\n", {"a", "b"}},
      {"lone CR", "a\rb", "a\nb", "\r", {"a", "b"}},
      {"mixed, LF first", "a\nb\r\nc\rd", "a\nb\nc\nd", "\n", {"a", "b", "c", "d"}},
      {"CR CR LF is two breaks", "a\r\r\nb", "a\n\nb", "\r", {"a", "", "b"}},
      {"CR at the very end", "a\r", "a\n", "\r", {"a"}},
      {"only breaks", "\r\n\r\n", "\n\n", "\r\n", {"", ""}},
      {"high bytes and tabs kept",
       "\t\x80\xFF\xA0\r\n",
       "\t\x80\xFF\xA0\n",
       "\r\n",
       {"\t\x80\xFF\xA0"}},
  };
  for (const auto& row : rows) {
    std::string first = "unset";
    const Text t = Text::adopt(row.file, &first);
    EXPECT_EQ(t.slice(0, t.size()), row.text) << row.name;
    EXPECT_EQ(first, row.firstBreak) << row.name;
    EXPECT_EQ(Lines(t), row.lines) << row.name;
    EXPECT_EQ(t.lineCount(), row.lines.size()) << row.name;
  }
}

// The reference: the bytes in a std::string and where its lines start.
struct Reference {
  std::string s;
  std::vector<std::size_t> starts;
  void index() {
    starts.assign(1, 0);
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\n') starts.push_back(i + 1);
    }
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < starts.size(); ++k) {
      const std::size_t end = k + 1 < starts.size() ? starts[k + 1] - 1 : s.size();
      if (k + 1 < starts.size() || end > starts[k])
        out.push_back(s.substr(starts[k], end - starts[k]));
    }
    return out;
  }
};

void ExpectSame(const Text& t, Reference& ref, std::mt19937& rng, const std::string& what) {
  ASSERT_EQ(t.checkInvariants(), "") << what;
  ref.index();
  ASSERT_EQ(t.size(), ref.s.size()) << what;
  ASSERT_EQ(t.slice(0, t.size()), ref.s) << what;
  const std::size_t breaks = ref.starts.size() - 1;
  ASSERT_EQ(t.breaks(), breaks) << what;
  for (int k = 0; k < 8; ++k) {
    const std::size_t line = rng() % (breaks + 1);
    ASSERT_EQ(t.lineStart(line), ref.starts[line]) << what << " line " << line;
    const std::size_t end = line < breaks ? ref.starts[line + 1] - 1 : ref.s.size();
    ASSERT_EQ(t.lineEnd(line), end) << what;
    const std::size_t offset = rng() % (ref.s.size() + 1);
    const auto after = std::upper_bound(ref.starts.begin(), ref.starts.end(), offset);
    ASSERT_EQ(t.lineAt(offset), std::size_t(after - ref.starts.begin()) - 1)
        << what << " at " << offset;
    if (offset < ref.s.size()) {
      ASSERT_EQ(t.at(offset), ref.s[offset]) << what;
    }
    const std::size_t to = offset + rng() % 100;
    std::string scratch;
    ASSERT_EQ(std::string(t.view(offset, to, scratch)), ref.s.substr(offset, to - offset)) << what;
  }
}

// Random insertions and deletions, small and large, with and without line
// breaks, through append chunks and own buffers; every text kept along the
// way must still read as it did.
TEST(TextEdits, MatchAPlainStringAndLeaveSnapshotsAlone) {
  std::mt19937 rng(20240607);
  const std::string alphabet = "ab \t\n\n\x80\xFF";
  auto randomBytes = [&](std::size_t n) {
    std::string out(n, ' ');
    for (char& c : out) c = alphabet[rng() % alphabet.size()];
    return out;
  };
  for (int round = 0; round < 12; ++round) {
    Reference ref{randomBytes(rng() % 3 == 0 ? 200000 : rng() % 500), {}};
    if (round % 5 == 0) ref.s = std::string(150000, 'x') + "\n" + ref.s;  // a long line
    Text t = Text::fromBytes(ref.s);
    AppendChunks chunks;
    std::vector<std::pair<Text, std::string>> kept;
    for (int step = 0; step < 150; ++step) {
      const std::size_t at = rng() % (ref.s.size() + 1);
      const unsigned op = rng() % 10;
      if (op < 5) {
        // Typing: several bytes in a row at the same place.
        std::size_t p = at;
        for (int k = 0; k < 5; ++k) {
          const std::string b = randomBytes(1 + rng() % 2);
          t = t.insert(p, b, chunks);
          ref.s.insert(p, b);
          p += b.size();
        }
      } else if (op < 6) {
        const std::string b = randomBytes(rng() % 2 ? 20000 + rng() % 90000 : rng() % 300);
        t = t.insert(at, b);
        ref.s.insert(at, b);
      } else {
        const std::size_t n = rng() % (op == 9 ? 70000 : 200);
        t = t.erase(at, at + n);
        ref.s.erase(at, n);
      }
      if (step % 40 == 0) kept.emplace_back(t, ref.s);
      ExpectSame(t, ref, rng, "round " + std::to_string(round) + " step " + std::to_string(step));
      if (HasFatalFailure()) return;
    }
    EXPECT_EQ(Lines(t), ref.lines());
    EXPECT_EQ(t.lineCount(), ref.lines().size());
    for (const auto& [snapshot, bytes] : kept) EXPECT_EQ(snapshot.slice(0, snapshot.size()), bytes);
  }
}

TEST(TextEdits, TypingGrowsOnePieceAndALongLineIsNeverCopied) {
  Text t = Text::fromBytes("start\n");
  AppendChunks chunks;
  for (int i = 0; i < 1000; ++i) t = t.insert(t.size(), "x", chunks);
  EXPECT_EQ(t.pieceCount(), 2u);  // the loaded piece and the typed one
  EXPECT_EQ(t.lineCount(), 2u);

  // A 100 MB line: a character typed in its middle splits its one piece.
  std::string line(100 << 20, 'y');
  const char* bytes = line.data();
  Text big = Text::adopt(std::move(line));
  ASSERT_EQ(big.pieceCount(), 1u);
  const Text edited = big.insert(50 << 20, "z", chunks);
  EXPECT_EQ(edited.pieceCount(), 3u);
  std::string scratch;
  EXPECT_EQ(edited.view(0, 10, scratch).data(), bytes);  // still the adopted buffer
  EXPECT_EQ(edited.at(50 << 20), 'z');
  EXPECT_EQ(edited.lineAt(edited.size()), 0u);
}

}  // namespace
}  // namespace quorlin::text
