// SPDX-License-Identifier: Apache-2.0
#include "engine/LineRecords.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlin {

void NoteStops(std::string_view written, std::size_t base, std::string_view terminator,
               std::vector<std::size_t>& stops) {
  // A CR LF is found by its LF, a line one byte before it.
  const char mark = terminator == "\r" ? '\r' : '\n';
  const std::size_t back = terminator.size() - 1;
  const char* const p = written.data();
  const std::size_t n = written.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i m = _mm_set1_epi8(mark);
  for (; i + 16 <= n; i += 16) {
    auto found = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), m)));
    for (; found != 0; found &= found - 1)
      stops.push_back(base + i + std::size_t(std::countr_zero(found)) - back);
  }
#endif
  for (; i < n; ++i)
    if (p[i] == mark) stops.push_back(base + i - back);
}

}  // namespace quorlin
