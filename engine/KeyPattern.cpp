// SPDX-License-Identifier: Apache-2.0
#include "engine/KeyPattern.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cassert>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <re2/re2.h>

#include "textutil/Utf8.h"

namespace quorlin {

namespace QU = QuorlinUtils;

namespace {

constexpr std::string_view kNotAReplacement =
    "The Replacement Key Text is not a valid replacement for the pattern: ";

RE2::Options PatternOptions(bool utf8) {
  RE2::Options o;
  o.set_encoding(utf8 ? RE2::Options::EncodingUTF8 : RE2::Options::EncodingLatin1);
  o.set_log_errors(false);
  o.set_max_mem(kPatternMemory);
  o.set_case_sensitive(true);  // the case rule is written into the pattern
  return o;
}

// RE2 quotes the pattern in its messages as UTF-8; in Latin-1 mode the user
// typed 8-bit text.
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

// Appends the bytes of set below limit as a class body of \xNN ranges.
void AppendByteRanges(std::string& out, const ByteSet& set, unsigned limit) {
  static constexpr char kHex[] = "0123456789abcdef";
  auto hex = [&](unsigned c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  for (unsigned c = 0; c < limit;) {
    if (!set[c]) {
      ++c;
      continue;
    }
    unsigned last = c;
    while (last + 1 < limit && set[last + 1]) ++last;
    hex(c);
    if (last > c) {
      out += '-';
      hex(last);
    }
    c = last + 1;
  }
}

// The end of the escape sequence at i, as RE2 reads one (outside a class, or
// one character inside it).
std::size_t EscapeEnd(std::string_view p, std::size_t i) {
  const std::size_t n = p.size();
  const char e = p[i + 1];
  if (IsOctal(e)) {  // up to three octal digits
    std::size_t k = i + 2;
    for (int more = 0; more < 2 && k < n && IsOctal(p[k]); ++more) ++k;
    return k;
  }
  if (e == 'x' || e == 'p' || e == 'P') {
    if (i + 2 < n && p[i + 2] == '{') return p.find('}', i + 3) + 1;
    return e == 'x' ? i + 4 : i + 3;
  }
  return i + 2;
}

// The end of the bracketed class at i: "]" right after "[" or "[^" is a
// member; "[:name:]" is read wherever ":]" follows; a range may end in "[".
std::size_t ClassEnd(std::string_view p, std::size_t i) {
  const std::size_t n = p.size();
  std::size_t j = i + 1;
  if (j < n && p[j] == '^') ++j;
  auto charEnd = [&](std::size_t k) { return p[k] == '\\' ? EscapeEnd(p, k) : k + 1; };
  for (bool first = true; j < n && (p[j] != ']' || first); first = false) {
    if (p[j] == '[' && n - j > 2 && p[j + 1] == ':') {
      const std::size_t close = p.find(":]", j + 2);
      if (close != std::string_view::npos) {
        j = close + 2;
        continue;
      }
    }
    if (p[j] == '\\' && std::string_view("pPdDsSwW").find(p[j + 1]) != std::string_view::npos) {
      j = EscapeEnd(p, j);
      continue;
    }
    j = charEnd(j);
    if (j + 1 < n && p[j] == '-' && p[j + 1] != ']') j = charEnd(j + 1);
  }
  return j + 1;
}

// Rewrites a pattern that RE2 accepts, keeping what it matches but for:
//  - fold: the letters a-z and A-Z match either case, as under RE2's own
//    "(?i)" but without folding any other byte. Each literal letter becomes a
//    class of both cases; a class (bracketed, \pN and the like) that the case
//    rule changes becomes an explicit class of bytes, worked out by RE2 itself
//    (the class matched with and without "(?i)", the first taken for letters
//    only). Where the user's own "(?i)" or "(?-i)" holds, RE2 decides.
//  - anchors: ^, $, \A and \z match anywhere (they are left out), or
//    at every LF (they become "(?m:^)" and "(?m:$)"), or stay as they are.
//  - utf8 (RE2's UTF-8 mode): "." and every class that holds all characters
//    above 127 ("[^>]", "\W") become classes without the surrogates. RE2
//    would take such a class as any lead byte and continuation bytes, so an
//    overlong form, a surrogate or a value above U+10FFFF would be one
//    character to it; without them it takes valid characters only, and a
//    byte that starts no valid character (a stray byte) matches nothing.
// \Q...\E always becomes escaped bytes (characters in UTF-8), so the result
// can be wrapped safely. Capturing groups keep their numbers: only
// non-capturing ones are added.
enum class Anchors { Kept, Dropped, AtEveryLf };

class Rewriter {
 public:
  Rewriter(std::string_view p, bool fold, Anchors anchors, bool utf8)
      : p_(p), fold_(fold), anchors_(anchors), utf8_(utf8) {}

  std::string run();
  bool sawAnchor() const { return sawAnchor_; }
  // Whether the pattern holds \C, one byte whatever the encoding.
  bool sawAnyByte() const { return anyByte_; }
  // Whether some piece of the pattern may match a space or a tab.
  bool mayMatchBlank() const { return blank_; }

 private:
  // The case rule the user wrote: none, "(?i)" or "(?-i)".
  enum class UserCase { Unset, Fold, Exact };
  bool folding() const { return fold_ && userCase_ == UserCase::Unset; }
  std::size_t groupOpening(std::size_t i);
  void literal(unsigned value, std::string_view token);
  void quoted(unsigned char c);
  void anchor(std::string_view token);
  void charClass(std::string_view token);
  void utf8Class(std::string_view token);
  // The single bytes a one-character pattern matches; in UTF-8 mode only
  // those below 128 can match, and wide tells whether it holds every
  // character above 127.
  struct Members {
    ByteSet bytes;
    bool wide = false;
  };
  const Members& members(const std::string& pattern);

  std::string_view p_;
  bool fold_;
  Anchors anchors_;
  bool utf8_;
  bool anyByte_ = false;
  UserCase userCase_ = UserCase::Unset;
  std::vector<UserCase> savedCase_;  // userCase_ outside each open group
  bool sawAnchor_ = false;
  bool blank_ = false;
  std::string out_;
  std::map<std::string, Members> members_;  // classes already worked out
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
          for (std::size_t k = i + 2; k < stop; ++k) {
            if (utf8_ && static_cast<unsigned char>(p_[k]) >= 0x80) {
              const QU::Utf8Char u = QU::DecodeUtf8(p_.data() + k, stop - k);
              char hex[16];
              std::snprintf(hex, sizeof hex, "\\x{%x}", static_cast<unsigned>(u.codePoint));
              out_ += hex;
              k += u.length - 1;
              continue;
            }
            quoted(static_cast<unsigned char>(p_[k]));
          }
          i = end == std::string_view::npos ? n : end + 2;
          continue;
        }
        const std::size_t end = EscapeEnd(p_, i);
        const std::string_view token = p_.substr(i, end - i);
        if (e == 'A' || e == 'z') {
          anchor(token);
        } else if (e == 'p' || e == 'P') {
          charClass(token);
        } else if (utf8_ && std::string_view("dDsSwW").find(e) != std::string_view::npos) {
          utf8Class(token);
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
          anyByte_ = anyByte_ || e == 'C';
          out_.append(token);
        }
        i = end;
        continue;
      }
      case '[': {
        const std::size_t end = ClassEnd(p_, i);
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
        if (utf8_ && c == '.') {
          utf8Class(p_.substr(i, 1));
          ++i;
        } else if (utf8_ && static_cast<unsigned char>(c) >= 0x80) {
          // A character of several bytes: never a letter a-z.
          const std::size_t length = QU::Utf8CharLength(p_, i);
          out_.append(p_.substr(i, length));
          i += length;
        } else {
          literal(static_cast<unsigned char>(c), p_.substr(i, 1));
          ++i;
        }
        continue;
    }
  }
  return std::move(out_);
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
  else if (anchors_ == Anchors::Dropped) {
    // Nothing in its place, so RE2 still sees the bytes a match starts with
    // and can skip ahead to them; an empty group only where a repetition
    // follows and needs something to repeat.
    const auto next = static_cast<std::size_t>(token.data() - p_.data()) + token.size();
    if (next < p_.size() && std::string_view("*+?{").find(p_[next]) != std::string_view::npos)
      out_.append("(?:)");
  } else
    out_.append(token == "^" || token == "\\A" ? "(?m:^)" : "(?m:$)");
}

