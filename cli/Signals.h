// SPDX-License-Identifier: Apache-2.0
// The ending signals and the temporary output files: SIGTERM, SIGHUP and
// SIGINT end the program after removing every temporary output file in use,
// from any thread, and a file-size limit makes a write fail ("Disk full")
// instead of ending the program.
#pragma once

#include <optional>
#include <string>

#include "engine/Files.h"

namespace quorlin::batch {

// Call first in main, before any thread is started. A signal ignored at start
// (nohup) stays ignored.
void HandleEndingSignals();

// An output file written safely (SafeOutputFile) whose temporary file is
// removed when an ending signal arrives, from the moment it exists until it
// is renamed over its target or removed.
class GuardedOutput {
 public:
  explicit GuardedOutput(const std::string& target);  // throws FileError
  GuardedOutput(const GuardedOutput&) = delete;
  GuardedOutput& operator=(const GuardedOutput&) = delete;
  ~GuardedOutput();  // removes the temporary file unless committed

  std::FILE* get() const { return file_->get(); }
  void commit();  // throws FileError

 private:
  std::optional<SafeOutputFile> file_;
  std::string temporary_;
};

}  // namespace quorlin::batch
