// SPDX-License-Identifier: Apache-2.0
#include "textutil/QuorlinUtils.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace QuorlinUtils {

namespace {

// Offset of the first occurrence of k in s at or after from; npos when absent.
// An empty key is never found.
std::size_t FindKey(std::string_view s, std::string_view k, std::size_t from = 0) {
  return FindKeyFrom(s, k, from, false);
}

// Copies n < 16 bytes with at most two overlapping moves of 8, 4 or 1 bytes.
inline void CopyShort(char* d, const char* s, std::size_t n) {
  if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

constexpr std::size_t Pos(std::size_t offset) {
  return offset == std::string_view::npos ? 0 : offset + 1;
}

// The key routines over any finder. The plain-key versions instantiate them
// with PlainKey, whose calls are direct (the class is final).
template <class Finder>
std::size_t KeyPosWith(const Finder& k, std::string_view s) {
  return Pos(k.find(s, 0).at);
}

template <class Finder>
std::string TextAfterKeyWith(std::string_view s, const Finder& k) {
  const KeyMatch m = k.find(s, 0);
  if (!m.found()) return std::string(s);
  return std::string(s.substr(m.at + m.length));
}

// Each search starts one byte after the start of the previous match.
template <class Finder>
std::size_t NthKeyPosWith(std::string_view s, const Finder& k, long long n) {
  if (n <= 0) return 0;
  KeyMatch m = k.find(s, 0);
  for (long long i = 1; i < n && m.found(); ++i) m = k.find(s, m.at + 1);
  return Pos(m.at);
}

// Each search starts where the previous match ends.
template <class Finder>
std::size_t CountKeysWith(std::string_view s, const Finder& k) {
  std::size_t count = 0;
  for (KeyMatch m = k.find(s, 0); m.found(); m = k.find(s, m.at + m.length)) ++count;
  return count;
}

template <class Finder>
bool AppendReplaceAllKeysWith(std::string& out, std::string_view s, const Finder& k,
                              std::string_view r) {
  std::size_t done = 0;
  bool any = false;
  for (KeyMatch m = k.find(s, 0); m.found(); m = k.find(s, done)) {
    out.append(s.substr(done, m.at - done));
    k.appendReplacement(out, s, m, r);
    done = m.at + m.length;
    any = true;
  }
  out.append(s.substr(done));
  return any;
}

}  // namespace

std::string UpperCase(std::string_view s) {
  std::string out;
  AppendUpperCase(out, s);
  return out;
}

std::string LowerCase(std::string_view s) {
  std::string out;
  AppendLowerCase(out, s);
  return out;
}

namespace {

// s with the letters from first on (the 26 of one case) in the other case,
// appended to out. Sixteen bytes at a time where the processor can, the last
// block overlapping the one before.
void AppendFolded(std::string& out, std::string_view s, char first) {
  const std::size_t base = out.size(), n = s.size();
  out.resize(base + n);
  char* const d = out.data() + base;
  auto fold = [first](char c) {
    return char(static_cast<unsigned char>(c - first) < 26 ? c ^ 0x20 : c);
  };
#if defined(__SSE2__)
  if (n >= 16) {
    const __m128i from = _mm_set1_epi8(first), last = _mm_set1_epi8(25), bit = _mm_set1_epi8(0x20);
    auto block = [&](std::size_t at) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at));
      const __m128i t = _mm_sub_epi8(x, from);
      const __m128i letter = _mm_cmpeq_epi8(_mm_min_epu8(t, last), t);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + at),
                       _mm_xor_si128(x, _mm_and_si128(letter, bit)));
    };
    for (std::size_t at = 0; at + 16 <= n; at += 16) block(at);
    block(n - 16);
    return;
  }
#endif
  for (std::size_t i = 0; i < n; ++i) d[i] = fold(s[i]);
}

}  // namespace

void AppendUpperCase(std::string& out, std::string_view s) {
  AppendFolded(out, s, 'a');
}

void AppendLowerCase(std::string& out, std::string_view s) {
  AppendFolded(out, s, 'A');
}

void KeyFinder::appendReplacement(std::string& out, std::string_view /*s*/, KeyMatch /*m*/,
                                  std::string_view r) const {
  out.append(r);
}

