// SPDX-License-Identifier: Apache-2.0
#include "engine/RunPlan.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <optional>

#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

char UserDecimalPoint() {
  const std::lconv* lc = std::localeconv();
  if (lc && lc->decimal_point && lc->decimal_point[0] && !lc->decimal_point[1])
    return lc->decimal_point[0];
  return '.';
}

// The value of a numeric field that the run reads; a message instead when the
// text is no integer or lies outside the field's range (a field checked on
// leaving never does).
std::optional<long long> ReadField(const ChangeRequest& request, Field f,
                                   std::vector<std::string>& messages) {
  const std::string& text = request[f].text;
  const std::optional<std::int32_t> v = ParseIntegerText(text);
  if (!v) {
    messages.push_back(NotAnIntegerMessage(text));
    return std::nullopt;
  }
  const NumericFieldInfo& info = FieldInfo(f);
  if (*v < 0 || *v > info.upperBound) {
    messages.emplace_back(info.rangeMessage);
    return std::nullopt;
  }
  return *v;
}

}  // namespace

OutputCase OutputCaseOf(const ChangeRequest& request) {
  if (request.outputUpperCase) return OutputCase::Upper;
  return request.outputLowerCase ? OutputCase::Lower : OutputCase::AsIs;
}

std::string_view ApplyOutputCase(OutputCase c, std::string_view line, std::string& buf) {
  if (c == OutputCase::AsIs) return line;
  buf.clear();
  if (c == OutputCase::Upper)
    QU::AppendUpperCase(buf, line);
  else
    QU::AppendLowerCase(buf, line);
  return buf;
}

std::shared_ptr<const RunPlan> RunPlan::make(const ChangeRequest& request,
                                             std::vector<std::string>& messages) {
  const TestRow* testRow = FindTest(request.test);
  const ActionRow* actionRow = FindAction(request.action);
  // No action chosen writes every line as it is; other codes that name no
  // action are refused.
  if (request.action != ActionCode::None && actionRow == nullptr) {
    messages.push_back("Change action " + std::to_string(Number(request.action)) +
                       " is not available");
    return nullptr;
  }
  // The numeric fields the test and action need, and those they read when
  // filled, in field order.
  FieldSet needs = testRow != nullptr ? testRow->needs : FieldSet();
  FieldSet optional;
  if (actionRow != nullptr) {
    needs = needs | actionRow->needs;
    optional = actionRow->alsoReads;
  }
  const std::size_t messagesBefore = messages.size();
  long long value[kFieldCount] = {};
  for (std::size_t i = Index(Field::FirstLineNum); i < kFieldCount; ++i) {
    const auto f = static_cast<Field>(i);
    if (!needs.has(f) && !(optional.has(f) && request[f].filled)) continue;
    if (auto v = ReadField(request, f, messages)) value[i] = *v;
  }
  if (messages.size() != messagesBefore) return nullptr;
  auto number = [&](Field f) { return value[Index(f)]; };

  const bool utf8 = request.encoding == Encoding::Utf8;
  // In UTF-8 a key is looked for as characters: bytes that are not valid
  // UTF-8 would match inside a character.
  if (utf8 &&
      ((testRow != nullptr && testRow->comparesKey) ||
       (actionRow != nullptr && actionRow->comparesKey)) &&
      !QU::IsValidUtf8(request[Field::TestKey].text)) {
    messages.emplace_back(kKeyNotUtf8Message);
    return nullptr;
  }

  std::shared_ptr<RunPlan> plan(new RunPlan);
  RunPlan& p = *plan;
  p.utf8 = utf8;
  KeyPattern::Compiled compiled = RequestPattern(request);
  if (!compiled.message.empty()) {
    messages.push_back(std::move(compiled.message));
    return nullptr;
  }
  p.pattern = std::move(compiled.pattern);
  p.key = request[Field::TestKey].text;
  p.replacement = request[Field::ReplacementKey].text;
  p.foldCompare = !request.caseSensitive;
  p.cmpKey = p.foldCompare ? QU::UpperCase(p.key) : p.key;
  p.testCompares = testRow != nullptr && testRow->comparesKey;
  p.testTabsMatter = testRow != nullptr && testRow->tabsMatter;
  p.actionCompares = actionRow != nullptr && actionRow->comparesKey;
  // Whether a line holds the key can be told from its bytes as read when the
  // key holds no tab or space (tab expansion cannot then make or break an
  // occurrence), folding A-Z when the comparison does: a source finds the
  // occurrences while it scans for line breaks. Tests 3 and 5 ask only that;
  // an action that looks for the key leaves a line without it as it is.
  const bool keyIsPlain = !p.key.empty() && p.key.find_first_of("\t ") == std::string::npos;
  // A pattern's matches the source finds over many lines at once.
  const bool keyWatched = keyIsPlain || p.pattern != nullptr;
  p.keyFromSource =
      (request.test == TestCode::HasKey || request.test == TestCode::LacksKey) && keyWatched;
  p.actionKeyFromSource = p.actionCompares && keyWatched;
  p.watchPattern = (p.keyFromSource || p.actionKeyFromSource) && p.pattern != nullptr;
  p.watchKey = (p.keyFromSource || p.actionKeyFromSource) && p.pattern == nullptr;
  if (p.pattern != nullptr) p.testCompares = p.actionCompares = false;
  p.actionReadsCmpLine = p.actionCompares && request.action != ActionCode::ReplaceKey &&
                         request.action != ActionCode::DeleteKey;
  p.trackBlank = testRow != nullptr && testRow->context == Context::LineBefore;
  p.actionKind = actionRow != nullptr ? actionRow->kind : ActionKind::InLine;
  p.retainPassingOnly = request.retainPassingOnly;
  p.outputCase = OutputCaseOf(request);

  p.test = TestParams{request.test,
                      p.cmpKey,
                      number(Field::FirstLineNum),
                      number(Field::LastLineNum),
                      number(Field::FirstCharPos),
                      number(Field::LineLength),
                      UserDecimalPoint(),
                      utf8,
                      p.pattern.get()};
  p.action = ActionParams{request.action,
                          p.key,
                          p.cmpKey,
                          p.replacement,
                          number(Field::LineLength),
                          number(Field::FirstCharPos),
                          number(Field::LastCharPos),
                          number(Field::ReplPos),
                          request.caseSensitive,
                          utf8,
                          p.pattern.get()};
  // The actions that may stop do so at the first line, on character
  // positions that name no range.
  p.stopsAtFirstLine = actionRow != nullptr && actionRow->context == Context::MayStop &&
                       (p.action.lastCharPos < 1 || p.action.lastCharPos < p.action.firstCharPos);
  // Truncation in bytes reads no further than its length: the first n
  // columns of a line with its tabs expanded come from its first n bytes (in
  // UTF-8, from the first n of a line of ASCII).
  if (request.action == ActionCode::Truncate && p.action.lineLength > 0)
    p.truncatedAt = static_cast<std::size_t>(p.action.lineLength);
  if (request.action == ActionCode::Sort && request[Field::FirstCharPos].filled)
    p.sortFrom = static_cast<std::size_t>(std::max(p.action.firstCharPos, 1LL));
  return plan;
}

}  // namespace quorlin
