// SPDX-License-Identifier: Apache-2.0
#include "engine/KeyPattern.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cassert>
#include <map>
#include <utility>
#include <vector>

#include <re2/re2.h>

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

constexpr std::string_view kNotAPattern = "The Test Key is not a valid pattern: ";
constexpr std::string_view kNotAReplacement =
    "The Replacement Key Text is not a valid replacement for the pattern: ";

RE2::Options PatternOptions() {
  RE2::Options o;
  o.set_encoding(RE2::Options::EncodingLatin1);
  o.set_log_errors(false);
  o.set_max_mem(kPatternMemory);
  o.set_case_sensitive(true);  // the case rule is written into the pattern
  return o;
}

// RE2 quotes the pattern in its messages as UTF-8; the user typed 8-bit text.
std::string ToLatin1(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if ((c == 0xC2 || c == 0xC3) && (next & 0xC0) == 0x80) {
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (next & 0x3F)));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

constexpr bool IsLetter(unsigned c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

using ByteSet = std::bitset<256>;

// Rewrites a pattern that RE2 accepts, keeping what it matches but for:
//  - fold: the letters a-z and A-Z match either case, as under RE2's own
//    "(?i)" but without folding any other byte. Each literal letter becomes a
//    class of both cases; a class (bracketed, \pN and the like) that the case
//    rule changes becomes an explicit class of bytes, worked out by RE2 itself
//    (the class matched with and without "(?i)", the first taken for letters
//    only). Where the user's own "(?i)" or "(?-i)" holds, RE2 decides.
//  - anchors: ^, $, \A and \z match anywhere (they become empty groups), or
//    at every LF (they become "(?m:^)" and "(?m:$)"), or stay as they are.
// \Q...\E always becomes escaped bytes, so the result can be wrapped safely.
// Capturing groups keep their numbers: only non-capturing ones are added.
enum class Anchors { Kept, Dropped, AtEveryLf };

class Rewriter {
 public:
  Rewriter(std::string_view p, bool fold, Anchors anchors)
      : p_(p), fold_(fold), anchors_(anchors) {}

  std::string run();
  bool sawAnchor() const { return sawAnchor_; }
  // Whether some piece of the pattern may match a space or a tab.
  bool mayMatchBlank() const { return blank_; }

 private:
  // The case rule the user wrote: none, "(?i)" or "(?-i)".
  enum class UserCase { Unset, Fold, Exact };
  bool folding() const { return fold_ && userCase_ == UserCase::Unset; }
  std::size_t escapeEnd(std::size_t i) const;
  std::size_t classEnd(std::size_t i) const;
  std::size_t groupOpening(std::size_t i);
  void literal(unsigned value, std::string_view token);
  void quoted(unsigned char c);
  void anchor(std::string_view token);
  void charClass(std::string_view token);
  const ByteSet& members(const std::string& pattern);

  std::string_view p_;
  bool fold_;
  Anchors anchors_;
  UserCase userCase_ = UserCase::Unset;
  std::vector<UserCase> savedCase_;  // userCase_ outside each open group
  bool sawAnchor_ = false;
  bool blank_ = false;
  std::string out_;
  std::map<std::string, ByteSet> members_;  // classes already worked out
};

std::string Rewriter::run() {
  const std::size_t n = p_.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = p_[i];
    switch (c) {
      case '\\': {
        assert(i + 1 < n);  // a valid pattern does not end in a lone backslash
        const char e = p_[i + 1];
        if (e == 'Q') {
          const std::size_t end = p_.find("\\E", i + 2);
          const std::size_t stop = end == std::string_view::npos ? n : end;
          for (std::size_t k = i + 2; k < stop; ++k) quoted(static_cast<unsigned char>(p_[k]));
          i = end == std::string_view::npos ? n : end + 2;
          continue;
        }
        const std::size_t end = escapeEnd(i);
        const std::string_view token = p_.substr(i, end - i);
        if (e == 'A' || e == 'z') {
          anchor(token);
        } else if (e == 'p' || e == 'P') {
          charClass(token);
        } else if (IsOctal(e)) {
          unsigned v = 0;
          for (char d : token.substr(1)) v = v * 8 + unsigned(d - '0');
          literal(v, token);
        } else if (e == 'x') {
          const bool braces = token[2] == '{';
          const std::string hex(token.substr(braces ? 3 : 2, braces ? token.size() - 4 : 2));
          literal(static_cast<unsigned>(std::stoul(hex, nullptr, 16)), token);
        } else {
          // \b \B \C \d \D \s \S \w \W, \n and the like, escaped punctuation:
          // none of them is changed by the case of a letter.
          if (std::string_view("CsDWt ").find(e) != std::string_view::npos) blank_ = true;
          out_.append(token);
        }
        i = end;
        continue;
      }
      case '[': {
        const std::size_t end = classEnd(i);
        charClass(p_.substr(i, end - i));
        i = end;
        continue;
      }
      case '(':
        savedCase_.push_back(userCase_);
        if (i + 1 < n && p_[i + 1] == '?') {
          const std::size_t end = groupOpening(i);
          out_.append(p_.substr(i, end - i));
          i = end;
        } else {
          out_.push_back(c);
          ++i;
        }
        continue;
      case ')':
        if (!savedCase_.empty()) {
          userCase_ = savedCase_.back();
          savedCase_.pop_back();
        }
        out_.push_back(c);
        ++i;
        continue;
      case '^':
      case '$':
        anchor(p_.substr(i, 1));
        ++i;
        continue;
      default:
        // Operators, braces, digits and other bytes: letters are literals
        // here (a letter never stands inside a counted repetition).
        if (c == '.') blank_ = true;
        literal(static_cast<unsigned char>(c), p_.substr(i, 1));
        ++i;
        continue;
    }
  }
  return std::move(out_);
}

