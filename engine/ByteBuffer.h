// SPDX-License-Identifier: Apache-2.0
// The engine's byte buffer for large, growing contents, and a pool that hands
// buffers out again. On Linux a buffer of 128 kB or more is mapped memory
// that grows by remapping its pages, never by copying them, and pages not yet
// written take no memory; smaller ones, and all of them elsewhere (and under
// the address and thread sanitizers), are reallocated. Growing never
// initialises the bytes it adds.
#pragma once

#include <cstddef>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace quorlin {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  explicit ByteBuffer(std::size_t size) { resize(size); }
  ByteBuffer(ByteBuffer&& o) noexcept { swap(o); }
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
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return {data_, size_}; }

  // Sets the size, keeping the first bytes (as many as both sizes allow);
  // bytes added are unspecified. Grows to the size asked, no further. Throws
  // std::bad_alloc.
  void resize(std::size_t size);
  // Room for n more bytes at data() + size(), growing by half at least;
  // commit(k) then adds k of them (k <= n) to the size. Throws std::bad_alloc.
  char* room(std::size_t n) {
    if (capacity_ - size_ < n) grow(size_ + n + (size_ + n) / 2);
    return data_ + size_;
  }
  void commit(std::size_t k) { size_ += k; }
  void append(std::string_view s);
  // Appends raw with its tabs expanded (stops every tabWidth columns, 2..16):
  // room for a few tabs first, for the worst case only when a line needs it.
  // With utf8, a column per UTF-8 character rather than per byte.
  void appendExpanded(std::string_view raw, int tabWidth, bool utf8 = false);
  // Keeps the first n bytes (all when there are fewer).
  void truncate(std::size_t n) { size_ = n < size_ ? n : size_; }
  void clear() { size_ = 0; }

  void swap(ByteBuffer& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }

 private:
  void grow(std::size_t capacity);

  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Buffers given back after use and taken again, so that a long run does not
// fault in fresh pages for every chunk. Any thread may take and give.
class BufferPool {
 public:
  // Puts an empty buffer into b: the roomiest of those given back, if any,
  // so that a buffer that grew large is taken again for large contents.
  void take(ByteBuffer& b);
  void give(ByteBuffer& b);

 private:
  std::mutex mutex_;
  std::vector<ByteBuffer> free_;
};

// A buffer taken from a pool (when there is one) and given back at the end.
class PooledBuffer {
 public:
  explicit PooledBuffer(BufferPool* pool) : pool_(pool) {
    if (pool_ != nullptr) pool_->take(buffer_);
  }
  PooledBuffer(const PooledBuffer&) = delete;
  PooledBuffer& operator=(const PooledBuffer&) = delete;
  ~PooledBuffer() {
    if (pool_ != nullptr) pool_->give(buffer_);
  }
  ByteBuffer& operator*() { return buffer_; }
  ByteBuffer* operator->() { return &buffer_; }
  const ByteBuffer& operator*() const { return buffer_; }
  const ByteBuffer* operator->() const { return &buffer_; }

 private:
  ByteBuffer buffer_;
  BufferPool* pool_;
};

}  // namespace quorlin