KeyMatch PlainKey::find(std::string_view s, std::size_t from) const {
  if (from > s.size()) return {};
  return {FindKeyFrom(s, key_, from, !caseSensitive_), key_.size()};
}

namespace {
bool IsAsciiLetter(char c) {
  return LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z';
}
}  // namespace

std::size_t FindKeyFrom(std::string_view s, std::string_view k, std::size_t from, bool foldAZ) {
  const std::size_t n = k.size();
  if (n == 0 || from > s.size() || s.size() - from < n) return std::string_view::npos;
  foldAZ = foldAZ && std::any_of(k.begin(), k.end(), IsAsciiLetter);
  if (n == 1 && !foldAZ) return s.find(k[0], from);
  if (n == 1) return std::min(s.find(LowerAscii(k[0]), from), s.find(UpperAscii(k[0]), from));
  const char* const base = s.data();
  const char* p = base + from;
  const char* const last = base + (s.size() - n);  // the last place k may start
  auto matchesAt = [&](const char* at) {
    if (!foldAZ) return std::memcmp(at, k.data(), n) == 0;
    for (std::size_t i = 0; i < n; ++i)
      if (LowerAscii(at[i]) != LowerAscii(k[i])) return false;
    return true;
  };
#if defined(__SSE2__)
  // Sixteen places at a time: those where both the key's first and its last
  // byte stand (either case of a letter, when folding), then the whole key
  // compared there. Far fewer places pass than hold the first byte alone.
  const bool foldFirst = foldAZ && IsAsciiLetter(k[0]);
  const bool foldLast = foldAZ && IsAsciiLetter(k[n - 1]);
  const __m128i bit = _mm_set1_epi8(0x20);
  const __m128i first = _mm_set1_epi8(static_cast<char>(foldFirst ? k[0] | 0x20 : k[0]));
  const __m128i lastByte = _mm_set1_epi8(static_cast<char>(foldLast ? k[n - 1] | 0x20 : k[n - 1]));
  auto placesAt = [&](const char* q) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + n - 1));
    if (foldFirst) a = _mm_or_si128(a, bit);
    if (foldLast) b = _mm_or_si128(b, bit);
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
  };
  for (; last - p >= 15; p += 16) {
    for (unsigned both = placesAt(p); both != 0; both &= both - 1) {
      const char* at = p + std::countr_zero(both);
      if (matchesAt(at)) return std::size_t(at - base);
    }
  }
  // The last places, fewer than 16, as the end of 16 that reach back over
  // places already looked at (when the text is that long).
  if (p <= last && last - base >= 15) {
    const char* const q = last - 15;
    for (unsigned both = placesAt(q) & (~0U << (p - q)); both != 0; both &= both - 1) {
      const char* at = q + std::countr_zero(both);
      if (matchesAt(at)) return std::size_t(at - base);
    }
    return std::string_view::npos;
  }
#endif
  for (; p <= last; ++p)
    if (matchesAt(p)) return std::size_t(p - base);
  return std::string_view::npos;
}

PreparedKey::PreparedKey(std::string_view key, bool foldAZ, std::string_view sample) : key_(key) {
  fold_ = foldAZ && std::any_of(key.begin(), key.end(), IsAsciiLetter);
  if (key.size() < 2 || key.size() > 16) return;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const bool folded = fold_ && IsAsciiLetter(key[i]);
    block_[i] = folded ? char(key[i] | 0x20) : key[i];
    mask_[i] = folded ? char(0x20) : char(0);
  }
  want_ = (1U << key.size()) - 1;
  one_ = 0;
  other_ = key.size() - 1;
  if (sample.empty()) return;
  // How often each byte of the key stands in the sample (either case of a
  // folded letter); the pair whose product is least, the farthest apart of
  // those alike, since neighbouring bytes often go together.
  std::array<std::uint64_t, 16> seen{};
  for (std::size_t i = 0; i < key.size(); ++i) {
    std::uint32_t count = 0;  // a loop the compiler does 16 or more bytes at a time
    for (const char c : sample) count += char(c | mask_[i]) == block_[i] ? 1 : 0;
    seen[i] = count;
  }
  std::uint64_t best = seen[one_] * seen[other_];
  for (std::size_t i = 0; i < key.size(); ++i)
    for (std::size_t j = i + 1; j < key.size(); ++j) {
      const std::uint64_t both = seen[i] * seen[j];
      if (both < best || (both == best && j - i > other_ - one_)) {
        best = both;
        one_ = i;
        other_ = j;
      }
    }
}

