// SPDX-License-Identifier: Apache-2.0
#include "engine/LineRecords.h"

#include <memory>

namespace quorlin {

// With stops, in pieces of at most kPiece bytes, each line's stop noted as
// it is written (into room for as many as the piece has bytes, one for each
// thread, made once: sinks are made for every block).
std::size_t RecordingSink::writeLines(std::string_view lines, const LineShape& shape,
                                      std::size_t& count) {
  if (stops_ == nullptr) {
    count += AppendLines(out_, lines, shape, term_);
    return lines.size();
  }
  constexpr std::size_t kPiece = 1 << 16;
  thread_local const std::unique_ptr<std::size_t[]> pieceStops(new std::size_t[kPiece + 1]);
  std::size_t taken = 0;
  while (taken < lines.size()) {
    std::string_view piece = lines.substr(taken);
    if (piece.size() > kPiece) {
      const std::size_t cut = QuorlinUtils::EndOfLastLine(piece.substr(0, kPiece));
      if (cut == 0) break;  // a line longer than a piece goes alone through write
      piece = piece.substr(0, cut);
    }
    const std::size_t from = out_.size();
    const std::size_t n = AppendLines(out_, piece, shape, term_, pieceStops.get());
    AppendStops(*stops_, pieceStops.get(), n, from);
    count += n;
    taken += piece.size();
  }
  return taken;
}

}  // namespace quorlin
