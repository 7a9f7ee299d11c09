// SPDX-License-Identifier: Apache-2.0
#include "engine/LineStream.h"

#include <algorithm>
#include <cassert>

#include "engine/ByteBuffer.h"
#include "engine/LineBreaks.h"
#include "textutil/QuorlinUtils.h"

namespace quorlin {

using QuorlinUtils::LowerAscii;
using QuorlinUtils::UpperAscii;

void LineSink::writeExpanded(std::string_view raw, int tabWidth) {
  assert(tabWidth >= 2 && tabWidth <= 16);
  expanded_.clear();
  QuorlinUtils::AppendExpandedTabs(expanded_, raw, tabWidth);
  write(expanded_);
}

std::size_t WholeLinesEnd(std::string_view bytes, std::size_t from, std::size_t limit,
                          bool untilBracket) {
  std::string_view before = bytes.substr(from, limit - from);
  if (untilBracket) before = before.substr(0, QuorlinUtils::FindTagBracket(before));
  return from + QuorlinUtils::EndOfLastLine(before);
}

std::size_t LineEndAfter(std::string_view bytes, std::size_t at, bool open) {
  const char* const base = bytes.data();
  const auto stop = std::size_t(FindLineBreak(base + at, base + bytes.size()) - base);
  if (stop == bytes.size() || (open && stop + 1 == bytes.size() && base[stop] == '\r'))
    return std::string_view::npos;
  return stop + TerminatorAt(bytes, stop).size();
}

std::size_t AppendLines(ByteBuffer& out, std::string_view lines, const LineShape& shape,
                        std::string_view terminator, std::size_t* stops) {
  std::size_t count = 0;
  char* const d = out.room(lines.size() * std::size_t(std::max(shape.tabWidth, 2)) + 32);
  char* const e = QuorlinUtils::ExpandLinesInto(d, lines, shape.tabWidth, shape.fold, shape.cap,
                                                terminator, count, stops);
  out.commit(std::size_t(e - d));
  return count;
}

std::string_view TakeBackLastLine(ByteBuffer& out, std::size_t terminatorLength) {
  assert(out.size() >= terminatorLength);
  const std::string_view all = out.view();  // the bytes stay until written over
  const std::size_t end = all.size() - terminatorLength;
  const std::size_t start = QuorlinUtils::EndOfLastLine(all.substr(0, end));
  out.truncate(start);
  return all.substr(start, end - start);
}

void KeyWatch::set(std::string_view key, bool caseBlind) {
  const std::string_view watched =
      key.find_first_of("\r\n") == std::string_view::npos ? key : std::string_view();
  reset();
  // The same key over the next bytes of a run (a new watch is as if set to
  // no key): what was learned of how often its first byte misses stays.
  if (watched == key_ && caseBlind == askedBlind_) return;
  askedBlind_ = caseBlind;
  key_ = watched;
  caseBlind_ = caseBlind && QuorlinUtils::UpperCase(key_) != QuorlinUtils::LowerCase(key_);
  misses_ = passed_ = 0;
  dense_ = false;
}

std::size_t KeyWatch::find(std::string_view bytes, std::size_t from) {
  if (key_.size() < 2) return findFirstByte(bytes, from);
  if (dense_) return prepared_.findFrom(bytes, from);
  // The places of the key's first byte (memchr leaps over the bytes between),
  // the whole key compared at each; when most of them turn out not to start
  // the key, two of its bytes, the rarest ahead, are looked for together from
  // then on.
  const std::size_t n = key_.size();
  for (;;) {
    const std::size_t at = findFirstByte(bytes, from);
    if (at == std::string_view::npos || bytes.size() - at < n) return std::string_view::npos;
    std::size_t i = 1;
    if (caseBlind_)
      while (i < n && LowerAscii(bytes[at + i]) == LowerAscii(key_[i])) ++i;
    else
      while (i < n && bytes[at + i] == key_[i]) ++i;
    passed_ += at + 1 - from;
    if (i == n) return at;
    if (++misses_ > 16 && misses_ * 32 > passed_) {  // a miss every 32 bytes or more often
      dense_ = true;
      // The bytes ahead tell which of the key's bytes are rarest.
      prepared_ = QuorlinUtils::PreparedKey(key_, caseBlind_, bytes.substr(at, kSample));
      return prepared_.findFrom(bytes, at + 1);
    }
    from = at + 1;
  }
}

std::size_t KeyWatch::findFirstByte(std::string_view bytes, std::size_t from) {
  if (!caseBlind_ || LowerAscii(key_[0]) == UpperAscii(key_[0])) return bytes.find(key_[0], from);
  // The next places of the byte in either case, kept between calls.
  const char lower = LowerAscii(key_[0]), upper = UpperAscii(key_[0]);
  if (nextLower_ == kUnknown || nextLower_ < from) nextLower_ = bytes.find(lower, from);
  if (nextUpper_ == kUnknown || nextUpper_ < from) nextUpper_ = bytes.find(upper, from);
  return std::min(nextLower_, nextUpper_);
}

}  // namespace quorlin
