// SPDX-License-Identifier: Apache-2.0
// UTF-8 over the bytes of a text, strictly and without changing a byte.
//
// A character of a UTF-8 text is one valid sequence: the shortest form of a
// code point up to U+10FFFF that is not a surrogate (1 to 4 bytes). Where the
// bytes are not valid, each byte that starts no valid sequence is a character
// of its own, a stray byte: the next character starts at the byte after it.
// So every text, valid or not, is a run of characters that covers its bytes
// exactly, and a valid sequence never begins inside another one (its first
// byte is no continuation byte 80-BF).
//
// And the rule that gives a document its encoding when it is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace QuorlinUtils {

// How a document's bytes are read as characters: each byte one character of
// Windows-1252, or UTF-8 as above.
enum class Encoding { Windows1252, Utf8 };

// The byte-order mark, U+FEFF encoded.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether no byte of bytes is above 127 (every byte then one character),
// eight bytes at a time.
inline bool AllAscii(std::string_view bytes) {
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p + i, 8);
    high |= word;
  }
  for (; i < n; ++i) high |= static_cast<unsigned char>(p[i]);
  return (high & 0x8080808080808080ULL) == 0;
}

// The offset of the first byte above 127 in bytes, or bytes.size().
std::size_t FirstNonAscii(std::string_view bytes);

// One character at the start of some bytes.
struct Utf8Char {
  char32_t codePoint = 0;  // a stray byte's own value
  std::size_t length = 1;  // 1 to 4; 1 for a stray byte
  bool valid = false;      // false: a stray byte
};

// The character the n bytes at p (n > 0) start with.
Utf8Char DecodeUtf8(const char* p, std::size_t n);

// The length of the character that starts at byte i of bytes (i < size):
// 1 to 4, 1 for a stray byte.
inline std::size_t Utf8CharLength(std::string_view bytes, std::size_t i) {
  if (static_cast<unsigned char>(bytes[i]) < 0x80) return 1;
  return DecodeUtf8(bytes.data() + i, bytes.size() - i).length;
}

// The length of the character that bytes (not empty) end with, when bytes
// start at a character's start. Stepping back by this always meets the
// characters that stepping forward from the start meets.
std::size_t Utf8LastCharLength(std::string_view bytes);

// The start of the character that holds byte i (at most bytes.size()), when
// bytes start at a character's start: i itself when a character starts there.
std::size_t Utf8CharStart(std::string_view bytes, std::size_t i);

// The characters of bytes (which start at a character's start) that start
// before limit (at most bytes.size()); end, if given, receives the offset
// after the last of them, which may lie past limit.
std::size_t CountUtf8Chars(std::string_view bytes, std::size_t limit, std::size_t* end = nullptr);
inline std::size_t CountUtf8Chars(std::string_view bytes) {
  return CountUtf8Chars(bytes, bytes.size());
}

// The offset after the first count characters of bytes (bytes.size() when it
// holds fewer).
std::size_t Utf8Skip(std::string_view bytes, std::size_t count);

// Whether bytes are valid UTF-8 throughout; and whether any of them is above
// 127. Both are found in one pass that goes 16 bytes at a time through ASCII.
struct Utf8Scan {
  bool ascii = true;  // no byte above 127
  bool valid = true;  // valid UTF-8 throughout (ASCII is)
};
Utf8Scan ScanUtf8(std::string_view bytes);
inline bool IsValidUtf8(std::string_view bytes) {
  return ScanUtf8(bytes).valid;
}

// The encoding a document opens in: UTF-8 when it starts with the
// byte-order mark, or when it holds bytes above 127 and is valid UTF-8
// throughout; Windows-1252 when it holds bytes above 127 that are not valid
// UTF-8; the asciiOnly encoding (the locale's) when every byte is ASCII, an
// empty text included.
Encoding DetectEncoding(std::string_view bytes, Encoding asciiOnly);

// Tab stops every w columns (2..16), a column per character: as
// ExpandTabsInto, writing into [dst, dstEnd) and returning the end of the
// text written, or nullptr when the room ran out (s.size() * w + 32 is always
// enough).
char* ExpandTabsUtf8Into(char* dst, char* dstEnd, std::string_view s, int w);

// The same for a text read in pieces: feed them in order, then ask.
class EncodingDetector {
 public:
  void feed(std::string_view bytes);
  Encoding result(Encoding asciiOnly) const;

 private:
  std::string head_;   // the first bytes, for the byte-order mark
  std::string carry_;  // a character cut off at the end of the last piece
  bool ascii_ = true, valid_ = true;
};

// The encoding of a locale named by the variables LC_ALL, LC_CTYPE and LANG
// (the first that is set and not empty decides): UTF-8 when it names a
// language and its character set is UTF-8, else Windows-1252. The C (or
// POSIX) locale names no language: C.UTF-8, where a system runs without a
// configured locale, keeps Windows-1252.
Encoding LocaleEncoding(const char* lcAll, const char* lcCtype, const char* lang);

// Appends the UTF-8 form of code point c (at most U+10FFFF, no surrogate).
void AppendUtf8(std::string& out, char32_t c);

}  // namespace QuorlinUtils
