// SPDX-License-Identifier: Apache-2.0
// A change request made ready to run: everything a run reads from the request,
// worked out once and constant while lines go through. A run keeps only its
// per-line state beside the plan, so one plan serves every run over the
// pieces of a text at once; what a request compiles to (a key matcher, the
// converted numbers) belongs here, and a chain of requests is a chain of
// plans.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Actions.h"
#include "engine/ChangeRequest.h"
#include "engine/Kinds.h"
#include "engine/LineTests.h"

namespace quorlin {

// Every written line converted by the output case option (upper wins when
// both are asked).
enum class OutputCase { AsIs, Upper, Lower };

OutputCase OutputCaseOf(const ChangeRequest& request);

// The line as written: itself when nothing is converted, else converted into
// buf.
std::string_view ApplyOutputCase(OutputCase c, std::string_view line, std::string& buf);

struct RunPlan {
  // The plan of a request that has passed ValidateRequest; null with the
  // messages when the action code names no action, or a numeric field that
  // the test or action reads is no integer or lies outside its range (in
  // field order).
  static std::shared_ptr<const RunPlan> make(const ChangeRequest& request,
                                             std::vector<std::string>& messages);

  RunPlan(const RunPlan&) = delete;
  RunPlan& operator=(const RunPlan&) = delete;

  // The two keys as typed and the test key as compared: upper-cased unless
  // the comparison is case-sensitive. The views below point into these.
  std::string key, replacement, cmpKey;
  // The Test Key as a pattern, when the request says so and looks for it:
  // matched in the line itself (no comparison line is made for it), and
  // shared by every run over the pieces of a text.
  std::shared_ptr<const KeyPattern> pattern;
  TestParams test;
  ActionParams action;
  ActionKind actionKind = ActionKind::InLine;

  bool foldCompare = false;     // the comparison line is upper-cased
  bool testCompares = false;    // the test matches the comparison key
  bool testTabsMatter = false;  // the test reads the line with its tabs expanded
  bool actionCompares = false;  // the action matches the comparison key
  // It is given the comparison line: a replacement of every occurrence
  // (actions 22, 31) finds them in the line itself, folding A-Z.
  bool actionReadsCmpLine = false;
  bool trackBlank = false;  // the test looks at the line before
  // Whether a line holds the key can be told from its bytes as read, and so
  // by a source while it scans them: for tests 3 and 5, which ask only that,
  // and for an action that looks for the key, which leaves a line without it
  // as it is.
  bool keyFromSource = false;
  bool actionKeyFromSource = false;
  bool watchKey = false;      // either: the source is asked to watch the key
  bool watchPattern = false;  // or, for a pattern, its matches
  // The action's character positions name no range: a text with a line stops
  // at its first line, before any output (actions 25 and 26).
  bool stopsAtFirstLine = false;
  bool retainPassingOnly = false;
  bool utf8 = false;  // the text is read as UTF-8 characters
  OutputCase outputCase = OutputCase::AsIs;
  // Action 16: how many columns of a line with its tabs expanded it keeps
  // (0: not that action); columns are bytes, or UTF-8 characters.
  std::size_t truncatedAt = 0;
  std::size_t sortFrom = 1;  // the sort's first key position (action 32), from 1, in characters

 private:
  RunPlan() = default;
};

}  // namespace quorlin
