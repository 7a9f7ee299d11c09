// Command-line options of quorlin-batch, parsed into a change request.
#pragma once

#include <string>
#include <vector>

#include "engine/ChangeRequest.h"

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

std::string HelpText();
std::string VersionText();
std::string ListText();

}  // namespace quorlin::batch