// The end of the escape sequence at i, as RE2 reads one (outside a class, or
// one character inside it).
std::size_t Rewriter::escapeEnd(std::size_t i) const {
  const std::size_t n = p_.size();
  const char e = p_[i + 1];
  if (IsOctal(e)) {  // up to three octal digits
    std::size_t k = i + 2;
    for (int more = 0; more < 2 && k < n && IsOctal(p_[k]); ++more) ++k;
    return k;
  }
  if (e == 'x' || e == 'p' || e == 'P') {
    if (i + 2 < n && p_[i + 2] == '{') return p_.find('}', i + 3) + 1;
    return e == 'x' ? i + 4 : i + 3;
  }
  return i + 2;
}

// The end of the bracketed class at i: "]" right after "[" or "[^" is a
// member; "[:name:]" is read wherever ":]" follows; a range may end in "[".
std::size_t Rewriter::classEnd(std::size_t i) const {
  const std::size_t n = p_.size();
  std::size_t j = i + 1;
  if (j < n && p_[j] == '^') ++j;
  auto charEnd = [&](std::size_t k) { return p_[k] == '\\' ? escapeEnd(k) : k + 1; };
  for (bool first = true; j < n && (p_[j] != ']' || first); first = false) {
    if (p_[j] == '[' && n - j > 2 && p_[j + 1] == ':') {
      const std::size_t close = p_.find(":]", j + 2);
      if (close != std::string_view::npos) {
        j = close + 2;
        continue;
      }
    }
    if (p_[j] == '\\' && std::string_view("pPdDsSwW").find(p_[j + 1]) != std::string_view::npos) {
      j = escapeEnd(j);
      continue;
    }
    j = charEnd(j);
    if (j + 1 < n && p_[j] == '-' && p_[j + 1] != ']') j = charEnd(j + 1);
  }
  return j + 1;
}

// The end of "(?flags)", "(?flags:" or "(?P<name>" at i, whose "(" is
// counted as open; its flags may set the user's own case rule.
std::size_t Rewriter::groupOpening(std::size_t i) {
  if (p_[i + 2] == 'P') return p_.find('>', i + 3) + 1;
  std::size_t k = i + 2;
  bool on = true;
  for (; p_[k] != ')' && p_[k] != ':'; ++k) {
    if (p_[k] == '-') on = false;
    if (p_[k] == 'i') userCase_ = on ? UserCase::Fold : UserCase::Exact;
  }
  // "(?flags)" opens no group: its flags hold to the end of the enclosing one.
  if (p_[k] == ')') savedCase_.pop_back();
  return k + 1;
}

void Rewriter::literal(unsigned value, std::string_view token) {
  if (value == ' ' || value == '\t') blank_ = true;
  if (folding() && IsLetter(value)) {
    const char lower = QU::LowerAscii(static_cast<char>(value));
    out_ += '[';
    out_ += lower;
    out_ += QU::UpperAscii(lower);
    out_ += ']';
  } else {
    out_.append(token);
  }
}

