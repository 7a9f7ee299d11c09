// SPDX-License-Identifier: Apache-2.0
#include "engine/LineBreaks.h"

namespace quorlin {

std::string_view TerminatorAt(std::string_view bytes, std::size_t at) {
  if (bytes[at] == '\n') return "\n";
  return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
}

std::string_view FirstTerminator(std::string_view bytes) {
  const char* const end = bytes.data() + bytes.size();
  const char* brk = FindLineBreak(bytes.data(), end);
  return brk == end ? std::string_view() : TerminatorAt(bytes, std::size_t(brk - bytes.data()));
}

}  // namespace quorlin
