// SPDX-License-Identifier: Apache-2.0
#include "engine/FileError.h"

#include <cerrno>

namespace quorlin {

int LastError() {
  return errno != 0 ? errno : EIO;
}

std::string FileErrorText(int errnum) {
  switch (errnum) {
    case ENOENT:
    case ENOTDIR:
      return "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EEXIST:
    case EISDIR:
    case ELOOP:
      return "File access denied";
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(errnum);
  }
}

FileError::FileError(int errnum, std::string path)
    : FileError(FileErrorText(errnum), std::move(path)) {
  code_ = errnum;
}

FileError::FileError(std::string text, std::string path)
    : std::runtime_error(text + "\n" + path),
      code_(0),
      text_(std::move(text)),
      path_(std::move(path)) {}

}  // namespace quorlin
