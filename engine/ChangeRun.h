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

}  // namespace quorlin
