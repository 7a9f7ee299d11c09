// SPDX-License-Identifier: Apache-2.0
#include "engine/KeyPattern.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <re2/re2.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The repetition at i ("*", "+", "?", "{n}", "{n,}", "{n,m}"), its end;
// none when there is none there.
std::optional<std::size_t> Repetition(std::string_view p, std::size_t i, int& min, int& max) {
  if (i >= p.size()) return std::nullopt;
  const char c = p[i];
  if (c == '*' || c == '+' || c == '?') {
    min = c == '+' ? 1 : 0;
    max = c == '?' ? 1 : -1;
    return i + 1;
  }
  if (c != '{') return std::nullopt;
  std::size_t k = i + 1;
  auto number = [&](int& v) {
    const std::size_t from = k;
    v = 0;
    while (k < p.size() && p[k] >= '0' && p[k] <= '9' && v < 100000) v = v * 10 + (p[k++] - '0');
    return k > from;
  };
  if (!number(min)) return std::nullopt;
  max = min;
  if (k < p.size() && p[k] == ',') {
    ++k;
    if (!number(max)) max = -1;
  }
  if (k >= p.size() || p[k] != '}') return std::nullopt;
  return k + 1;
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

  Piece repeated(Piece a) {
    if (i_ >= p_.size()) return a;
    const std::size_t start = i_;
    int min = 0, max = -1;
    const auto end = Repetition(p_, i_, min, max);
    if (!end) return a;
    i_ = *end;
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

// A pattern simple enough to be matched without RE2: alternatives, each a
// sequence of elements, an element a set of bytes taken min to max times
// (greedy), groups only around elements. Made only where matching is
// deterministic: after an element that may take a byte more or fewer, no
// byte it takes can start what must follow it, so at each place the greedy
// count is the only one that can lead to a match and the first alternative
// that matches there is the match RE2 prefers. No alternative matches empty
// text, and no piece looks at the bytes around a match (no \b; ^ only first
// and $ only last in an alternative, the line's start and end), so a match
// at a place depends on the bytes from there on only. In UTF-8
// only ASCII literals are taken: such a byte is always a character whole.
class KeyPattern::Simple {
 public:
  struct Element {
    std::array<bool, 256> set{};
    int min = 1, max = 1;  // max -1: no limit
  };
  struct Alternative {
    std::vector<Element> elements;
    bool atStart = false, atEnd = false;  // after ^, before $
  };
  // A capturing group: the elements [first, last) of one alternative.
  struct Group {
    std::size_t alternative, first, last;
  };
  // What a search tells: the match (none: not found), or known false when it
  // gave up (a line that makes it try too many places) and RE2 must decide.
  struct Found {
    QU::KeyMatch match;
    bool known = true;
  };

  static std::unique_ptr<Simple> make(std::string_view key, bool fold, bool utf8);

  Found find(std::string_view s, std::size_t from) const {
    const std::size_t n = s.size();
    if (from >= n) return {};
    // Each place is tried at most once per alternative; a place's tries stop
    // at the line's end. A line that makes them walk far too many bytes goes
    // to RE2, which takes linear time.
    std::size_t budget = 8 * (n - from) + 4096;
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t p = from; p < n; ++p) {
      if (single_ >= 0) {
        const void* at = std::memchr(b + p, single_, n - p);
        if (at == nullptr) return {};
        p = static_cast<std::size_t>(static_cast<const unsigned char*>(at) - b);
      } else if (quick_.count > 0) {
        p = quick_.find(b, n, p);
        if (p == std::string_view::npos) return {};
      } else if (pairs_.empty()) {
        while (p < n && !first_[b[p]]) ++p;
        if (p == n) return {};
      } else {
        while (p + 1 < n && !pairs_[b[p] << 8 | b[p + 1]]) ++p;
        if (p + 1 >= n) return {};
      }
      if (startOnly_ && p > 0) return {};
      for (const Alternative& alt : alternatives_) {
        const std::size_t end = matchAt(b, n, p, alt, budget, nullptr);
        if (end != kNoMatch) return {{p, end - p}, true};
        if (budget == 0) return {{}, false};
      }
    }
    return {};
  }

  // Appends r for the match m (\0 the match, \1 to \9 the groups, \\ a
  // backslash): the match again, now telling where each element starts.
  void appendReplacement(std::string& out, std::string_view s, QU::KeyMatch m,
                         std::string_view r) const {
    std::array<std::size_t, 64> places{};
    std::vector<std::size_t> more;
    std::size_t* at = places.data();
    if (longest_ + 1 > places.size()) {
      more.resize(longest_ + 1);
      at = more.data();
    }
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t a = 0;
    for (std::size_t budget = std::string_view::npos;; ++a) {
      assert(a < alternatives_.size());
      if (matchAt(b, s.size(), m.at, alternatives_[a], budget, at) != kNoMatch) break;
    }
    assert(at[alternatives_[a].elements.size()] == m.at + m.length);
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (r[i] != '\\' || i + 1 == r.size()) {
        out += r[i];
        continue;
      }
      const char c = r[++i];
      if (c < '0' || c > '9') {
        out += c;  // "\\"
      } else if (c == '0') {
        out.append(s.substr(m.at, m.length));
      } else if (const auto g = std::size_t(c - '1');
                 g < groups_.size() && groups_[g].alternative == a) {
        out.append(s.substr(at[groups_[g].first], at[groups_[g].last] - at[groups_[g].first]));
      }
    }
  }

  const Words& words() const { return words_; }
  int groups() const { return int(groups_.size()); }

 private:
  static constexpr std::size_t kNoMatch = std::string_view::npos;

  // The end of the match of alt at p, or kNoMatch; places (if asked) the
  // place before each element and after the last.
  static std::size_t matchAt(const unsigned char* b, std::size_t n, std::size_t p,
                             const Alternative& alt, std::size_t& budget, std::size_t* places) {
    if (alt.atStart && p > 0) return kNoMatch;
    for (std::size_t e = 0; e < alt.elements.size(); ++e) {
      const Element& el = alt.elements[e];
      if (places != nullptr) places[e] = p;
      const std::size_t limit = el.max < 0 ? n : std::min(n, p + std::size_t(el.max));
      const std::size_t start = p;
      while (p < limit && el.set[b[p]]) ++p;
      const std::size_t taken = p - start;
      budget = taken + 1 > budget ? 0 : budget - taken - 1;
      if (taken < std::size_t(el.min)) return kNoMatch;
    }
    if (alt.atEnd && p < n) return kNoMatch;
    if (places != nullptr) places[alt.elements.size()] = p;
    return p;
  }

  bool finish(bool fold);

  std::vector<Alternative> alternatives_;
  std::vector<Group> groups_;
  std::array<bool, 256> first_{};  // the bytes a match may start with
  int single_ = -1;                // the only one, or -1
  // Where every alternative starts with two bytes each taken once: the pairs
  // of bytes a match may start with (byte 1 << 8 | byte 2).
  std::vector<bool> pairs_;
  BytePairs quick_;          // the same when there are at most four
  bool startOnly_ = true;    // every alternative starts with ^
  std::size_t longest_ = 0;  // the most elements of an alternative
  Words words_;
};

