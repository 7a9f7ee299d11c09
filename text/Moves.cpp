// SPDX-License-Identifier: Apache-2.0
#include "text/Moves.h"

#include <algorithm>
#include <string>

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

int WordClassAt(const Text& text, std::size_t offset) {
  return WordClass(static_cast<unsigned char>(text.at(offset)));
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
      return WordEnd(t, p);
    case Move::PrevWord:
      return WordStart(t, p);
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

std::size_t WordEnd(const Text& t, std::size_t offset) {
  const std::size_t end = t.lineEnd(t.lineAt(offset));
  if (offset >= end) return std::min(offset + 1, t.size());
  std::size_t p = offset;
  const int kind = WordClassAt(t, p);
  bool inRun = kind != 0;
  std::string scratch;
  while (p < end) {
    for (const char c : t.view(p, std::min(end, p + kPart), scratch)) {
      const int k = WordClass(static_cast<unsigned char>(c));
      if (inRun && k == kind) {
        ++p;
        continue;
      }
      inRun = false;
      if (k != 0) return p;
      ++p;
    }
  }
  return p;
}

std::size_t WordStart(const Text& t, std::size_t offset) {
  const std::size_t start = t.lineStart(t.lineAt(offset));
  if (offset <= start) return offset > 0 ? offset - 1 : 0;
  std::size_t p = offset;
  int kind = -1;  // blanks first, then a run of one kind
  std::string scratch;
  while (p > start) {
    const std::size_t from = p > start + kPart ? p - kPart : start;
    const std::string_view bytes = t.view(from, p, scratch);
    for (std::size_t i = bytes.size(); i > 0; --i) {
      const int k = WordClass(static_cast<unsigned char>(bytes[i - 1]));
      if (kind < 0 && k == 0) {
        --p;
        continue;
      }
      if (kind < 0) kind = k;
      if (k != kind) return p;
      --p;
    }
  }
  return p;
}

Selection WordAround(const Text& t, std::size_t offset) {
  const std::size_t line = t.lineAt(offset);
  const std::size_t start = t.lineStart(line), end = t.lineEnd(line);
  if (start == end) return {offset, offset};
  const std::size_t at = offset < end ? offset : offset - 1;
  const int kind = WordClassAt(t, at);
  std::size_t a = at, b = at + 1;
  while (a > start && WordClassAt(t, a - 1) == kind) --a;
  while (b < end && WordClassAt(t, b) == kind) ++b;
  return {a, b};
}

Selection LineAround(const Text& t, std::size_t offset) {
  const std::size_t line = t.lineAt(offset);
  const std::size_t end = t.lineEnd(line);
  return {t.lineStart(line), end < t.size() ? end + 1 : end};
}

}  // namespace quorlin::text
