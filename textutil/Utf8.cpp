// SPDX-License-Identifier: Apache-2.0
#include "textutil/Utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textutil/QuorlinUtils.h"

namespace QuorlinUtils {
namespace {

constexpr bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Whether the 16 bytes at p are all ASCII: two words tested at once, which
// compilers turn into a few vector instructions.
inline bool Ascii16(const char* p) {
  std::uint64_t a = 0, b = 0;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  return ((a | b) & 0x8080808080808080ULL) == 0;
}

}  // namespace

Utf8Char DecodeUtf8(const char* p, std::size_t n) {
  const auto b0 = static_cast<unsigned char>(p[0]);
  if (b0 < 0x80) return {b0, 1, true};
  const Utf8Char stray{b0, 1, false};
  // The lead byte gives the length and the range the second byte must lie
  // in, which excludes overlong forms, surrogates and code points above
  // U+10FFFF; every later byte is any continuation byte.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    c = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    c = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return stray;
  }
  if (n < length) return stray;
  const auto b1 = static_cast<unsigned char>(p[1]);
  if (b1 < low || b1 > high) return stray;
  c = (c << 6) | (b1 & 0x3F);
  for (std::size_t i = 2; i < length; ++i) {
    const auto b = static_cast<unsigned char>(p[i]);
    if (!IsContinuation(b)) return stray;
    c = (c << 6) | (b & 0x3F);
  }
  return {c, length, true};
}

std::size_t Utf8CharStart(std::string_view bytes, std::size_t i) {
  if (i >= bytes.size() || !IsContinuation(static_cast<unsigned char>(bytes[i]))) return i;
  // A continuation byte belongs to the valid sequence whose first byte is the
  // nearest non-continuation byte before it, if that sequence reaches it;
  // else it is a stray byte.
  for (std::size_t k = 1; k <= 3 && k <= i; ++k) {
    if (IsContinuation(static_cast<unsigned char>(bytes[i - k]))) continue;
    const Utf8Char c = DecodeUtf8(bytes.data() + i - k, bytes.size() - (i - k));
    return c.valid && c.length > k ? i - k : i;
  }
  return i;
}

std::size_t Utf8LastCharLength(std::string_view bytes) {
  return bytes.size() - Utf8CharStart(bytes, bytes.size() - 1);
}

std::size_t FirstNonAscii(std::string_view bytes) {
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const auto high = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))));
    if (high != 0) return i + static_cast<std::size_t>(std::countr_zero(high));
  }
#endif
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) > 127) return i;
  return n;
}

std::size_t CountUtf8Chars(std::string_view bytes, std::size_t limit, std::size_t* end) {
  if (AllAscii(bytes.substr(0, limit))) {
    if (end != nullptr) *end = limit;
    return limit;
  }
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0, count = 0;
  while (i < limit) {
    if (i + 16 <= limit && Ascii16(p + i)) {
      i += 16;
      count += 16;
      continue;
    }
    i += static_cast<unsigned char>(p[i]) < 0x80 ? 1 : DecodeUtf8(p + i, n - i).length;
    ++count;
  }
  if (end != nullptr) *end = i;
  return count;
}

std::size_t Utf8Skip(std::string_view bytes, std::size_t count) {
  if (count >= bytes.size() ? AllAscii(bytes) : AllAscii(bytes.substr(0, count)))
    return std::min(count, bytes.size());
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (count > 0 && i < n) {
    if (count >= 16 && i + 16 <= n && Ascii16(p + i)) {
      i += 16;
      count -= 16;
      continue;
    }
    i += static_cast<unsigned char>(p[i]) < 0x80 ? 1 : DecodeUtf8(p + i, n - i).length;
    --count;
  }
  return i;
}

Utf8Scan ScanUtf8(std::string_view bytes) {
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  Utf8Scan scan;
  std::size_t i = 0;
  while (i < n) {
    if (i + 32 <= n && Ascii16(p + i) && Ascii16(p + i + 16)) {
      i += 32;
      continue;
    }
    if (static_cast<unsigned char>(p[i]) < 0x80) {
      ++i;
      continue;
    }
    scan.ascii = false;
    const Utf8Char c = DecodeUtf8(p + i, n - i);
    if (!c.valid) {
      scan.valid = false;
      return scan;  // nothing after the first stray byte changes the answer
    }
    i += c.length;
  }
  return scan;
}

