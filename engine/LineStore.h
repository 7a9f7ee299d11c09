// LineStore: the one place where a change run holds text in memory, for the
// sort and the removal of duplicate lines. Lines are copied into large chunks
// (no allocation per line) and addressed by pointer and length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quorlin {

class LineStore {
 public:
  explicit LineStore(std::size_t lineCountHint = 0);

  // Stores a line for sorting.
  void Add(std::string_view line);

  // Stores the line and returns true when no equal line (byte for byte) was
  // stored before; returns false and stores nothing otherwise. A hash set
  // gives the same answer as comparing with every earlier line, in linear time.
  bool AddIfNew(std::string_view line);

  // Sorts the stored lines ascending by their text from 1-based position
  // firstCharPos on (the empty key when the line is shorter), bytes compared
  // as unsigned values. From position 1 the key is the whole line, so any
  // correct sort gives the same output. From a later position lines with equal
  // keys may differ, and their order is the one that a diminishing-gap
  // insertion sort gives with gaps (N-1)/2 halved down to 1 (1 alone for N=2).
  void SortFrom(std::size_t firstCharPos);

  std::size_t size() const { return lines_.size(); }
  std::string_view operator[](std::size_t i) const { return lines_[i]; }

  template <class F>
  void ForEach(F&& f) const {
    for (std::string_view line : lines_) f(line);
  }

 private:
  std::string_view Copy(std::string_view line);
  void Rehash(std::size_t capacity);

  static constexpr std::size_t kChunk = std::size_t(4) << 20;
  std::vector<std::unique_ptr<char[]>> chunks_;
  char* free_ = nullptr;
  std::size_t room_ = 0;

  std::vector<std::string_view> lines_;
  // Open-addressing set for AddIfNew: 1 + index into lines_, 0 for empty.
  std::vector<std::uint32_t> table_;
  std::vector<std::size_t> hashes_;
};

}  // namespace quorlin
