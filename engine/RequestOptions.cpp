// SPDX-License-Identifier: Apache-2.0
#include "engine/RequestOptions.h"

#include <cassert>
#include <iterator>
#include <optional>

namespace quorlin {

namespace {

using O = RequestOption;
constexpr const char* kRequest = "The request";
constexpr const char* kOutput = "Output";

// clang-format off
constexpr RequestOptionRow kRows[] = {
    {O::Test,          "-t,--test",           kRequest, "N",    "line test code 1-14 (default 1)", true},
    {O::Action,        "-a,--action",         kRequest, "N",    "change action code (default 13)", true},
    {O::Key,           "-k,--key",            kRequest, "TEXT", "Test Key Text", true},
    {O::Repl,          "-r,--repl",           kRequest, "TEXT", "Replacement Key Text", true},
    {O::FirstLine,     "--first-line",        kRequest, "N",    "1st Line Num", true},
    {O::LastLine,      "--last-line",         kRequest, "N",    "Last Line Num", true},
    {O::Length,        "-n,--length",         kRequest, "N",    "Linelength Num Chars", true},
    {O::FirstChar,     "--first-char",        kRequest, "N",    "1st char position #", true},
    {O::LastChar,      "--last-char",         kRequest, "N",    "Last char position", true},
    {O::ReplPos,       "--repl-pos",          kRequest, "N",    "Repl Pos", true},
    {O::Retain,        "--retain",            kRequest, "",     "Retain only the lines that pass the Test", true},
    {O::CaseSensitive, "-c,--case-sensitive", kRequest, "",     "Test Key case sensitive", true},
    {O::Encoding,      "--encoding",          kRequest, "E",    "what a character is: cp1252 (default), utf8 or auto", false},
    {O::Pattern,       "-E,--pattern",        kRequest, "",     "Test Key is a pattern (RE2 syntax, on bytes or UTF-8 characters)", true},
    {O::Lower,         "--lower",             kOutput,  "",     "output lower case, output upper case", true},
    {O::Upper,         "--upper",             kOutput,  "",     "", true},
    {O::Crlf,          "--crlf",              kOutput,  "",     "force the output line terminator", true},
    {O::Lf,            "--lf",                kOutput,  "",     "", true},
};
// clang-format on

constexpr bool RowsInOrder() {
  for (std::size_t i = 0; i < std::size(kRows); ++i)
    if (Index(kRows[i].option) != i) return false;
  return std::size(kRows) == kRequestOptionCount;
}
static_assert(RowsInOrder());

constexpr std::pair<O, O> kExclusive[] = {{O::Lower, O::Upper}, {O::Crlf, O::Lf}};

// The numeric fields by their options, in the order they are checked.
constexpr std::pair<O, Field> kNumeric[] = {
    {O::FirstLine, Field::FirstLineNum}, {O::LastLine, Field::LastLineNum},
    {O::Length, Field::LineLength},      {O::FirstChar, Field::FirstCharPos},
    {O::LastChar, Field::LastCharPos},   {O::ReplPos, Field::ReplPos},
};

}  // namespace

std::span<const RequestOptionRow> RequestOptionRows() {
  return kRows;
}

const RequestOptionRow& RowOf(RequestOption option) {
  assert(Index(option) < kRequestOptionCount);
  return kRows[Index(option)];
}

std::span<const std::pair<RequestOption, RequestOption>> ExclusiveRequestOptions() {
  return kExclusive;
}

std::string CheckRequestValue(RequestOption option, std::string_view v) {
  std::string quoted(1, '\'');
  quoted.append(v).push_back('\'');
  switch (option) {
    case O::Test:
      return FindTest(v) != nullptr ? std::string() : quoted + " is no line test code (see --list)";
    case O::Action:
      return FindAction(v) != nullptr ? std::string()
                                      : quoted + " is no change action code (see --list)";
    case O::Encoding:
      return v == "cp1252" || v == "utf8" || v == "auto"
                 ? std::string()
                 : quoted + " is no encoding (cp1252, utf8 or auto)";
    default:
      return {};
  }
}

RequestFromValues MakeRequest(const RequestValues& values) {
  RequestFromValues r;
  ChangeRequest& q = r.request;
  auto given = [&](O o) { return values.given[Index(o)]; };
  auto text = [&](O o) -> const std::string& { return values.text[Index(o)]; };
  auto flag = [&](O o) { return values.flag[Index(o)]; };
  if (given(O::Test)) q.test = FindTest(text(O::Test))->code;
  if (given(O::Action)) q.action = FindAction(text(O::Action))->code;
  if (given(O::Key)) q[Field::TestKey] = {text(O::Key), TextFieldFilled(text(O::Key))};
  if (given(O::Repl)) q[Field::ReplacementKey] = {text(O::Repl), TextFieldFilled(text(O::Repl))};
  if (text(O::Encoding) == "utf8") q.encoding = Encoding::Utf8;
  r.autoEncoding = text(O::Encoding) == "auto";
  q.retainPassingOnly = flag(O::Retain);
  q.caseSensitive = flag(O::CaseSensitive);
  q.keyIsPattern = flag(O::Pattern);
  q.outputLowerCase = flag(O::Lower);
  q.outputUpperCase = flag(O::Upper);
  r.terminator = flag(O::Crlf) ? "\r\n" : flag(O::Lf) ? "\n" : "";

  // The field checks, in field order; 1st and last char are compared only
  // when both are given.
  for (const auto& [option, field] : kNumeric) {
    if (!given(option)) continue;
    std::optional<std::string_view> firstChar;
    if (field == Field::LastCharPos && !text(O::FirstChar).empty())
      firstChar = q[Field::FirstCharPos].text;
    FieldCheckResult c = CheckNumericField(field, text(option), firstChar);
    for (std::string& m : c.messages) r.messages.push_back(std::move(m));
    q[field] = {std::move(c.text), c.filled};
  }
  return r;
}

RequestValues ValuesOf(const ChangeRequest& q, std::string_view terminator) {
  RequestValues v;
  auto set = [&](O o, std::string text) {
    v.given[Index(o)] = true;
    v.text[Index(o)] = std::move(text);
  };
  auto flag = [&](O o, bool on) { v.given[Index(o)] = v.flag[Index(o)] = on; };
  if (q.test != TestCode::Passes) set(O::Test, std::string(FindTest(q.test)->name));
  set(O::Action, std::string(FindAction(q.action)->name));
  if (!q[Field::TestKey].text.empty()) set(O::Key, q[Field::TestKey].text);
  if (!q[Field::ReplacementKey].text.empty()) set(O::Repl, q[Field::ReplacementKey].text);
  for (const auto& [option, field] : kNumeric)
    if (q[field].filled) set(option, q[field].text);
  flag(O::Retain, q.retainPassingOnly);
  flag(O::CaseSensitive, q.caseSensitive);
  flag(O::Pattern, q.keyIsPattern);
  flag(O::Lower, q.outputLowerCase && !q.outputUpperCase);  // upper wins when both are set
  flag(O::Upper, q.outputUpperCase);
  flag(O::Crlf, terminator == "\r\n");
  flag(O::Lf, terminator == "\n");
  return v;
}

}  // namespace quorlin