// A class matches the same bytes whatever the case rule unless it treats a
// letter and its other case differently.
void Rewriter::charClass(std::string_view token) {
  if (utf8_) {
    utf8Class(token);
    return;
  }
  const std::string atom(token);
  const ByteSet& exact = members(atom).bytes;
  if (exact[' '] || exact['\t']) blank_ = true;
  if (!folding()) {
    out_.append(token);
    return;
  }
  const ByteSet& folded = members("(?i:" + atom + ")").bytes;
  ByteSet wanted = exact;
  for (unsigned c = 0; c < 256; ++c)
    if (IsLetter(c)) wanted[c] = folded[c];
  if (wanted == exact) {
    out_.append(token);
    return;
  }
  if (wanted.none()) {
    out_ += "[^\\x00-\\xff]";
    return;
  }
  out_ += '[';
  AppendByteRanges(out_, wanted, 256);
  out_ += ']';
}

// A class of characters (a bracketed class, \pN, \d and the like, "."):
// its characters above 127 stay as they are, its letters a-z and A-Z take
// the case rule. Under RE2's "(?i)" a class only gains letters, a negated
// one ("[^a]", "\PL") only loses them.
void Rewriter::utf8Class(std::string_view token) {
  const std::string atom(token);
  const Members& exact = members(atom);
  if (exact.bytes[' '] || exact.bytes['\t']) blank_ = true;
  ByteSet wanted = exact.bytes;
  if (folding()) {
    const ByteSet& folded = members("(?i:" + atom + ")").bytes;
    for (unsigned c = 0; c < 128; ++c)
      if (IsLetter(c)) wanted[c] = folded[c];
  }
  if (exact.wide) {  // every character above 127, and the ASCII wanted
    ByteSet others;
    for (unsigned c = 0; c < 128; ++c) others[c] = !wanted[c];
    out_ += "[^";
    AppendByteRanges(out_, others, 128);
    out_ += "\\x{d800}-\\x{dfff}]";
    return;
  }
  const ByteSet gained = wanted & ~exact.bytes, lost = exact.bytes & ~wanted;
  std::string core(token);
  if (lost.any() && token.substr(0, 2) == "[^") {
    // The letters lost join what the class excludes, in front, where a "]"
    // or "-" first in the class would no longer be literal unescaped.
    core = "[^";
    AppendByteRanges(core, lost, 128);
    std::string_view rest = token.substr(2);
    if (rest[0] == ']' || rest[0] == '-') core += '\\';
    core.append(rest);
  } else if (lost.any() && token.substr(0, 2) == "\\P") {
    core = "[^\\p";
    core.append(token.substr(2));
    AppendByteRanges(core, lost, 128);
    core += ']';
  }
  // A positive class that holds a negated one ("[\PLx]") keeps what it has:
  // its letters are not taken away.
  if (gained.none()) {
    out_ += core;
    return;
  }
  out_ += "(?:" + core + "|[";
  AppendByteRanges(out_, gained, 128);
  out_ += "])";
}

