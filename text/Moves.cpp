// SPDX-License-Identifier: Apache-2.0
#include "text/Moves.h"

#include <algorithm>
#include <string>
#include <utility>

#include "textutil/Utf8.h"

namespace quorlin::text {
namespace {

// Words are read in views of this many bytes: a long line is never copied.
constexpr std::size_t kPart = 4096;

// 0 blanks, 1 word characters, 2 the rest.
int WordClass(unsigned char b) {
  if (b == ' ' || b == '\t') return 0;
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_')
    return 1;
  if (b >= 0xC0) return b == 0xD7 || b == 0xF7 ? 2 : 1;
  switch (b) {
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F:
    case 0xAA:
    case 0xB5:
    case 0xBA:
      return 1;
    default:
      return 2;
  }
}

// Classes beyond ASCII in UTF-8: punctuation, symbols and spaces of the
// common blocks are "the rest", every other character a word character (so
// are combining marks, which stay with their letter); a stray byte is the
// rest.
int Utf8WordClass(char32_t c) {
  if (c < 0x80) return WordClass(static_cast<unsigned char>(c));
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kOther[] = {
      {0x0080, 0x00A9}, {0x00AB, 0x00B4}, {0x00B6, 0x00B9}, {0x00BB, 0x00BF},
      {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x2000, 0x206F}, {0x20A0, 0x20CF},
      {0x2190, 0x2BFF}, {0x3000, 0x303F}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF0F},
      {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}, {0x1F000, 0x1FAFF},
  };
  for (const Range& r : kOther) {
    if (c < r.first) return 1;
    if (c <= r.last) return 2;
  }
  return 1;
}

// The class and length of the character that starts at i of bytes, and of
// the one that ends at i: each byte one character, or UTF-8.
struct ByteChars {
  static std::pair<int, std::size_t> at(std::string_view bytes, std::size_t i) {
    return {WordClass(static_cast<unsigned char>(bytes[i])), 1};
  }
  static std::pair<int, std::size_t> before(std::string_view bytes, std::size_t i) {
    return {WordClass(static_cast<unsigned char>(bytes[i - 1])), 1};
  }
};
struct Utf8Chars {
  static std::pair<int, std::size_t> at(std::string_view bytes, std::size_t i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) return {WordClass(b), 1};
    const QuorlinUtils::Utf8Char c = QuorlinUtils::DecodeUtf8(bytes.data() + i, bytes.size() - i);
    return {c.valid ? Utf8WordClass(c.codePoint) : 2, c.length};
  }
  static std::pair<int, std::size_t> before(std::string_view bytes, std::size_t i) {
    const auto b = static_cast<unsigned char>(bytes[i - 1]);
    if (b < 0x80) return {WordClass(b), 1};
    const std::size_t n = QuorlinUtils::Utf8LastCharLength(bytes.substr(0, i));
    return {at(bytes, i - n).first, n};
  }
};

// Bytes enough to hold a character beyond a part's end.
constexpr std::size_t kSlack = 4;

template <class Chars>
std::size_t WordEndOf(const Text& t, std::size_t offset) {
  const std::size_t end = t.lineEnd(t.lineAt(offset));
  if (offset >= end) return std::min(offset + 1, t.size());
  std::size_t p = offset;
  int kind = -1;
  bool inRun = false;
  std::string scratch;
  while (p < end) {
    const std::string_view bytes = t.view(p, std::min(end, p + kPart + kSlack), scratch);
    const std::size_t limit = std::min(bytes.size(), kPart);
    std::size_t i = 0;
    while (i < limit) {
      const auto [k, n] = Chars::at(bytes, i);
      if (kind < 0) {
        kind = k;
        inRun = k != 0;
      }
      if (!(inRun && k == kind)) {
        inRun = false;
        if (k != 0) return p + i;
      }
      i += n;
    }
    p += i;
  }
  return p;
}

template <class Chars>
std::size_t WordStartOf(const Text& t, std::size_t offset) {
  const std::size_t start = t.lineStart(t.lineAt(offset));
  if (offset <= start) return offset > 0 ? offset - 1 : 0;
  std::size_t p = offset;
  int kind = -1;  // blanks first, then a run of one kind
  std::string scratch;
  while (p > start) {
    const std::size_t from = p > start + kPart ? p - kPart : start;
    const std::string_view bytes = t.view(from, p, scratch);
    // Near the part's start a character may begin before it: the next part.
    const std::size_t floor = from > start ? kSlack : 0;
    std::size_t i = bytes.size();
    while (i > floor) {
      const auto [k, n] = Chars::before(bytes, i);
      if (kind < 0 && k == 0) {
        i -= n;
        continue;
      }
      if (kind < 0) kind = k;
      if (k != kind) return from + i;
      i -= n;
    }
    p = from + i;
  }
  return p;
}

