#include "engine/LineStore.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace quorlin {

namespace {

// The first 8 bytes of s as a big-endian number, zero-padded: comparing these
// orders most keys without touching the line again.
std::uint64_t Prefix(std::string_view s) {
  std::uint64_t v = 0;
  const std::size_t n = std::min<std::size_t>(s.size(), 8);
  for (std::size_t i = 0; i < 8; ++i)
    v = (v << 8) | (i < n ? static_cast<unsigned char>(s[i]) : 0u);
  return v;
}

struct Keyed {
  std::uint64_t prefix;
  std::string_view key;
  std::uint32_t index;
};

bool KeyLess(const Keyed& a, const Keyed& b) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  return a.key < b.key;  // char_traits<char> compares as unsigned char
}

}  // namespace

LineStore::LineStore(std::size_t lineCountHint) { lines_.reserve(lineCountHint); }

std::string_view LineStore::Copy(std::string_view line) {
  if (line.size() > room_) {
    const std::size_t size = std::max(kChunk, line.size());
    chunks_.push_back(std::make_unique<char[]>(size));
    free_ = chunks_.back().get();
    room_ = size;
  }
  if (!line.empty()) std::memcpy(free_, line.data(), line.size());
  std::string_view copy(free_, line.size());
  free_ += line.size();
  room_ -= line.size();
  return copy;
}

void LineStore::Add(std::string_view line) {
  if (lines_.size() >= 0xFFFFFFFFu) throw std::length_error("too many lines to sort");
  lines_.push_back(Copy(line));
}

void LineStore::Rehash(std::size_t capacity) {
  table_.assign(capacity, 0);
  const std::size_t mask = capacity - 1;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::size_t slot = hashes_[i] & mask;
    while (table_[slot] != 0) slot = (slot + 1) & mask;
    table_[slot] = static_cast<std::uint32_t>(i + 1);
  }
}

bool LineStore::AddIfNew(std::string_view line) {
  if (table_.empty()) Rehash(std::max<std::size_t>(1024, std::bit_ceil(lines_.capacity() * 2)));
  const std::size_t h = std::hash<std::string_view>{}(line);
  const std::size_t mask = table_.size() - 1;
  std::size_t slot = h & mask;
  for (std::uint32_t e; (e = table_[slot]) != 0; slot = (slot + 1) & mask) {
    if (hashes_[e - 1] == h && lines_[e - 1] == line) return false;
  }
  if (lines_.size() >= 0xFFFFFFFEu) throw std::length_error("too many distinct lines");
  lines_.push_back(Copy(line));
  hashes_.push_back(h);
  table_[slot] = static_cast<std::uint32_t>(lines_.size());
  if (lines_.size() * 2 > table_.size()) Rehash(table_.size() * 2);
  return true;
}

void LineStore::SortFrom(std::size_t firstCharPos) {
  const std::size_t n = lines_.size();
  const std::size_t skip = firstCharPos > 1 ? firstCharPos - 1 : 0;
  std::vector<Keyed> keyed(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view line = lines_[i];
    const std::string_view key = line.size() > skip ? line.substr(skip) : std::string_view();
    keyed[i] = Keyed{Prefix(key), key, static_cast<std::uint32_t>(i)};
  }
  std::sort(keyed.begin(), keyed.end(), KeyLess);

  std::vector<std::string_view> sorted(n);
  if (skip == 0) {
    for (std::size_t i = 0; i < n; ++i) sorted[i] = lines_[keyed[i].index];
    lines_ = std::move(sorted);
    return;
  }

  // Equal keys: replay the gapped insertion sort on dense ranks, which makes
  // exactly the comparisons and swaps it would make on the keys.
  std::vector<std::uint32_t> rank(n);
  std::uint32_t r = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && keyed[i].key != keyed[i - 1].key) ++r;
    rank[keyed[i].index] = r;
  }
  keyed.clear();
  keyed.shrink_to_fit();

  std::vector<std::uint64_t> slot(n);  // rank in the high half, line index in the low
  for (std::size_t i = 0; i < n; ++i) slot[i] = (std::uint64_t(rank[i]) << 32) | i;
  std::size_t gap = n >= 1 ? (n - 1) / 2 : 0;
  if (n == 2) gap = 1;
  for (; gap >= 1; gap /= 2) {
    for (std::size_t i = 0; i + gap < n; ++i) {
      for (std::size_t j = i + 1; j >= 1 && (slot[j - 1] >> 32) > (slot[j - 1 + gap] >> 32);) {
        std::swap(slot[j - 1], slot[j - 1 + gap]);
        if (j <= gap) break;
        j -= gap;
      }
    }
  }
  for (std::size_t i = 0; i < n; ++i) sorted[i] = lines_[slot[i] & 0xFFFFFFFFu];
  lines_ = std::move(sorted);
}

}  // namespace quorlin
