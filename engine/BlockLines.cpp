// SPDX-License-Identifier: Apache-2.0
#include "engine/BlockLines.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/FileError.h"
#include "textutil/QuorlinUtils.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

// Runs one block transfer at a time on a thread of its own, so that reading
// or writing the next block overlaps the work on the current one.
class BlockTransfer {
 public:
  BlockTransfer() = default;
  BlockTransfer(const BlockTransfer&) = delete;
  BlockTransfer& operator=(const BlockTransfer&) = delete;
  ~BlockTransfer();
  // Waits for the job before, then starts job.
  void start(std::function<void()> job);
  // Waits until the job last started has finished.
  void wait();

 private:
  void loop();
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::function<void()> job_;
  bool busy_ = false, quit_ = false;
};

BlockTransfer::~BlockTransfer() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
    quit_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void BlockTransfer::start(std::function<void()> job) {
  if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
  {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
    job_ = std::move(job);
    busy_ = true;
  }
  cv_.notify_all();
}

void BlockTransfer::wait() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return !busy_; });
}

void BlockTransfer::loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [this] { return busy_ || quit_; });
    if (busy_) {
      std::function<void()> job = std::move(job_);
      lock.unlock();
      job();  // jobs catch nothing: they only record errno
      lock.lock();
      busy_ = false;
      cv_.notify_all();
    } else if (quit_) {
      return;
    }
  }
}

namespace {
// Reading ahead pays off for regular files; from a pipe or a terminal a read
// may wait for input that never comes, so those are read when needed.
bool IsRegularFile(std::FILE* f) {
#ifdef _WIN32
  (void)f;
  return false;
#else
  struct stat st {};
  return ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode);
#endif
}
}  // namespace

// ---------------------------------------------------------------- reading

BlockLineReader::BlockLineReader(std::FILE* f, std::string path, std::size_t blockSize)
    : f_(f), path_(std::move(path)), blockSize_(std::max<std::size_t>(blockSize, 16)) {
  std::setvbuf(f_, nullptr, _IONBF, 0);  // blocks go straight into our buffers
  buf_.resize(kHeadroom + blockSize_);
  ahead_.resize(kHeadroom + blockSize_);
  if (IsRegularFile(f_)) io_ = std::make_unique<BlockTransfer>();
}

BlockLineReader::~BlockLineReader() {
  // However the run ended (done, stopped, refused, thrown), a read under way
  // still writes into ahead_: it must finish before any buffer goes.
  if (io_) io_->wait();
}

void BlockLineReader::readAhead() {
  aheadStarted_ = true;
  auto job = [this] {
#ifdef _WIN32
    errno = 0;
    aheadLen_ = std::fread(ahead_.data() + kHeadroom, 1, blockSize_, f_);
    aheadError_ = (aheadLen_ < blockSize_ && std::ferror(f_)) ? LastError() : 0;
#else
    // One read: from a pipe it returns what has arrived, so lines flow through
    // without waiting for a whole block.
    ssize_t n;
    do {
      n = ::read(::fileno(f_), ahead_.data() + kHeadroom, blockSize_);
    } while (n < 0 && errno == EINTR);
    aheadLen_ = n > 0 ? std::size_t(n) : 0;
    aheadError_ = n < 0 ? LastError() : 0;
#endif
  };
  if (io_)
    io_->start(job);
  else
    job();
}

