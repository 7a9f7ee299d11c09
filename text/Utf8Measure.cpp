// SPDX-License-Identifier: Apache-2.0
#include "text/Utf8Measure.h"

#include "textutil/Utf8.h"

namespace quorlin::text {
namespace {

using QuorlinUtils::DecodeUtf8;
using QuorlinUtils::Utf8Char;

// Characters after which no break falls before the next one (a prefix of the
// syllable that follows), in the scripts that have them; the rare ones beyond
// U+FFFF are left to the rules.
bool IsPrepend(char32_t c) {
  return (c >= 0x0600 && c <= 0x0605) || c == 0x06DD || c == 0x070F || c == 0x0890 || c == 0x0891 ||
         c == 0x08E2 || (c >= 0x11000 && c < 0x12000);
}

// Letters and signs that never join the character before them, unless that
// one is itself a joiner, a prefix or the leading part of a Hangul syllable.
bool NeverJoins(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kRanges[] = {
      {0x0370, 0x0482}, {0x048A, 0x0590}, {0x05D0, 0x05F4}, {0x0620, 0x064A}, {0x0660, 0x066F},
      {0x0671, 0x06D3}, {0x1E00, 0x1FFF}, {0x2010, 0x2027}, {0x2030, 0x205E}, {0x20A0, 0x20C0},
      {0x2100, 0x218F}, {0x3000, 0x3029}, {0x3030, 0x303F}, {0x3041, 0x3096}, {0x30A0, 0x30FF},
      {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFF01, 0xFF9D},
  };
  for (const Range& r : kRanges) {
    if (c < r.first) return false;
    if (c <= r.last) return true;
  }
  return false;
}

Utf8Char CharAt(std::string_view bytes, std::size_t i) {
  return DecodeUtf8(bytes.data() + i, bytes.size() - i);
}

}  // namespace

bool MayCombine(char32_t before, char32_t next) {
  if (next < 0x20 || before < 0x20) return false;  // a control ends and starts clusters
  if (IsPrepend(before)) return true;
  if (next < 0x0300) return false;
  if (before == 0x200D) return true;  // a joiner: emoji sequences
  if ((before >= 0x1100 && before <= 0x115F) || (before >= 0xA960 && before <= 0xA97C))
    return true;  // the leading consonant of a Hangul syllable
  return !NeverJoins(next);
}

std::size_t Utf8Measure::charLength(std::string_view bytes) const {
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  std::size_t first = 1;
  char32_t c = b0;
  if (b0 < 0x80) {
    if (bytes.size() == 1 || static_cast<unsigned char>(bytes[1]) < 0x80 || b0 < 0x20) return 1;
  } else {
    const Utf8Char head = CharAt(bytes, 0);
    if (!head.valid || head.length == bytes.size()) return head.length;
    first = head.length;
    c = head.codePoint;
  }
  const Utf8Char next = CharAt(bytes, first);
  if (!next.valid || !MayCombine(c, next.codePoint)) return first;
  return clusterLength(bytes, first);
}

std::size_t Utf8Measure::lastCharLength(std::string_view bytes) const {
  const std::size_t n = bytes.size();
  if (static_cast<unsigned char>(bytes[n - 1]) < 0x80 &&
      (n == 1 || static_cast<unsigned char>(bytes[n - 2]) < 0x80))
    return 1;
  const std::size_t last = QuorlinUtils::Utf8LastCharLength(bytes);
  const std::size_t at = n - last;
  const Utf8Char c = CharAt(bytes, at);
  if (!c.valid || at == 0) return last;
  const std::string_view before = bytes.substr(0, at);
  const Utf8Char b = CharAt(before, at - QuorlinUtils::Utf8LastCharLength(before));
  if (!b.valid || !MayCombine(b.codePoint, c.codePoint)) return last;
  return lastClusterLength(bytes, last);
}

std::int64_t Utf8Measure::charWidth(std::string_view character, std::int64_t x) const {
  const auto b = static_cast<unsigned char>(character[0]);
  if (character.size() == 1 && b < 0x80) return StepAt(ascii_, b, x);
  return clusterWidth(character);
}

std::int64_t Utf8Measure::advance(std::string_view bytes, std::int64_t x) const {
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(p[i]);
    if (b < 0x80 && (i + 1 == n || static_cast<unsigned char>(p[i + 1]) < 0x80)) {
      x += b == '\t' ? StepAt(ascii_, b, x) : ascii_.advance[b];
      ++i;
      continue;
    }
    const std::size_t len = charLength(bytes.substr(i));
    x += charWidth(bytes.substr(i, len), x);
    i += len;
  }
  return x;
}

std::size_t Utf8Measure::settledEnd(std::string_view bytes) const {
  // Two ASCII bytes in a row: a cluster starts at the second whatever
  // follows, and nothing before it looks past it.
  const std::size_t n = bytes.size();
  const std::size_t stop = n > 4096 ? n - 4096 : 0;
  for (std::size_t i = n; i >= stop + 2; --i) {
    if (static_cast<unsigned char>(bytes[i - 1]) < 0x80 &&
        static_cast<unsigned char>(bytes[i - 2]) < 0x80)
      return i - 1;
  }
  // Otherwise each cluster that begins with kCharReach bytes after it ends
  // where it would with any bytes after them.
  std::size_t at = 0;
  while (at + kCharReach <= n) at += charLength(bytes.substr(at));
  return at;
}

std::size_t Utf8Measure::clusterLength(std::string_view /*bytes*/, std::size_t first) const {
  return first;
}

std::size_t Utf8Measure::lastClusterLength(std::string_view /*bytes*/, std::size_t last) const {
  return last;
}

}  // namespace quorlin::text
