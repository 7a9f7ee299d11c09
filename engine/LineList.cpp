// SPDX-License-Identifier: Apache-2.0
#include "engine/LineList.h"

#include <cstring>

namespace quorlin {

LineList LineList::fromBytes(std::string_view bytes) {
  LineList list;
  // One line per 40 bytes is a fair first guess for text; the vector grows if not.
  list.reserve(bytes.size() / 40 + 1, bytes.size() + 1);
  ForEachLine(bytes, [&](std::string_view line) { list.push_back(line); });
  return list;
}

LineList LineList::fromJoined(std::string joined) {
  LineList list;
  list.data_ = std::move(joined);
  const char* const base = list.data_.data();
  const char* const end = base + list.data_.size();
  list.ends_.reserve(list.data_.size() / 40 + 1);
  for (const char* p = base; p < end;) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
    if (!lf) {  // a last line without its "\n" gets one
      list.ends_.push_back(list.data_.size());
      list.data_.push_back('\n');
      break;
    }
    list.ends_.push_back(std::size_t(lf - base));
    p = lf + 1;
  }
  return list;
}

void LineList::push_back(std::string_view line) {
  data_.append(line);
  ends_.push_back(data_.size());
  data_.push_back('\n');
}

void LineList::clear() {
  data_.clear();
  ends_.clear();
}

void LineList::reserve(std::size_t lines, std::size_t bytes) {
  ends_.reserve(lines);
  data_.reserve(bytes + lines);
}

}  // namespace quorlin
