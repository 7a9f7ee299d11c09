// SPDX-License-Identifier: Apache-2.0
// The text cut into chunks run by several threads, and into byte ranges run
// apart and chained as quorlin-cluster does, must give the bytes of one run
// over the whole text (quorlin-batch -j 1), and the chunks the figures of
// that run (--stats): every test with every action, on
// generated texts of mixed line terminators, in chunks so small that every
// kind of boundary occurs.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/BlockLines.h"
#include "engine/ChangeRun.h"
#include "engine/Kinds.h"
#include "engine/ParallelRun.h"
#include "engine/Splitting.h"
#include "tests/support/Generator.h"
#include "tests/support/RunHarness.h"
#include "tests/support/Shrink.h"

namespace {

using namespace quorlin;
using namespace quorlin::testing;

struct Outcome {
  bool completed = false;
  std::vector<std::string> messages;
  std::string bytes;
  RunStats figures;  // counted by the chunks when the request is no whole-text one
  bool operator==(const Outcome&) const = default;
};

// What quorlin-batch -j 1 does: blocks read from and written to files.
Outcome RunWhole(const ChangeRequest& r, const std::string& text) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), in);
  std::rewind(in);
  Outcome o;
  {
    // Output blocks of 64 bytes take every line alone; larger ones take many
    // whole lines at once where the run leaves them as they are.
    BlockLineReader reader(in, "in", 64);
    BlockLineWriter writer(out, "out", "", 64 + text.size() % 3 * 300);
    writer.setTerminatorOnFirstWrite([&reader]() -> std::string_view {
      return reader.firstTerminator().empty() ? "\n" : reader.firstTerminator();
    });
    const RunResult run = RunChange(r, reader, writer);
    o.completed = run.completed;
    o.messages = run.messages;
    if (run.completed) writer.finish();
  }
  if (o.completed && !NeedsOf(r).wholeText) {
    class NoSink final : public LineSink {
     public:
      void write(std::string_view /*line*/) override {}
    } nowhere;
    PieceLines lines(text);
    RunChange(r, lines, nowhere, &o.figures);
  }
  if (o.completed) o.bytes = ReadBack(out);
  std::fclose(in);
  std::fclose(out);
  return o;
}

// The run over chunks; a chunk run a second time is a boundary guessed
// wrong, which only a join may cause.
Outcome RunChunks(const ChangeRequest& r, const std::string& text, unsigned jobs,
                  std::size_t chunkBytes, Rng& rng) {
  TextReader in(text, rng);
  TextWriter out;
  ParallelOptions po{jobs, chunkBytes};
  po.count = !NeedsOf(r).wholeText;
  const ParallelResult run = RunParallel(r, in, out, po);
  EXPECT_TRUE(run.reruns == 0 || NeedsOf(r).nextLine) << Show(r);
  return {run.run.completed, run.run.messages, out.text, run.figures};
}

// The text cut at byte offsets into ranges, each holding the lines that start
// in it: the facts of every range, the contexts chained from them, each range
// run from its context, and a range run again when the range before it ends
// otherwise than its context said (a join across the boundary).
Outcome RunRanges(const ChangeRequest& r, const std::string& text, std::vector<std::size_t> cuts,
                  Rng& rng) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::vector<std::size_t> starts{0};
  std::sort(cuts.begin(), cuts.end());
  for (std::size_t c : cuts) starts.push_back(std::size_t(LineStartFrom(f, "text", c)));
  starts.push_back(text.size());
  std::fclose(f);

  const SplitNeeds needs = NeedsOf(r);
  std::vector<PieceFacts> facts;
  for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
    TextReader in(std::string_view(text).substr(starts[i], starts[i + 1] - starts[i]), rng);
    facts.push_back(ScanText(in, needs));
  }
  const std::vector<PieceContext> contexts = ChainContexts(needs, facts);
  Outcome whole{true, {}, {}, {}};
  PieceContext at = contexts[0];
  for (std::size_t i = 0; i < contexts.size(); ++i) {
    if (EncodeContext(at) != EncodeContext(contexts[i])) {
      // Only a join is left for the run to tell.
      EXPECT_TRUE(needs.nextLine) << i << ": " << EncodeContext(at);
    }
    const std::string_view range =
        std::string_view(text).substr(starts[i], starts[i + 1] - starts[i]);
    TextReader in(range, rng);
    TextReader after(std::string_view(text).substr(starts[i + 1]), rng);
    TextWriter out;
    ParallelOptions po{unsigned(rng.range(1, 3)), std::size_t(rng.range(1, 30))};
    po.terminator = at.terminator;
    po.start = at.at;
    po.after = &after;
    const ParallelResult run = RunParallel(r, in, out, po);
    if (!run.run.completed) return {false, run.run.messages, {}, {}};
    whole.bytes += out.text;
    at.at = run.end;
  }
  return whole;
}

