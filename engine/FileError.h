// SPDX-License-Identifier: Apache-2.0
// How the file layer reports a failed file operation: a short text for the
// error box ("File not found", "Disk full", ...) and the path it concerns.
#pragma once

#include <stdexcept>
#include <string>

namespace quorlin {

// "File not found", "File access denied", "Disk full" or "I/O error N".
std::string FileErrorText(int errnum);

// errno after a failed call, never 0 (a short read or write that left no
// errno is reported as a generic I/O error).
int LastError();

// A failed file operation: the file layer's text and the path, as the error box
// shows them ("File not found\n/path/to/file"). Thrown by the file functions,
// carried as data where a result reports it.
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

}  // namespace quorlin
