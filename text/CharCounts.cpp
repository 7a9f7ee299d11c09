// SPDX-License-Identifier: Apache-2.0
#include "text/CharCounts.h"

#include <algorithm>
#include <string>

#include "textutil/Utf8.h"

namespace quorlin::text {
namespace {

// A character that starts before a point may end up to 3 bytes past it.
constexpr std::size_t kTail = 3;

}  // namespace

void CharCounts::setText(const Text& text) {
  text_ = text;
  marks_.assign(1, Mark{});
}

void CharCounts::edited(const Text& text, const Change& change) {
  text_ = text;
  // A mark stays while the bytes that decide the characters before it, up to
  // the last one's end, are untouched.
  while (marks_.size() > 1 && marks_.back().offset + kTail >= change.offset) marks_.pop_back();
}

template <class Go>
void CharCounts::extend(Go&& goOn) const {
  std::string scratch;
  while (marks_.back().offset < text_.size() && goOn(marks_.back())) {
    const Mark m = marks_.back();
    const std::size_t to = std::min(text_.size(), m.offset + kSpan + kTail);
    const std::string_view bytes = text_.view(m.offset, to, scratch);
    std::size_t end = 0;
    const std::size_t n = QuorlinUtils::CountUtf8Chars(bytes, std::min(kSpan, bytes.size()), &end);
    marks_.push_back({m.offset + end, m.chars + n});
  }
}

std::size_t CharCounts::charsBefore(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  extend([&](const Mark& m) { return m.offset + kSpan <= offset; });
  const auto it = std::upper_bound(marks_.begin(), marks_.end(), offset,
                                   [](std::size_t o, const Mark& m) { return o < m.offset; });
  const Mark& m = *(it - 1);
  std::string scratch;
  const std::string_view bytes =
      text_.view(m.offset, std::min(text_.size(), offset + kTail), scratch);
  return m.chars + QuorlinUtils::CountUtf8Chars(bytes, offset - m.offset);
}

std::size_t CharCounts::offsetOf(std::size_t n) const {
  extend([&](const Mark& m) { return m.chars <= n; });
  const auto it = std::upper_bound(marks_.begin(), marks_.end(), n,
                                   [](std::size_t c, const Mark& m) { return c < m.chars; });
  const Mark& m = *(it - 1);
  std::string scratch;
  const std::size_t to =
      it == marks_.end() ? text_.size() : std::min(text_.size(), it->offset + kTail);
  return m.offset + QuorlinUtils::Utf8Skip(text_.view(m.offset, to, scratch), n - m.chars);
}

}  // namespace quorlin::text