std::string Text(Rng& rng, const Lines& lines) {
  static const char* const kBreaks[] = {"\n", "\r\n", "\r"};
  std::string text;
  const int kind = rng.below(4);  // one terminator throughout, or a mix
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || rng.chance(70)) text += kBreaks[kind < 3 ? kind : rng.below(3)];
  }
  return text;
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return out;
}

TEST(ParallelRun, ChunksAndRangesGiveTheBytesOfOneRun) {
  int cases = 0, failures = 0, ranged = 0;
  // Tests and actions that both carry something across a boundary meet more
  // often: line numbers or the line before, with the tag state or a join.
  auto rounds = [](const TestRow& test, const ActionRow& action) {
    const bool testCarries =
        test.context == Context::LineNumber || test.context == Context::LineBefore;
    const bool actionCarries =
        action.context == Context::CarriedState || action.context == Context::NextLine;
    return testCarries && actionCarries ? 24 : 3;
  };
  for (int round = 0; round < 24; ++round) {
    for (const TestRow& testRow : TestRows()) {
      for (const ActionRow& actionRow : ActionRows()) {
        if (round >= rounds(testRow, actionRow)) continue;
        const int test = Number(testRow.code), action = Number(actionRow.code);
        Rng rng(0x5EC7105ull + static_cast<std::uint64_t>(cases) * 104729u);
        ++cases;
        Lines lines = RandomLines(rng);
        ChangeRequest r = RandomRequest(rng, test, action, lines);
        if (!ValidateRequest(r).empty()) continue;
        if (cases % 3 == 0) {  // the same run on characters of UTF-8
          for (std::string& line : lines) line = ToUtf8Characters(line);
          for (const Field f : {Field::TestKey, Field::ReplacementKey})
            r[f].text = ToUtf8Characters(r[f].text);
          r.encoding = Encoding::Utf8;
        }
        const std::string text = Text(rng, lines);
        const Outcome expected = RunWhole(r, text);
        const unsigned jobs = 2 + static_cast<unsigned>(cases % 3);
        const std::size_t chunk = std::size_t(rng.range(1, 48));
        const Outcome chunked = RunChunks(r, text, jobs, chunk, rng);
        std::string failed = chunked == expected ? "" : "-j " + std::to_string(jobs);
        if (failed.empty() && !NeedsOf(r).wholeText) {
          std::vector<std::size_t> cuts;
          for (int n = rng.range(1, 4); n > 0; --n)
            cuts.push_back(std::size_t(rng.below(int(text.size()) + 1)));
          ++ranged;
          Outcome ranges = RunRanges(r, text, cuts, rng);
          ranges.figures = expected.figures;  // the ranges do not count
          if (!(ranges == expected)) failed = "ranges";
        }
        if (failed.empty()) continue;
        ADD_FAILURE() << failed << ", chunks of " << chunk << ": " << Show(r)
                      << "\n  text: " << Escaped(text) << "\n  one run: " << Escaped(expected.bytes)
                      << "\n  chunked: " << Escaped(chunked.bytes);
        if (++failures >= 5) return;
      }
    }
  }
  EXPECT_GT(ranged, 1000);
}

}  // namespace
