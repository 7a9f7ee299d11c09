// The change run: streams lines from a source through the chosen line test and
// change action into a sink.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/LineStream.h"

namespace quorlin {

inline constexpr std::string_view kCharPositionsMessage =
    "Char positions have to be Positive, with Last char > First Char";

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
RunResult RunChange(const ChangeRequest& request, LineSource& source, LineSink& sink);

// A boundary between two pieces of one text: what the lines before it leave to
// the lines after it. A whole text starts from the default.
struct PieceBoundary {
  long long linesBefore = 0;     // input lines before the boundary
  bool lastTestedBlank = true;   // the last line tested before it was blank (tests 10, 14)
  bool insideTag = false;        // a tag opened before it is still open (action 30)
  bool firstLineJoined = false;  // the first line after it was joined to the line before (44)
  bool operator==(const PieceBoundary&) const = default;
};

// Runs a validated request over one piece of a longer text, starting from
// start, and writes what the run over the whole text writes for the piece's
// lines. When the piece's last line joins the next one (action 44), that line
// is read from after (when given). end, when given, receives what the piece
// leaves to the piece after it. Not for whole-text actions (32, 43).
RunResult RunPiece(const ChangeRequest& request, LineSource& piece, LineSink& sink,
                   const PieceBoundary& start, LineSource* after, PieceBoundary* end);

}  // namespace quorlin
