// SPDX-License-Identifier: Apache-2.0
#include "text/WrapIndex.h"

#include <algorithm>

#include "text/TextLines.h"

namespace quorlin::text {

void WrapIndex::rebuild(const Text& text, const Metrics& metrics, std::int64_t width) {
  text_ = text;
  metrics_ = metrics;
  width_ = width;
  blocks_.clear();
  count(0, text_.shownLines(), blocks_);
  sum();
}

void WrapIndex::update(const Text& text, std::size_t first, std::size_t oldLines,
                       std::size_t newLines) {
  text_ = text;
  if (blocks_.empty()) return rebuild(text, metrics_, width_);
  const std::size_t b1 = blockOfLine(first);
  const std::size_t b2 = blockOfLine(first + std::max<std::size_t>(oldLines, 1) - 1);
  const std::size_t from = lineStarts_[b1];
  const std::size_t lines = lineStarts_[b2 + 1] - from - oldLines + newLines;
  std::vector<Block> fresh;
  count(from, lines, fresh);
  blocks_.erase(blocks_.begin() + std::ptrdiff_t(b1), blocks_.begin() + std::ptrdiff_t(b2 + 1));
  blocks_.insert(blocks_.begin() + std::ptrdiff_t(b1), fresh.begin(), fresh.end());
  sum();
}

void WrapIndex::count(std::size_t first, std::size_t count, std::vector<Block>& out) const {
  ShownLines lines(text_, first);
  Block block;
  for (std::size_t i = 0; i < count; ++i) {
    block.rows += WrapRowCount(metrics_, lines.next(), width_);
    if (++block.lines == kBlockLines) {
      out.push_back(block);
      block = Block();
    }
  }
  if (block.lines > 0) out.push_back(block);
}

void WrapIndex::sum() {
  lineStarts_.assign(1, 0);
  rowStarts_.assign(1, 0);
  for (const Block& b : blocks_) {
    lineStarts_.push_back(lineStarts_.back() + b.lines);
    rowStarts_.push_back(rowStarts_.back() + b.rows);
  }
  cachedBlock_ = static_cast<std::size_t>(-1);
}

std::size_t WrapIndex::blockOfLine(std::size_t line) const {
  const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), line);
  const std::size_t b = std::size_t(it - lineStarts_.begin());
  return std::min(b == 0 ? 0 : b - 1, blocks_.size() - 1);
}

const std::vector<std::size_t>& WrapIndex::rowsOfBlock(std::size_t block) const {
  if (cachedBlock_ != block) {
    cachedRows_.clear();
    ShownLines lines(text_, lineStarts_[block]);
    for (std::size_t i = 0; i < blocks_[block].lines; ++i) {
      cachedRows_.push_back(WrapRowCount(metrics_, lines.next(), width_));
    }
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

}  // namespace quorlin::text
