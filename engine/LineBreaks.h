// SPDX-License-Identifier: Apache-2.0
// Line breaks in bytes: CR LF, LF and a lone CR each end a line.
#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlin {

// The first CR or LF in [from, end), or end when there is none; tabs tells
// whether a tab comes before it, high whether a byte above 127 does (a UTF-8
// line without one is ASCII, its characters its bytes). One pass over the
// bytes, 16 at a time where the processor can.
inline const char* FindLineEnd(const char* from, const char* end, bool& tabs, bool& high) {
  const char* p = from;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), tab = _mm_set1_epi8('\t');
  __m128i tabsSeen = _mm_setzero_si128();  // the tabs of the blocks passed, byte by byte
  __m128i highSeen = _mm_setzero_si128();  // their bytes, OR-ed: the top bit tells
  auto breaksIn = [&](__m128i v) {
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
  };
  // The tabs and high bytes before the break at bit at of the block v, and
  // those passed.
  auto before = [&](__m128i v, unsigned at) {
    const unsigned mask = (1U << at) - 1;
    const auto here = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
    tabs = _mm_movemask_epi8(tabsSeen) != 0 || (here & mask) != 0;
    high = _mm_movemask_epi8(highSeen) != 0 ||
           (static_cast<unsigned>(_mm_movemask_epi8(v)) & mask) != 0;
  };
  for (std::size_t pairs = std::size_t(end - p) / 32; pairs > 0; --pairs, p += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const unsigned breaks = breaksIn(a) | breaksIn(b) << 16;
    if (breaks != 0) {
      const auto at = static_cast<unsigned>(std::countr_zero(breaks));
      if (at < 16) {
        before(a, at);
      } else {
        tabsSeen = _mm_or_si128(tabsSeen, _mm_cmpeq_epi8(a, tab));
        highSeen = _mm_or_si128(highSeen, a);
        before(b, at - 16);
      }
      return p + at;
    }
    tabsSeen = _mm_or_si128(tabsSeen, _mm_or_si128(_mm_cmpeq_epi8(a, tab), _mm_cmpeq_epi8(b, tab)));
    highSeen = _mm_or_si128(highSeen, _mm_or_si128(a, b));
  }
  if (end - p >= 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned breaks = breaksIn(a);
    if (breaks != 0) {
      before(a, static_cast<unsigned>(std::countr_zero(breaks)));
      return p + std::countr_zero(breaks);
    }
    tabsSeen = _mm_or_si128(tabsSeen, _mm_cmpeq_epi8(a, tab));
    highSeen = _mm_or_si128(highSeen, a);
    p += 16;
  }
  bool tabSeen = _mm_movemask_epi8(tabsSeen) != 0, highByte = _mm_movemask_epi8(highSeen) != 0;
#else
  bool tabSeen = false, highByte = false;
#endif
  for (; p < end && *p != '\n' && *p != '\r'; ++p) {
    tabSeen = tabSeen || *p == '\t';
    highByte = highByte || static_cast<unsigned char>(*p) >= 0x80;
  }
  tabs = tabSeen;
  high = highByte;
  return p;
}

// The first CR or LF in [from, end), or end when there is none.
inline const char* FindLineBreak(const char* from, const char* end) {
  bool tabs, high;
  return FindLineEnd(from, end, tabs, high);
}

// The terminator that starts at bytes[at], a CR or an LF: "\r\n", "\n" or
// "\r" (static). A CR that ends bytes counts as a lone CR: bytes that may go
// on check for it first.
std::string_view TerminatorAt(std::string_view bytes, std::size_t at);

// The first line terminator in bytes, as TerminatorAt tells it; "" when bytes
// hold no line break.
std::string_view FirstTerminator(std::string_view bytes);

}  // namespace quorlin
