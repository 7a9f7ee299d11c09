// SPDX-License-Identifier: Apache-2.0
#include "engine/BlockLines.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/FileError.h"
#include "engine/LineBreaks.h"
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
  std::condition_variable changed_;
  std::function<void()> job_;
  bool busy_ = false, quit_ = false;
};

BlockTransfer::~BlockTransfer() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BlockTransfer::start(std::function<void()> job) {
  if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    job_ = std::move(job);
    busy_ = true;
  }
  changed_.notify_all();
}

void BlockTransfer::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
}

void BlockTransfer::loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || quit_; });
    if (busy_) {
      std::function<void()> job = std::move(job_);
      lock.unlock();
      job();  // jobs catch nothing: they only record errno
      lock.lock();
      busy_ = false;
      changed_.notify_all();
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
    : file_(f), path_(std::move(path)), blockSize_(std::max<std::size_t>(blockSize, 16)) {
  std::setvbuf(file_, nullptr, _IONBF, 0);  // blocks go straight into our buffers
  block_.resize(kHeadroom + blockSize_);
  ahead_.resize(kHeadroom + blockSize_);
  if (IsRegularFile(file_)) transfer_ = std::make_unique<BlockTransfer>();
}

BlockLineReader::~BlockLineReader() {
  // However the run ended (done, stopped, refused, thrown), a read under way
  // still writes into ahead_: it must finish before any buffer goes.
  if (transfer_) transfer_->wait();
}

void BlockLineReader::readAhead() {
  aheadStarted_ = true;
  auto job = [this] {
#ifdef _WIN32
    errno = 0;
    aheadLen_ = std::fread(ahead_.data() + kHeadroom, 1, blockSize_, file_);
    aheadError_ = (aheadLen_ < blockSize_ && std::ferror(file_)) ? LastError() : 0;
#else
    // One read: from a pipe it returns what has arrived, so lines flow through
    // without waiting for a whole block.
    ssize_t n;
    do {
      n = ::read(::fileno(file_), ahead_.data() + kHeadroom, blockSize_);
    } while (n < 0 && errno == EINTR);
    aheadLen_ = n > 0 ? std::size_t(n) : 0;
    aheadError_ = n < 0 ? LastError() : 0;
#endif
  };
  if (transfer_)
    transfer_->start(job);
  else
    job();
}

bool BlockLineReader::refill() {
  if (eof_) return false;
  if (!aheadStarted_) readAhead();
  if (transfer_) transfer_->wait();
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
  const std::size_t scanned = scanFrom_ - pos_;  // the line holds no break before
  if (partial <= kHeadroom) {
    if (partial > 0)
      std::memcpy(ahead_.data() + kHeadroom - partial, block_.data() + pos_, partial);
    block_.swap(ahead_);
    pos_ = kHeadroom - partial;
    end_ = kHeadroom + n;
  } else {
    if (pos_ > 0) std::memmove(block_.data(), block_.data() + pos_, partial);
    if (block_.size() < partial + n) block_.resize(std::max(block_.size() * 2, partial + n));
    std::memcpy(block_.data() + partial, ahead_.data() + kHeadroom, n);
    pos_ = 0;
    end_ = partial + n;
  }
  if (ahead_.size() < kHeadroom + blockSize_) ahead_.resize(kHeadroom + blockSize_);
  scanFrom_ = pos_ + scanned;
  nextKey_ = kStale;  // positions moved: searched again from the next line
  key_.reset();
  pattern_.forget();
  if (transfer_) readAhead();
  return true;
}

void BlockLineReader::watchKey(std::string_view key, bool caseBlind) {
  key_.set(key, caseBlind);
  nextKey_ = kStale;
}

bool BlockLineReader::next(std::string_view& line) {
  LineFacts facts;
  return next(line, facts);
}

bool BlockLineReader::nextSlow(std::string_view& line, LineFacts& facts) {
  for (;;) {
    // The line at pos_ holds no break before scanFrom_, and a tab there when
    // scanTab_ is set.
    const char* base = block_.data();
    bool tabs, high;
    const auto stop = std::size_t(FindLineEnd(base + scanFrom_, base + end_, tabs, high) - base);
    scanTab_ = scanTab_ || tabs;
    scanHigh_ = scanHigh_ || high;
    scanFrom_ = stop;
    std::size_t after = end_;  // where the next line starts
    if (stop < end_) {
      after = stop + 1;
      if (base[stop] == '\r') {
        if (after == end_ && !eof_) {  // is the CR followed by an LF? read on to see
          refill();
          continue;
        }
        if (after < end_ && base[after] == '\n') ++after;
      }
      if (firstTerminator_.empty())
        firstTerminator_ = TerminatorAt(std::string_view(base, end_), stop);
    } else if (!eof_) {
      refill();
      continue;
    } else if (pos_ == end_) {
      return false;
    }
    take(line, facts, stop, after);
    return true;
  }
}

// Whether [start, stop) holds the watched key. A key without CR or LF found
// in the buffer lies within a single line.
bool BlockLineReader::holdsKey(std::size_t start, std::size_t stop) {
  if (nextKey_ == kStale || nextKey_ < start) {
    const std::size_t at = key_.find(std::string_view(block_.data(), end_), start);
    nextKey_ = at == std::string_view::npos ? end_ : at;
  }
  return nextKey_ < stop;
}

// The lines up to the next one holding the key or a bracket, within the
// block, whole: a CR that ends the block may be the start of a CR LF and is
// left with its line for nextSlow. Only where the lines run as next() hands
// them out (the first line read, no line begun, no pattern watched). With
// keyLine, the line that holds the key comes too when it is whole here.
std::string_view BlockLineReader::linesAhead(bool untilKey, bool untilBracket, bool* keyLine) {
  if (keyLine != nullptr) *keyLine = false;
  if (scanFrom_ != pos_ || firstTerminator_.empty() || pattern_.active() ||
      (untilKey && !key_.active()))
    return {};
  const char* const base = block_.data();
  std::size_t limit = end_;
  if (untilKey) {
    holdsKey(pos_, end_);
    limit = nextKey_;
    if (keyLine != nullptr && limit < end_) {
      const std::size_t after = LineEndAfter(std::string_view(base, end_), limit, !eof_);
      if (after != std::string_view::npos) {
        *keyLine = true;
        const std::string_view lines(base + pos_, after - pos_);
        pos_ = scanFrom_ = after;
        return lines;
      }
    }
  }
  std::size_t cut = WholeLinesEnd(std::string_view(base, end_), pos_, limit, untilBracket);
  if (cut > pos_ && cut == end_ && !eof_ && base[cut - 1] == '\r')
    cut = pos_ + QuorlinUtils::EndOfLastLine(std::string_view(base + pos_, cut - 1 - pos_));
  if (cut <= pos_) return {};
  const std::string_view lines(base + pos_, cut - pos_);
  pos_ = scanFrom_ = cut;
  return lines;
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
    : file_(f),
      path_(std::move(path)),
      block_(new char[std::max<std::size_t>(blockSize, 64)]),
      spare_(new char[std::max<std::size_t>(blockSize, 64)]),
      capacity_(std::max<std::size_t>(blockSize, 64)),
      transfer_(std::make_unique<BlockTransfer>()) {
  SetTerminator(terminator, terminator_, terminatorLength_);
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

BlockLineWriter::~BlockLineWriter() {
  transfer_->wait();  // a write under way still reads spare_
}

void BlockLineWriter::writeExpandedSlow(std::string_view raw, int tabWidth) {
  if (decide_ || raw.size() * std::size_t(tabWidth) + 34 > capacity_) {
    LineSink::writeExpanded(raw, tabWidth);  // longer lines take the general way
    return;
  }
  flush();
  writeExpanded(raw, tabWidth);
}

void BlockLineWriter::writeSlow(std::string_view line) {
  if (decide_) {
    SetTerminator(decide_(), terminator_, terminatorLength_);
    decide_ = nullptr;
  }
  if (line.size() + 2 > capacity_ - used_) flush();
  if (line.size() + 2 > capacity_) {  // a line longer than the block goes out directly
    transfer_->wait();
    checkError();
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
        std::fwrite(terminator_, 1, terminatorLength_, file_) != terminatorLength_)
      throw FileError(LastError(), path_);
    return;
  }
  write(line);
}

// As many whole lines as fit in the block when every byte were a tab,
// flushing a block that has too little room left for a good share of them.
std::size_t BlockLineWriter::writeLines(std::string_view lines, const LineShape& shape,
                                        std::size_t& count) {
  if (decide_) {
    SetTerminator(decide_(), terminator_, terminatorLength_);
    decide_ = nullptr;
  }
  if (terminatorLength_ == 0) return 0;  // lines without an end go one by one
  const std::size_t perByte = std::max(shape.tabWidth, 2);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::size_t room = capacity_ - used_;
    const std::size_t fits = room > 64 ? (room - 64) / perByte : 0;
    std::size_t cut = lines.size();
    if (fits < cut) {
      cut = QuorlinUtils::EndOfLastLine(lines.substr(0, fits));
      // The LF of a CR LF cut in two comes along (the 64 bytes spare hold it).
      if (cut > 0 && lines[cut - 1] == '\r' && cut < lines.size() && lines[cut] == '\n') ++cut;
    }
    if (cut > 0 && (cut == lines.size() || cut >= fits / 4 || used_ == 0)) {
      char* const d = block_.get() + used_;
      char* const e = QuorlinUtils::ExpandLinesInto(
          d, lines.substr(0, cut), shape.tabWidth, shape.fold, shape.cap,
          std::string_view(terminator_, terminatorLength_), count);
      used_ += std::size_t(e - d);
      return cut;
    }
    if (used_ == 0) return 0;
    flush();
  }
  return 0;
}

void BlockLineWriter::checkError() {
  if (error_ != 0) throw FileError(error_, path_);
}

// Hands the filled block to the write thread (after the block before it is
// out) and goes on filling the other buffer.
void BlockLineWriter::flush() {
  if (used_ == 0) return;
  transfer_->wait();
  checkError();
  std::swap(block_, spare_);
  const std::size_t n = used_;
  used_ = 0;
  transfer_->start([this, n] {
    errno = 0;
    if (std::fwrite(spare_.get(), 1, n, file_) != n) error_ = LastError();
  });
}

void BlockLineWriter::finish() {
  flush();
  transfer_->wait();
  checkError();
  errno = 0;
  if (std::fflush(file_) != 0) throw FileError(LastError(), path_);
}

}  // namespace quorlin
