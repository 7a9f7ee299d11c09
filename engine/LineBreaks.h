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
// whether a tab comes before it. One pass over the bytes, 16 at a time where
// the processor can.
inline const char* FindLineEnd(const char* from, const char* end, bool& tabs) {
  const char* p = from;
  bool tabSeen = false;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), tab = _mm_set1_epi8('\t');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto breaks = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
    const auto tabBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, tab)));
    if (breaks != 0) {
      const int at = std::countr_zero(breaks);
      tabs = tabSeen || (tabBits & ((1U << at) - 1)) != 0;
      return p + at;
    }
    tabSeen = tabSeen || tabBits != 0;
  }
#endif
  for (; p < end && *p != '\n' && *p != '\r'; ++p) tabSeen = tabSeen || *p == '\t';
  tabs = tabSeen;
  return p;
}

// The first CR or LF in [from, end), or end when there is none.
inline const char* FindLineBreak(const char* from, const char* end) {
  bool tabs;
  return FindLineEnd(from, end, tabs);
}

// The terminator that starts at bytes[at], a CR or an LF: "\r\n", "\n" or
// "\r" (static). A CR that ends bytes counts as a lone CR: bytes that may go
// on check for it first.
std::string_view TerminatorAt(std::string_view bytes, std::size_t at);

// The first line terminator in bytes, as TerminatorAt tells it; "" when bytes
// hold no line break.
std::string_view FirstTerminator(std::string_view bytes);

}  // namespace quorlin
