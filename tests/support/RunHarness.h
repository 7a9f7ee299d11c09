// SPDX-License-Identifier: Apache-2.0
// Runs the change engine on lines held in memory, and the request builder of
// every test.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteStreams.h"
#include "engine/ChangeRun.h"
#include "engine/LineStream.h"
#include "tests/support/Generator.h"
#include "tests/support/Req.h"

namespace quorlin::testing {

class VectorSource final : public LineSource {
 public:
  explicit VectorSource(const std::vector<std::string>& lines) : lines_(lines) {}
  bool next(std::string_view& line) override {
    if (i_ >= lines_.size()) return false;
    line = lines_[i_++];
    return true;
  }

 private:
  const std::vector<std::string>& lines_;
  std::size_t i_ = 0;
};

class VectorSink final : public LineSink {
 public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

struct RunOutput {
  bool completed = false;
  std::vector<std::string> messages;
  std::vector<std::string> lines;
};

inline RunOutput RunLines(const ChangeRequest& q, const std::vector<std::string>& lines) {
  VectorSource src(lines);
  VectorSink sink;
  RunResult r = RunChange(q, src, sink);
  return RunOutput{r.completed, std::move(r.messages), std::move(sink.lines)};
}

using Lines = std::vector<std::string>;

// Everything a file holds, read from its start.
inline std::string ReadBack(std::FILE* f) {
  std::rewind(f);
  std::string s;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
  return s;
}

// Hands out a text a few bytes at a time, as a pipe may.
class TextReader final : public ByteReader {
 public:
  TextReader(std::string_view text, Rng& rng) : rest_(text), rng_(rng) {}
  std::size_t read(char* to, std::size_t n) override {
    n = std::min({n, rest_.size(), std::size_t(rng_.range(1, 9))});
    std::copy_n(rest_.data(), n, to);
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
  Rng& rng_;
};

class TextWriter final : public ByteWriter {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

}  // namespace quorlin::testing
