// SPDX-License-Identifier: Apache-2.0
#include "engine/ByteBuffer.h"

#include <cstdlib>
#include <new>

// Mapped memory on Linux, except under the address sanitizer, which watches
// allocated memory only (a read into a buffer already freed is reported), and
// the thread sanitizer, which takes pages unmapped by one thread and mapped
// again for another for memory the two share.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#if defined(__has_feature)
#if !__has_feature(address_sanitizer)
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
#endif
}  // namespace

ByteBuffer::~ByteBuffer() {
  if (data_ == nullptr) return;
#ifdef QUORLIN_MAPPED_BUFFERS
  ::munmap(data_, Pages(size_));
#else
  std::free(data_);
#endif
}

void ByteBuffer::resize(std::size_t size) {
  if (size == size_) return;
#ifdef QUORLIN_MAPPED_BUFFERS
  void* p;
  if (size == 0) {
    ::munmap(data_, Pages(size_));
    p = nullptr;
  } else if (data_ == nullptr) {
    p = ::mmap(nullptr, Pages(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  } else if (Pages(size) == Pages(size_)) {
    p = data_;
  } else {
    p = ::mremap(data_, Pages(size_), Pages(size), MREMAP_MAYMOVE);
  }
  if (p == MAP_FAILED) throw std::bad_alloc();
#else
  void* p = nullptr;
  if (size == 0) {
    std::free(data_);
  } else {
    p = std::realloc(data_, size);
    if (p == nullptr) throw std::bad_alloc();
  }
#endif
  data_ = static_cast<char*>(p);
  size_ = size;
}

}  // namespace quorlin
