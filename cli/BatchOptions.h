// SPDX-License-Identifier: Apache-2.0
// Command-line options of quorlin-batch, parsed into a change request and what
// to run it on.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Recipe.h"

namespace quorlin::batch {

inline constexpr const char* kUsageLine = "usage: quorlin-batch [options] [INPUT [OUTPUT]]";

// A byte range of the input file: the lines that start in [begin, end).
struct ByteRange {
  unsigned long long begin = 0, end = 0;
};

struct Options {
  ChangeRequest request;
  std::string input = "-";       // "-" is standard input
  std::string output = "-";      // "-" is standard output
  std::string forcedTerminator;  // "\r\n" or "\n" when forced, else ""
  unsigned jobs = 1;             // threads; -j 0 is resolved to the number of cores
  // Many files in one call: each replaced (--in-place) or written into
  // outputDir under its own name (-o DIR).
  std::vector<std::string> files;
  bool inPlace = false;
  std::string outputDir;
  bool help = false;
  bool version = false;
  bool list = false;
  bool stats = false;    // the run's figures on standard error afterwards
  bool dryRun = false;   // the figures only: no output is written
  bool explain = false;  // print what the request needs to be split, and exit
  // --encoding auto: each input's encoding is found from its bytes (the
  // request's encoding is then set per file), as the editor finds it.
  bool autoEncoding = false;
  bool encodingGiven = false;  // --encoding was given
  // --recipe FILE: the steps of the recipe run instead of the request's
  // options (which may then not be given, --encoding aside).
  std::string recipe;
  std::optional<Recipe> steps;  // the recipe read from that file

  // Not in --help: the steps quorlin-cluster runs on its workers. --range runs
  // the request over the lines of INPUT that start in the range, from
  // --context, into OUTPUT, and prints the context it leaves; with --facts it
  // prints what the range tells the ranges after it instead. --chain prints
  // the context of each range from the facts of all of them (the positional
  // arguments).
  std::optional<ByteRange> range;
  bool facts = false;
  std::string context;
  bool chain = false;
  std::vector<std::string> chainFacts;
};

struct ParseResult {
  enum class Status { Ok, BadUsage, Refused } status = Status::Ok;
  Options options;
  // BadUsage: one reason. Refused: the messages of the field checks, in order.
  std::vector<std::string> messages;
};

// Parses argv (without the program name). Numeric options pass the same check
// as leaving the window's field, in field order; the request is not validated.
ParseResult ParseOptions(const std::vector<std::string>& args);

// The figures of a run as --stats and --dry-run print them, one line:
// "passed P, changed C, deleted D, added A, lines in I, lines out O".
std::string StatsLine(const RunStats& figures);

// The figures of a recipe's steps together: passed, changed, deleted and
// added added up, lines in of the first step, lines out of the last (so
// lines out = lines in - deleted + added still holds).
RunStats RecipeTotal(const std::vector<RunStats>& steps);

// A recipe's figures as --stats prints them: "step N: " and StatsLine for
// each step, then "total: " and that of RecipeTotal.
std::vector<std::string> RecipeStatsLines(const std::vector<RunStats>& steps);

std::string HelpText();
std::string VersionText();
std::string ListText();

}  // namespace quorlin::batch