bool BlockLineReader::refill() {
  if (eof_) return false;
  if (!aheadStarted_) readAhead();
  if (io_) io_->wait();
  aheadStarted_ = false;
  if (aheadError_ != 0) throw FileError(aheadError_, path_);
  const std::size_t n = aheadLen_;
  if (n == 0) {
    eof_ = true;
    return false;
  }
  // The unfinished line goes in front of the new block: into the headroom when
  // it fits, else the new block is appended behind it in a buffer that grows
  // by doubling, so a line of any length costs linear time.
  const std::size_t partial = end_ - pos_;
  // Where the searches for CR and LF go on: the unfinished line holds none,
  // except a CR as its last byte (whether an LF follows is what is read for).
  const std::size_t crAt =
      nextCr_ != kStale && nextCr_ >= pos_ && nextCr_ < end_ ? nextCr_ - pos_ : partial;
  if (partial <= kHeadroom) {
    if (partial > 0) std::memcpy(ahead_.data() + kHeadroom - partial, buf_.data() + pos_, partial);
    buf_.swap(ahead_);
    pos_ = kHeadroom - partial;
    end_ = kHeadroom + n;
  } else {
    if (pos_ > 0) std::memmove(buf_.data(), buf_.data() + pos_, partial);
    if (buf_.size() < partial + n) buf_.resize(std::max(buf_.size() * 2, partial + n));
    std::memcpy(buf_.data() + partial, ahead_.data() + kHeadroom, n);
    pos_ = 0;
    end_ = partial + n;
  }
  if (ahead_.size() < kHeadroom + blockSize_) ahead_.resize(kHeadroom + blockSize_);
  nextTab_ = nextKey_ = kStale;  // positions moved: searched again from the next line
  pattern_.forget();
  nextLf_ = kStale;
  lfFrom_ = pos_ + partial;
  if (crAt < partial) {
    nextCr_ = pos_ + crAt;
  } else {
    nextCr_ = kStale;
    crFrom_ = pos_ + partial;
  }
  if (io_) readAhead();
  return true;
}

void BlockLineReader::watchKey(std::string_view key) {
  key_.clear();
  if (key.find_first_of("\r\n") == std::string_view::npos) key_ = key;
  nextKey_ = kStale;
}

bool BlockLineReader::next(std::string_view& line, LineFacts& facts) {
  if (!next(line)) return false;
  const auto lineStart = std::size_t(line.data() - buf_.data());
  const std::size_t lineEnd = lineStart + line.size();
  const std::string_view rest(buf_.data() + lineStart, end_ - lineStart);
  if (nextTab_ == kStale || nextTab_ < lineStart) {
    const std::size_t at = rest.find('\t');
    nextTab_ = at == std::string_view::npos ? end_ : lineStart + at;
  }
  facts.hasTab = nextTab_ < lineEnd;
  facts.hasKey = -1;
  if (!key_.empty()) {
    // A key without CR or LF found in the buffer lies within a single line.
    if (nextKey_ == kStale || nextKey_ < lineStart) {
      const std::size_t at = rest.find(key_);
      nextKey_ = at == std::string_view::npos ? end_ : lineStart + at;
    }
    facts.hasKey = nextKey_ < lineEnd ? 1 : 0;
  }
  if (pattern_.active())
    facts.hasKey = pattern_.holds({buf_.data(), end_}, lineStart, lineEnd, facts.hasTab);
  return true;
}

bool BlockLineReader::next(std::string_view& line) {
  for (;;) {
    // nextCr_/nextLf_ hold the next CR/LF at or after pos_, or end_ for none;
    // kStale or a value below pos_ means search again.
    const char* base = buf_.data();
    if (nextLf_ == kStale || nextLf_ < pos_) {
      const std::size_t from = std::max(pos_, lfFrom_);
      const void* p = std::memchr(base + from, '\n', end_ - from);
      nextLf_ = p ? std::size_t(static_cast<const char*>(p) - base) : end_;
      lfFrom_ = 0;
    }
    if (nextCr_ == kStale || nextCr_ < pos_) {
      const std::size_t from = std::max(pos_, crFrom_);
      const void* p = std::memchr(base + from, '\r', end_ - from);
      nextCr_ = p ? std::size_t(static_cast<const char*>(p) - base) : end_;
      crFrom_ = 0;
    }
    const std::size_t stop = std::min(nextLf_, nextCr_);
    if (stop < end_) {
      std::size_t after = stop + 1;
      if (base[stop] == '\r') {
        if (after == end_ && !eof_) {  // is the CR followed by an LF? read on to see
          refill();
          continue;
        }
        if (after < end_ && base[after] == '\n') ++after;
      }
      if (firstTerminator_.empty())
        firstTerminator_ = after - stop == 2 ? "\r\n" : (base[stop] == '\r' ? "\r" : "\n");
      line = std::string_view(base + pos_, stop - pos_);
      pos_ = after;
      return true;
    }
    if (eof_) {
      if (pos_ == end_) return false;
      line = std::string_view(base + pos_, end_ - pos_);
      pos_ = end_;
      return true;
    }
    refill();
  }
}

