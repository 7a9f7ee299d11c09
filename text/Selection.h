// SPDX-License-Identifier: Apache-2.0
// A selection of a text: the bytes between the anchor, where it was begun,
// and the position, where the caret is. Empty when both are the same offset.
#pragma once

#include <cstddef>

namespace quorlin::text {

struct Selection {
  std::size_t anchor = 0;
  std::size_t position = 0;
  std::size_t start() const { return anchor < position ? anchor : position; }
  std::size_t end() const { return anchor < position ? position : anchor; }
  bool empty() const { return anchor == position; }
  bool operator==(const Selection&) const = default;
};

}  // namespace quorlin::text