std::size_t PreparedKey::findFrom(std::string_view s, std::size_t from) const {
  const std::size_t n = key_.size();
#if defined(__SSE2__)
  if (want_ != 0 && from <= s.size() && s.size() - from >= n + 31) {
    // Sixteen places at a time where both chosen bytes of the key stand
    // (either case of a letter, when folding); there, the bytes of the key
    // compared at once.
    const char* const base = s.data();
    const char* p = base + from;
    const char* const last = base + (s.size() - n);
    const char* const safe = base + (s.size() - 16);  // 16 bytes may be read up to here
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask_.data()));
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_.data()));
    const __m128i foldOne = _mm_set1_epi8(mask_[one_]), foldOther = _mm_set1_epi8(mask_[other_]);
    const __m128i one = _mm_set1_epi8(block_[one_]), other = _mm_set1_epi8(block_[other_]);
    for (; last - p >= 15 && p + 15 <= safe; p += 16) {
      const __m128i a =
          _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + one_)), foldOne);
      const __m128i b =
          _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + other_)), foldOther);
      auto both = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, one), _mm_cmpeq_epi8(b, other))));
      for (; both != 0; both &= both - 1) {
        const char* at = p + std::countr_zero(both);
        const __m128i x = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), mask);
        const auto same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, block)));
        if ((same & want_) == want_) return std::size_t(at - base);
      }
    }
    from = std::size_t(p - base);
  }
#endif
  return FindKeyFrom(s, key_, from, fold_);
}

std::size_t KeyPos(std::string_view k, std::string_view s) {
  return Pos(FindKey(s, k));
}
std::size_t KeyPos(const KeyFinder& k, std::string_view s) {
  return KeyPosWith(k, s);
}

std::string TextAfterKey(std::string_view s, std::string_view k) {
  return TextAfterKeyWith(s, PlainKey(k, true));
}
std::string TextAfterKey(std::string_view s, const KeyFinder& k) {
  return TextAfterKeyWith(s, k);
}

std::size_t LastPosOfChar(std::string_view k, std::string_view s) {
  if (k.empty()) return 0;
  for (std::size_t i = s.size(); i > 0; --i)
    if (s[i - 1] == k[0]) return i;
  return 0;
}

std::size_t FirstPosInSet(std::string_view q, std::string_view s, bool any) {
  if (s.empty()) return 0;
  if (!any) return KeyPos(q, s);
  return Pos(s.find_first_of(q));
}

std::size_t LastPosInSet(std::string_view q, std::string_view s, bool any) {
  if (FirstPosInSet(q, s, any) == 0) return 0;
  if (!any) return Pos(s.rfind(q));
  return Pos(s.find_last_of(q));
}

std::size_t NthKeyPos(std::string_view s, std::string_view k, long long n) {
  return NthKeyPosWith(s, PlainKey(k, true), n);
}
std::size_t NthKeyPos(std::string_view s, const KeyFinder& k, long long n) {
  return NthKeyPosWith(s, k, n);
}

std::size_t CountKeys(std::string_view s, std::string_view k) {
  return CountKeysWith(s, PlainKey(k, true));
}
std::size_t CountKeys(std::string_view s, const KeyFinder& k) {
  return CountKeysWith(s, k);
}

void AppendReplaceAllKeys(std::string& out, std::string_view s, std::string_view k,
                          std::string_view r, bool caseSensitive) {
  AppendReplaceAllKeysWith(out, s, PlainKey(k, caseSensitive), r);
}
bool AppendReplaceAllKeys(std::string& out, std::string_view s, const KeyFinder& k,
                          std::string_view r) {
  return AppendReplaceAllKeysWith(out, s, k, r);
}

std::string ReplaceAllKeys(std::string_view s, std::string_view k, std::string_view r,
                           bool caseSensitive) {
  std::string out;
  AppendReplaceAllKeys(out, s, k, r, caseSensitive);
  return out;
}

