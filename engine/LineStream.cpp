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
  if (key_.size() < 2) return findFirstByte(bytes, from);
  return QuorlinUtils::FindKeyFrom(bytes, key_, from, caseBlind_);
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
