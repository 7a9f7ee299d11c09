// SPDX-License-Identifier: Apache-2.0
#include "text/TextLines.h"

#include <cstring>

namespace quorlin::text {

bool TextLineSource::next(std::string_view& line) {
  carry_.clear();
  bool carrying = false;
  for (;;) {
    if (chunk_.empty() && !cursor_.next(chunk_)) {
      if (!carrying) return false;
      line = carry_;  // the last line, without a break
      return true;
    }
    const void* lf = std::memchr(chunk_.data(), '\n', chunk_.size());
    if (lf) {
      const auto length = std::size_t(static_cast<const char*>(lf) - chunk_.data());
      if (carrying) {
        carry_.append(chunk_.data(), length);
        line = carry_;
      } else {
        line = chunk_.substr(0, length);
      }
      chunk_.remove_prefix(length + 1);
      return true;
    }
    carry_.append(chunk_);
    carrying = true;
    chunk_ = {};
  }
}

ShownLines::ShownLines(const Text& text, std::size_t line, std::size_t longFrom)
    : text_(text),
      cursor_(text, text.lineStart(line)),
      longFrom_(longFrom),
      line_(line),
      nextStart_(text.lineStart(line)),
      done_(line > text.breaks()) {}

std::string_view ShownLines::next() {
  carry_.clear();
  start_ = nextStart_;
  length_ = 0;
  if (done_) return {};
  bool carrying = false;  // the line crosses pieces: its start is in carry_
  for (;;) {
    if (chunk_.empty() && !cursor_.next(chunk_)) {
      done_ = true;
      return carry_;
    }
    // No further than shows the line long.
    const std::size_t left = longFrom_ - std::min(longFrom_, length_);
    const std::size_t reach = left < chunk_.size() ? left + 1 : chunk_.size();
    const void* lf = std::memchr(chunk_.data(), '\n', reach);
    const std::size_t part = lf ? std::size_t(static_cast<const char*>(lf) - chunk_.data()) : reach;
    length_ += part;
    std::string_view line = chunk_.substr(0, part);
    chunk_.remove_prefix(lf ? part + 1 : part);
    if (length_ > longFrom_) {
      carry_.clear();
      const std::size_t end = text_.lineEnd(line_++);
      length_ = end - start_;
      nextStart_ = end + 1;
      done_ = end >= text_.size();
      if (!done_) cursor_ = ChunkCursor(text_, nextStart_);
      chunk_ = {};
      return {};
    }
    if (carrying || !lf) {
      carry_.append(line);
      line = carry_;
    }
    if (lf) {
      nextStart_ = start_ + length_ + 1;
      ++line_;
      return line;
    }
    carrying = true;
  }
}

void WriteLines(const Text& text, LineSink& sink) {
  TextLineSource source(text);
  std::string_view line;
  while (source.next(line)) sink.write(line);
}

}  // namespace quorlin::text
