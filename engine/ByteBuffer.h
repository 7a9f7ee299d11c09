// SPDX-License-Identifier: Apache-2.0
// A byte buffer for large, growing contents: on Linux it is mapped memory that
// grows by remapping its pages, never by copying them, and pages not yet
// written take no memory; elsewhere (and under the address sanitizer) it is
// reallocated.
#pragma once

#include <cstddef>
#include <utility>

namespace quorlin {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  explicit ByteBuffer(std::size_t size) { resize(size); }
  ByteBuffer(ByteBuffer&& o) noexcept : data_(o.data_), size_(o.size_) {
    o.data_ = nullptr;
    o.size_ = 0;
  }
  ByteBuffer& operator=(ByteBuffer&& o) noexcept {
    swap(o);
    return *this;
  }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  char* data() { return data_; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  // Keeps the first bytes (as many as both sizes allow); bytes added are
  // unspecified. Throws std::bad_alloc.
  void resize(std::size_t size);
  void swap(ByteBuffer& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace quorlin