namespace {

// The bytes a piece of one byte matches, under the case rule, in Latin-1.
std::array<bool, 256> BytesOf(std::string_view token, bool fold) {
  RE2::Options o = PatternOptions(false);
  o.set_never_capture(true);
  const RE2 re(Rewriter(token, fold, Anchors::Kept, false).run(), o);
  std::array<bool, 256> set{};
  for (unsigned c = 0; c < 256 && re.ok(); ++c) {
    const char byte = static_cast<char>(c);
    set[c] = RE2::FullMatch(re2::StringPiece(&byte, 1), re);
  }
  return set;
}

}  // namespace

std::unique_ptr<KeyPattern::Simple> KeyPattern::Simple::make(std::string_view p, bool fold,
                                                             bool utf8) {
  auto simple = std::make_unique<Simple>();
  simple->alternatives_.emplace_back();
  std::vector<std::optional<std::size_t>> open;  // the open groups, numbered when capturing
  std::map<std::string, std::array<bool, 256>, std::less<>> known;
  bool canRepeat = false;
  for (std::size_t i = 0; i < p.size();) {
    Alternative& alt = simple->alternatives_.back();
    const char c = p[i];
    int min = 0, max = 0;
    if (const auto end = Repetition(p, i, min, max)) {
      if (!canRepeat ||
          (*end < p.size() && std::string_view("*+?{").find(p[*end]) != std::string_view::npos))
        return nullptr;  // lazy, or a repetition of a group or of nothing
      alt.elements.back().min = min;
      alt.elements.back().max = max;
      canRepeat = false;
      i = *end;
      continue;
    }
    canRepeat = false;
    if (c == '|') {
      if (!open.empty()) return nullptr;
      simple->alternatives_.emplace_back();
      ++i;
      continue;
    }
    if (c == '(') {
      bool capturing = true;
      if (i + 1 < p.size() && p[i + 1] == '?') {
        if (p.substr(i + 2, 1) == ":") {
          capturing = false;
          i += 3;
        } else if (p.substr(i + 2, 2) == "P<") {
          i = p.find('>', i) + 1;
        } else {
          return nullptr;  // flags
        }
      } else {
        ++i;
      }
      std::optional<std::size_t> number;
      if (capturing) {
        number = simple->groups_.size();
        simple->groups_.push_back(
            {simple->alternatives_.size() - 1, alt.elements.size(), alt.elements.size()});
      }
      open.push_back(number);
      continue;
    }
    if (c == ')') {
      if (open.empty()) return nullptr;
      if (open.back()) simple->groups_[*open.back()].last = alt.elements.size();
      open.pop_back();
      ++i;
      if (Repetition(p, i, min, max)) return nullptr;
      continue;
    }
    if (c == '^') {  // first in an alternative: the line's start
      if (alt.atStart || !alt.elements.empty() || !open.empty()) return nullptr;
      alt.atStart = true;
      ++i;
      continue;
    }
    if (c == '$') {  // last in an alternative: the line's end
      if (!open.empty() || (i + 1 < p.size() && p[i + 1] != '|')) return nullptr;
      alt.atEnd = true;
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    if (c == '\\') {
      if (i + 1 >= p.size()) return nullptr;
      const auto e = static_cast<unsigned char>(p[i + 1]);
      const bool punctuation = e < 0x80 && !std::isalnum(e);
      if (!punctuation &&
          (utf8 || std::string_view("dDsSwWpPxntrfva").find(char(e)) == std::string_view::npos))
        return nullptr;
      end = EscapeEnd(p, i);
    } else if (c == '[') {
      if (utf8) return nullptr;
      end = ClassEnd(p, i);
    } else if (utf8 && (c == '.' || static_cast<unsigned char>(c) >= 0x80)) {
      return nullptr;
    }
    if (end > p.size()) return nullptr;
    const std::string_view token = p.substr(i, end - i);
    Element element;
    if (utf8) {  // an ASCII byte, perhaps escaped
      const auto byte = static_cast<unsigned char>(token.back());
      element.set[byte] = true;
      if (fold && IsLetter(byte)) element.set[byte ^ 0x20] = true;
    } else {
      auto at = known.find(token);
      if (at == known.end()) at = known.emplace(std::string(token), BytesOf(token, fold)).first;
      element.set = at->second;
    }
    alt.elements.push_back(element);
    canRepeat = true;
    i = end;
  }
  if (!open.empty() || !simple->finish(fold)) return nullptr;
  return simple;
}

// Checks that matching is deterministic and that no alternative matches
// empty text; works out where matches start and the words.
bool KeyPattern::Simple::finish(bool fold) {
  for (const Alternative& alt : alternatives_) {
    const auto& els = alt.elements;
    longest_ = std::max(longest_, els.size());
    startOnly_ = startOnly_ && alt.atStart;
    bool needsByte = false;
    for (std::size_t e = 0; e < els.size(); ++e) {
      needsByte = needsByte || els[e].min > 0;
      if (els[e].min == els[e].max) continue;
      for (std::size_t f = e + 1; f < els.size(); ++f) {
        for (unsigned c = 0; c < 256; ++c)
          if (els[e].set[c] && els[f].set[c]) return false;
        if (els[f].min > 0) break;
      }
    }
    if (!needsByte) return false;
    for (const Element& el : els) {
      for (unsigned c = 0; c < 256; ++c) first_[c] = first_[c] || el.set[c];
      if (el.min > 0) break;
    }
  }
  int count = 0;
  for (unsigned c = 0; c < 256; ++c)
    if (first_[c]) {
      ++count;
      single_ = int(c);
    }
  if (count != 1) single_ = -1;
  const bool twoBytes = std::all_of(alternatives_.begin(), alternatives_.end(), [](const auto& a) {
    const auto& els = a.elements;
    return els.size() >= 2 && els[0].min == 1 && els[0].max == 1 && els[1].min == 1 &&
           els[1].max == 1;
  });
  if (single_ < 0 && twoBytes) {
    pairs_.assign(1 << 16, false);
    for (const Alternative& alt : alternatives_)
      for (unsigned c = 0; c < 256; ++c)
        for (unsigned d = 0; c < 256 && alt.elements[0].set[c] && d < 256; ++d)
          if (alt.elements[1].set[d]) pairs_[c << 8 | d] = true;
  }
  // At most four first bytes, or pairs of them: looked for sixteen at a time.
  quick_.single = pairs_.empty();
  bool few = single_ < 0;
  for (unsigned c = 0; c < 256 && few; ++c)
    for (unsigned d = 0; d < (quick_.single ? 1U : 256U) && first_[c] && few; ++d)
      if (quick_.single || pairs_[c << 8 | d])
        few = quick_.add(static_cast<unsigned char>(c), static_cast<unsigned char>(d));
  if (!few) quick_ = {};

  // Words: in each alternative the longest run of elements that each take
  // one given byte once (a letter in either case when folding): the whole
  // alternative when it is such a run, or else the longest run without a
  // blank where there is one (it tells about lines with tabs too).
  auto byteOf = [&](const Element& el) -> int {
    if (el.min != 1 || el.max != 1) return -1;
    int found = -1, count = 0;
    for (unsigned c = 0; c < 256; ++c)
      if (el.set[c]) {
        ++count;
        if (found < 0) found = int(c);
      }
    if (count == 1 && !(fold && IsLetter(unsigned(found)))) return found;
    if (fold && count == 2 && IsLetter(unsigned(found)) && el.set[unsigned(found) ^ 0x20])
      return QU::LowerAscii(char(found)) & 0xFF;
    return -1;
  };
  words_.exact = true;
  words_.blankFree = true;
  for (const Alternative& alt : alternatives_) {
    std::string best, run, bestFree, free;
    bool whole = !alt.atStart && !alt.atEnd;
    for (const Element& el : alt.elements) {
      const int byte = byteOf(el);
      if (byte < 0 || byte == '\n' || byte == '\r') {
        whole = false;
        run.clear();
        free.clear();
        continue;
      }
      run += char(byte);
      if (run.size() > best.size()) best = run;
      if (byte == ' ' || byte == '\t') {
        free.clear();
        continue;
      }
      free += char(byte);
      if (free.size() > bestFree.size()) bestFree = free;
    }
    if (best.empty()) {
      words_ = {};
      return true;
    }
    const std::string& word = whole || bestFree.empty() ? best : bestFree;
    words_.exact = words_.exact && whole;
    words_.blankFree = words_.blankFree && word.find_first_of(" \t") == std::string::npos;
    words_.fold = words_.fold || (fold && std::any_of(word.begin(), word.end(), [](char c) {
                                    return IsLetter(static_cast<unsigned char>(c));
                                  }));
    words_.words.push_back(word);
  }
  return true;
}

bool KeyPattern::BytePairs::add(unsigned char a, unsigned char b) {
  for (int i = 0; i < count; ++i)
    if (first[i] == a && (single || second[i] == b)) return true;
  if (count == 4) return false;
  first[count] = a;
  second[count] = b;
  ++count;
  return true;
}

std::size_t KeyPattern::BytePairs::find(const unsigned char* b, std::size_t n,
                                        std::size_t from) const {
  const std::size_t width = single ? 1 : 2;
  std::size_t p = from;
#if defined(__SSE2__)
  __m128i f[4], s[4];
  for (int i = 0; i < count; ++i) {
    f[i] = _mm_set1_epi8(static_cast<char>(first[i]));
    s[i] = _mm_set1_epi8(static_cast<char>(second[i]));
  }
  for (; p + 15 + width <= n; p += 16) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p));
    const __m128i v1 = single ? v0 : _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p + 1));
    __m128i hit = _mm_setzero_si128();
    for (int i = 0; i < count; ++i) {
      __m128i h = _mm_cmpeq_epi8(v0, f[i]);
      if (!single) h = _mm_and_si128(h, _mm_cmpeq_epi8(v1, s[i]));
      hit = _mm_or_si128(hit, h);
    }
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + std::size_t(__builtin_ctz(unsigned(mask)));
  }
