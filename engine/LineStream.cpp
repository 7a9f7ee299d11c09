#include "engine/LineStream.h"

#include "textutil/QuorlinUtils.h"

namespace quorlin {

void LineSink::writeExpanded(std::string_view raw, int tabWidth) {
  expanded_.clear();
  QuorlinUtils::AppendExpandedTabs(expanded_, raw, tabWidth);
  write(expanded_);
}

}  // namespace quorlin
