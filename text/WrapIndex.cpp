// SPDX-License-Identifier: Apache-2.0
#include "text/WrapIndex.h"

#include <algorithm>

namespace quorlin::text {

void WrapIndex::rebuild(const Text& text, std::shared_ptr<const Measure> measure,
                        std::int64_t width) {
  text_ = text;
  measure_ = std::move(measure);
  width_ = width;
  longLines_.clear();
  blocks_.clear();
  count(0, text_.shownLines(), blocks_);
  sum();
}

void WrapIndex::clear() {
  text_ = {};
  blocks_.clear();
  longLines_.clear();
  sum();
}

void WrapIndex::update(const Text& text, const Change& c) {
  const Text before = std::move(text_);
  text_ = text;
  if (blocks_.empty()) return rebuild(text, measure_, width_);
  const std::size_t first = before.lineAt(c.offset);
  const std::size_t oldLast = before.lineAt(c.offset + c.removed);
  const std::size_t newLast = text_.lineAt(c.offset + c.inserted);
  const bool oneLine = first == oldLast && first == newLast;

  // The saved long lines follow the change; the one it lay in wraps again.
  FollowChange(longLines_, c, oneLine, [&](LongLine& l) {
    rewrap(l, c);
    return l.length > kLongLine;
  });

  const std::size_t b1 = blockOfLine(first);
  const std::size_t b2 = blockOfLine(oldLast);
  const std::size_t from = lineStarts_[b1];
  const std::size_t lines = lineStarts_[b2 + 1] - from - (oldLast - first) + (newLast - first);
  std::vector<Block> fresh;
  count(from, lines, fresh);
  blocks_.erase(blocks_.begin() + std::ptrdiff_t(b1), blocks_.begin() + std::ptrdiff_t(b2 + 1));
  blocks_.insert(blocks_.begin() + std::ptrdiff_t(b1), fresh.begin(), fresh.end());
  sum();
}

void WrapIndex::rewrap(LongLine& line, const Change& c) const {
  std::vector<std::size_t>& starts = line.starts;
  const std::size_t at = c.offset - line.start;
  // Where the row before the one holding the change starts: its end was
  // chosen looking at bytes up to the change at most, and every row before
  // it ended before them.
  const auto holding =
      std::size_t(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
  const std::size_t from = holding > 0 ? holding - 1 : 0;
  const std::size_t newLength = line.length - c.removed + c.inserted;
  std::vector<std::size_t> fresh;
  std::size_t met = starts.size();  // the first old row start the new rows meet
  RowBreaker breaker(width_, starts[from]);
  auto found = [&](std::size_t start) {
    // A row that starts past the inserted bytes where an old row started
    // goes on as the old rows did.
    if (start >= at + c.inserted) {
      const std::size_t old = start - c.inserted + c.removed;
      const auto it =
          std::lower_bound(starts.begin() + std::ptrdiff_t(from) + 1, starts.end(), old);
      if (it != starts.end() && *it == old) {
        met = std::size_t(it - starts.begin());
        return false;
      }
    }
    fresh.push_back(start);
    return true;
  };
  text_.forEachChunk(
      line.start + starts[from], line.start + newLength, [&](std::string_view chunk) {
        return WithMeasure(*measure_, [&](const auto& m) { return breaker.feed(m, chunk, found); });
      });
  for (std::size_t i = met; i < starts.size(); ++i) starts[i] = starts[i] - c.removed + c.inserted;
  starts.erase(starts.begin() + std::ptrdiff_t(from) + 1, starts.begin() + std::ptrdiff_t(met));
  starts.insert(starts.begin() + std::ptrdiff_t(from) + 1, fresh.begin(), fresh.end());
  line.length = newLength;
}

const WrapIndex::LongLine& WrapIndex::longLine(std::size_t start, std::size_t length) const {
  auto it = std::lower_bound(longLines_.begin(), longLines_.end(), start,
                             [](const LongLine& l, std::size_t s) { return l.start < s; });
  if (it != longLines_.end() && it->start == start && it->length == length) return *it;
  if (it == longLines_.end() || it->start != start) it = longLines_.insert(it, LongLine());
  LongLine& l = *it;
  l.start = start;
  l.length = length;
  l.starts.assign(1, 0);
  RowBreaker breaker(width_);
  text_.forEachChunk(start, start + length, [&](std::string_view chunk) {
    return WithMeasure(*measure_, [&](const auto& m) {
      return breaker.feed(m, chunk, [&](std::size_t s) {
        l.starts.push_back(s);
        return true;
      });
    });
  });
  return l;
}

template <class F>
void WrapIndex::countLines(ShownLines& lines, std::size_t count, F&& f) const {
  WithMeasure(*measure_, [&](const auto& m) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::string_view bytes = lines.next();
      const std::size_t length = lines.length();
      f(length > kLongLine ? longLine(lines.start(), length).starts.size()
                           : WrapRowsOf(m, bytes, width_));
    }
  });
}

