#include "engine/LineList.h"

namespace quorlin {

LineList LineList::FromBytes(std::string_view bytes) {
  LineList list;
  // One line per 40 bytes is a fair first guess for text; the vector grows if not.
  list.reserve(bytes.size() / 40 + 1, bytes.size() + 1);
  ForEachLine(bytes, [&](std::string_view line) { list.push_back(line); });
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