// The bytes a one-character pattern matches.
const Rewriter::Members& Rewriter::members(const std::string& pattern) {
  const auto known = members_.find(pattern);
  if (known != members_.end()) return known->second;
  Members set;
  RE2::Options o = PatternOptions(utf8_);
  o.set_never_capture(true);
  const RE2 re(pattern, o);
  assert(re.ok());
  for (unsigned c = 0; c < (utf8_ ? 128U : 256U); ++c) {
    const char byte = static_cast<char>(c);
    set.bytes[c] = RE2::FullMatch(re2::StringPiece(&byte, 1), re);
  }
  // An overlong form: only a class that holds every character above 127 is
  // compiled to take it.
  set.wide = utf8_ && RE2::FullMatch("\xE0\x80\x80", re);
  return members_.emplace(pattern, set).first->second;
}

// For a pattern that may match empty text: a pattern that matches wherever
// the first matches something non-empty (and perhaps elsewhere), and never
// matches empty text. The search for an occurrence then looks only where
// such a match starts, instead of one byte after another. Built from the
// pattern's structure (as rewritten, without \Q):
//  - a byte, a class: itself; an assertion (^ $ \A \z \b \B): nothing;
//  - A|B: the non-empty part of A | that of B;
//  - A1..An: for each Ai that only empty matches of A1..Ai-1 stand before, the
//    non-empty part of Ai followed by Ai+1..An;
//  - A*, A+, A{n,m}: the non-empty part of A followed by A* (A{0,m-1});
//    A?: the non-empty part of A.
// Assertions before the first byte and the case flags are dropped (the
// result folds every case when the pattern folds any): it may match more,
// never less. Lines hold no LF, so the flags s and m change nothing here.
class NonEmptyPart {
 public:
  NonEmptyPart(std::string_view p, bool utf8) : p_(p), utf8_(utf8) {}
  // Empty when the pattern never matches anything but empty text.
  std::optional<std::string> run() {
    Piece all = alternation();
    if (!all.nonEmpty) return std::nullopt;
    return (fold_ ? "(?i)" : "") + *all.nonEmpty;
  }

