// SPDX-License-Identifier: Apache-2.0
#include "text/Search.h"

#include <array>
#include <cstring>
#include <string>

namespace quorlin::text {
namespace {

constexpr std::array<unsigned char, 256> MakeFold() {
  std::array<unsigned char, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(b);
  for (int b = 'A'; b <= 'Z'; ++b) t[b] = static_cast<unsigned char>(b + 0x20);
  // Capitals with accents, except the multiplication sign in their midst.
  for (int b = 0xC0; b <= 0xDE; ++b) {
    if (b != 0xD7) t[b] = static_cast<unsigned char>(b + 0x20);
  }
  t[0x8A] = 0x9A;  // S caron
  t[0x8C] = 0x9C;  // OE
  t[0x8E] = 0x9E;  // Z caron
  t[0x9F] = 0xFF;  // Y diaeresis
  return t;
}
constexpr std::array<unsigned char, 256> kFold = MakeFold();

// In UTF-8 only the ASCII letters have another case: a byte above 127 is a
// part of a character, never a letter of its own.
constexpr std::array<unsigned char, 256> MakeAsciiFold() {
  std::array<unsigned char, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(b < 128 ? kFold[b] : b);
  return t;
}
constexpr std::array<unsigned char, 256> kAsciiFold = MakeAsciiFold();

using Table = std::array<unsigned char, 256>;

// The other byte that folds as b does (b itself when it has none).
constexpr Table MakePartner(const Table& fold) {
  Table t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<unsigned char>(b);
  for (int b = 0; b < 256; ++b) {
    if (fold[b] != b) {
      t[b] = fold[b];
      t[fold[b]] = static_cast<unsigned char>(b);
    }
  }
  return t;
}
constexpr Table kPartner = MakePartner(kFold);
constexpr Table kAsciiPartner = MakePartner(kAsciiFold);

bool MatchesFolded(const Table& fold, const char* p, std::string_view folded) {
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (fold[static_cast<unsigned char>(p[i])] != static_cast<unsigned char>(folded[i]))
      return false;
  }
  return true;
}

}  // namespace

unsigned char FoldByte(unsigned char b) {
  return kFold[b];
}

std::size_t FindForward(const Text& text, std::string_view needle, std::size_t from,
                        Encoding encoding) {
  if (needle.empty() || needle.find('\n') != std::string_view::npos) return npos;
  if (from >= text.size()) return npos;
  const bool utf8 = encoding == Encoding::Utf8;
  const Table& fold = utf8 ? kAsciiFold : kFold;
  std::string folded(needle);
  for (char& c : folded) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
  const char a = folded[0];
  const char b =
      static_cast<char>((utf8 ? kAsciiPartner : kPartner)[static_cast<unsigned char>(folded[0])]);
  const std::size_t n = folded.size();

  // Candidates are found with memchr for the first byte's two cases; a match
  // that runs past the end of a piece is checked on a copy of its bytes.
  std::size_t found = npos;
  std::size_t base = from;
  std::string scratch;
  text.forEachChunk(from, text.size(), [&](std::string_view chunk) {
    const char* const start = chunk.data();
    const char* const end = start + chunk.size();
    const char* nextA = nullptr;
    const char* nextB = a == b ? end : nullptr;
    for (const char* p = start; p < end;) {
      if (nextA == nullptr || nextA < p) {
        nextA = static_cast<const char*>(std::memchr(p, a, std::size_t(end - p)));
        if (!nextA) nextA = end;
      }
      if (nextB == nullptr || nextB < p) {
        nextB = static_cast<const char*>(std::memchr(p, b, std::size_t(end - p)));
        if (!nextB) nextB = end;
      }
      const char* c = nextA < nextB ? nextA : nextB;
      if (c >= end) break;
      const std::size_t at = base + std::size_t(c - start);
      if (std::size_t(end - c) >= n) {
        if (MatchesFolded(fold, c, folded)) found = at;
      } else if (at + n <= text.size()) {
        const std::string_view tail = text.view(at, at + n, scratch);
        if (MatchesFolded(fold, tail.data(), folded)) found = at;
      }
      if (found != npos) return false;
      p = c + 1;
    }
    base += chunk.size();
    return true;
  });
  return found;
}

PatternMatch FindPatternForward(const Text& text, const KeyPattern& pattern, std::size_t from) {
  if (from > text.size()) return {};
  std::string scratch;
  for (std::size_t i = text.lineAt(from); i <= text.breaks(); ++i) {
    const std::size_t start = text.lineStart(i);
    const std::string_view line = text.line(i, scratch);
    const QuorlinUtils::KeyMatch m = pattern.find(line, from > start ? from - start : 0);
    if (m.found()) return {start + m.at, m.length};
  }
  return {};
}

}  // namespace quorlin::text
