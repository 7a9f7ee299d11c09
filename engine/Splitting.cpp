// SPDX-License-Identifier: Apache-2.0
#include "engine/Splitting.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "engine/LineBreaks.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

SplitNeeds NeedsOf(const ChangeRequest& request) {
  SplitNeeds n;
  const TestRow* test = FindTest(request.test);
  const ActionRow* action = FindAction(request.action);
  const Context a = action != nullptr ? action->context : Context::OwnLine;
  n.wholeText = a == Context::WholeText;
  n.tagState = a == Context::CarriedState;
  n.nextLine = a == Context::NextLine;
  n.mayStop = a == Context::MayStop;
  // Whole-text actions do not consult the test.
  if (test != nullptr && !n.wholeText) {
    n.lineNumber = test->context == Context::LineNumber;
    n.lineBefore = test->context == Context::LineBefore;
  }
  return n;
}

std::string ExplainSplit(const ChangeRequest& request) {
  const SplitNeeds n = NeedsOf(request);
  std::string s = "split=";
  s += n.wholeText ? "whole-text" : n.independent() ? "independent" : "context";
  s += " test=" + std::to_string(Number(request.test));
  s += " action=" + std::to_string(Number(request.action));
  std::string names;
  const std::pair<bool, const char*> all[] = {
      {n.lineNumber, "line-number"}, {n.lineBefore, "line-before"}, {n.tagState, "tag-state"},
      {n.nextLine, "next-line"},     {n.wholeText, "whole-text"},   {n.mayStop, "may-stop"}};
  for (const auto& [needed, name] : all) {
    if (!needed) continue;
    if (!names.empty()) names += ',';
    names += name;
  }
  s += " needs=" + (names.empty() ? std::string("none") : names);
  return s;
}

PieceBoundary Normalised(const SplitNeeds& needs, PieceBoundary b) {
  PieceBoundary n;
  // Tests 10 and 14 never pass on line 1: they tell it from the others.
  if (needs.lineNumber || needs.lineBefore)
    n.linesBefore = std::min(b.linesBefore, needs.lineNumber ? kLinesCounted : 1);
  if (needs.lineBefore) n.lastTestedBlank = b.lastTestedBlank;
  if (needs.tagState) n.insideTag = b.insideTag;
  if (needs.nextLine) n.firstLineJoined = b.firstLineJoined;
  return n;
}

PieceFacts ScanPiece(std::string_view bytes, const SplitNeeds& needs) {
  PieceFacts f;
  if (bytes.empty()) return f;
  const char* const d = bytes.data();
  const std::size_t n = bytes.size();
  const char last = bytes.back();
  f.lines = 1;
  if (needs.lineNumber || needs.nextLine) {
    const auto lf = static_cast<long long>(std::count(d, d + n, '\n'));
    long long cr = 0, crlf = 0;
    for (const char* p = d; (p = static_cast<const char*>(std::memchr(p, '\r', d + n - p)));) {
      ++cr;
      if (++p < d + n && *p == '\n') ++crlf;
    }
    f.lines = lf + cr - crlf + (last != '\n' && last != '\r' ? 1 : 0);
  }
  if (needs.lineBefore) {
    // The last line: from the break before it to its own break, if any.
    std::size_t end = n;
    if (last == '\r') {
      end = n - 1;
    } else if (last == '\n') {
      end = n >= 2 && bytes[n - 2] == '\r' ? n - 2 : n - 1;
    }
    const std::size_t cut = end == 0 ? std::string_view::npos : bytes.find_last_of("\r\n", end - 1);
    const std::size_t start = cut == std::string_view::npos ? 0 : cut + 1;
    f.lastLineBlank = QuorlinUtils::IsBlankLine(bytes.substr(start, end - start));
  }
  if (needs.tagState) {
    for (std::size_t i = n; i > 0; --i) {
      if (d[i - 1] == '<' || d[i - 1] == '>') {
        f.lastBracket = d[i - 1];
        break;
      }
    }
  }
  f.firstTerminator = FirstTerminator(bytes);
  return f;
}

