// Command-line options of quorlin-batch, parsed into a change request.
#pragma once

#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"

namespace quorlin::batch {

inline constexpr const char* kUsageLine = "usage: quorlin-batch [options] [INPUT [OUTPUT]]";

struct Options {
  ChangeRequest request;
  std::string input = "-";       // "-" is standard input
  std::string output = "-";      // "-" is standard output
  std::string forcedTerminator;  // "\r\n" or "\n" when forced, else ""
  bool help = false;
  bool version = false;
  bool list = false;
  bool stats = false;   // the run's figures on standard error afterwards
  bool dryRun = false;  // the figures only: no output is written
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

std::string HelpText();
std::string VersionText();
std::string ListText();

}  // namespace quorlin::batch
