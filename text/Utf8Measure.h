// SPDX-License-Identifier: Apache-2.0
// A line of UTF-8 across the pane. What the caret steps over and what is
// measured as a whole is a cluster: a character (a valid sequence, or a stray
// byte) with the characters that combine with it (accents and other marks,
// the parts of a Hangul syllable, an emoji sequence). A stray byte is a
// cluster of its own and takes no mark. ASCII bytes and tabs are measured
// from the font's table, as the Western set measures them; whether a
// character combines with the one before it, and how wide a cluster other
// than one ASCII byte is, the subclass says.
//
// Most characters cannot combine with the one before them (every character
// below U+0300, and the letters of the common alphabets and of CJK), so the
// subclass is asked only where a mark or the like follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/LineLayout.h"

namespace quorlin::text {

class Utf8Measure : public Measure {
 public:
  explicit Utf8Measure(const Metrics& ascii) : ascii_(ascii) {}

  std::size_t charLength(std::string_view bytes) const final;
  // bytes may start inside a character when they hold kCharReach bytes or
  // more before their last character.
  std::size_t lastCharLength(std::string_view bytes) const final;
  std::int64_t charWidth(std::string_view character, std::int64_t x) const final;
  std::int64_t advance(std::string_view bytes, std::int64_t x) const final;
  std::int64_t widestPerByte() const override { return ascii_.widest; }
  std::size_t settledEnd(std::string_view bytes) const final;
  Encoding encoding() const final { return Encoding::Utf8; }

 protected:
  // The length of the cluster that bytes start with, whose first character
  // is first bytes long and is followed by one that may combine with it; at
  // most kCharReach bytes, ending at a character's end. By default every
  // character is a cluster.
  virtual std::size_t clusterLength(std::string_view bytes, std::size_t first) const;
  // The length of the cluster that bytes end with, whose last character is
  // last bytes long and may combine with the one before it.
  virtual std::size_t lastClusterLength(std::string_view bytes, std::size_t last) const;
  // The width of a cluster other than one ASCII byte.
  virtual std::int64_t clusterWidth(std::string_view cluster) const = 0;

  const Metrics& ascii() const { return ascii_; }

 private:
  Metrics ascii_;
};

// Whether code point next may join the cluster of code point before (next
// directly after it): false is certain, true means that the rules of
// clusters must be asked.
bool MayCombine(char32_t before, char32_t next);

}  // namespace quorlin::text
