// SPDX-License-Identifier: Apache-2.0
// Reading a document for the editor: once, whole, and only from a plain file
// (or, where allowed, a pipe read to its end); and writing its cleaned copy.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace quorlin {

// The error texts of a document that cannot be read this way (shown like the
// file layer's texts, with the path on a second line).
inline constexpr const char* kNotPlainFileText = "Not a plain file (a folder, device or pipe)";
inline constexpr const char* kPipeTooLargeText = "Too much text from the pipe";
inline constexpr const char* kPipeSilentText = "No text came from the pipe";

struct PipeLimits {
  bool allowed = false;              // a pipe is read; otherwise it is refused
  std::size_t maxBytes = 512 << 20;  // more is refused
  int silentMs = 30000;              // so long without a byte is refused
};

// Told the bytes read so far and the file's size (0 for a pipe) after each
// block; it may throw to stop the reading.
using ReadProgress = std::function<void(std::size_t read, std::size_t size)>;

// The whole document at path, read once. A name that is not a plain file is
// refused before a byte is read, except a pipe where pipes are allowed, which
// is read to its end within the limits. Throws FileError.
std::string ReadDocument(const std::string& path, const PipeLimits& pipes = PipeLimits(),
                         const ReadProgress& progress = nullptr);

// Takes the zero bytes out of bytes and writes the rest to target, created
// fresh (owner-only, never through a link). Throws FileError; a failure leaves
// a partial target behind.
void WriteCleanedCopy(std::string& bytes, const std::string& target);

}  // namespace quorlin