void Rewriter::quoted(unsigned char c) {
  if (c == ' ' || c == '\t') blank_ = true;
  if (folding() && IsLetter(c)) {
    literal(c, {});
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += "\\x";
  out_ += kHex[c >> 4];
  out_ += kHex[c & 15];
}

void Rewriter::anchor(std::string_view token) {
  sawAnchor_ = true;
  if (anchors_ == Anchors::Kept)
    out_.append(token);
  else if (anchors_ == Anchors::Dropped)
    out_.append("(?:)");
  else
    out_.append(token == "^" || token == "\\A" ? "(?m:^)" : "(?m:$)");
}

// A class matches the same bytes whatever the case rule unless it treats a
// letter and its other case differently.
void Rewriter::charClass(std::string_view token) {
  const std::string atom(token);
  const ByteSet& exact = members(atom);
  if (exact[' '] || exact['\t']) blank_ = true;
  if (!folding()) {
    out_.append(token);
    return;
  }
  const ByteSet& folded = members("(?i:" + atom + ")");
  ByteSet wanted = exact;
  for (unsigned c = 0; c < 256; ++c)
    if (IsLetter(c)) wanted[c] = folded[c];
  if (wanted == exact) {
    out_.append(token);
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  auto hex = [&](unsigned c) {
    out_ += "\\x";
    out_ += kHex[c >> 4];
    out_ += kHex[c & 15];
  };
  if (wanted.none()) {
    out_ += "[^\\x00-\\xff]";
    return;
  }
  out_ += '[';
  for (unsigned c = 0; c < 256;) {
    if (!wanted[c]) {
      ++c;
      continue;
    }
    unsigned last = c;
    while (last + 1 < 256 && wanted[last + 1]) ++last;
    hex(c);
    if (last > c) {
      out_ += '-';
      hex(last);
    }
    c = last + 1;
  }
  out_ += ']';
}

// The bytes a one-character pattern matches.
const ByteSet& Rewriter::members(const std::string& pattern) {
  const auto known = members_.find(pattern);
  if (known != members_.end()) return known->second;
  ByteSet set;
  RE2::Options o = PatternOptions();
  o.set_never_capture(true);
  const RE2 re(pattern, o);
  assert(re.ok());
  for (unsigned c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    set[c] = RE2::FullMatch(re2::StringPiece(&byte, 1), re);
  }
  return members_.emplace(pattern, set).first->second;
}

std::unique_ptr<RE2> Compile(const std::string& pattern, bool captures, std::string& error) {
  RE2::Options o = PatternOptions();
  o.set_never_capture(!captures);
  auto re = std::make_unique<RE2>(pattern, o);
  if (!re->ok()) error = ToLatin1(re->error());
  return re;
}

}  // namespace

KeyPattern::KeyPattern() = default;
KeyPattern::~KeyPattern() = default;

KeyPattern::Compiled KeyPattern::compile(std::string_view key, bool caseSensitive, Uses uses) {
  Compiled result;
  std::string error;
  // The pattern as typed first: its messages quote what the user wrote.
  const std::string typed(key);
  std::unique_ptr<RE2> asTyped = Compile(typed, true, error);
  if (!error.empty()) {
    result.message = std::string(kNotAPattern) + error;
    return result;
  }
  std::shared_ptr<KeyPattern> k(new KeyPattern());
  Rewriter kept(key, !caseSensitive, Anchors::Kept);
  const std::string rewritten = kept.run();
  k->anchored_ = kept.sawAnchor();
  k->tabBlind_ = !kept.mayMatchBlank();
  k->main_ = caseSensitive ? std::move(asTyped) : Compile(rewritten, true, error);
  if (error.empty() && uses.lineEnd) k->atEnd_ = Compile("(?:" + rewritten + ")\\z", false, error);
  if (error.empty() && uses.blocks)
    k->block_ = Compile(Rewriter(key, !caseSensitive, Anchors::Dropped).run(), false, error);
  if (error.empty() && uses.blocks && k->anchored_)
    k->lfBlock_ = Compile(Rewriter(key, !caseSensitive, Anchors::AtEveryLf).run(), false, error);
  if (!error.empty()) {  // within RE2's syntax, but too large once rewritten
    result.message = std::string(kNotAPattern) + error;
    return result;
  }
  // An empty match depends only on what stands around it: the line's start or
  // end, a word byte or another. These texts hold every such pair.
  static constexpr std::pair<std::string_view, std::size_t> kPlaces[] = {
      {"", 0}, {"a", 0}, {"a", 1}, {" ", 0}, {" ", 1}, {"aa", 1}, {"  ", 1}, {"a ", 1}, {" a", 1}};
  k->matchesEmpty_ = false;
  for (const auto& [text, at] : kPlaces)
    k->matchesEmpty_ =
        k->matchesEmpty_ || k->main_->Match(text, at, at, RE2::ANCHOR_BOTH, nullptr, 0);
  result.pattern = std::move(k);
  return result;
}

QU::KeyMatch KeyPattern::find(std::string_view s, std::size_t from) const {
  re2::StringPiece m;
  while (from <= s.size()) {
    if (!main_->Match(s, from, s.size(), RE2::UNANCHORED, &m, 1)) break;
    const auto at = static_cast<std::size_t>(m.data() - s.data());
    if (!m.empty()) return {at, m.size()};
    from = at + 1;  // an empty match is no occurrence
  }
  return {};
}

void KeyPattern::appendReplacement(std::string& out, std::string_view s, QU::KeyMatch m,
                                   std::string_view r) const {
  if (r.find('\\') == std::string_view::npos) {
    out.append(r);
    return;
  }
  // The same match again, anchored where it starts, now with its groups.
  std::array<re2::StringPiece, 10> groups;
  const int n = std::min(1 + main_->NumberOfCapturingGroups(), 10);
  const bool again = main_->Match(s, m.at, s.size(), RE2::ANCHOR_START, groups.data(), n);
  assert(again && groups[0].size() == m.length);
  (void)again;
  main_->Rewrite(&out, r, groups.data(), n);
}

bool KeyPattern::contains(std::string_view line) const {
  // Where no match can be empty, any match is an occurrence: the search need
  // not tell where it is.
  if (!matchesEmpty_) return main_->Match(line, 0, line.size(), RE2::UNANCHORED, nullptr, 0);
  return find(line, 0).found();
}

bool KeyPattern::endsLine(std::string_view line) const {
  assert(atEnd_);
  re2::StringPiece m;
  // The leftmost start of a match that ends the line: a non-empty one exists
  // exactly when that start lies before the end.
  return atEnd_->Match(line, 0, line.size(), RE2::UNANCHORED, &m, 1) &&
         static_cast<std::size_t>(m.data() - line.data()) < line.size();
}

std::string KeyPattern::replacementProblem(std::string_view r) const {
  std::string error;
  if (main_->CheckRewriteString(r, &error)) return {};
  const int groups = main_->NumberOfCapturingGroups();
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (r[i] != '\\') continue;
    if (i + 1 == r.size()) return std::string(kNotAReplacement) + "it ends in a lone \\";
    const char c = r[i + 1];
    if (c >= '0' && c <= '9') {
      if (c - '0' > groups)
        return std::string(kNotAReplacement) + '\\' + c +
               " names a group the pattern does not have (it has " + std::to_string(groups) + ")";
    } else if (c != '\\') {
      return std::string(kNotAReplacement) + '\\' + c + R"( is none of \0 to \9 and \\)";
    }
    ++i;
  }
  return std::string(kNotAReplacement) + error;
}

