// SPDX-License-Identifier: Apache-2.0
#include "engine/LineBreaks.h"

#include <cstring>

namespace quorlin {

const char* FindLineBreak(const char* from, const char* end) {
  if (from == end) return end;  // an empty range may start at null
  const void* lf = std::memchr(from, '\n', std::size_t(end - from));
  const char* stop = lf != nullptr ? static_cast<const char*>(lf) : end;
  const void* cr = std::memchr(from, '\r', std::size_t(stop - from));
  return cr != nullptr ? static_cast<const char*>(cr) : stop;
}

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
