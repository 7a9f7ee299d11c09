// SPDX-License-Identifier: Apache-2.0
#include "engine/LineStream.h"

#include <algorithm>
#include <cassert>

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
  if (!caseBlind_) return bytes.find(key_, from);
  // The candidates are the places of the first byte in either case; the rest
  // of the key is compared folding A-Z.
  using QuorlinUtils::LowerAscii;
  using QuorlinUtils::UpperAscii;
  const char lower = LowerAscii(key_[0]), upper = UpperAscii(key_[0]);
  for (;;) {
    if (nextLower_ == kUnknown || nextLower_ < from) nextLower_ = bytes.find(lower, from);
    if (lower == upper)
      nextUpper_ = std::string_view::npos;
    else if (nextUpper_ == kUnknown || nextUpper_ < from)
      nextUpper_ = bytes.find(upper, from);
    const std::size_t at = std::min(nextLower_, nextUpper_);
    if (at == std::string_view::npos || bytes.size() - at < key_.size())
      return std::string_view::npos;
    std::size_t i = 1;
    while (i < key_.size() && LowerAscii(bytes[at + i]) == LowerAscii(key_[i])) ++i;
    if (i == key_.size()) return at;
    from = at + 1;
  }
}

}  // namespace quorlin
