// Byte-exact file access for the engine: error texts, temporary files created
// safely and read back through their descriptor, safe replacement of an
// output file, block-buffered line reading and writing.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteBuffer.h"
#include "engine/LineStream.h"

namespace quorlin {

// "File not found", "File access denied", "Disk full" or "I/O error N".
std::string FileErrorText(int errnum);

// A failed file operation: the file layer's text and the path, as the error box
// shows them ("File not found\n/path/to/file").
class FileError : public std::runtime_error {
 public:
  FileError(int errnum, std::string path);
  // A failure that has no system error number, told by its own text.
  FileError(std::string text, std::string path);
  int code() const { return code_; }  // 0 for a failure told by its own text
  const std::string& path() const { return path_; }
  const std::string& text() const { return text_; }

 private:
  int code_;
  std::string text_;
  std::string path_;
};

// Owns a FILE*; closes it on destruction, ignoring errors (use Close to see them).
class File {
 public:
  File() = default;
  File(std::FILE* f, std::string path) : f_(f), path_(std::move(path)) {}
  File(File&& o) noexcept : f_(o.f_), path_(std::move(o.path_)) { o.f_ = nullptr; }
  File& operator=(File&& o) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  std::FILE* get() const { return f_; }
  const std::string& path() const { return path_; }
  explicit operator bool() const { return f_ != nullptr; }
  // Closes the file; throws FileError when the close reports an error.
  void Close();

 private:
  std::FILE* f_ = nullptr;
  std::string path_;
};

// Opens an existing file for binary reading; throws FileError.
File OpenForReading(const std::string& path);

// Creates path afresh for binary writing (and reading back): an existing file
// or link of that name is removed first, and the new file is created
// exclusively, without following a link, readable and writable by its owner
// only. Throws FileError.
File CreateFreshFile(const std::string& path);

// A temporary file created fresh (CreateFreshFile), written, then read back
// through the same descriptor: a name swapped meanwhile for a link, a pipe or
// another file changes nothing that is read.
class WorkFile {
 public:
  explicit WorkFile(const std::string& path) : file_(CreateFreshFile(path)) {}
  std::FILE* get() const { return file_.get(); }
  const std::string& path() const { return file_.path(); }
  // Makes what was written readable from its first byte. Throws FileError.
  void Rewind();
  // Everything written, read back. Throws FileError.
  std::string ReadAll();
  void Close() { file_.Close(); }

 private:
  File file_;
};

// Writes a file through a temporary file in the target's folder, renamed over
// the target by Commit, so that a failure leaves an existing target whole. An
// existing target that the user may not write is refused ("File access
// denied"); one that is replaced keeps its permissions, and its owner and
// group where the process may set them. The rename replaces the name: other
// hard links keep the old contents. A target that exists but is no regular
// file (a device, a pipe) is written directly.
class SafeOutputFile {
 public:
  explicit SafeOutputFile(std::string target);  // throws FileError
  SafeOutputFile(const SafeOutputFile&) = delete;
  SafeOutputFile& operator=(const SafeOutputFile&) = delete;
  ~SafeOutputFile();  // removes the temporary file unless committed

  std::FILE* get() const { return file_.get(); }
  const std::string& target() const { return target_; }
  // The temporary file's name; empty when the target is written directly.
  const std::string& temporary() const { return temp_; }
  void Commit();  // throws FileError

 private:
  std::string target_;  // as given, for messages
  std::string real_;    // the file replaced: the target, or where its link points
  std::string temp_;    // empty when writing the target directly
  File file_;
  bool done_ = false;
};

// Removes a file, ignoring every failure.
void RemoveFileQuietly(const std::string& path);

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

// Reads lines in large blocks: CR LF, LF and a lone CR each end a line; a final
// line break gives no empty last line. The view handed out stays valid until
// the next call. Throws FileError on a read error. From a regular file the
// next block is read ahead while the current one is worked on.
class BlockLineReader final : public LineSource {
 public:
  explicit BlockLineReader(std::FILE* f, std::string path, std::size_t blockSize = 1 << 18);
  ~BlockLineReader() override;
  bool next(std::string_view& line) override;
  bool next(std::string_view& line, LineFacts& facts) override;
  // Keys holding CR or LF are not watched (they never match within a line).
  void watchKey(std::string_view key) override;
  // The first line terminator read ("\r\n", "\n", "\r"), or "" while none has
  // been read (a text without line breaks never gets one).
  std::string_view firstTerminator() const { return firstTerminator_; }

 private:
  bool refill();  // more bytes after pos_; false at end of file
  void readAhead();

  // Bytes kept in front of a block for the unfinished line of the block before.
  static constexpr std::size_t kHeadroom = 1 << 14;

  std::FILE* f_;
  std::string path_;
  std::size_t blockSize_;
  ByteBuffer buf_;  // the block being worked on: bytes [pos_, end_)
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;

  // The block read ahead, into ahead_ after kHeadroom bytes.
  ByteBuffer ahead_;
  std::size_t aheadLen_ = 0;
  int aheadError_ = 0;
  bool aheadStarted_ = false;

  // Cached positions of the next CR, LF, tab and watched key at or after pos_
  // (end_ when none), so that a byte that is rare in the text is searched for
  // once per occurrence or block, not once per line.
  static constexpr std::size_t kStale = ~std::size_t(0);
  std::size_t nextCr_ = kStale, nextLf_ = kStale, nextTab_ = kStale, nextKey_ = kStale;
  // After a refill the unfinished line is known to hold no CR or LF before
  // these positions: the searches go on from there.
  std::size_t crFrom_ = 0, lfFrom_ = 0;
  std::string key_;
  std::string_view firstTerminator_;

  // Last, so that it goes first: its thread may be reading into ahead_ until
  // it is joined. The destructor also waits before anything else goes.
  std::unique_ptr<BlockTransfer> io_;  // null: read in the calling thread
};

// Writes each line followed by a terminator (at most 2 bytes), buffered in
// large blocks written by a thread of their own while the next block fills.
// Throws FileError on a write error (at the latest from Finish, which writes
// what is left).
class BlockLineWriter final : public LineSink {
 public:
  BlockLineWriter(std::FILE* f, std::string path, std::string_view terminator,
                  std::size_t blockSize = 1 << 18);
  ~BlockLineWriter() override;
  // The terminator is asked of decide when the first line is written (the
  // batch program ends lines as its input does, known once a line was read).
  void setTerminatorOnFirstWrite(std::function<std::string_view()> decide) {
    decide_ = std::move(decide);
  }
  void write(std::string_view line) override;
  void writeExpanded(std::string_view raw, int tabWidth) override;
  void Finish();

 private:
  void flush();
  void writeSlow(std::string_view line);
  void checkError();
  std::FILE* f_;
  std::string path_;
  char term_[2] = {'\r', '\n'};
  std::size_t termLen_ = 2;
  std::function<std::string_view()> decide_;
  std::unique_ptr<char[]> buf_, spare_;  // spare_ is being written meanwhile
  std::size_t cap_, used_ = 0;
  BlockTransfer io_;
  int error_ = 0;  // set by the write thread, read after io_.wait()
};

}  // namespace quorlin
