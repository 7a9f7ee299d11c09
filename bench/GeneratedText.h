// SPDX-License-Identifier: Apache-2.0
// The benchmarks' text: deterministic, with tabs, blank lines, repeated
// lines, tag-like lines and the key "KEY" in about one line in eight; about 60
// bytes a line (1,000,000 lines make about 60 MB).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace quorlin::bench {

inline void Generate(const std::string& path, long lines) {
  std::ofstream out(path, std::ios::binary);
  std::uint64_t s = 0x9E3779B97F4A7C15ull;
  auto rnd = [&]() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  };
  static const char* words[] = {"alpha", "beta",  "gamma", "delta", "Record", "value", "name",
                                "ID",    "total", "sum",   "x",     "the",    "of",    "and",
                                "data",  "file",  "Line",  "text",  "42",     "3.14",  "end"};
  const int nWords = sizeof(words) / sizeof(words[0]);
  std::vector<std::string> recent;
  std::string line;
  for (long i = 0; i < lines; ++i) {
    const unsigned kind = rnd() % 100;
    line.clear();
    if (kind < 6) {
      // blank line (sometimes spaces only)
      if (kind < 2) line = "   ";
    } else if (kind < 14 && !recent.empty()) {
      line = recent[rnd() % recent.size()];  // repeated line
    } else if (kind < 24) {
      // tag-like line
      line = "<tr><td class=\"c" + std::to_string(rnd() % 10) + "\">" + words[rnd() % nWords] +
             " " + words[rnd() % nWords] + "</td><td>" + std::to_string(rnd() % 100000) +
             "</td></tr>";
    } else {
      if (kind < 40) line += '\t';
      const int n = 9 + int(rnd() % 11);
      for (int w = 0; w < n; ++w) {
        if (w) line += (rnd() % 7 == 0) ? '\t' : ' ';
        line += words[rnd() % nWords];
      }
      if (rnd() % 8 == 0) line.insert(rnd() % line.size(), "KEY");
    }
    out << line << '\n';
    if (recent.size() < 64)
      recent.push_back(line);
    else
      recent[rnd() % 64] = line;
  }
}

}  // namespace quorlin::bench
