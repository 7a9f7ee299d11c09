// SPDX-License-Identifier: Apache-2.0
#include "engine/LineStore.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "textutil/Utf8.h"

namespace quorlin {

// ---------------------------------------------------------------- records

std::size_t RecordBuffer::append(std::string_view line) {
  if (size_ + line.size() + 10 > data_.size())
    data_.resize(std::max({data_.size() * 2, size_ + line.size() + 10, std::size_t(1) << 16}));
  const std::size_t offset = size_;
  char* p = data_.data() + size_;
  std::uint64_t n = line.size();
  do {  // the length, seven bits a byte, low bits first
    const unsigned char low = n & 0x7F;
    n >>= 7;
    *p++ = static_cast<char>(n != 0 ? (low | 0x80) : low);
  } while (n != 0);
  if (!line.empty()) std::memcpy(p, line.data(), line.size());
  size_ = std::size_t(p - data_.data()) + line.size();
  return offset;
}

std::string_view RecordBuffer::lineAt(std::size_t offset, std::size_t* next) const {
  assert(offset < size_);
  const char* p = data_.data() + offset;
  std::uint64_t n = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto b = static_cast<unsigned char>(*p++);
    n |= std::uint64_t(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  if (next) *next = std::size_t(p - data_.data()) + n;
  return {p, n};
}

// ---------------------------------------------------------------- sort

namespace {

// The first bytes of s as a big-endian number, zero-padded: comparing these
// orders most keys without touching the line again.
template <class P>
P Prefix(std::string_view s) {
  P v = 0;
  const std::size_t n = std::min(s.size(), sizeof(P));
  for (std::size_t i = 0; i < sizeof(P); ++i)
    v = P(v << 8) | P(i < n ? static_cast<unsigned char>(s[i]) : 0u);
  return v;
}

// One line in the sort: its key prefix (later its rank among the keys) and
// the offset of its record. Narrow entries take half the room of wide ones;
// they serve texts of short lines, which have less room to spare.
template <class P, class O>
struct Entry {
  P key;
  O offset;
};

// The sort key of a line: what follows its first skip characters (bytes, or
// UTF-8 characters).
std::string_view SortKey(std::string_view line, std::size_t skip, bool utf8) {
  if (utf8) return line.substr(QuorlinUtils::Utf8Skip(line, skip));
  return line.size() > skip ? line.substr(skip) : std::string_view();
}

template <class P, class O>
void SortRecords(const RecordBuffer& records, std::size_t count, std::size_t skip, bool utf8,
                 const std::function<void(std::string_view)>& emit) {
  using E = Entry<P, O>;
  auto keyOf = [&](const E& e) { return SortKey(records.lineAt(e.offset), skip, utf8); };
  std::vector<E> entries(count);
  std::size_t offset = 0;
  for (E& e : entries) {
    std::size_t next;
    const std::string_view line = records.lineAt(offset, &next);
    e = E{Prefix<P>(SortKey(line, skip, utf8)), O(offset)};
    offset = next;
  }
  std::sort(entries.begin(), entries.end(), [&](const E& a, const E& b) {
    if (a.key != b.key) return a.key < b.key;
    return keyOf(a) < keyOf(b);  // char_traits<char> compares as unsigned char
  });

  if (skip > 0) {
    // Equal keys: replay the gapped insertion sort on dense ranks, which makes
    // exactly the comparisons and swaps it would make on the keys. The ranks
    // take the place of the prefixes; input order is record order.
    P rank = 0, previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const P prefix = entries[i].key;
      if (i > 0 && (prefix != previous || keyOf(entries[i]) != keyOf(entries[i - 1]))) ++rank;
      previous = prefix;
      entries[i].key = rank;
    }
    std::sort(entries.begin(), entries.end(),
              [](const E& a, const E& b) { return a.offset < b.offset; });
    const std::size_t n = count;
    std::size_t gap = n >= 1 ? (n - 1) / 2 : 0;
    if (n == 2) gap = 1;
    for (; gap >= 1; gap /= 2) {
      for (std::size_t i = 0; i + gap < n; ++i) {
        for (std::size_t j = i + 1; j >= 1 && entries[j - 1].key > entries[j - 1 + gap].key;) {
          std::swap(entries[j - 1], entries[j - 1 + gap]);
          if (j <= gap) break;
          j -= gap;
        }
      }
    }
  }
  for (const E& e : entries) emit(records.lineAt(e.offset));
}

}  // namespace

SortStore::SortStore(std::size_t firstCharPos, bool utf8)
    : skip_(firstCharPos > 1 ? firstCharPos - 1 : 0), utf8_(utf8) {}

namespace {
constexpr std::size_t kShortSlots = std::size_t{256} * 257;
}  // namespace

void SortStore::add(std::string_view line) {
  if (skip_ == 0 && line.size() <= 2) {
    if (line.empty()) {
      ++empties_;
      return;
    }
    if (!shortCounts_) shortCounts_ = std::make_unique<std::uint64_t[]>(kShortSlots);
    const std::size_t b = static_cast<unsigned char>(line[0]);
    ++shortCounts_[b * 257 + (line.size() == 1 ? 0 : 1 + static_cast<unsigned char>(line[1]))];
    return;
  }
  records_.append(line);
  ++count_;
}

void SortStore::sortedEach(const std::function<void(std::string_view)>& emit) {
  for (; empties_ > 0; --empties_) emit(std::string_view());
  // The counted short lines go out between the records, in order.
  std::size_t slot = shortCounts_ ? 0 : kShortSlots;
  auto emitShortBelow = [&](const std::string_view* limit) {
    for (; slot < kShortSlots; ++slot) {
      if (shortCounts_[slot] == 0) continue;
      const char bytes[2] = {static_cast<char>(slot / 257), static_cast<char>(slot % 257 - 1)};
      const std::string_view line(bytes, slot % 257 == 0 ? 1 : 2);
      if (limit && !(line < *limit)) return;
      for (std::uint64_t n = shortCounts_[slot]; n > 0; --n) emit(line);
    }
  };
  if (count_ > 0) {
    const std::function<void(std::string_view)> merged = [&](std::string_view line) {
      emitShortBelow(&line);
      emit(line);
    };
    // Wide entries (16 bytes) when the records leave room for them within
    // twice their size, or are too large for 32-bit offsets; narrow ones (8)
    // else: records of at least 4 bytes (lines of 3 or more) leave that room.
    const bool wide = records_.size() > 0xFFFFFFFFu || count_ * 16 <= records_.size() * 2;
    if (wide)
      SortRecords<std::uint64_t, std::uint64_t>(records_, count_, skip_, utf8_, merged);
    else
      SortRecords<std::uint32_t, std::uint32_t>(records_, count_, skip_, utf8_, merged);
    count_ = 0;
  }
  emitShortBelow(nullptr);
  shortCounts_.reset();
}

// ---------------------------------------------------------------- distinct lines

namespace {

std::uint64_t Hash(std::string_view line) {
  std::uint64_t h = std::hash<std::string_view>{}(line);
  h ^= h >> 33;  // spread every bit into the high ones, which pick the slot
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

// A slot for the hash among n, from its high bits.
std::size_t SlotFor(std::uint64_t h, std::size_t n) {
#ifdef __SIZEOF_INT128__
  return std::size_t((static_cast<unsigned __int128>(h) * n) >> 64);
#else
  return std::size_t(h % n);
#endif
}

// Table slots: 0 is free. A narrow slot holds a record's offset + 1; a tagged
// slot holds it in its high 40 bits and 24 bits of the line's hash below, so
// that most lines that differ are told apart without reading their record.
struct NarrowSlot {
  using T = std::uint32_t;
  static T make(std::size_t offset, std::uint64_t) { return T(offset + 1); }
  static bool mayHold(T, std::uint64_t) { return true; }
  static std::size_t offset(T e) { return std::size_t(e - 1); }
};
struct TaggedSlot {
  using T = std::uint64_t;
  static T make(std::size_t offset, std::uint64_t h) {
    return (std::uint64_t(offset + 1) << 24) | (h & 0xFFFFFF);
  }
  static bool mayHold(T e, std::uint64_t h) { return ((e ^ h) & 0xFFFFFF) == 0; }
  static std::size_t offset(T e) { return std::size_t((e >> 24) - 1); }
};

// The slot that holds the line, or the free slot where it belongs.
template <class S>
std::size_t Find(const typename S::T* table, std::size_t slots, const RecordBuffer& records,
                 std::string_view line, std::uint64_t hash, bool& found) {
  for (std::size_t slot = SlotFor(hash, slots);; slot = slot + 1 == slots ? 0 : slot + 1) {
    const typename S::T e = table[slot];
    if (e == 0) {
      found = false;
      return slot;
    }
    if (S::mayHold(e, hash) && records.lineAt(S::offset(e)) == line) {
      found = true;
      return slot;
    }
  }
}

// Places a record known to be distinct from all in the table.
template <class S>
void Place(typename S::T* table, std::size_t slots, std::uint64_t hash, std::size_t offset) {
  std::size_t slot = SlotFor(hash, slots);
  while (table[slot] != 0) slot = slot + 1 == slots ? 0 : slot + 1;
  table[slot] = S::make(offset, hash);
}

}  // namespace

SeenLines::SeenLines() = default;
SeenLines::~SeenLines() = default;

bool SeenLines::addIfNew(std::string_view line) {
  if (line.size() <= 2) {
    if (line.empty()) {
      if (seenEmpty_) return false;
      seenEmpty_ = true;
    } else {
      if (!shortSeen_) shortSeen_ = std::make_unique<std::uint64_t[]>((256 + 65536) / 64);
      const auto b0 = static_cast<unsigned char>(line[0]);
      const std::size_t bit =
          line.size() == 1 ? b0
                           : 256 + (std::size_t(b0) << 8 | static_cast<unsigned char>(line[1]));
      std::uint64_t& word = shortSeen_[bit / 64];
      const std::uint64_t mask = std::uint64_t(1) << (bit % 64);
      if (word & mask) return false;
      word |= mask;
    }
    return true;
  }

  const std::uint64_t h = Hash(line);
  if (slots_ == 0) grow();
  bool found = false;
  const std::size_t slot = tagged_
                               ? Find<TaggedSlot>(tagged_.get(), slots_, records_, line, h, found)
                               : Find<NarrowSlot>(narrow_.get(), slots_, records_, line, h, found);
  if (found) return false;
  const bool widen = !tagged_ && records_.size() + line.size() + 10 >= 0xFFFFFFFFu;
  const std::size_t offset = records_.append(line);
  ++stored_;
  if (widen) {
    grow();  // offsets no longer fit 32 bits: tagged slots from now on
  } else if (tagged_) {
    tagged_[slot] = TaggedSlot::make(offset, h);
  } else {
    narrow_[slot] = NarrowSlot::make(offset, h);
  }
  if (stored_ * 4 > slots_ * 3) grow();
  return true;
}

// A larger table, filled anew from the records: the old table is gone first,
// so the two never take memory together. At most three quarters of the slots
// are used. Lines of 24 bytes or more on average can spare tagged slots (8
// bytes), and the table doubles; shorter ones get narrow slots (4 bytes) and
// growth by half, which keeps the table between 5.3 and 8 bytes a line.
void SeenLines::grow() {
  const bool tagged = records_.size() >= 0xFFFFFFFFu - 64 || records_.size() >= 24 * stored_;
  std::size_t slots = std::max<std::size_t>(1024, tagged ? slots_ * 2 : slots_ + slots_ / 2);
  while (stored_ * 4 > slots * 3) slots += slots / 2;
  narrow_.reset();
  tagged_.reset();
  slots_ = slots;
  if (tagged)
    tagged_ = std::make_unique<std::uint64_t[]>(slots_);
  else
    narrow_ = std::make_unique<std::uint32_t[]>(slots_);
  for (std::size_t offset = 0; offset < records_.size();) {
    std::size_t next;
    const std::uint64_t h = Hash(records_.lineAt(offset, &next));
    if (tagged)
      Place<TaggedSlot>(tagged_.get(), slots_, h, offset);
    else
      Place<NarrowSlot>(narrow_.get(), slots_, h, offset);
    offset = next;
  }
}

}  // namespace quorlin
