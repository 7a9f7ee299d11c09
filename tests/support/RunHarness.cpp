// SPDX-License-Identifier: Apache-2.0
#include "tests/support/RunHarness.h"

namespace quorlin::testing {

Req::operator ChangeRequest() const {
  ChangeRequest q;
  q.test = TestCode(test);
  q.action = ActionCode(action);
  // clang-format off
  const std::pair<Field, const std::string*> texts[] = {
      {Field::TestKey, &key},           {Field::ReplacementKey, &repl},
      {Field::FirstLineNum, &firstLine}, {Field::LastLineNum, &lastLine},
      {Field::LineLength, &length},     {Field::FirstCharPos, &firstChar},
      {Field::LastCharPos, &lastChar},  {Field::ReplPos, &replPos},
  };
  // clang-format on
  for (const auto& [f, text] : texts) q[f] = {*text, !text->empty()};
  q.retainPassingOnly = retain;
  q.caseSensitive = cs;
  q.outputLowerCase = lower;
  q.outputUpperCase = upper;
  q.keyIsPattern = pattern;
  q.encoding = utf8 ? Encoding::Utf8 : Encoding::Windows1252;
  return q;
}

}  // namespace quorlin::testing