KeyPattern::BlockHit KeyPattern::blockHit(std::string_view block, bool noCr) const {
  assert(block_);
  // Where the lines end in LF alone, ^ and $ can match at each LF as they
  // would at each line's start and end; any CR makes them match anywhere.
  const bool lfOnly = noCr && lfBlock_ != nullptr;
  const RE2& re = lfOnly ? *lfBlock_ : *block_;
  re2::StringPiece m;
  if (!re.Match(block, 0, block.size(), RE2::UNANCHORED, &m, 1)) return {};
  if (m.empty()) return {0, false, false};
  const auto at = static_cast<std::size_t>(m.data() - block.data());
  // A match within one line is one of that line's own, unless it leaned on an
  // anchor that was dropped, or on the end of the block, where the line may
  // go on.
  const bool oneLine =
      std::string_view(m.data(), m.size()).find_first_of("\r\n") == std::string_view::npos;
  const bool beforeEnd = at + m.size() < block.size();
  return {at, oneLine && beforeEnd && (!anchored_ || lfOnly), true};
}

signed char PatternWatch::holds(std::string_view buffer, std::size_t start, std::size_t end,
                                bool hasTab) {
  if (pattern_ == nullptr) return -1;
  if (stale_ || (hit_.at != std::string_view::npos && hitAt_ < start)) {
    if (stale_ || (nextCr_ != std::string_view::npos && nextCr_ < start))
      nextCr_ = buffer.find('\r', start);
    hit_ = pattern_->blockHit(buffer.substr(start), nextCr_ == std::string_view::npos);
    if (!hit_.usable) {  // a pattern that matches empty text: line by line from here
      pattern_ = nullptr;
      return -1;
    }
    hitAt_ = hit_.at == std::string_view::npos ? hit_.at : start + hit_.at;
    stale_ = false;
  }
  // The line tested has its tabs expanded: the raw bytes tell only for a
  // pattern that never matches a blank.
  if (hasTab && !pattern_->tabBlind()) return -1;
  if (hit_.at == std::string_view::npos || hitAt_ >= end) return 0;
  return hit_.certain ? 1 : -1;
}

}  // namespace quorlin
