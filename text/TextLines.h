// SPDX-License-Identifier: Apache-2.0
// A text's lines handed out one by one, for the change engine, a work file or
// Save As: the document's lines without their breaks (a final break gives no
// empty last line), as views into the text wherever a line lies within one
// piece, so that nothing is copied or converted on the way.
#pragma once

#include <string>
#include <string_view>

#include "engine/LineStream.h"
#include "text/Text.h"

namespace quorlin::text {

class TextLineSource final : public LineSource {
 public:
  // Holds the text alive: another thread may read it while the window edits.
  explicit TextLineSource(const Text& text) : cursor_(text) {}
  bool next(std::string_view& line) override;

 private:
  ChunkCursor cursor_;
  std::string_view chunk_;
  std::string carry_;  // a line that crosses pieces
};

// The lines as shown, from a line on: each call gives the next one (an empty
// view past the last). The last line shown is empty when the text ends with a
// break. A line longer than longFrom bytes comes back as an empty view, and
// the walk finds its end through the text's line index: walking past it
// neither copies nor reads it. length() tells it from an empty line.
class ShownLines {
 public:
  static constexpr auto kAll = static_cast<std::size_t>(-1);
  ShownLines(const Text& text, std::size_t line, std::size_t longFrom = kAll);
  std::string_view next();
  // The offset and length of the line next() gave last.
  std::size_t start() const { return start_; }
  std::size_t length() const { return length_; }

 private:
  Text text_;
  ChunkCursor cursor_;
  std::string_view chunk_;
  std::string carry_;
  std::size_t longFrom_;
  std::size_t line_;  // of the next line
  std::size_t start_ = 0, length_ = 0, nextStart_;
  bool done_ = false;
};

// Writes every line of text to sink, in order.
void WriteLines(const Text& text, LineSink& sink);

}  // namespace quorlin::text
