// SPDX-License-Identifier: Apache-2.0
#include "engine/LineStream.h"

#include <cassert>

#include "textutil/QuorlinUtils.h"

namespace quorlin {

void LineSink::writeExpanded(std::string_view raw, int tabWidth) {
  assert(tabWidth >= 2 && tabWidth <= 16);
  expanded_.clear();
  QuorlinUtils::AppendExpandedTabs(expanded_, raw, tabWidth);
  write(expanded_);
}

}  // namespace quorlin