Encoding DetectEncoding(std::string_view bytes, Encoding asciiOnly) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) return Encoding::Utf8;
  const Utf8Scan scan = ScanUtf8(bytes);
  if (scan.ascii) return asciiOnly;
  return scan.valid ? Encoding::Utf8 : Encoding::Windows1252;
}

void EncodingDetector::feed(std::string_view bytes) {
  if (head_.size() < kUtf8Bom.size()) head_.append(bytes.substr(0, kUtf8Bom.size() - head_.size()));
  if (!valid_ || bytes.empty()) return;
  std::string joined;
  if (!carry_.empty()) {
    joined = carry_;
    joined.append(bytes);
    bytes = joined;
  }
  // A lead byte near the end whose sequence the next piece may complete.
  std::size_t cut = bytes.size();
  for (std::size_t k = 1; k <= 3 && k <= bytes.size(); ++k) {
    const auto b = static_cast<unsigned char>(bytes[bytes.size() - k]);
    if (b < 0x80) break;
    if (b >= 0xC0) {
      const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (need > k) cut = bytes.size() - k;
      break;
    }
  }
  const Utf8Scan scan = ScanUtf8(bytes.substr(0, cut));
  ascii_ = ascii_ && scan.ascii;
  valid_ = scan.valid;
  carry_.assign(bytes.substr(cut));
}

Encoding EncodingDetector::result(Encoding asciiOnly) const {
  if (head_ == kUtf8Bom) return Encoding::Utf8;
  if (ascii_ && carry_.empty()) return asciiOnly;
  return valid_ && carry_.empty() ? Encoding::Utf8 : Encoding::Windows1252;
}

Encoding LocaleEncoding(const char* lcAll, const char* lcCtype, const char* lang) {
  for (const char* name : {lcAll, lcCtype, lang}) {
    if (name == nullptr || *name == '\0') continue;
    // "language_TERRITORY.codeset@modifier".
    const std::string_view locale(name);
    const std::size_t dot = locale.find('.');
    const std::string_view language = locale.substr(0, std::min(dot, locale.find('@')));
    std::string codeset;
    if (dot != std::string_view::npos) {
      for (const char c : locale.substr(dot + 1, locale.find('@', dot) - dot - 1)) {
        if (c != '-')
          codeset.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
      }
    }
    const bool chosen = language != "C" && language != "POSIX";
    return chosen && codeset == "utf8" ? Encoding::Utf8 : Encoding::Windows1252;
  }
  return Encoding::Windows1252;  // the C locale
}

char* ExpandTabsUtf8Into(char* dst, char* dstEnd, std::string_view s, int w) {
  if (AllAscii(s)) return ExpandTabsInto(dst, dstEnd, s, w);
  // A tab is never part of a character of several bytes, so the bytes between
  // two tabs are copied as they stand; only their characters are counted, for
  // the column the next tab starts from.
  const auto width = static_cast<std::size_t>(w);
  std::size_t column = 0;
  while (!s.empty()) {
    const auto* tab = static_cast<const char*>(std::memchr(s.data(), '\t', s.size()));
    const std::size_t run = tab != nullptr ? std::size_t(tab - s.data()) : s.size();
    if (std::size_t(dstEnd - dst) < run) return nullptr;
    if (run > 0) std::memcpy(dst, s.data(), run);
    dst += run;
    if (tab == nullptr) break;
    column += CountUtf8Chars(s.substr(0, run));
    const std::size_t spaces = width - column % width;
    if (std::size_t(dstEnd - dst) < spaces) return nullptr;
    std::memset(dst, ' ', spaces);
    dst += spaces;
    column += spaces;
    s.remove_prefix(run + 1);
  }
  return dst;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace QuorlinUtils