#endif
  for (; p + width <= n; ++p)
    for (int i = 0; i < count; ++i)
      if (b[p] == first[i] && (single || b[p + 1] == second[i])) return p;
  return std::string_view::npos;
}

std::size_t KeyPattern::findWord(std::string_view bytes, std::size_t from) const {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t p = from;; ++p) {
    p = wordScan_.find(b, bytes.size(), p);
    if (p == std::string_view::npos) return p;
    for (const std::string& w : words_.words)
      if (bytes.compare(p, w.size(), w) == 0) return p;
  }
}

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
  if (!k->matchesEmpty_) {
    k->simple_ = Simple::make(key, !caseSensitive, utf8);
    if (k->simple_ != nullptr && k->simple_->groups() != k->main_->NumberOfCapturingGroups())
      k->simple_ = nullptr;
    if (k->simple_ != nullptr) k->words_ = k->simple_->words();
    // Scanned by their first two bytes, or by their first when one is a
    // single byte.
    BytePairs& scan = k->wordScan_;
    scan.single = std::any_of(k->words_.words.begin(), k->words_.words.end(),
                              [](const std::string& w) { return w.size() == 1; });
    bool few = true;
    for (const std::string& w : k->words_.words)
      few = few && scan.add(static_cast<unsigned char>(w[0]),
                            static_cast<unsigned char>(scan.single ? 0 : w[1]));
    if (!few) scan = {};
  }
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
  if (simple_ != nullptr) {
    const Simple::Found found = simple_->find(s, from);
    if (found.known) return found.match;
  }
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
  if (simple_ != nullptr) {
    simple_->appendReplacement(out, s, m, r);
    return;
  }
  // The groups up to the last one r names; beyond \0 the same match again,
  // held to where it starts and ends, now with its groups. A match that
  // leans on $ or \z ends where the line ends.
  int last = 0;
  for (std::size_t i = 0; i + 1 < r.size(); ++i) {
    if (r[i] != '\\') continue;
    if (r[i + 1] >= '0' && r[i + 1] <= '9') last = std::max(last, r[i + 1] - '0');
    ++i;
  }
  std::array<re2::StringPiece, 10> groups;
  groups[0] = re2::StringPiece(s.data() + m.at, m.length);
  if (last > 0) {
    const bool again =
        main_->Match(s, m.at, m.at + m.length, RE2::ANCHOR_BOTH, groups.data(), last + 1);
    assert(again && groups[0].size() == m.length);
    (void)again;
  }
  main_->Rewrite(&out, r, groups.data(), last + 1);
}

