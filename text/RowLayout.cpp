// SPDX-License-Identifier: Apache-2.0
#include "text/RowLayout.h"

#include <algorithm>
#include <string>

namespace quorlin::text {
namespace {

// Bytes enough to hold any one character.
constexpr std::size_t kCharReach = 16;

}  // namespace

void RowLayout::setMeasure(std::shared_ptr<const Measure> measure) {
  measure_ = std::move(measure);
  longLines_.clear();
  if (wrap_) wraps_.rebuild(text_, measure_, width_);
}

void RowLayout::setText(const Text& text) {
  text_ = text;
  longLines_.clear();
  if (wrap_) wraps_.rebuild(text_, measure_, width_);
}

void RowLayout::setWrap(bool on, std::int64_t width) {
  if (!on) {
    wrap_ = false;
    wraps_.clear();
    return;
  }
  if (wrap_ && width == width_) return;
  wrap_ = true;
  width_ = width;
  wraps_.rebuild(text_, measure_, width_);
}

void RowLayout::edited(const Text& text, const Change& c) {
  const Text before = text_;
  text_ = text;
  const std::size_t first = before.lineAt(c.offset);
  const bool oneLine =
      first == before.lineAt(c.offset + c.removed) && first == text_.lineAt(c.offset + c.inserted);
  FollowChange(longLines_, c, oneLine, [&](LongLine& l) {
    // The positions before the edit stay.
    l.length = l.length - c.removed + c.inserted;
    l.checkpoints.resize(std::min(l.checkpoints.size(), (c.offset - l.start) / kStride + 1));
    l.width = -1;
    return true;
  });
  if (wrap_) wraps_.update(text_, c);
}

Row RowLayout::row(std::size_t index) const {
  Row r;
  if (!wrap_) {
    r.line = std::min(index, text_.breaks());
    r.lineStart = r.start = text_.lineStart(r.line);
    r.lineEnd = r.end = text_.lineEnd(r.line);
    return r;
  }
  const WrapIndex::Place place = wraps_.lineOfRow(index);
  r.line = place.line;
  r.lineStart = text_.lineStart(r.line);
  r.lineEnd = text_.lineEnd(r.line);
  const std::vector<std::size_t>& starts = wraps_.rowStarts(r.line);
  const std::size_t k = std::min(place.row, starts.size() - 1);
  r.start = r.lineStart + starts[k];
  r.lastOfLine = k + 1 == starts.size();
  r.end = r.lastOfLine ? r.lineEnd : r.lineStart + starts[k + 1];
  return r;
}

std::size_t RowLayout::rowOf(std::size_t offset) const {
  const std::size_t line = text_.lineAt(offset);
  if (!wrap_) return line;
  const std::vector<std::size_t>& starts = wraps_.rowStarts(line);
  const std::size_t within = offset - text_.lineStart(line);
  const auto k =
      std::size_t(std::upper_bound(starts.begin(), starts.end(), within) - starts.begin());
  return wraps_.rowOfLine(line) + k - 1;
}

const RowLayout::LongLine& RowLayout::longLine(const Row& r) const {
  LongLine* found = nullptr;
  for (LongLine& l : longLines_) {
    if (l.start == r.lineStart && l.length == r.lineEnd - r.lineStart) found = &l;
  }
  if (found == nullptr) {
    if (longLines_.size() >= 4) longLines_.erase(longLines_.begin());
    longLines_.push_back({r.lineStart, r.lineEnd - r.lineStart, {0}, -1});
    found = &longLines_.back();
  }
  LongLine& l = *found;
  if (l.width < 0) {
    // Measures on from the last position known, every kStride bytes.
    std::size_t pos = (l.checkpoints.size() - 1) * kStride;
    std::int64_t x = l.checkpoints.back();
    text_.forEachChunk(l.start + pos, l.start + l.length, [&](std::string_view chunk) {
      while (!chunk.empty()) {
        const std::size_t take = std::min(kStride - pos % kStride, chunk.size());
        x = measure_->advance(chunk.substr(0, take), x);
        pos += take;
        chunk.remove_prefix(take);
        if (pos % kStride == 0) l.checkpoints.push_back(x);
      }
      return true;
    });
    l.width = x;
  }
  return l;
}

std::int64_t RowLayout::xAt(const Row& r, std::size_t offset) const {
  offset = std::clamp(offset, r.start, r.end);
  std::size_t from = r.start;
  std::int64_t x = 0;
  if (isLong(r)) {
    const LongLine& l = longLine(r);
    const std::size_t k = (offset - r.start) / kStride;
    from = r.start + k * kStride;
    x = l.checkpoints[std::min(k, l.checkpoints.size() - 1)];
  }
  std::string scratch;
  return measure_->advance(text_.view(from, offset, scratch), x);
}

std::int64_t RowLayout::rowWidth(const Row& r) const {
  if (isLong(r)) return longLine(r).width;
  return xAt(r, r.end);
}

std::size_t RowLayout::firstFrom(const Row& r, std::int64_t x, std::int64_t& left) const {
  std::size_t from = r.start;
  std::int64_t at = 0;
  if (isLong(r)) {
    const LongLine& l = longLine(r);
    const auto it = std::upper_bound(l.checkpoints.begin(), l.checkpoints.end(), x);
    const std::size_t k =
        it == l.checkpoints.begin() ? 0 : std::size_t(it - l.checkpoints.begin()) - 1;
    from = r.start + k * kStride;
    at = l.checkpoints[k];
  }
  std::string scratch;
  while (from < r.end) {
    const std::string_view bytes = text_.view(from, std::min(r.end, from + kStride), scratch);
    const bool found = WithMeasure(*measure_, [&](const auto& m) {
      for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = m.charLength(std::string_view(bytes.data() + i, bytes.size() - i));
        const std::int64_t step = m.charWidth(std::string_view(bytes.data() + i, n), at);
        if (at + step > x) return true;
        at += step;
        from += n;
        i += n;
      }
      return false;
    });
    if (found) break;
  }
  left = at;
  return std::min(from, r.end);
}

std::size_t RowLayout::offsetAtX(const Row& r, std::int64_t x) const {
  std::int64_t left = 0;
  const std::size_t from = firstFrom(r, x, left);
  if (from >= r.end) return r.end;
  std::string scratch;
  const std::string_view rest = text_.view(from, std::min(r.end, from + kCharReach), scratch);
  const std::size_t n = measure_->charLength(rest);
  const std::int64_t step = measure_->charWidth(rest.substr(0, n), left);
  return x < left + step / 2 ? from : from + n;
}

std::size_t RowLayout::caretAtX(const Row& r, std::int64_t x) const {
  const std::size_t at = offsetAtX(r, x);
  if (!r.lastOfLine && at >= r.end && r.end > r.start) return previousPosition(r.end);
  return at;
}

std::size_t RowLayout::nextPosition(std::size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  std::string scratch;
  return offset + measure_->charLength(text_.view(offset, offset + kCharReach, scratch));
}

std::size_t RowLayout::previousPosition(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  if (offset == 0) return 0;
  std::string scratch;
  const std::size_t from = offset > kCharReach ? offset - kCharReach : 0;
  return offset - measure_->lastCharLength(text_.view(from, offset, scratch));
}

}  // namespace quorlin::text