 private:
  struct Piece {
    std::string text;                     // the piece, its flags dropped
    bool nullable = true;                 // it may match empty text
    std::optional<std::string> nonEmpty;  // its non-empty matches and perhaps more
  };

  static std::string grouped(const std::string& text) { return "(?:" + text + ")"; }

  bool more() const { return i_ < p_.size() && p_[i_] != '|' && p_[i_] != ')'; }

  Piece alternation() {
    Piece all = concatenation();
    std::string nonEmpty = all.nonEmpty.value_or("");
    bool any = all.nonEmpty.has_value();
    while (i_ < p_.size() && p_[i_] == '|') {
      ++i_;
      Piece next = concatenation();
      all.text += "|" + next.text;
      all.nullable = all.nullable || next.nullable;
      if (next.nonEmpty) {
        nonEmpty += (any ? "|" : "") + *next.nonEmpty;
        any = true;
      }
    }
    if (any) all.nonEmpty = grouped(nonEmpty);
    return all;
  }

  Piece concatenation() {
    std::vector<Piece> parts;
    while (more()) parts.push_back(repeated(atom()));
    Piece all;
    std::string terms;
    bool leadEmpty = true;  // all parts so far may match empty text
    for (std::size_t k = 0; k < parts.size(); ++k) {
      all.text += parts[k].text;
      if (leadEmpty && parts[k].nonEmpty) {
        std::string term = *parts[k].nonEmpty;
        for (std::size_t j = k + 1; j < parts.size(); ++j) term += parts[j].text;
        terms += (terms.empty() ? "" : "|") + term;
      }
      leadEmpty = leadEmpty && parts[k].nullable;
    }
    all.nullable = leadEmpty;
    if (!terms.empty()) all.nonEmpty = grouped(terms);
    return all;
  }

  Piece atom() {
    const std::size_t start = i_;
    const char c = p_[i_];
    if (c == '(') {
      std::string open = "(?:";
      if (i_ + 1 < p_.size() && p_[i_ + 1] == '?') {
        std::size_t k = i_ + 2;
        if (p_[k] == 'P') {
          k = p_.find('>', k) + 1;
        } else {
          while (p_[k] != ')' && p_[k] != ':') fold_ = fold_ || p_[k++] == 'i';
          if (p_[k] == ')') {  // flags alone: they match nothing
            i_ = k + 1;
            return Piece{"(?:)", true, std::nullopt};
          }
          ++k;
        }
        i_ = k;
      } else {
        ++i_;
      }
      Piece inner = alternation();
      ++i_;  // ")"
      Piece group{open + inner.text + ")", inner.nullable, std::nullopt};
      if (inner.nonEmpty) group.nonEmpty = grouped(*inner.nonEmpty);
      return group;
    }
    if (c == '[') {
      i_ = ClassEnd(p_, i_);
    } else if (c == '\\') {
      i_ = EscapeEnd(p_, i_);
      if (std::string_view("bBAz").find(p_[start + 1]) != std::string_view::npos)
        return Piece{std::string(p_.substr(start, 2)), true, std::nullopt};
    } else if (c == '^' || c == '$') {
      ++i_;
      return Piece{std::string(1, c), true, std::nullopt};
    } else if (utf8_ && static_cast<unsigned char>(c) >= 0x80) {
      i_ += QU::Utf8CharLength(p_, i_);  // a character of several bytes
    } else {
      ++i_;  // a byte, ".", or a "{" that starts no counted repetition
    }
    const std::string text(p_.substr(start, i_ - start));
    return Piece{text, false, text};
  }