template <class Chars>
Selection WordAroundOf(const Text& t, std::size_t offset) {
  const std::size_t line = t.lineAt(offset);
  const std::size_t start = t.lineStart(line), end = t.lineEnd(line);
  if (start == end) return {offset, offset};
  std::string scratch;
  // The character at offset, or the one before it at the line's end.
  std::size_t at = offset;
  if (offset >= end) {
    const std::size_t from = offset > start + kSlack ? offset - kSlack : start;
    at = offset - Chars::before(t.view(from, offset, scratch), offset - from).second;
  }
  const int kind = Chars::at(t.view(at, std::min(end, at + kSlack), scratch), 0).first;
  std::size_t a = at, b = at;
  while (a > start) {
    const std::size_t from = a > start + kSlack ? a - kSlack : start;
    const auto [k, n] = Chars::before(t.view(from, a, scratch), a - from);
    if (k != kind) break;
    a -= n;
  }
  while (b < end) {
    const auto [k, n] = Chars::at(t.view(b, std::min(end, b + kSlack), scratch), 0);
    if (k != kind) break;
    b += n;
  }
  return {a, b};
}

}  // namespace

bool MovesByRows(Move move) {
  return move == Move::NextRow || move == Move::PrevRow || move == Move::NextPage ||
         move == Move::PrevPage;
}

std::size_t MoveTarget(const RowLayout& layout, Move move, Selection selection, bool select) {
  const Text& t = layout.text();
  const std::size_t p = selection.position;
  switch (move) {
    case Move::NextChar:
      return !select && !selection.empty() ? selection.end() : layout.nextPosition(p);
    case Move::PrevChar:
      return !select && !selection.empty() ? selection.start() : layout.previousPosition(p);
    case Move::NextWord:
      return WordEnd(t, p, layout.encoding());
    case Move::PrevWord:
      return WordStart(t, p, layout.encoding());
    case Move::RowStart:
      return layout.row(layout.rowOf(p)).start;
    case Move::RowEnd: {
      const Row r = layout.row(layout.rowOf(p));
      if (!r.lastOfLine && r.end > r.start) {
        const char last = t.at(r.end - 1);
        if (last == ' ' || last == '\t') return r.end - 1;
      }
      return r.end;
    }
    case Move::LineStart:
      return t.lineStart(t.lineAt(p));
    case Move::LineEnd:
      return t.lineEnd(t.lineAt(p));
    case Move::TextStart:
      return 0;
    case Move::TextEnd:
      return t.size();
    case Move::NextRow:
    case Move::PrevRow:
    case Move::NextPage:
    case Move::PrevPage:
      break;
  }
  return p;
}

RowMove MoveRows(const RowLayout& layout, std::size_t offset, std::ptrdiff_t rows, std::int64_t x) {
  const std::size_t from = layout.rowOf(offset);
  if (x < 0) x = layout.xAt(layout.row(from), offset);
  const std::ptrdiff_t last = std::ptrdiff_t(layout.rowCount()) - 1;
  RowMove move;
  move.fromRow = from;
  move.row = std::size_t(std::clamp<std::ptrdiff_t>(std::ptrdiff_t(from) + rows, 0, last));
  move.offset = layout.caretAtX(layout.row(move.row), x);
  move.x = x;
  return move;
}

std::size_t WordEnd(const Text& t, std::size_t offset, Encoding encoding) {
  return encoding == Encoding::Utf8 ? WordEndOf<Utf8Chars>(t, offset)
                                    : WordEndOf<ByteChars>(t, offset);
}

std::size_t WordStart(const Text& t, std::size_t offset, Encoding encoding) {
  return encoding == Encoding::Utf8 ? WordStartOf<Utf8Chars>(t, offset)
                                    : WordStartOf<ByteChars>(t, offset);
}

Selection WordAround(const Text& t, std::size_t offset, Encoding encoding) {
  return encoding == Encoding::Utf8 ? WordAroundOf<Utf8Chars>(t, offset)
                                    : WordAroundOf<ByteChars>(t, offset);
}

Selection LineAround(const Text& t, std::size_t offset) {
  const std::size_t line = t.lineAt(offset);
  const std::size_t end = t.lineEnd(line);
  return {t.lineStart(line), end < t.size() ? end + 1 : end};
}

}  // namespace quorlin::text
