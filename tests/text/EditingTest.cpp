// SPDX-License-Identifier: Apache-2.0
// Editing on top of the text model: undo and redo steps grouped as a user
// expects, the case-blind search, and lines laid out across the pane (tabs,
// wrapping, and the row index kept current through edits).
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/Document.h"
#include "text/LineLayout.h"
#include "text/Search.h"
#include "text/TextLines.h"
#include "text/WrapIndex.h"

namespace quorlin::text {
namespace {

std::string All(const Text& t) {
  return t.slice(0, t.size());
}

// One user action on a document: typing a character, Backspace, Delete, a
// line break or a paste at the caret, or a click that moves the caret.
struct Action {
  char kind;  // 't' type, 'b' backspace, 'd' delete, 'n' line break, 'p' paste, 'c' click,
              // 'r' the whole text replaced (a change run)
  std::string bytes;
  std::size_t at = 0;  // for a click
};

void Apply(Document& doc, std::size_t& caret, const Action& a) {
  const Selection before{caret, caret};
  switch (a.kind) {
    case 't':
    case 'n':
    case 'p':
      doc.replace(caret, caret, a.bytes, a.kind == 't' ? EditKind::Typing : EditKind::Other, before,
                  {caret + a.bytes.size(), caret + a.bytes.size()});
      caret += a.bytes.size();
      break;
    case 'b':
      doc.replace(caret - 1, caret, "", EditKind::Backspace, before, {caret - 1, caret - 1});
      --caret;
      break;
    case 'd':
      doc.replace(caret, caret + 1, "", EditKind::Delete, before, before);
      break;
    case 'c':
      caret = a.at;
      doc.closeGroup();
      break;
    case 'r':
      doc.replaceAll(Text::fromBytes(a.bytes), before);
      caret = 0;
      break;
  }
}

TEST(DocumentUndo, StepsAreGroupedAsTyped) {
  const struct {
    const char* name;
    std::string start;
    std::vector<Action> actions;
    std::vector<std::string> afterEachUndo;  // until nothing is left to undo
  } rows[] = {
      {"typing is one step, a line break its own",
       "",
       {{'t', "h"}, {'t', "i"}, {'n', "\n"}, {'t', "y"}, {'t', "o"}},
       {"hi\n", "hi", ""}},
      {"Backspaces in a row are one step",
       "abc",
       {{'c', "", 3}, {'b', ""}, {'b', ""}, {'t', "X"}},
       {"a", "abc"}},
      {"Deletes in a row are one step", "abcd", {{'c', "", 1}, {'d', ""}, {'d', ""}}, {"abcd"}},
      {"a click ends the group", "", {{'t', "a"}, {'c', "", 0}, {'t', "b"}}, {"a", ""}},
      {"a paste is a step of its own",
       "x",
       {{'c', "", 1}, {'t', "a"}, {'p', "PP"}, {'t', "b"}},
       {"xaPP", "xa", "x"}},
  };
  for (const auto& row : rows) {
    Document doc;
    doc.reset(Text::fromBytes(row.start));
    std::size_t caret = 0;
    for (const Action& a : row.actions) Apply(doc, caret, a);
    const std::string last = All(doc.text());
    std::vector<std::string> seen;
    while (doc.undo()) seen.push_back(All(doc.text()));
    EXPECT_EQ(seen, row.afterEachUndo) << row.name;
    while (doc.redo()) {
    }
    EXPECT_EQ(All(doc.text()), last) << row.name;
  }
}

// Each undo and redo reports the region it changed, so that the window can
// recount only what changed; the region must describe the texts exactly.
TEST(DocumentUndo, RestoredRegionsAndSelectionsDescribeTheChange) {
  std::mt19937 rng(7);
  Document doc;
  doc.reset(Text::fromBytes("one\ntwo\nthree\n"));
  std::size_t caret = 4;
  for (int i = 0; i < 300; ++i) {
    const std::size_t size = doc.text().size();
    const unsigned pick = rng() % 6;
    Action a{'t', std::string(1, "ab\t"[rng() % 3])};
    if (pick == 0) a = {'c', "", rng() % (size + 1)};
    if (pick == 1 && caret > 0) a = {'b', ""};
    if (pick == 2 && caret < size) a = {'d', ""};
    if (pick == 3) a = {'n', "\n"};
    if (pick == 4 && rng() % 8 == 0) a = {'r', std::string(rng() % 12, "xy\n"[rng() % 3])};
    Apply(doc, caret, a);
  }
  EXPECT_TRUE(doc.modified());
  std::vector<std::string> texts{All(doc.text())};
  while (true) {
    const Text before = doc.text();
    const auto r = doc.undo();
    if (!r) break;
    const Text& after = doc.text();
    texts.push_back(All(after));
    // Outside the region both texts agree; inside it they are the step's bytes.
    const Change& c = r->change;
    ASSERT_EQ(before.size() - c.removed + c.inserted, after.size());
    EXPECT_EQ(before.slice(0, c.offset), after.slice(0, c.offset));
    EXPECT_EQ(before.slice(c.offset + c.removed, before.size()),
              after.slice(c.offset + c.inserted, after.size()));
    EXPECT_LE(r->selection.end(), after.size());
  }
  EXPECT_FALSE(doc.modified());  // back at the text as opened
  std::reverse(texts.begin(), texts.end());
  for (std::size_t i = 1; i < texts.size(); ++i) {
    ASSERT_TRUE(doc.redo());
    EXPECT_EQ(All(doc.text()), texts[i]);
  }
  EXPECT_FALSE(doc.redo());
}

// Change runs among hand edits: the oldest runs go with the edits before
// them, the texts of the history move to disk byte for byte, and the
// document's own texts keep telling saved from modified.
TEST(DocumentUndo, WholeTextStepsAreBoundedAndTheirTextsMoveToDisk) {
  Document doc;
  const std::string opened(2 << 20, 'o');
  doc.reset(Text::fromBytes(opened));
  std::vector<std::string> texts{opened};
  std::size_t caret = 0;
  for (int run = 1; run <= 25; ++run) {
    Apply(doc, caret, {'t', "e"});
    texts.push_back(All(doc.text()));
    Apply(doc, caret, {'r', std::string(std::size_t(1) << 20, char('A' + run))});
    texts.push_back(All(doc.text()));
    if (run == 10) doc.markSaved();
  }
  EXPECT_EQ(doc.wholeSteps(), Document::kMaxWholeSteps);
  EXPECT_TRUE(doc.modified());

  const auto history = doc.historyOnlyBuffers(std::size_t(1) << 20);
  ASSERT_EQ(history.size(), Document::kMaxWholeSteps);  // every run's text but the last
  BufferSwap::Swaps swaps;
  for (const auto& b : history) {
    auto copy = Buffer::copyToDisk(*b, ::testing::TempDir());
    ASSERT_TRUE(copy && copy->onDisk());
    swaps.emplace_back(b.get(), std::move(copy));
  }
  doc.swapBuffers(swaps);
  for (const auto& b : doc.historyOnlyBuffers(std::size_t(1) << 20)) EXPECT_TRUE(b->onDisk());

  // Undo goes back through the last 20 runs and the edits between them.
  for (std::size_t i = texts.size() - 1; doc.canUndo(); --i) {
    ASSERT_EQ(All(doc.text()), texts[i]);
    doc.undo();
  }
  // The run before the 20 kept ones.
  EXPECT_EQ(All(doc.text()), texts[texts.size() - 1 - 2 * Document::kMaxWholeSteps]);
  EXPECT_TRUE(doc.modified());
  while (doc.canRedo()) {
    doc.redo();
    EXPECT_EQ(doc.modified(), All(doc.text()) != texts[20]);  // saved after run 10
  }
  EXPECT_EQ(All(doc.text()), texts.back());
}

TEST(FindForward, FromAnOffsetIgnoringCaseOfTheWesternLetters) {
  const struct {
    const char* name;
    std::string text;
    std::string search;
    std::size_t from;
    std::size_t expected;
  } rows[] = {
      {"first match", "abc ABC abc", "abc", 0, 0},
      {"starts at the offset", "abc ABC abc", "abc", 1, 4},
      {"a match at the offset counts", "abc ABC abc", "abc", 4, 4},
      {"offset inside a later line", "aa\naa", "a", 4, 4},
      {"no-break space is not a space",
       "a\xA0"
       "b",
       "a b", 0, npos},
      {"upper-case search", "xx abc", "ABC", 0, 3},
      {"inside a word", "unbelievable", "LIE", 0, 4},
      {"on a later line", "one\ntwo\nthree", "ThR", 0, 8},
      {"at the very end", "one\ntwo", "two", 0, 4},
      {"none after the offset", "abc abc", "abc", 5, npos},
      {"offset past the end", "abc", "a", 99, npos},
      {"no match across a line break", "ab\ncd", "b\ncd", 0, npos},
      {"S-caron, OE, Z-caron, Y-diaeresis", "\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", 0, 0},
      {"accented capitals", "caf\xC9", "CAF\xE9", 0, 0},
      {"multiplication sign is no letter", "\xD7", "\xF7", 0, npos},
      {"overlapping candidates", "aaab", "aab", 0, 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FindForward(Text::fromBytes(row.text), row.search, row.from), row.expected)
        << row.name;
  }
  // A match that crosses from one piece into the next.
  const Text split = Text::fromBytes("xxxxAB").insert(5, "-").erase(5, 6);
  EXPECT_EQ(FindForward(split, "ab", 0), 4u);
}

// Every byte 8 pixels wide, tabs every 32 pixels.
Metrics Even() {
  std::array<std::int32_t, 256> advance{};
  advance.fill(8 * kUnits);
  return Metrics::make(advance, 32 * kUnits);
}

TEST(LineLayout, TabsGoToTheNextStopAndClicksToTheNearestBoundary) {
  const Metrics m = Even();
  EXPECT_EQ(Advance(m, "ab") / kUnits, 16);
  EXPECT_EQ(Advance(m, "\t") / kUnits, 32);
  EXPECT_EQ(Advance(m, "abc\t") / kUnits, 32);
  EXPECT_EQ(Advance(m, "abcd\t") / kUnits, 64);  // at a stop, a tab goes to the next one
  EXPECT_EQ(OffsetAt(m, "abc", 3 * kUnits), 0u);
  EXPECT_EQ(OffsetAt(m, "abc", 4 * kUnits), 1u);
  EXPECT_EQ(OffsetAt(m, "a\tb", 25 * kUnits), 2u);  // past the tab's middle
  EXPECT_EQ(OffsetAt(m, "abc", 999 * kUnits), 3u);
}

TEST(LineLayout, LinesWrapAfterBlanksOrWhereAWordNoLongerFits) {
  const Metrics m = Even();
  const std::int64_t width = 10 * 8 * kUnits;  // ten bytes
  const struct {
    const char* name;
    std::string line;
    std::vector<std::size_t> starts;
  } rows[] = {
      {"fits", "0123456789", {0}},
      {"after the last blank that fits", "aaaa bbbb cccc", {0, 10}},
      {"blanks hang past the edge", "aaaaaaaaa     b", {0, 14}},
      {"a word longer than a row is cut", "aaaaaaaaaaaaaaaaaaaaaaa", {0, 10, 20}},
      {"a tab is a blank", "aaaa\tbbbbbbb", {0, 5}},
      {"empty", "", {0}},
  };
  for (const auto& row : rows) {
    std::vector<std::size_t> starts;
    WrapRowStarts(m, row.line, width, starts);
    EXPECT_EQ(starts, row.starts) << row.name;
    EXPECT_EQ(WrapRowCount(m, row.line, width), row.starts.size()) << row.name;
  }
}

// The index kept through edits gives what counting every line afresh gives.
TEST(WrapIndex, KeptThroughEditsAgreesWithARecount) {
  std::mt19937 rng(11);
  const Metrics m = Even();
  const std::int64_t width = 20 * 8 * kUnits;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) {
    bytes += std::string(rng() % 60, "ab "[rng() % 3]);
    bytes += '\n';
  }
  Document doc;
  doc.reset(Text::fromBytes(bytes));
  WrapIndex kept;
  kept.rebuild(doc.text(), m, width);
  for (int i = 0; i < 60; ++i) {
    const Text before = doc.text();
    const std::size_t at = rng() % (before.size() + 1);
    const std::size_t to = std::min(before.size(), at + rng() % (i % 10 == 0 ? 200000 : 100));
    std::string insert;
    if (rng() % 2) insert.assign(rng() % 90, 'w').append("\n x");
    doc.replace(at, to, insert, EditKind::Other, {}, {});
    const std::size_t first = before.lineAt(at);
    kept.update(doc.text(), first, before.lineAt(to) - first + 1,
                doc.text().lineAt(at + insert.size()) - first + 1);

    WrapIndex fresh;
    fresh.rebuild(doc.text(), m, width);
    ASSERT_EQ(kept.rows(), fresh.rows()) << "edit " << i;
    for (int k = 0; k < 20; ++k) {
      const std::size_t line = rng() % doc.text().shownLines();
      ASSERT_EQ(kept.rowOfLine(line), fresh.rowOfLine(line));
      const std::size_t row = rng() % fresh.rows();
      const auto a = kept.lineOfRow(row);
      const auto b = fresh.lineOfRow(row);
      ASSERT_EQ(a.line, b.line);
      ASSERT_EQ(a.row, b.row);
      ASSERT_EQ(kept.rowOfLine(a.line) + a.row, row);
    }
  }
}

}  // namespace
}  // namespace quorlin::text