std::string RemoveAll(std::string_view q, std::string_view s, bool setMode) {
  if (setMode) {
    bool inSet[256] = {};
    for (char c : q) inSet[static_cast<unsigned char>(c)] = true;
    std::string out;
    out.reserve(s.size());
    for (char c : s)
      if (!inSet[static_cast<unsigned char>(c)]) out.push_back(c);
    return out;
  }
  std::string t(s);
  if (q.empty()) return t;
  // A deletion can only form a new occurrence that starts at most |q|-1 bytes
  // before it, so the search resumes there rather than at the very start; the
  // result is the same as restarting from position 1 each time.
  std::size_t from = 0;
  for (std::size_t at; (at = t.find(q, from)) != std::string::npos;) {
    t.erase(at, q.size());
    from = at >= q.size() - 1 ? at - (q.size() - 1) : 0;
  }
  return t;
}

std::string DeleteRange(std::string_view s, long long p, long long n) {
  std::string out(s);
  if (p < 1 || n < 1 || static_cast<unsigned long long>(p) > s.size()) return out;
  out.erase(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));
  return out;
}

std::string DeleteFirstMarkerPair(std::string_view s, char b, char e) {
  const std::string_view bk(&b, 1), ek(&e, 1);
  const std::size_t B = KeyPos(bk, s);
  std::size_t E = KeyPos(ek, s);
  if (b == e) E = B + KeyPos(ek, TextAfterKey(s, bk));
  if (B > 0 && E > 0 && E > B)
    return DeleteRange(s, static_cast<long long>(B), static_cast<long long>(E - B) + 1);
  return std::string(s);
}

std::string DeleteLastMarkerPair(std::string_view s, char b, char e) {
  const std::string_view bk(&b, 1), ek(&e, 1);
  const std::size_t E = LastPosOfChar(ek, s);
  std::size_t B = LastPosOfChar(bk, s);
  if (b == e) B = E > 0 ? LastPosOfChar(bk, s.substr(0, E - 1)) : 0;
  if (B > E) {
    B = 0;
    for (std::size_t i = E > 1 ? E - 1 : 0; i >= 1; --i)
      if (s[i - 1] == b) {
        B = i;
        break;
      }
  }
  if (E > 0 && B > 0 && E > B)
    return DeleteRange(s, static_cast<long long>(B), static_cast<long long>(E - B) + 1);
  return std::string(s);
}

void AppendStripTags(std::string& out, std::string_view s, bool& insideTag) {
  const char* p = s.data();
  const char* const end = p + s.size();
  while (p < end) {
    if (insideTag) {
      const char* gt = static_cast<const char*>(std::memchr(p, '>', std::size_t(end - p)));
      if (!gt) return;
      insideTag = false;
      p = gt + 1;
      continue;
    }
    // Outside a tag: copy up to the next "<" or ">", neither of which is kept.
    const char* q = p;
    while (q < end && *q != '<' && *q != '>') ++q;
    out.append(p, std::size_t(q - p));
    if (q < end && *q == '<') insideTag = true;
    p = q < end ? q + 1 : q;
  }
}

std::string StripTags(std::string_view s, bool& insideTag) {
  std::string out;
  AppendStripTags(out, s, insideTag);
  return out;
}

std::string StripOverstrikes(std::string_view s) {
  const std::string t = RemoveAll("_\b", s, false);
  std::string out;
  out.reserve(t.size());
  bool skip = false;
  for (char x : t) {
    if (x == '\b') skip = true;
    if (!skip) out.push_back(x);
    if (x != '\b' && skip) skip = false;
  }
  return out;
}

bool HoldsTagBracket(std::string_view s) {
  return FindTagBracket(s) != s.size();
}

std::size_t FindTagBracket(std::string_view s) {
  const char* const base = s.data();
  const char* p = base;
  const char* const end = p + s.size();
#if defined(__SSE2__)
  // One pass for both bytes, sixteen at a time; the last bytes of a text of
  // 16 or more in its last sixteen (those before them hold neither).
  const __m128i lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>');
  auto found = [&](const char* at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, lt), _mm_cmpeq_epi8(x, gt))));
  };
  if (end - p >= 16) {
    for (; end - p > 16; p += 16)
      if (const unsigned m = found(p)) return std::size_t(p - base) + std::countr_zero(m);
    const unsigned m = found(end - 16);
    return m == 0 ? s.size() : s.size() - 16 + std::countr_zero(m);
  }
