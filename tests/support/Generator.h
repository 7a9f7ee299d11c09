// SPDX-License-Identifier: Apache-2.0
// Generated texts and change requests for the cross-checks: a fixed-seed
// generator, texts rich in keys, separators, tags, markers, overstrikes,
// numbers and bytes above 127, and requests whose fields are mostly valid.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ChangeRequest.h"

namespace quorlin::testing {

using Lines = std::vector<std::string>;

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  int range(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
  template <class T>
  const T& pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
  }

 private:
  std::uint64_t state_;
};

// n random bytes of the generator's alphabet, minLen <= n <= maxLen.
std::string RandomText(Rng& rng, int minLen, int maxLen);
// Up to 30 lines, a few texts of up to 200, some empty texts.
Lines RandomLines(Rng& rng);
// A key: often a piece of one of the lines (sometimes in the other case).
std::string RandomKey(Rng& rng, const Lines& lines);
// A request for the test and action codes, its fields mostly filled where the
// pair needs them and mostly valid numbers.
ChangeRequest RandomRequest(Rng& rng, int test, int action, const Lines& lines);

// Each byte above 127 as one of 128 characters of UTF-8, in the same order:
// the stray bytes 80-8F, U+00C0-U+00FF, U+3041-U+3058 (wide), U+1F600-U+1F616
// and the stray byte FF; every other byte stays. No character's bytes begin
// another's, so texts compare as their bytes did: a text where each character
// is one byte becomes one of characters of one to four bytes.
std::string ToUtf8Characters(std::string_view bytes);
// The reverse: nullopt when the text holds a character the map does not give.
std::optional<std::string> FromUtf8Characters(std::string_view text);

}  // namespace quorlin::testing
