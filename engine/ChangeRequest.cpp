// SPDX-License-Identifier: Apache-2.0
#include "engine/ChangeRequest.h"

#include <iterator>
#include <limits>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

const NumericFieldInfo& FieldInfo(Field f) {
  static constexpr NumericFieldInfo kInfos[] = {
      {250000, "0", "Valid range for line numbers is 0 to 250000"},                 // FirstLineNum
      {250000, "0", "Valid range for line numbers is 0 to 250000"},                 // LastLineNum
      {1024, "0", "Valid range for LineLength Number of Characters is 0 to 1024"},  // LineLength
      {1024, "0", "Valid range for Character Position is 0 to 1024"},               // FirstCharPos
      {1024, "1", "Valid range for Character Position is 1 to 1024"},               // LastCharPos
      {1024, "0", "Valid range for Character Position is 0 to 1024"},               // ReplPos
  };
  static_assert(std::size(kInfos) == kFieldCount - Index(Field::FirstLineNum));
  assert(IsNumeric(f) && Index(f) < kFieldCount);
  return kInfos[Index(f) - Index(Field::FirstLineNum)];
}

std::optional<std::int32_t> ParseIntegerText(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  if (i == t.size()) return std::nullopt;

  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };

  std::size_t hexStart = 0;
  if (t[i] == '$' || t[i] == 'x' || t[i] == 'X')
    hexStart = i + 1;
  else if (t[i] == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X'))
    hexStart = i + 2;

  if (hexStart != 0) {
    if (hexStart == t.size()) return std::nullopt;
    std::int64_t v = 0;
    for (std::size_t j = hexStart; j < t.size(); ++j) {
      const int d = hexValue(t[j]);
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
      if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
  }

  bool negative = false;
  if (t[i] == '+' || t[i] == '-') {
    negative = t[i] == '-';
    ++i;
  }
  if (i == t.size()) return std::nullopt;
  std::int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::string NotAnIntegerMessage(std::string_view text) {
  std::string m = "'";
  m.append(text);
  m.append("' is not a valid integer value");
  return m;
}

FieldCheckResult CheckNumericField(Field f, std::string_view text,
                                   std::optional<std::string_view> firstCharText) {
  FieldCheckResult r;
  if (text.empty()) return r;  // stays empty, not filled

  const NumericFieldInfo& info = FieldInfo(f);
  std::string t = QuorlinUtils::CutAtFirstKey(text, ".");
  if (!t.empty() && t[0] == '-') t.erase(0, 1);

  auto refuse = [&](std::string message, std::string_view newText) {
    r.messages.push_back(std::move(message));
    r.text = std::string(newText);
    r.refocus = true;
  };

  r.text = t;
  const std::optional<std::int32_t> value = ParseIntegerText(t);
  if (!value) {
    refuse(NotAnIntegerMessage(t), info.resetText);
  } else {
    // A value below 0 can survive the removal of one leading minus (a doubled
    // minus, or one behind a blank); it is refused like a value above the bound.
    if (*value > info.upperBound || *value < 0)
      refuse(std::string(info.rangeMessage), info.resetText);
    if (f == Field::LastCharPos && firstCharText) {
      const std::int32_t last = *ParseIntegerText(r.text);
      const std::optional<std::int32_t> first = ParseIntegerText(*firstCharText);
      if (!first)
        refuse(NotAnIntegerMessage(*firstCharText), "1");
      else if (*first > last)
        refuse(std::string(kLastBelowFirstMessage), "1");
    }
  }
  r.filled = true;
  return r;
}

namespace {

bool AllFilled(const ChangeRequest& q, FieldSet fields) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const auto f = static_cast<Field>(i);
    if (fields.has(f) && !q[f].filled) return false;
  }
  return true;
}

bool ConditionMet(const ChangeRequest& q, Condition c) {
  switch (c) {
    case Condition::None:
      return true;
    case Condition::RetainUnchecked:
      return !q.retainPassingOnly;
    case Condition::TwoMarkerCharacters:
      return q[Field::ReplacementKey].text.size() >= 2;
  }
  return true;
}

}  // namespace

std::vector<std::string> ValidateRequest(const ChangeRequest& q) {
  std::vector<std::string> m;
  if (const TestRow* t = FindTest(q.test); t != nullptr && !AllFilled(q, t->needs))
    m.emplace_back(t->refusal);
  if (const ActionRow* a = FindAction(q.action);
      a != nullptr && !(AllFilled(q, a->needs) && ConditionMet(q, a->condition)))
    m.emplace_back(a->refusal);
  // A key that is not there was refused above.
  if (q.keyIsPattern && q[Field::TestKey].filled) {
    const KeyPattern::Compiled c = RequestPattern(q);
    if (!c.message.empty()) {
      m.push_back(c.message);
    } else if (c.pattern && q.action == ActionCode::ReplaceKey && q[Field::ReplacementKey].filled) {
      std::string problem = c.pattern->replacementProblem(q[Field::ReplacementKey].text);
      if (!problem.empty()) m.push_back(std::move(problem));
    }
  }
  return m;
}

bool LooksForKey(const ChangeRequest& q) {
  const TestRow* t = FindTest(q.test);
  const ActionRow* a = FindAction(q.action);
  return (t != nullptr && t->comparesKey) || (a != nullptr && a->comparesKey);
}

KeyPattern::Compiled RequestPattern(const ChangeRequest& q) {
  if (!q.keyIsPattern || !LooksForKey(q)) return {};
  KeyPattern::Uses uses;
  uses.lineEnd = q.test == TestCode::EndsWithKey;
  // Tests 3 and 5 ask only whether a line holds a match; an action leaves a
  // line without one as it is: both can be told over many lines at once.
  const ActionRow* a = FindAction(q.action);
  uses.blocks = q.test == TestCode::HasKey || q.test == TestCode::LacksKey ||
                (a != nullptr && a->comparesKey);
  const std::string& key = q[Field::TestKey].text;
  // As for a plain key: bytes that are not valid UTF-8 would match inside a
  // character.
  if (q.encoding == Encoding::Utf8 && !QuorlinUtils::IsValidUtf8(key))
    return {nullptr, std::string(kKeyNotUtf8Message)};
  return KeyPattern::compile(key, q.caseSensitive, uses, q.encoding);
}

}  // namespace quorlin