#endif
  for (; p < end; ++p)
    if (*p == '<' || *p == '>') break;
  return std::size_t(p - base);
}

bool IsBlankLine(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 33) return false;
  return true;
}

char* ExpandTabsInto(char* dst, char* dstEnd, std::string_view s, int w) {
  assert(w >= 2 && w <= 16);
  static constexpr char kSpaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const auto width = static_cast<std::size_t>(w);
  char* const start = dst;
  const char* p = s.data();
  const char* const end = p + s.size();
  // Room is checked at the start and at every tab: enough for the rest of the
  // input plus 32, so that 8-byte and 16-byte stores never run past dstEnd.
  auto roomFor = [&]() { return std::size_t(dstEnd - dst) >= std::size_t(end - p) + 32; };
  auto tab = [&]() {
    std::memcpy(dst, kSpaces, sizeof kSpaces);  // w <= 16; the surplus is overwritten or cut
    const auto col = std::size_t(dst - start);
    dst += width - (width == 8 ? (col & 7) : col % width);
    ++p;
  };
  if (!roomFor()) return nullptr;
#if defined(__SSE2__)
  // Sixteen bytes at a time: copy a block, stop at its first tab if any. The
  // last bytes of a text of 16 or more are looked at in its last 16 bytes and
  // copied by two overlapping moves. With room for every byte a tab, the
  // room needs no further check.
  const bool ample = std::size_t(dstEnd - dst) >= s.size() * width + 32;
  const __m128i tabs = _mm_set1_epi8('\t');
  while (end - p >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), x);
    const auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, tabs)));
    if (found == 0) {
      dst += 16;
      p += 16;
      continue;
    }
    const int k = std::countr_zero(found);
    dst += k;
    p += k;
    if (!ample && !roomFor()) return nullptr;
    tab();
  }
  if (s.size() >= 16) {
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
    const auto inLast = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(last, tabs)));
    while (p < end) {
      const auto rem = std::size_t(end - p);
      const unsigned found = inLast >> (16 - rem);
      const std::size_t k = found == 0 ? rem : std::size_t(std::countr_zero(found));
      CopyShort(dst, p, k);
      dst += k;
      p += k;
      if (p == end) break;
      if (!ample && !roomFor()) return nullptr;
      tab();
    }
    return dst;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // Eight bytes at a time: copy a block, stop at its first tab if any. The
    // last few bytes of a line of 8 or more come from an overlapping load of
    // its last 8 bytes, shifted down.
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    while (p < end && s.size() >= 8) {
      const auto rem = std::size_t(end - p);
      std::uint64_t x;
      std::size_t valid = 8;
      if (rem >= 8) {
        std::memcpy(&x, p, 8);
      } else {
        std::memcpy(&x, end - 8, 8);
        x >>= 8 * (8 - rem);
        valid = rem;
      }
      const std::uint64_t t = x ^ (kOnes * '\t');
      std::uint64_t found = (t - kOnes) & ~t & kHigh;
      if (valid < 8) found &= (std::uint64_t(1) << (8 * valid)) - 1;
      std::memcpy(dst, &x, 8);
      if (found == 0) {
        dst += valid;
        p += valid;
        continue;
      }
      const std::size_t k = std::size_t(std::countr_zero(found)) / 8;
      dst += k;
      p += k;
      if (!roomFor()) return nullptr;
      tab();
    }
  }
  for (; p < end;) {
    if (*p != '\t') {
      *dst++ = *p++;
      continue;
    }
    if (!roomFor()) return nullptr;
    tab();
  }
  return dst;
}

void AppendExpandedTabs(std::string& out, std::string_view s, int w) {
  const std::size_t base = out.size();
  // Room for a few tabs first; the worst case (every byte a tab) only if needed.
  for (std::size_t room : {s.size() + 128, s.size() * std::size_t(w) + 32}) {
    out.resize(base + room);
    char* const d = out.data() + base;
    if (char* e = ExpandTabsInto(d, d + room, s, w)) {
      out.resize(base + std::size_t(e - d));
      return;
    }
  }
}

std::optional<std::string> ExpandTabs(std::string_view s, int w) {
  if (w < 2 || w > 16) return std::nullopt;
  std::string out;
  if (s.find('\t') == std::string_view::npos) return std::string(s);
  AppendExpandedTabs(out, s, w);
  return out;
}

