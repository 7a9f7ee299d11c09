// SPDX-License-Identifier: Apache-2.0
// Timing of shell commands for the benchmarks: wall-clock seconds of one run
// through /bin/sh, and the median of several.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quorlin::bench {

// Seconds that `sh -c command` took; throws when it cannot start or fails.
inline double SecondsOf(const std::string& command) {
  std::vector<char*> argv = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                             const_cast<char*>(command.c_str()), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start: " + command);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("failed: " + command);
  return took.count();
}

inline double MedianOf(std::vector<double> seconds) {
  std::nth_element(seconds.begin(), seconds.begin() + long(seconds.size() / 2), seconds.end());
  return seconds[seconds.size() / 2];
}

}  // namespace quorlin::bench
