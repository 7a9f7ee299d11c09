// SPDX-License-Identifier: Apache-2.0
#include "ui/Western.h"

#include <array>

namespace quorlin::ui {
namespace {

// Characters of the bytes 0x80-0x9F; the undefined five keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr std::array<char16_t, 256> MakeDecodeTable() {
  std::array<char16_t, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = char16_t(b);
  for (int i = 0; i < 32; ++i) t[0x80 + i] = kHighControls[i];
  return t;
}
constexpr std::array<char16_t, 256> kDecode = MakeDecodeTable();

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

char16_t WesternChar(unsigned char b) {
  return kDecode[b];
}

bool WesternByte(char16_t c, char& byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    byte = char(c);
    return true;
  }
  // 0x80-0x9F stand for themselves only where the set leaves the byte undefined;
  // the other characters of that row are looked up.
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) {
      byte = char(0x80 + i);
      return true;
    }
  }
  return false;
}

QString DecodeWestern(std::string_view bytes) {
  QString text(qsizetype(bytes.size()), Qt::Uninitialized);
  auto* out = reinterpret_cast<char16_t*>(text.data());
  for (const char b : bytes) *out++ = kDecode[static_cast<unsigned char>(b)];
  return text;
}

namespace {
void Encode(std::string& out, QStringView text) {
  // Never more bytes than UTF-16 units: write in place, then trim.
  const std::size_t start = out.size();
  out.resize(start + std::size_t(text.size()));
  char* d = out.data() + start;
  const char16_t* p = text.utf16();
  const char16_t* const end = p + text.size();
  while (p < end) {
    const char16_t c = *p++;
    if (c < 0x80) {
      *d++ = char(c);
      continue;
    }
    char byte;
    if (WesternByte(c, byte)) {
      *d++ = byte;
      continue;
    }
    if (IsHighSurrogate(c) && p < end && IsLowSurrogate(*p)) ++p;  // one character
    *d++ = '?';
  }
  out.resize(std::size_t(d - out.data()));
}
}  // namespace

void AppendWestern(std::string& out, QStringView text) {
  Encode(out, text);
}

std::string EncodeWestern(QStringView text) {
  std::string out;
  out.reserve(std::size_t(text.size()));
  AppendWestern(out, text);
  return out;
}

bool IsWesternOnly(QStringView text) {
  char byte;
  for (const QChar c : text) {
    if (!WesternByte(c.unicode(), byte)) return false;
  }
  return true;
}

QString WesternOnly(QStringView text) {
  if (IsWesternOnly(text)) return text.toString();
  QString out;
  out.reserve(text.size());
  char byte;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (WesternByte(c, byte)) {
      out.append(QChar(c));
      continue;
    }
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode())) ++i;
    out.append(QLatin1Char('?'));
  }
  return out;
}

QValidator::State WesternValidator::validate(QString& input, int& pos) const {
  if (western_ && !IsWesternOnly(input)) {
    // A surrogate pair becomes one "?": keep the cursor behind what was typed.
    const qsizetype after = WesternOnly(QStringView(input).left(pos)).size();
    input = WesternOnly(input);
    pos = int(after);
  }
  return Acceptable;
}

}  // namespace quorlin::ui