#if defined(__SSE2__)
namespace {
// The set bits of m, inline: on a build for any x86-64, std::popcount is a
// library call.
constexpr std::size_t BitCount(std::uint64_t m) {
  m -= (m >> 1) & 0x5555555555555555ull;
  m = (m & 0x3333333333333333ull) + ((m >> 2) & 0x3333333333333333ull);
  m = (m + (m >> 4)) & 0x0f0f0f0f0f0f0f0full;
  return std::size_t((m * 0x0101010101010101ull) >> 56);
}
}  // namespace
#endif

char* ExpandLinesInto(char* dst, std::string_view lines, int w, char fold, std::size_t cap,
                      std::string_view term, std::size_t& count, std::size_t* stops) {
  assert(w >= 2 && w <= 16 && (term.size() == 1 || term.size() == 2));
  static constexpr char kSpaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const auto width = static_cast<std::size_t>(w);
  const char* p = lines.data();
  const char* const end = p + lines.size();
  char* const origin = dst;
  char* lineStart = dst;
  std::size_t n = 0;  // lines: kept here, as the stores through dst may alias count
  std::size_t spare = 0;
  std::size_t* const stopAt = stops != nullptr ? stops : &spare;
  const std::size_t stopStep = stops != nullptr ? 1 : 0;
  const std::size_t termLength = term.size();
  char termBlock[16] = {};
  std::memcpy(termBlock, term.data(), term.size());
  // A tab, or a line break: p stands on it. Without branches between the
  // two, which follow each other in no order a processor could foresee. A
  // line longer than cap is cut back, and the rest of it passed.
  auto special = [&] {
    if (std::size_t(dst - lineStart) > cap) [[unlikely]] {
      dst = lineStart + cap;
      while (p + 1 < end && *p != '\n' && *p != '\r') ++p;  // every line has its break
    }
    const bool isTab = *p == '\t';
    const auto col = std::size_t(dst - lineStart);
    const std::size_t tabAdvance = width - (width == 8 ? (col & 7) : col % width);
    const bool crlf = !isTab && *p == '\r' && p + 1 < end && p[1] == '\n';
    std::memcpy(dst, isTab ? kSpaces : termBlock, 16);  // w <= 16; the surplus is overwritten
    stopAt[n * stopStep] = std::size_t(dst - origin);   // kept at a line break
    dst += isTab ? tabAdvance : termLength;
    p += crlf ? 2 : 1;
    lineStart = isTab ? lineStart : dst;
    n += isTab ? 0 : 1;
  };
  const auto first = static_cast<unsigned char>(fold);
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  const __m128i from = _mm_set1_epi8(fold), last = _mm_set1_epi8(25), bit = _mm_set1_epi8(0x20);
  auto specialsAt = [&](const char* q) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(x, tab), _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr))))));
  };
  auto copy16 = [&](char* d, const char* q) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    if (fold != 0) {
      const __m128i diff = _mm_sub_epi8(x, from);
      x = _mm_xor_si128(x, _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(diff, last), diff), bit));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), x);
  };
  // 64 bytes at a time: where their tabs and line breaks stand is found for
  // all of them at once, so finding the next does not wait for the last to
  // be written. The bytes up to the next are copied 16 at a time; a store
  // that runs past it is overwritten by what follows. (Reads stay within
  // 128 bytes of p, writes within 64 of dst.)
  //
  // Where the line breaks of 64 bytes are those of the output already (LF
  // for LF, or CR LF for CR LF), and lines are not cut, the breaks pass as
  // they are: only the tabs need work, the last line break before a tab
  // telling where its line starts.
  int passing = 0;  // 1: LF for LF, 2: CR LF for CR LF
  if (cap == std::numeric_limits<std::size_t>::max())
    passing = term == "\n" ? 1 : term == "\r\n" ? 2 : 0;
  const std::size_t crBefore = passing == 2 ? 1 : 0;  // a stop stands on the CR of a CR LF
  auto maskOf = [](const __m128i(&x)[4], __m128i c) {
    std::uint64_t m = 0;
    for (int i = 0; i < 4; ++i)
      m |= std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x[i], c))))
           << (16 * i);
    return m;
  };
  while (end - p >= 128) {
    const char* const base = p;
    __m128i x[4];
    for (int i = 0; i < 4; ++i)
      x[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + std::ptrdiff_t(16 * i)));
    const std::uint64_t tabs = maskOf(x, tab), lfs = maskOf(x, lf), crs = maskOf(x, cr);
    // For CR LF: every LF right after a CR, every CR right before an LF (so
    // none ends the 64 bytes).
    if (passing == 1 ? crs == 0 : passing == 2 && (crs << 1) == lfs && (crs >> 63) == 0) {
      std::uint64_t toPlace = tabs, breaks = lfs;  // breaks: those not yet passed
      std::size_t done = 0;
      // Copies the bytes from done up to k, 64 of them whatever their number
      // (the surplus is overwritten), notes the stops of the lines that end
      // there and finds where the line of k starts.
      auto copyUpTo = [&](std::size_t k) {
        const std::uint64_t before = k < 64 ? breaks & ((std::uint64_t(1) << k) - 1) : breaks;
        for (std::size_t i = 0; i < 64; i += 16) copy16(dst + i, base + done + i);
        if (stops != nullptr)
          for (std::uint64_t b = before; b != 0; b &= b - 1)
            stops[n++] =
                std::size_t(dst - origin) + std::size_t(std::countr_zero(b)) - crBefore - done;
        if (before != 0) lineStart = dst + (std::size_t(63 - std::countl_zero(before)) + 1 - done);
        dst += k - done;
      };
      while (toPlace != 0) {
        const auto k = std::size_t(std::countr_zero(toPlace));
        copyUpTo(k);
        const auto col = std::size_t(dst - lineStart);
        std::memcpy(dst, kSpaces, 16);
        dst += width - (width == 8 ? (col & 7) : col % width);
        breaks &= ~((std::uint64_t(2) << k) - 1);  // k is 63 at most: 2 << 63 is 0
        done = k + 1;
        toPlace &= toPlace - 1;
      }
      copyUpTo(64);
      if (stops == nullptr) n += BitCount(lfs);
      p = base + 64;
      continue;
    }
    std::uint64_t m = tabs | lfs | crs;
    for (;;) {
      const int k = m != 0 ? std::countr_zero(m) : 64;
      const auto length = std::size_t(base + k - p);
      copy16(dst, p);
      copy16(dst + 16, p + 16);
      for (std::size_t i = 32; i < length; i += 16) copy16(dst + i, p + i);
      dst += length;
      p += length;
      if (k == 64) break;
      special();
      const auto used = std::size_t(p - base);  // past a CR LF or the rest of a cut line
      if (used >= 64) break;
      m &= ~std::uint64_t(0) << used;
    }
  }
  while (end - p >= 16) {
    const std::uint64_t specials = specialsAt(p);
    copy16(dst, p);
    if (specials == 0) {
      dst += 16;
      p += 16;
      continue;
    }
    const int k = std::countr_zero(specials);
    dst += k;
    p += k;
    special();
  }
