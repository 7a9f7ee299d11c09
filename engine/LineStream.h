// The two ends of a change run: a source of input lines and a sink for output
// lines. Lines carry no terminator.
#pragma once

#include <string_view>

namespace quorlin {

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Sets line to the next line and returns true, or returns false at the end.
  // The view stays valid until the next call.
  virtual bool next(std::string_view& line) = 0;
};

class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void write(std::string_view line) = 0;
};

}  // namespace quorlin