// ---------------------------------------------------------------- writing

namespace {
void SetTerminator(std::string_view t, char (&term)[2], std::size_t& len) {
  len = std::min<std::size_t>(t.size(), 2);
  term[0] = len > 0 ? t[0] : '\n';
  term[1] = len > 1 ? t[1] : '\n';
}
}  // namespace

BlockLineWriter::BlockLineWriter(std::FILE* f, std::string path, std::string_view terminator,
                                 std::size_t blockSize)
    : f_(f),
      path_(std::move(path)),
      buf_(new char[std::max<std::size_t>(blockSize, 64)]),
      spare_(new char[std::max<std::size_t>(blockSize, 64)]),
      cap_(std::max<std::size_t>(blockSize, 64)),
      io_(std::make_unique<BlockTransfer>()) {
  SetTerminator(terminator, term_, termLen_);
  std::setvbuf(f_, nullptr, _IONBF, 0);
}

BlockLineWriter::~BlockLineWriter() {
  io_->wait();  // a write under way still reads spare_
}

void BlockLineWriter::write(std::string_view line) {
  if (line.size() + 2 > cap_ - used_ || decide_) [[unlikely]] {
    writeSlow(line);
    return;
  }
  char* d = buf_.get() + used_;
  if (!line.empty()) std::memcpy(d, line.data(), line.size());  // an empty view may hold null
  d[line.size()] = term_[0];
  d[line.size() + 1] = term_[1];
  used_ += line.size() + termLen_;
}

void BlockLineWriter::writeExpanded(std::string_view raw, int tabWidth) {
  // Room for the worst case (every byte a tab) plus what the expansion needs;
  // longer lines take the general way.
  const std::size_t room = raw.size() * std::size_t(tabWidth) + 34;
  if (decide_ || room > cap_) {
    LineSink::writeExpanded(raw, tabWidth);
    return;
  }
  if (room > cap_ - used_) flush();
  char* const d = buf_.get() + used_;
  char* e = QuorlinUtils::ExpandTabsInto(d, d + room - 2, raw, tabWidth);
  e[0] = term_[0];
  e[1] = term_[1];
  used_ = std::size_t(e - buf_.get()) + termLen_;
}

void BlockLineWriter::writeSlow(std::string_view line) {
  if (decide_) {
    SetTerminator(decide_(), term_, termLen_);
    decide_ = nullptr;
  }
  if (line.size() + 2 > cap_ - used_) flush();
  if (line.size() + 2 > cap_) {  // a line longer than the block goes out directly
    io_->wait();
    checkError();
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), f_) != line.size() ||
        std::fwrite(term_, 1, termLen_, f_) != termLen_)
      throw FileError(LastError(), path_);
    return;
  }
  write(line);
}

void BlockLineWriter::checkError() {
  if (error_ != 0) throw FileError(error_, path_);
}

// Hands the filled block to the write thread (after the block before it is
// out) and goes on filling the other buffer.
void BlockLineWriter::flush() {
  if (used_ == 0) return;
  io_->wait();
  checkError();
  std::swap(buf_, spare_);
  const std::size_t n = used_;
  used_ = 0;
  io_->start([this, n] {
    errno = 0;
    if (std::fwrite(spare_.get(), 1, n, f_) != n) error_ = LastError();
  });
}

void BlockLineWriter::finish() {
  flush();
  io_->wait();
  checkError();
  errno = 0;
  if (std::fflush(f_) != 0) throw FileError(LastError(), path_);
}

}  // namespace quorlin
