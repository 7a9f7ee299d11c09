// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstring>

namespace quorlin {

template <class F>
std::string_view ForEachLine(std::string_view bytes, F&& f) {
  std::string_view first;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  // The next LF at or after p (end for none), searched again only once passed,
  // so that a text whose lines end in a lone CR is read in linear time.
  const char* lf = nullptr;
  while (p < end) {
    if (lf == nullptr || lf < p) {
      lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
      if (lf == nullptr) lf = end;
    }
    const char* stop = lf;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', std::size_t(stop - p)));
    if (cr) {
      f(std::string_view(p, std::size_t(cr - p)));
      const bool crlf = cr + 1 < end && cr[1] == '\n';
      if (first.empty()) first = crlf ? std::string_view("\r\n") : std::string_view("\r");
      p = cr + (crlf ? 2 : 1);
    } else if (lf < end) {
      f(std::string_view(p, std::size_t(lf - p)));
      if (first.empty()) first = "\n";
      p = lf + 1;
    } else {
      f(std::string_view(p, std::size_t(end - p)));
      p = end;
    }
  }
  return first;
}

}  // namespace quorlin
