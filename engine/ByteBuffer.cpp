// SPDX-License-Identifier: Apache-2.0
#include "engine/ByteBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

// Mapped memory on Linux, except under the address sanitizer, which watches
// allocated memory only (a read into a buffer already freed is reported), and
// the thread sanitizer, which takes pages unmapped by one thread and mapped
// again for another for memory the two share.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer)
#define QUORLIN_MAPPED_BUFFERS 1
#endif
#else
#define QUORLIN_MAPPED_BUFFERS 1
#endif
#endif

#ifdef QUORLIN_MAPPED_BUFFERS
#include <sys/mman.h>
#endif

namespace quorlin {

namespace {
#ifdef QUORLIN_MAPPED_BUFFERS
// Mappings come in whole pages; the size asked for is rounded up to them.
std::size_t Pages(std::size_t bytes) {
  constexpr std::size_t kPage = 4096;
  return (bytes + kPage - 1) / kPage * kPage;
}
// Smaller buffers come from the heap: a run keeps several of a few lines'
// length for each chunk, and mapping and unmapping them every time costs
// system calls and, once threads share the memory, a flush of every core's
// address cache.
constexpr bool Mapped(std::size_t capacity) {
  return capacity >= (std::size_t(1) << 17);
}
#endif
}  // namespace

ByteBuffer::~ByteBuffer() {
  if (data_ == nullptr) return;
#ifdef QUORLIN_MAPPED_BUFFERS
  if (Mapped(capacity_)) {
    ::munmap(data_, capacity_);
    return;
  }
#endif
  std::free(data_);
}

void ByteBuffer::grow(std::size_t capacity) {
  if (capacity <= capacity_) return;
#ifdef QUORLIN_MAPPED_BUFFERS
  if (Mapped(capacity)) {
    capacity = Pages(capacity);
    void* p;
    if (data_ != nullptr && Mapped(capacity_)) {
      p = ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
      if (p == MAP_FAILED) throw std::bad_alloc();
    } else {
      p = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p == MAP_FAILED) throw std::bad_alloc();
      if (data_ != nullptr) {  // from the heap: moved once
        std::memcpy(p, data_, size_);
        std::free(data_);
      }
    }
    data_ = static_cast<char*>(p);
    capacity_ = capacity;
    return;
  }
#endif
  void* p = std::realloc(data_, capacity);
  if (p == nullptr) throw std::bad_alloc();
  data_ = static_cast<char*>(p);
  capacity_ = capacity;
}

void ByteBuffer::resize(std::size_t size) {
  grow(size);
  size_ = size;
}

void ByteBuffer::append(std::string_view s) {
  if (s.empty()) return;  // an empty view may hold a null pointer
  std::memcpy(room(s.size()), s.data(), s.size());
  size_ += s.size();
}

void ByteBuffer::appendExpanded(std::string_view raw, int tabWidth, bool utf8) {
  const auto expand = utf8 ? QuorlinUtils::ExpandTabsUtf8Into : QuorlinUtils::ExpandTabsInto;
  const std::size_t few = raw.size() + 128;
  char* d = room(few);
  char* end = expand(d, d + few, raw, tabWidth);
  if (end == nullptr) {
    const std::size_t worst = raw.size() * std::size_t(tabWidth) + 32;
    d = room(worst);
    end = expand(d, d + worst, raw, tabWidth);
  }
  size_ += std::size_t(end - d);
}

void BufferPool::take(ByteBuffer& b) {
  const std::lock_guard lock(mutex_);
  if (!free_.empty()) {
    auto roomiest = std::max_element(free_.begin(), free_.end(), [](const auto& x, const auto& y) {
      return x.capacity() < y.capacity();
    });
    b.swap(*roomiest);
    free_.erase(roomiest);
  }
  b.clear();
}

void BufferPool::give(ByteBuffer& b) {
  const std::lock_guard lock(mutex_);
  if (free_.size() < 64) free_.push_back(std::move(b));
}

}  // namespace quorlin