#endif
  while (p < end) {
    const char c = *p;
    if (c == '\t' || c == '\n' || c == '\r') {
      special();
      continue;
    }
    *dst++ = fold != 0 && static_cast<unsigned char>(c - first) < 26 ? char(c ^ 0x20) : c;
    ++p;
  }
  count += n;
  return dst;
}

std::size_t EndOfLastLine(std::string_view s) {
  std::size_t at = s.size();
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  for (; at >= 16; at -= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at - 16));
    const auto m = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr))));
    if (m != 0) return at - static_cast<std::size_t>(std::countl_zero(m << 16));
  }
#endif
  for (; at > 0; --at)
    if (s[at - 1] == '\n' || s[at - 1] == '\r') return at;
  return 0;
}

std::string ApplyOutputCase(std::string_view s, bool upper, bool lower) {
  if (upper) return UpperCase(s);
  if (lower) return LowerCase(s);
  return std::string(s);
}

std::string CutAtFirstKey(std::string_view s, std::string_view k) {
  const std::size_t at = FindKey(s, k);
  return std::string(at == std::string_view::npos ? s : s.substr(0, at));
}

std::string TextBeforeLastKey(std::string_view s, std::string_view k) {
  const std::size_t p = LastPosOfChar(k, s);
  return std::string(p > 0 ? s.substr(0, p - 1) : s);
}

}  // namespace QuorlinUtils
