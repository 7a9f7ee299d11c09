// SPDX-License-Identifier: Apache-2.0
// LineList: the document as an ordered list of byte lines without terminators,
// kept in one contiguous buffer so that a million-line text costs two
// allocations, not a million.
#pragma once

#include <cassert>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LineStream.h"

namespace quorlin {

class LineList {
 public:
  LineList() = default;

  // Splits bytes into lines: CR LF, a lone LF and a lone CR each end a line; a
  // final line break gives no empty last line; an empty text has no lines.
  static LineList fromBytes(std::string_view bytes);
  // Takes text in which every line, the last one included, ends in "\n" (and
  // no line holds one), without copying it.
  static LineList fromJoined(std::string joined);

  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t i) const {
    assert(i < size());
    const std::size_t start = i == 0 ? 0 : ends_[i - 1] + 1;
    return std::string_view(data_).substr(start, ends_[i] - start);
  }

  void push_back(std::string_view line);
  void clear();
  void reserve(std::size_t lines, std::size_t bytes);

  // Every line followed by "\n", in order.
  const std::string& joined() const { return data_; }

 private:
  std::string data_;
  std::vector<std::size_t> ends_;  // offset just past each line's last byte
};

// Hands out a list's lines in order; the list must outlive it.
class LineListSource final : public LineSource {
 public:
  explicit LineListSource(const LineList& lines) : lines_(lines) {}
  bool next(std::string_view& line) override {
    if (next_ >= lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  const LineList& lines_;
  std::size_t next_ = 0;
};

// Calls f(line) for every line of bytes, split as LineList::FromBytes does.
// Returns the first line terminator met ("\r\n", "\n", "\r"), or "" when the
// text has none.
template <class F>
std::string_view ForEachLine(std::string_view bytes, F&& f);

}  // namespace quorlin

#include "engine/LineList.inl"