  // The counted repetition at i_ ("{n}", "{n,}", "{n,m}"): its bounds (max -1
  // for none) and its end; no end when "{" is a literal there.
  std::optional<std::size_t> counted(int& min, int& max) const {
    std::size_t k = i_ + 1;
    auto number = [&](int& v) {
      const std::size_t from = k;
      v = 0;
      while (k < p_.size() && p_[k] >= '0' && p_[k] <= '9') v = v * 10 + (p_[k++] - '0');
      return k > from;
    };
    if (!number(min)) return std::nullopt;
    max = min;
    if (k < p_.size() && p_[k] == ',') {
      ++k;
      if (!number(max)) max = -1;
    }
    if (k >= p_.size() || p_[k] != '}') return std::nullopt;
    return k + 1;
  }

  Piece repeated(Piece a) {
    if (i_ >= p_.size()) return a;
    const std::size_t start = i_;
    const char c = p_[i_];
    int min = 0, max = -1;
    if (c == '*' || c == '+' || c == '?') {
      ++i_;
      min = c == '+' ? 1 : 0;
      max = c == '?' ? 1 : -1;
    } else if (c == '{' && counted(min, max)) {
      i_ = *counted(min, max);
    } else {
      return a;
    }
    if (i_ < p_.size() && p_[i_] == '?') ++i_;  // lazy: the same matches
    Piece r{a.text + std::string(p_.substr(start, i_ - start)), a.nullable || min == 0,
            std::nullopt};
    if (a.nonEmpty && max != 0) {
      const std::string rest = max < 0 ? "*" : "{0," + std::to_string(max - 1) + "}";
      r.nonEmpty = grouped(*a.nonEmpty) + (max == 1 ? "" : grouped(a.text) + rest);
    }
    return r;
  }

  std::string_view p_;
  bool utf8_;
  std::size_t i_ = 0;
  bool fold_ = false;
};

std::unique_ptr<RE2> Compile(const std::string& pattern, bool utf8, bool captures,
                             std::string& error) {
  RE2::Options o = PatternOptions(utf8);
  o.set_never_capture(!captures);
  auto re = std::make_unique<RE2>(pattern, o);
  if (!re->ok()) error = utf8 ? re->error() : ToLatin1(re->error());
  return re;
}

}  // namespace

KeyPattern::KeyPattern() = default;
KeyPattern::~KeyPattern() = default;

KeyPattern::Compiled KeyPattern::compile(std::string_view key, bool caseSensitive, Uses uses,
                                         QU::Encoding encoding) {
  Compiled result;
  std::string error;
  const bool utf8 = encoding == QU::Encoding::Utf8;
  // The pattern as typed first: its messages quote what the user wrote.
  const std::string typed(key);
  std::unique_ptr<RE2> asTyped = Compile(typed, utf8, true, error);
  if (!error.empty()) {
    result.message = std::string(kNotAPattern) + error;
    return result;
  }
  std::shared_ptr<KeyPattern> k(new KeyPattern());
  Rewriter kept(key, !caseSensitive, Anchors::Kept, utf8);
  const std::string rewritten = kept.run();
  if (utf8 && kept.sawAnyByte()) {
    result.message = std::string(kNotAPattern).append(kAnyByteInUtf8);
    return result;
  }
  k->anchored_ = kept.sawAnchor();
  k->tabBlind_ = !kept.mayMatchBlank();
  k->main_ = caseSensitive && !utf8 ? std::move(asTyped) : Compile(rewritten, utf8, true, error);
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
  // A pattern that may match empty text: where its non-empty matches may start.
  // None at all: only empty matches, no occurrence ever. One too large to
  // compile: the search goes on one byte after another.
  auto nonEmpty = [&](const std::string& pattern) -> std::unique_ptr<RE2> {
    const std::optional<std::string> part = NonEmptyPart(pattern, utf8).run();
    if (!part) return nullptr;
    std::string ignored;
    std::unique_ptr<RE2> re = Compile(*part, utf8, false, ignored);
    return re->ok() ? std::move(re) : nullptr;
  };
  if (k->matchesEmpty_) {
    k->onlyEmpty_ = !NonEmptyPart(rewritten, utf8).run();
    k->nonEmpty_ = nonEmpty(rewritten);
  }
  if (uses.lineEnd) k->atEnd_ = Compile("(?:" + rewritten + ")\\z", utf8, false, error);
  if (error.empty() && uses.blocks) {
    // Searches over blocks: for a pattern that may match empty text, where
    // its non-empty matches may start (never certain, never empty).
    for (const Anchors anchors : {Anchors::Dropped, Anchors::AtEveryLf}) {
      if (anchors == Anchors::AtEveryLf && !k->anchored_) break;
      const std::string text = Rewriter(key, !caseSensitive, anchors, utf8).run();
      std::unique_ptr<RE2> re = k->matchesEmpty_ ? nonEmpty(text) : nullptr;
      if (re == nullptr) re = Compile(text, utf8, false, error);
      (anchors == Anchors::Dropped ? k->block_ : k->lfBlock_) = std::move(re);
    }
  }
  if (!error.empty()) {
    result.message = std::string(kNotAPattern) + error;
    return result;
  }
  result.pattern = std::move(k);
  return result;
}

