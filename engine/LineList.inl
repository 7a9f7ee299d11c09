#pragma once
#include <cstring>

namespace quorlin {

template <class F>
std::string_view ForEachLine(std::string_view bytes, F&& f) {
  std::string_view first;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
    const char* stop = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', std::size_t(stop - p)));
    if (cr) {
      f(std::string_view(p, std::size_t(cr - p)));
      const bool crlf = cr + 1 < end && cr[1] == '\n';
      if (first.empty()) first = crlf ? std::string_view("\r\n") : std::string_view("\r");
      p = cr + (crlf ? 2 : 1);
    } else if (lf) {
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
