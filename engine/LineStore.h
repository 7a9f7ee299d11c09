// SPDX-License-Identifier: Apache-2.0
// The one place where a change run holds text in memory: the lines of the sort
// and the distinct lines seen by the removal of duplicates. Each line is kept
// once, as a record (its length as a variable-length number, then its bytes)
// in one buffer that grows in place; everything else is offsets into it and
// hashes, so that memory stays within about three times the text whatever the
// length of its lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "engine/ByteBuffer.h"

namespace quorlin {

// Lines as records, one after another.
class RecordBuffer {
 public:
  // Appends the line as one record; returns the record's offset.
  std::size_t append(std::string_view line);
  // The line of the record at offset (one that append returned), and the
  // offset of the record after it.
  std::string_view lineAt(std::size_t offset, std::size_t* next = nullptr) const;
  std::size_t size() const { return size_; }

 private:
  ByteBuffer data_;  // grows in place: old and new contents never take memory together
  std::size_t size_ = 0;
};

// The lines of a sort (action 32), sorted ascending by their text from 1-based
// position firstCharPos on (the empty key when the line is shorter), bytes
// compared as unsigned values. From position 1 the key is the whole line, so
// any correct sort gives the same output. From a later position lines with
// equal keys may differ, and their order is the one that a diminishing-gap
// insertion sort gives with gaps (N-1)/2 halved down to 1 (1 alone for N=2).
class SortStore {
 public:
  // The key starts at character firstCharPos (a byte, or a UTF-8 character).
  explicit SortStore(std::size_t firstCharPos, bool utf8 = false);
  void add(std::string_view line);
  // Sorts, then calls emit(line) for every line in order; the store is empty
  // afterwards.
  void sortedEach(const std::function<void(std::string_view)>& emit);

 private:
  std::size_t skip_;  // characters before the key
  bool utf8_;
  RecordBuffer records_;
  std::size_t count_ = 0;
  // Sorting from position 1, lines of up to two bytes are only counted: empty
  // lines, then by value (one byte b at b * 257, two bytes b c at b * 257 + 1
  // + c, which is their sorted order).
  std::size_t empties_ = 0;
  std::unique_ptr<std::uint64_t[]> shortCounts_;
};

// The distinct lines met so far, for keeping the first of equal lines (action
// 43). A hash set gives the same answer as comparing with every earlier line,
// in linear time.
class SeenLines {
 public:
  SeenLines();
  ~SeenLines();
  SeenLines(const SeenLines&) = delete;
  SeenLines& operator=(const SeenLines&) = delete;

  // True when no equal line (byte for byte) was added before; the line is
  // then remembered.
  bool addIfNew(std::string_view line);

 private:
  void grow();

  // Lines of up to two bytes are marked in a bitmap by their value.
  bool seenEmpty_ = false;
  std::unique_ptr<std::uint64_t[]> shortSeen_;  // 256 + 65536 bits

  // Longer lines: records, and an open-addressing table of their offsets.
  RecordBuffer records_;
  std::size_t stored_ = 0;
  std::size_t slots_ = 0;
  std::unique_ptr<std::uint32_t[]> narrow_;  // one of the two is in use
  std::unique_ptr<std::uint64_t[]> tagged_;
};

}  // namespace quorlin