PieceFacts Combine(const PieceFacts& first, const PieceFacts& then) {
  PieceFacts f = first;
  f.lines += then.lines;
  if (then.lines > 0) f.lastLineBlank = then.lastLineBlank;
  if (then.lastBracket != 0) f.lastBracket = then.lastBracket;
  if (f.firstTerminator.empty()) f.firstTerminator = then.firstTerminator;
  return f;
}

PieceBoundary After(const SplitNeeds& needs, const PieceBoundary& start, const PieceFacts& facts) {
  PieceBoundary b = start;
  b.linesBefore = std::min(start.linesBefore + facts.lines, kLinesCounted);
  if (facts.lines > 0) b.lastTestedBlank = facts.lastLineBlank;
  if (facts.lastBracket != 0) b.insideTag = facts.lastBracket == '<';
  b.firstLineJoined = false;
  return Normalised(needs, b);
}

std::size_t WholeLinesLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  if (bytes.back() == '\n') return bytes.size();
  // A CR as the last byte may be followed by an LF not yet read.
  const std::size_t at =
      bytes.size() < 2 ? std::string_view::npos : bytes.find_last_of("\r\n", bytes.size() - 2);
  return at == std::string_view::npos ? 0 : at + 1;
}

// ---------------------------------------------------------------- lines

bool PieceLines::next(std::string_view& line) {
  LineFacts facts;
  return next(line, facts);
}

bool PieceLines::next(std::string_view& line, LineFacts& facts) {
  if (pos_ >= data_.size()) return false;
  const char* const base = data_.data();
  bool tabs, high;
  const auto stop = std::size_t(FindLineEnd(base + pos_, base + data_.size(), tabs, high) - base);
  line = data_.substr(pos_, stop - pos_);
  facts.hasTab = tabs;
  facts.hasHigh = high ? 1 : 0;
  facts.hasKey = -1;
  if (keyWatch().active()) facts.hasKey = nextKey() < stop ? 1 : 0;
  if (pattern_.active()) facts.hasKey = pattern_.holds(data_, pos_, stop, facts.hasTab);
  pos_ = stop + 1;
  if (stop < data_.size() && base[stop] == '\r' && pos_ < data_.size() && base[pos_] == '\n')
    ++pos_;
  return true;
}

std::string_view PieceLines::nextLines(bool untilKey, bool untilBracket) {
  if (pos_ >= data_.size() || pattern_.active() || (untilKey && !keyWatch().active())) return {};
  std::size_t limit = data_.size();
  if (untilKey) limit = std::min(nextKey(), limit);
  const std::size_t cut = WholeLinesEnd(data_, pos_, limit, untilBracket);
  const std::string_view lines = data_.substr(pos_, cut - pos_);
  pos_ = cut;
  return lines;
}

std::string_view PieceLines::nextLinesAndKeyLine(bool& keyLine) {
  keyLine = false;
  if (pos_ >= data_.size() || pattern_.active() || !keyWatch().active()) return {};
  if (const std::size_t key = nextKey(); key < data_.size()) {
    // The bytes end at a line boundary: a CR at the end is a line break.
    const std::size_t after = LineEndAfter(data_, key, false);
    if (after != std::string_view::npos) {
      keyLine = true;
      const std::string_view lines = data_.substr(pos_, after - pos_);
      pos_ = after;
      return lines;
    }
  }
  return nextLines(true, false);
}

void PieceLines::watchKey(std::string_view key, bool caseBlind) {
  keyWatch().set(key, caseBlind);
  nextKey_ = kStale;
}

// ---------------------------------------------------------------- tokens

