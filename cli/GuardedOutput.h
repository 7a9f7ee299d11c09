// SPDX-License-Identifier: Apache-2.0
// Output files guarded against the ending signals: SIGTERM, SIGHUP and
// SIGINT end the program after removing every temporary output file in use,
// from any thread, and a file-size limit makes a write fail ("Disk full")
// instead of ending the program. A signal that comes once every output file
// the program writes is in place no longer ends it; one that stops a run
// over many files first names, on standard error, those already in place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "engine/Files.h"

namespace quorlin::batch {

// Call first in main, before any thread is started. A signal ignored at start
// (nohup) stays ignored.
void HandleEndingSignals();

// The program writes count output files (one unless told otherwise); each is
// committed or given up. Once none is left, an ending signal is taken as
// late: the program finishes as it would have (a second signal ends it).
// Call before the first output file is made.
void ExpectOutputs(std::size_t count);
// One expected output file will not be written (its run failed).
void GiveUpOutput();

// An output file written safely (SafeOutputFile) whose temporary file is
// removed when an ending signal arrives, from the moment it exists until it
// is renamed over its target or removed. A stop after the commit names it on
// standard error as "quorlin-batch: NAME: written before the stop", NAME the
// name given (the input file of a run over many files).
class GuardedOutput {
 public:
  // throws FileError
  explicit GuardedOutput(const std::string& target, const std::string& name = {});
  GuardedOutput(const GuardedOutput&) = delete;
  GuardedOutput& operator=(const GuardedOutput&) = delete;
  ~GuardedOutput();  // removes the temporary file unless committed

  std::FILE* get() const { return file_->get(); }
  void commit();  // throws FileError

 private:
  std::optional<SafeOutputFile> file_;
  std::string temporary_;
  std::string name_;
};

}  // namespace quorlin::batch
