#include "ui/TextSearch.h"

#include <algorithm>
#include <array>

#include <QTextBlock>
#include <QTextDocument>

namespace quorlin::ui {
namespace {

constexpr std::array<char16_t, 256> MakeLatin1Fold() {
  std::array<char16_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = char16_t(c);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = char16_t(c + 0x20);
  // Capitals with accents, except the multiplication sign in their midst.
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) t[c] = char16_t(c + 0x20);
  }
  return t;
}
constexpr std::array<char16_t, 256> kLatin1Fold = MakeLatin1Fold();

// Position of needle (already folded) in hay at or after from, or -1.
qsizetype IndexOfFolded(QStringView hay, qsizetype from, const std::u16string& needle) {
  const auto n = qsizetype(needle.size());
  const char16_t first = needle[0];
  const char16_t* h = hay.utf16();
  for (qsizetype i = from, last = hay.size() - n; i <= last; ++i) {
    if (SearchFold(h[i]) != first) continue;
    qsizetype k = 1;
    while (k < n && SearchFold(h[i + k]) == needle[std::size_t(k)]) ++k;
    if (k == n) return i;
  }
  return -1;
}

bool IsLineBreak(char16_t c) {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

}  // namespace

char16_t SearchFold(char16_t c) {
  if (c < 0x100) return kLatin1Fold[c];
  switch (c) {
    case 0x0152:  // OE
      return 0x0153;
    case 0x0160:  // S caron
      return 0x0161;
    case 0x017D:  // Z caron
      return 0x017E;
    case 0x0178:  // Y diaeresis
      return 0x00FF;
    default:
      return c;
  }
}

int FindForward(const QTextDocument& document, const QString& text, int from) {
  if (text.isEmpty()) return -1;
  std::u16string needle;
  needle.reserve(std::size_t(text.size()));
  for (const QChar c : text) {
    if (IsLineBreak(c.unicode())) return -1;
    needle.push_back(SearchFold(c.unicode()));
  }
  const int n = int(needle.size());

  from = std::clamp(from, 0, std::max(0, document.characterCount() - 1));
  QTextBlock block = document.findBlock(from);
  qsizetype offset = from - block.position();
  for (; block.isValid(); block = block.next(), offset = 0) {
    // length() counts the line break; a block too short to hold the text is
    // passed over without reading it.
    if (block.length() - 1 - offset < n) continue;
    const qsizetype hit = IndexOfFolded(block.text(), offset, needle);
    if (hit >= 0) return block.position() + int(hit);
  }
  return -1;
}

}  // namespace quorlin::ui
