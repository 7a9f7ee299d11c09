// SPDX-License-Identifier: Apache-2.0
// The change run: streams lines from a source through the chosen line test and
// change action into a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/LineStream.h"

namespace quorlin {

// A run expands every line's tabs to stops every 8 columns.
inline constexpr int kTabWidth = 8;

inline constexpr std::string_view kCharPositionsMessage =
    "Char positions have to be Positive, with Last char > First Char";

// The figures of a run, counted over the input lines. Every input line is
// either deleted (nothing written for it) or kept (one or more lines written
// for it); so linesOut = linesIn - deleted + added.
//  - linesIn: lines read, a line that action 44 joins to the one before
//    included.
//  - passed: lines the test passed. Sort (32) and the removal of duplicates
//    (43) ignore the test: every line counts as passed. A line joined to the
//    one before is not tested.
//  - deleted: input lines with no output of their own: lines action 14
//    deletes, failing lines left out by RetainPassingOnly, duplicates that 43
//    drops, and the lines that 44 joins to the line before.
//  - added: lines written beyond one per kept input line: the new lines of 27
//    and 34, and all pieces but the first of a split (20, 39, 40).
//  - changed: kept input lines none of whose written lines is the line as
//    read, byte for byte (tabs expanded, case converted, rewritten, split, or
//    joined with a line that was not empty). A line that 27 or 34 writes a
//    new line beside counts as changed only when its own tabs or case
//    changed. A sort changes the positions that now hold a different line
//    (deleted and added stay 0).
struct RunStats {
  std::uint64_t linesIn = 0;
  std::uint64_t passed = 0;
  std::uint64_t changed = 0;
  std::uint64_t deleted = 0;
  std::uint64_t added = 0;
  std::uint64_t linesOut = 0;
  bool operator==(const RunStats&) const = default;
  // The figures of two pieces of a text, or of two texts, together.
  RunStats& operator+=(const RunStats& o) {
    linesIn += o.linesIn;
    passed += o.passed;
    changed += o.changed;
    deleted += o.deleted;
    added += o.added;
    linesOut += o.linesOut;
    return *this;
  }
};

// One step of a run that did not write its line back as read: the line
// changed, was deleted, or got lines added or joined to it.
struct LineChange {
  std::uint64_t line;                  // its number in the input, from 1 (a sort: the position)
  std::uint64_t taken;                 // input lines it covers: 2 when 44 joined the next one
  std::string_view before;             // the line as read (a sort: the line that stood there)
  std::span<const std::string> after;  // the lines written for it, in order
};

// Sees the first changes of a run, in input order.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The views live until the call returns. Returning false ends the calls:
  // the run goes on without copying what it writes.
  virtual bool changed(const LineChange& change) = 0;
};

struct RunResult {
  // False when the run was stopped (or refused) before any output: nothing was
  // written to the sink, and messages say why.
  bool completed = false;
  std::vector<std::string> messages;
};

// Runs a request that has passed ValidateRequest. Every line has its tabs
// expanded (stops every 8 columns); a line that passes the test is written as
// the action makes it, one that fails is written unchanged, or dropped when
// only passing lines are retained. Lines that actions add go through the same
// write-out step (output case included).
//
// Stops before writing anything when actions 25/26 get bad character positions
// or a parameter that the test or action reads is not an integer. FileError
// from the source or sink propagates.
//
// With stats, the run also counts its figures (stats is reset first); with an
// observer it reports its first changes. Neither changes what is written. A
// run that counts copies each line that 44 joins and, for a sort, keeps the
// lines as read besides the sorted ones; without them it costs nothing extra.
RunResult RunChange(const ChangeRequest& request, LineSource& source, LineSink& sink,
                    RunStats* stats = nullptr, RunObserver* observer = nullptr);

// A boundary between two pieces of one text: what the lines before it leave to
// the lines after it. A whole text starts from the default.
struct PieceBoundary {
  long long linesBefore = 0;     // input lines before the boundary
  bool lastTestedBlank = true;   // the last line tested before it was blank (tests 10, 14)
  bool insideTag = false;        // a tag opened before it is still open (action 30)
  bool firstLineJoined = false;  // the first line after it was joined to the line before (44)
  bool operator==(const PieceBoundary&) const = default;
};

struct RunPlan;

// Runs the plan of a validated request over one piece of a longer text,
// starting from start, and writes what the run over the whole text writes for
// the piece's lines. When the piece's last line joins the next one (action
// 44), that line is read from after (when given). end, when given, receives what the piece
// leaves to the piece after it. Not for whole-text actions (32, 43).
// stats, when given, receives the figures of the piece's lines: a line joined
// to the piece's last one counts with that piece, not with the next, so the
// figures of the pieces add up to those of the whole text.
RunResult RunPiece(const RunPlan& plan, LineSource& piece, LineSink& sink,
                   const PieceBoundary& start, LineSource* after, PieceBoundary* end,
                   RunStats* stats = nullptr);

}  // namespace quorlin
