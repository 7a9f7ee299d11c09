// SPDX-License-Identifier: Apache-2.0
// Generated texts and change requests for the cross-checks: a fixed-seed
// generator, texts rich in keys, separators, tags, markers, overstrikes,
// numbers and bytes above 127, and requests whose fields are mostly valid.
#pragma once

#include <cstdint>
#include <string>
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

}  // namespace quorlin::testing
