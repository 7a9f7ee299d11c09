// SPDX-License-Identifier: Apache-2.0
#include "engine/LineStream.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textutil/QuorlinUtils.h"

namespace quorlin {

void LineSink::writeExpanded(std::string_view raw, int tabWidth) {
  assert(tabWidth >= 2 && tabWidth <= 16);
  expanded_.clear();
  QuorlinUtils::AppendExpandedTabs(expanded_, raw, tabWidth);
  write(expanded_);
}

void KeyWatch::set(std::string_view key, bool caseBlind) {
  key_.clear();
  if (key.find_first_of("\r\n") == std::string_view::npos) key_ = key;
  caseBlind_ = caseBlind && QuorlinUtils::UpperCase(key_) != QuorlinUtils::LowerCase(key_);
  reset();
}

std::size_t KeyWatch::find(std::string_view bytes, std::size_t from) {
  using QuorlinUtils::LowerAscii;
  const std::size_t n = key_.size();
  if (n < 2) return findFirstByte(bytes, from);
  if (from > bytes.size() || bytes.size() - from < n) return std::string_view::npos;
  const char* const base = bytes.data();
  const char* p = base + from;
  const char* const last = base + (bytes.size() - n);  // the last place the key may start
  auto matchesAt = [&](const char* at) {
    if (!caseBlind_) return std::memcmp(at, key_.data(), n) == 0;
    for (std::size_t i = 0; i < n; ++i)
      if (LowerAscii(at[i]) != LowerAscii(key_[i])) return false;
    return true;
  };
#if defined(__SSE2__)
  // Sixteen places at a time: those where both the key's first and its last
  // byte stand (either case of a letter, when folding), then the whole key
  // compared there. Far fewer places pass than hold the first byte alone.
  const auto isLetter = [](char c) { return LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z'; };
  const bool foldFirst = caseBlind_ && isLetter(key_[0]);
  const bool foldLast = caseBlind_ && isLetter(key_[n - 1]);
  const __m128i bit = _mm_set1_epi8(0x20);
  const __m128i first = _mm_set1_epi8(static_cast<char>(foldFirst ? key_[0] | 0x20 : key_[0]));
  const __m128i lastByte =
      _mm_set1_epi8(static_cast<char>(foldLast ? key_[n - 1] | 0x20 : key_[n - 1]));
  for (; last - p >= 15; p += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
    if (foldFirst) a = _mm_or_si128(a, bit);
    if (foldLast) b = _mm_or_si128(b, bit);
    auto both = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
    for (; both != 0; both &= both - 1) {
      const char* at = p + std::countr_zero(both);
      if (matchesAt(at)) return std::size_t(at - base);
    }
  }
#endif
  for (; p <= last; ++p)
    if (matchesAt(p)) return std::size_t(p - base);
  return std::string_view::npos;
}

std::size_t KeyWatch::findFirstByte(std::string_view bytes, std::size_t from) {
  if (!caseBlind_) return bytes.find(key_[0], from);
  // The next places of the byte in either case, kept between calls.
  using QuorlinUtils::LowerAscii;
  using QuorlinUtils::UpperAscii;
  const char lower = LowerAscii(key_[0]), upper = UpperAscii(key_[0]);
  if (nextLower_ == kUnknown || nextLower_ < from) nextLower_ = bytes.find(lower, from);
  if (nextUpper_ == kUnknown || nextUpper_ < from) nextUpper_ = bytes.find(upper, from);
  return std::min(nextLower_, nextUpper_);
}

}  // namespace quorlin