namespace {

std::string_view TerminatorName(std::string_view t) {
  return t == "\r\n" ? "crlf" : t == "\n" ? "lf" : t == "\r" ? "cr" : "none";
}
std::optional<std::string_view> TerminatorOf(std::string_view name) {
  if (name == "crlf") return "\r\n";
  if (name == "lf") return "\n";
  if (name == "cr") return "\r";
  if (name == "none") return "";
  return std::nullopt;
}

// The values of "name=value" fields separated by commas, named in this order.
bool Fields(std::string_view token, std::initializer_list<std::string_view> names,
            std::vector<std::string_view>& values) {
  values.clear();
  for (std::string_view name : names) {
    const std::size_t comma = token.find(',');
    const std::string_view field = token.substr(0, comma);
    if (field.size() <= name.size() || field.substr(0, name.size()) != name ||
        field[name.size()] != '=')
      return false;
    values.push_back(field.substr(name.size() + 1));
    token = comma == std::string_view::npos ? std::string_view() : token.substr(comma + 1);
    if (comma == std::string_view::npos) break;
  }
  return values.size() == names.size() && token.empty();
}

bool ParseCount(std::string_view s, long long& v) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size() && v >= 0;
}
bool ParseFlag(std::string_view s, bool& v) {
  if (s != "0" && s != "1") return false;
  v = s == "1";
  return true;
}

}  // namespace

std::string EncodeContext(const PieceContext& c) {
  return "lines=" + std::to_string(c.at.linesBefore) +
         ",blank=" + (c.at.lastTestedBlank ? "1" : "0") + ",tag=" + (c.at.insideTag ? "1" : "0") +
         ",joined=" + (c.at.firstLineJoined ? "1" : "0") +
         ",term=" + std::string(TerminatorName(c.terminator));
}

std::optional<PieceContext> DecodeContext(std::string_view token) {
  std::vector<std::string_view> v;
  PieceContext c;
  if (!Fields(token, {"lines", "blank", "tag", "joined", "term"}, v) ||
      !ParseCount(v[0], c.at.linesBefore) || !ParseFlag(v[1], c.at.lastTestedBlank) ||
      !ParseFlag(v[2], c.at.insideTag) || !ParseFlag(v[3], c.at.firstLineJoined))
    return std::nullopt;
  const std::optional<std::string_view> t = TerminatorOf(v[4]);
  if (!t || t->empty()) return std::nullopt;
  c.terminator = *t;
  return c;
}

std::string EncodeFacts(const PieceFacts& f) {
  const char* bracket = f.lastBracket == '<' ? "open" : f.lastBracket == '>' ? "close" : "none";
  return "lines=" + std::to_string(f.lines) + ",blank=" + (f.lastLineBlank ? "1" : "0") +
         ",bracket=" + bracket + ",term=" + std::string(TerminatorName(f.firstTerminator));
}

std::optional<PieceFacts> DecodeFacts(std::string_view token) {
  std::vector<std::string_view> v;
  PieceFacts f;
  if (!Fields(token, {"lines", "blank", "bracket", "term"}, v) || !ParseCount(v[0], f.lines) ||
      !ParseFlag(v[1], f.lastLineBlank))
    return std::nullopt;
  if (v[2] == "open")
    f.lastBracket = '<';
  else if (v[2] == "close")
    f.lastBracket = '>';
  else if (v[2] != "none")
    return std::nullopt;
  const std::optional<std::string_view> t = TerminatorOf(v[3]);
  if (!t) return std::nullopt;
  f.firstTerminator = *t;
  return f;
}

std::vector<PieceContext> ChainContexts(const SplitNeeds& needs,
                                        const std::vector<PieceFacts>& facts) {
  std::string_view terminator;
  for (const PieceFacts& f : facts) {
    if (!f.firstTerminator.empty()) {
      terminator = f.firstTerminator;
      break;
    }
  }
  if (terminator.empty()) terminator = "\n";
  std::vector<PieceContext> contexts;
  PieceBoundary at = Normalised(needs, PieceBoundary{});
  for (const PieceFacts& f : facts) {
    contexts.push_back({at, terminator});
    at = After(needs, at, f);
  }
  return contexts;
}

}  // namespace quorlin