QU::KeyMatch KeyPattern::find(std::string_view s, std::size_t from) const {
  auto offset = [&](const re2::StringPiece& m) {
    return static_cast<std::size_t>(m.data() - s.data());
  };
  re2::StringPiece m;
  if (from > s.size() || !main_->Match(s, from, s.size(), RE2::UNANCHORED, &m, 1)) return {};
  if (!m.empty()) return {offset(m), m.size()};
  if (onlyEmpty_) return {};
  // The leftmost match is empty, which is no occurrence: the search goes on
  // one byte further, up to a place where the match the pattern prefers is
  // not empty. Only where a non-empty match may start is it asked for.
  for (std::size_t next = offset(m) + 1; next <= s.size();) {
    std::size_t at = 0;
    if (nonEmpty_ != nullptr) {
      re2::StringPiece candidate;
      if (!nonEmpty_->Match(s, next, s.size(), RE2::UNANCHORED, &candidate, 1)) return {};
      at = offset(candidate);
      if (!main_->Match(s, at, s.size(), RE2::ANCHOR_START, &m, 1)) {
        next = at + 1;
        continue;
      }
    } else {
      if (!main_->Match(s, next, s.size(), RE2::UNANCHORED, &m, 1)) return {};
      at = offset(m);
    }
    if (!m.empty()) return {at, m.size()};
    next = at + 1;
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
  if (onlyEmpty_) return {};
  // Where the lines end in LF alone, ^ and $ can match at each LF as they
  // would at each line's start and end; any CR makes them match anywhere.
  const bool lfOnly = noCr && lfBlock_ != nullptr;
  const RE2& re = lfOnly ? *lfBlock_ : *block_;
  re2::StringPiece m;
  std::size_t from = 0;
  if (lfOnly && !matchesEmpty_) {
    // With ^ and $ matching at every LF, RE2 cannot skip ahead to the bytes a
    // match starts with. Every match of that form is one of the form without
    // anchors, which can: no match starts before the first of those.
    if (!block_->Match(block, 0, block.size(), RE2::UNANCHORED, &m, 1)) return {};
    from = static_cast<std::size_t>(m.data() - block.data());
  }
  if (!re.Match(block, from, block.size(), RE2::UNANCHORED, &m, 1)) return {};
  if (m.empty()) return {0, false, false};
  const auto at = static_cast<std::size_t>(m.data() - block.data());
  // A match within one line is one of that line's own, unless it leaned on an
  // anchor that was dropped, or on the end of the block, where the line may
  // go on, or the pattern may match empty text (the block then finds where
  // non-empty matches may start).
  const bool oneLine =
      std::string_view(m.data(), m.size()).find_first_of("\r\n") == std::string_view::npos;
  const bool beforeEnd = at + m.size() < block.size();
  return {at, oneLine && beforeEnd && (!anchored_ || lfOnly) && !matchesEmpty_, true};
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