void WrapIndex::count(std::size_t first, std::size_t count, std::vector<Block>& out) const {
  ShownLines lines(text_, first, kLongLine);
  Block block;
  countLines(lines, count, [&](std::size_t rows) {
    block.rows += rows;
    if (++block.lines == kBlockLines) {
      out.push_back(block);
      block = Block();
    }
  });
  if (block.lines > 0) out.push_back(block);
}

void WrapIndex::sum() {
  lineStarts_.assign(1, 0);
  rowStarts_.assign(1, 0);
  for (const Block& b : blocks_) {
    lineStarts_.push_back(lineStarts_.back() + b.lines);
    rowStarts_.push_back(rowStarts_.back() + b.rows);
  }
  cachedBlock_ = kNone;
  cachedLine_ = kNone;
}

std::size_t WrapIndex::blockOfLine(std::size_t line) const {
  const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), line);
  const std::size_t b = std::size_t(it - lineStarts_.begin());
  return std::min(b == 0 ? 0 : b - 1, blocks_.size() - 1);
}

const std::vector<std::size_t>& WrapIndex::rowsOfBlock(std::size_t block) const {
  if (cachedBlock_ != block) {
    cachedRows_.clear();
    ShownLines lines(text_, lineStarts_[block], kLongLine);
    countLines(lines, blocks_[block].lines, [&](std::size_t rows) { cachedRows_.push_back(rows); });
    cachedBlock_ = block;
  }
  return cachedRows_;
}

std::size_t WrapIndex::rowOfLine(std::size_t line) const {
  if (blocks_.empty()) return 0;
  const std::size_t b = blockOfLine(line);
  const std::vector<std::size_t>& rows = rowsOfBlock(b);
  std::size_t row = rowStarts_[b];
  const std::size_t upTo = std::min(line - lineStarts_[b], rows.size());
  for (std::size_t i = 0; i < upTo; ++i) row += rows[i];
  return row;
}

WrapIndex::Place WrapIndex::lineOfRow(std::size_t row) const {
  if (blocks_.empty()) return {};
  row = std::min(row, rows() - 1);
  const auto it = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), row);
  const std::size_t b = std::min(std::size_t(it - rowStarts_.begin()) - 1, blocks_.size() - 1);
  const std::vector<std::size_t>& rows = rowsOfBlock(b);
  std::size_t at = rowStarts_[b];
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (row < at + rows[i]) return {lineStarts_[b] + i, row - at};
    at += rows[i];
  }
  return {lineStarts_[b] + rows.size() - 1, rows.back() - 1};
}

const std::vector<std::size_t>& WrapIndex::rowStarts(std::size_t line) const {
  const std::size_t start = text_.lineStart(line);
  const std::size_t end = text_.lineEnd(line);
  if (end - start > kLongLine) return longLine(start, end - start).starts;
  if (cachedLine_ != line) {
    std::string scratch;
    WrapRowStarts(*measure_, text_.view(start, end, scratch), width_, cachedStarts_);
    cachedLine_ = line;
  }
  return cachedStarts_;
}

}  // namespace quorlin::text
