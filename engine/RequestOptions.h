// SPDX-License-Identifier: Apache-2.0
// The options that make up one change request, in the one table that
// quorlin-batch's command line and the steps of a recipe both read: an option
// means the same in either. What the options' values become (codes by number
// or name, the numeric fields' checks in field order, the forced terminator)
// is worked out here once.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ChangeRequest.h"

namespace quorlin {

enum class RequestOption {
  Test,
  Action,
  Key,
  Repl,
  FirstLine,
  LastLine,
  Length,
  FirstChar,
  LastChar,
  ReplPos,
  Retain,
  CaseSensitive,
  Encoding,
  Pattern,
  Lower,
  Upper,
  Crlf,
  Lf,
};
inline constexpr std::size_t kRequestOptionCount = 18;

constexpr std::size_t Index(RequestOption o) {
  return static_cast<std::size_t>(o);
}

struct RequestOptionRow {
  RequestOption option;
  const char* names;  // "-t,--test": a short name, a long one, or both
  const char* group;  // the group quorlin-batch --help shows it in
  const char* value;  // what the help shows after the names; "" for a flag
  const char* help;   // "" shares the help line of the option before
  bool inRecipe;      // false: a recipe sets it on a line of its own (the encoding)
};

// Every request option, in the order --help shows them.
std::span<const RequestOptionRow> RequestOptionRows();
const RequestOptionRow& RowOf(RequestOption option);

// Options that cannot be given together, in the order they are reported.
std::span<const std::pair<RequestOption, RequestOption>> ExclusiveRequestOptions();

// The options' values as given, by option: the text of one that takes a value,
// whether a flag is set, and whether each was given at all.
struct RequestValues {
  std::array<std::string, kRequestOptionCount> text;
  std::array<bool, kRequestOptionCount> flag{};
  std::array<bool, kRequestOptionCount> given{};
};

// Why the value of an option is refused ("" when it is taken): a test or
// action that is no code or name, an encoding that is none.
std::string CheckRequestValue(RequestOption option, std::string_view value);

// A request made from values that passed CheckRequestValue. messages holds
// the numeric fields' checks in field order (1st and last char compared only
// when both are given); the request is not validated.
struct RequestFromValues {
  ChangeRequest request;
  std::string terminator;     // "\r\n" or "\n" when forced, else ""
  bool autoEncoding = false;  // --encoding auto: each input decides
  std::vector<std::string> messages;
};
RequestFromValues MakeRequest(const RequestValues& values);

// A request's options as values that MakeRequest turns back into a request
// running the same bytes: text fields when not empty, numeric ones when
// filled; not the encoding.
RequestValues ValuesOf(const ChangeRequest& request, std::string_view terminator);

}  // namespace quorlin
