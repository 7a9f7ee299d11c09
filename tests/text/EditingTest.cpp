// SPDX-License-Identifier: Apache-2.0
// Editing on top of the text model: undo and redo steps grouped as a user
// expects, the history's large texts on disk, and the case-blind search.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/History.h"
#include "text/Search.h"

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

void Apply(History& doc, std::size_t& caret, const Action& a) {
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

TEST(UndoHistory, StepsAreGroupedAsTyped) {
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
    History doc;
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
TEST(UndoHistory, RestoredRegionsAndSelectionsDescribeTheChange) {
  std::mt19937 rng(7);
  History doc;
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
    ASSERT_EQ(doc.text().checkInvariants(), "") << "edit " << i;
  }
  EXPECT_TRUE(doc.modified());
  std::vector<std::string> texts{All(doc.text())};
  while (true) {
    const Text before = doc.text();
    const auto r = doc.undo();
    if (!r) break;
    const Text& after = doc.text();
    ASSERT_EQ(after.checkInvariants(), "");
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
TEST(UndoHistory, WholeTextStepsAreBoundedAndTheirTextsMoveToDisk) {
  History doc;
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
  EXPECT_EQ(doc.wholeSteps(), History::kMaxWholeSteps);
  EXPECT_TRUE(doc.modified());

  // Every run's text but the last: the history alone holds them.
  const auto forDisk = doc.buffersForDisk();
  ASSERT_EQ(forDisk.size(), History::kMaxWholeSteps);
  const BufferSwap::Swaps swaps = CopyToDisk(forDisk, ::testing::TempDir());
  ASSERT_EQ(swaps.size(), forDisk.size());
  doc.swapBuffers(swaps);
  EXPECT_TRUE(doc.buffersForDisk().empty());
  for (const auto& b : doc.historyOnlyBuffers(History::kOnDiskFrom)) EXPECT_TRUE(b->onDisk());

  // Undo goes back through the last 20 runs and the edits between them.
  for (std::size_t i = texts.size() - 1; doc.canUndo(); --i) {
    ASSERT_EQ(All(doc.text()), texts[i]);
    doc.undo();
  }
  // The run before the 20 kept ones.
  EXPECT_EQ(All(doc.text()), texts[texts.size() - 1 - 2 * History::kMaxWholeSteps]);
  EXPECT_TRUE(doc.modified());
  while (doc.canRedo()) {
    doc.redo();
    EXPECT_EQ(doc.modified(), All(doc.text()) != texts[20]);  // saved after run 10
  }
  EXPECT_EQ(All(doc.text()), texts.back());
}

// What made the text follows undo and redo: undone runs are left out, hand
// edits in a row between runs are one link, and runs the history no longer
// reaches stay named. Script: a capital letter is a run (its key that
// letter), t types, c clicks, u undoes, r redoes, o opens a new text.
// Expected: the runs' keys, "-" for hand edits.
TEST(UndoHistory, WhatMadeTheTextFollowsUndoAndRedo) {
  std::string manyRuns;
  for (char c = 'A'; c <= 'Y'; ++c) manyRuns += c;
  const struct {
    const char* name;
    std::string script, made;
  } rows[] = {
      {"runs in order", "ABC", "ABC"},
      {"an undone run is left out", "ABCu", "AB"},
      {"a redone run comes back", "ABCuurr", "ABC"},
      {"edits between runs are one link", "AttcttB", "A-B"},
      {"edits before the first run and after the last", "tAct", "-A-"},
      {"an undone edit is no edit", "AtuB", "AB"},
      {"undoing edits and a run, then redoing them", "AttctBuuurrr", "A-B"},
      {"a run after an undo replaces what was undone", "ABuC", "AC"},
      {"a new text forgets", "AtBo", ""},
      {"runs beyond the history's reach stay", manyRuns, manyRuns},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    History doc;
    doc.reset(Text::fromBytes("x\n"));
    std::size_t caret = 0;
    for (const char c : row.script) {
      if (c == 'u') {
        doc.undo();
      } else if (c == 'r') {
        doc.redo();
      } else if (c == 'o') {
        doc.reset(Text::fromBytes("y\n"));
      } else if (c == 't' || c == 'c') {
        Apply(doc, caret, {c, "e", caret});
      } else {
        std::vector<RecipeStep> runs(1);
        runs.front().request[Field::TestKey].text = std::string(1, c);
        doc.replaceAll(Text::fromBytes(std::string(1, c)), {caret, caret}, runs);
        caret = 0;
      }
    }
    std::string made;
    for (const Making& link : doc.making())
      made += link.handEdits() ? std::string("-") : link.runs.front().request[Field::TestKey].text;
    EXPECT_EQ(made, row.made);
  }
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

TEST(FindPatternForward, MatchesWithinLinesFromAnOffset) {
  const struct {
    const char* name;
    std::string text;
    std::string pattern;
    std::size_t from;
    PatternMatch expected;
  } rows[] = {
      {"first match and its length", "xx ab12 cd", "[a-z]+\\d+", 0, {3, 4}},
      {"^ is a line's start, not the offset", "ab ab\nab", "^ab", 1, {6, 2}},
      {"\\b sees the byte before the offset", "xab ab", "\\bab", 1, {4, 2}},
      {"an empty match is none", "abc", "x*", 0, {}},
      {"a-z either case, accented letters not", "\xC9 ABC", "\xE9|abc", 0, {2, 3}},
      {"on the last line, unended", "one\ntwo", "t.o", 0, {4, 3}},
      {"never across a line break", "ab\ncd", "b\\ncd", 0, {}},
      {"offset past the end", "abc", "a", 99, {}},
  };
  for (const auto& row : rows) {
    const auto p = KeyPattern::compile(row.pattern, false, {}, Encoding::Windows1252).pattern;
    ASSERT_TRUE(p) << row.name;
    const PatternMatch m = FindPatternForward(Text::fromBytes(row.text), *p, row.from);
    EXPECT_TRUE(m.at == row.expected.at && m.length == row.expected.length)
        << row.name << ": " << m.at << "+" << m.length;
  }
  const Text split = Text::fromBytes("xxxxAB").insert(5, "-").erase(5, 6);
  const PatternMatch m = FindPatternForward(
      split, *KeyPattern::compile("a.", false, {}, Encoding::Windows1252).pattern, 0);
  EXPECT_TRUE(m.at == 4 && m.length == 2);
}

}  // namespace
}  // namespace quorlin::text
