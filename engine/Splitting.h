// SPDX-License-Identifier: Apache-2.0
// Cutting a text into pieces that run apart: what a request needs from the
// rest of the text (read from the context column of its test's and action's
// rows), the lines of one piece, and what the bytes of a piece tell the
// pieces after it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/LineStream.h"

namespace quorlin {

// What a request needs beyond each line when its text is cut into pieces.
struct SplitNeeds {
  bool lineNumber = false;  // test 2: the lines before a piece are counted
  bool lineBefore = false;  // tests 10, 14: whether the last line tested before a piece was blank
  bool tagState = false;    // action 30: whether a tag is open where a piece starts
  bool nextLine = false;    // action 44: a piece's last line may join the next piece's first
  bool wholeText = false;   // actions 32, 43: every line, before any output
  bool mayStop = false;     // actions 25, 26: stop at the first line; every piece stops alike

  // Each piece may run alone, from the start of a text.
  bool independent() const {
    return !lineNumber && !lineBefore && !tagState && !nextLine && !wholeText;
  }
};

SplitNeeds NeedsOf(const ChangeRequest& request);

// One line for scripts: "split=independent|context|whole-text test=N
// action=N needs=NAME,NAME|none", the names those of the needs above
// (line-number, line-before, tag-state, next-line, whole-text, may-stop).
std::string ExplainSplit(const ChangeRequest& request);

// Line numbers count no further than this: test 2 reads at most 250000.
inline constexpr long long kLinesCounted = 250001;

// The boundary with only what the request needs (the rest at the defaults),
// line counts capped at kLinesCounted (at 1 when only line 1 is told from the
// others): equal boundaries run alike.
PieceBoundary Normalised(const SplitNeeds& needs, PieceBoundary b);

// What the bytes of a piece (whole lines) tell the pieces after it, as far as
// a request needs it.
struct PieceFacts {
  long long lines = 0;               // counted when line numbers or joins are needed, else 0 or 1
  bool lastLineBlank = true;         // meaningful when lines > 0
  char lastBracket = 0;              // the last "<" or ">", 0 when none
  std::string_view firstTerminator;  // "\r\n", "\n", "\r" (static), or "" when none
};

// The facts of bytes that hold whole lines (the last may lack its break).
PieceFacts ScanPiece(std::string_view bytes, const SplitNeeds& needs);
// The facts of two pieces, one after the other.
PieceFacts Combine(const PieceFacts& first, const PieceFacts& then);
// Where the piece after one with these facts starts, when the piece started
// at start. The join of action 44 cannot be told from the bytes: it is taken
// as not made (a run over the piece tells).
PieceBoundary After(const SplitNeeds& needs, const PieceBoundary& start, const PieceFacts& facts);

// The length of the longest prefix of bytes that ends at a line boundary,
// when more bytes may follow (a CR at the very end may be the start of
// CR LF); 0 when there is none.
std::size_t WholeLinesLength(std::string_view bytes);

// The lines of bytes in memory: CR LF, LF and a lone CR each end a line, and
// bytes after the last break make a last line. The bytes must end at a line
// boundary or be the end of the text.
class PieceLines final : public LineSource {
 public:
  // keys: where the key is watched, when that outlives these lines.
  explicit PieceLines(std::string_view bytes, KeyWatch* keys = nullptr)
      : data_(bytes), keys_(keys) {}
  bool next(std::string_view& line) override;
  bool next(std::string_view& line, LineFacts& facts) override;
  void watchKey(std::string_view key, bool caseBlind) override;
  void watchPattern(const KeyPattern* pattern) override { pattern_ = PatternWatch(pattern); }
  bool givesLines() const override { return true; }
  std::string_view nextLines(bool untilKey, bool untilBracket) override;
  std::string_view nextLinesAndKeyLine(bool& keyLine) override;
  // The bytes not yet handed out.
  std::string_view rest() const { return data_.substr(pos_); }

 private:
  // The next occurrence of the watched key at or after pos_, searched once
  // per occurrence rather than once per line.
  std::size_t nextKey() {
    if (nextKey_ == kStale || nextKey_ < pos_) nextKey_ = keyWatch().find(data_, pos_);
    return nextKey_;
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  // The next watched key at or after pos_ (npos when none), found once per
  // occurrence rather than once per line.
  static constexpr std::size_t kStale = std::string_view::npos - 1;
  std::size_t nextKey_ = kStale;
  KeyWatch ownKey_;
  KeyWatch* keys_;  // null: ownKey_
  KeyWatch& keyWatch() { return keys_ != nullptr ? *keys_ : ownKey_; }
  PatternWatch pattern_;
};

// Where a piece starts in a longer text, as a one-line token that programs
// pass along without reading it: the boundary and the output line terminator.
struct PieceContext {
  PieceBoundary at;
  std::string_view terminator = "\n";  // "\r\n", "\n" or "\r" (static)
};
std::string EncodeContext(const PieceContext& c);
std::optional<PieceContext> DecodeContext(std::string_view token);
std::string EncodeFacts(const PieceFacts& f);
std::optional<PieceFacts> DecodeFacts(std::string_view token);
// The contexts of consecutive pieces with the given facts: the first starts
// the text; every one ends its lines with the text's first terminator (LF
// when the text has none).
std::vector<PieceContext> ChainContexts(const SplitNeeds& needs,
                                        const std::vector<PieceFacts>& facts);

}  // namespace quorlin
