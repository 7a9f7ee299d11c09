// SPDX-License-Identifier: Apache-2.0
// What quorlin-batch runs: one input into one output, many files, and the
// steps of a run cut into byte ranges.
#pragma once

#include <string>
#include <vector>

#include "cli/BatchOptions.h"
#include "engine/ChangeRun.h"

namespace quorlin::batch {

struct FileRunResult {
  bool completed = false;
  std::vector<std::string> messages;  // why the run stopped
  RunStats figures;                   // counted under --stats and --dry-run
  std::vector<RunStats> steps;        // a recipe's: each step's figures (figures: their total)
};

// Runs the validated request from input to output ("-": the standard
// streams) on jobs threads. An output file is replaced only when the run
// completes; under --dry-run nothing is written and output is not opened.
// Under --stats and --dry-run the run counts its figures (a sort or the
// removal of duplicates then runs on one thread). Throws FileError.
FileRunResult RunFile(const Options& o, const std::string& input, const std::string& output,
                      unsigned jobs);

// --in-place or -o DIR: every file, up to o.jobs at a time; a line on standard
// error for each that fails; under --stats and --dry-run, the figures of each
// file and their total. Returns the exit status: 0 when all succeeded,
// 1 when a file could not be read or written, else 2 (a run stopped).
int RunManyFiles(const Options& o);

// --chain, --range with --facts, and --range: the steps quorlin-cluster runs.
// Prints the step's token on standard output (a range run under --stats or
// --dry-run then its figures' line; under --dry-run it writes no piece);
// returns the exit status.
int RunRangeStep(const Options& o);

// The --stats lines of a run: its figures, or a recipe's steps and total.
std::vector<std::string> FigureLines(const Options& o, const FileRunResult& r);

}  // namespace quorlin::batch