bool KeyPattern::contains(std::string_view line) const {
  // Where no match can be empty, any match is an occurrence: the search need
  // not tell where it is.
  if (!matchesEmpty_ && simple_ == nullptr)
    return main_->Match(line, 0, line.size(), RE2::UNANCHORED, nullptr, 0);
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
  if (!pattern_->words().words.empty()) return holdsWords(buffer, start, end, hasTab);
  if (stale_ || (hit_.at != std::string_view::npos && hitAt_ < start)) {
    // The buffer's last line (a line longer than a block, say): a search from
    // here would cover that line alone, which the line's own search does
    // better (RE2 reads a pattern that ends in $ from the line's end).
    if (buffer.size() - end <= 2) return -1;
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

// A line that holds none of the pattern's words holds no match; one that
// holds one holds a match when the words are exact, and otherwise is
// searched. A word holds no CR or LF: found in the buffer, it lies within
// one line. Each word is searched for again only once the line passes it.
signed char PatternWatch::holdsWords(std::string_view buffer, std::size_t start, std::size_t end,
                                     bool hasTab) {
  const KeyPattern::Words& w = pattern_->words();
  if (stale_) {
    nextWord_.assign(w.words.size(), kUnknown);
    if (w.fold) {
      lowered_.clear();
      QU::AppendLowerCase(lowered_, buffer.substr(start));
      loweredAt_ = start;
    }
    stale_ = false;
  }
  // The line tested has its tabs expanded: a word without a blank is in it
  // exactly when it is in the bytes as read.
  const bool tabsMatter = hasTab && !pattern_->tabBlind();
  if (tabsMatter && !w.blankFree) return -1;
  const std::string_view searched = w.fold ? std::string_view(lowered_) : buffer;
  const std::size_t base = w.fold ? loweredAt_ : 0;
  std::size_t nearest = std::string_view::npos;
  if (pattern_->wordsScanned()) {
    std::size_t& next = nextWord_[0];
    if (next == kUnknown || next < start) {
      const std::size_t at = pattern_->findWord(searched, start - base);
      next = at == std::string_view::npos ? at : base + at;
    }
    nearest = next;
  }
  for (std::size_t i = 0; i < w.words.size() && !pattern_->wordsScanned(); ++i) {
    std::size_t& next = nextWord_[i];
    if (next == kUnknown || next < start) {
      const std::string& word = w.words[i];
      const std::size_t at = QU::FindKeyFrom(searched, word, start - base, false);
      next = at == std::string_view::npos ? at : base + at;
    }
    nearest = std::min(nearest, next);
  }
  if (nearest >= end) return 0;
  if (tabsMatter) return -1;
  if (w.exact) return 1;
  return pattern_->contains(buffer.substr(start, end - start)) ? 1 : 0;
}

}  // namespace quorlin
