// SPDX-License-Identifier: Apache-2.0
// Where the bytes of a line go across the pane: one advance per byte for the
// pane's font, tabs at fixed stops, and the rows a line wraps into. There is
// no kerning between bytes, so what is drawn, where the caret goes and where
// a click lands all come from the same sums. Positions are in 1/64 pixel,
// measured from the left edge of the line (of the row, when wrapped).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quorlin::text {

inline constexpr std::int64_t kUnits = 64;  // per pixel

struct Metrics {
  std::array<std::int32_t, 256> advance{};  // the tab's entry is not used
  std::int32_t tabStop = 80 * kUnits;       // > 0
  // The largest step one byte can make (a tab's is at most a stop); set by
  // Make.
  std::int32_t widest = 80 * kUnits;

  static Metrics make(const std::array<std::int32_t, 256>& advance, std::int32_t tabStop);
  bool operator==(const Metrics&) const = default;
};

// How far byte b moves from x: a tab to the next stop after x.
inline std::int64_t StepAt(const Metrics& m, unsigned char b, std::int64_t x) {
  if (b == '\t') return (x / m.tabStop + 1) * m.tabStop - x;
  return m.advance[b];
}

// x after the bytes, starting at x.
std::int64_t Advance(const Metrics& m, std::string_view bytes, std::int64_t x = 0);

// The boundary (0 to bytes.size()) nearest to x when the bytes start at
// start: a point left of a byte's middle is before it.
std::size_t OffsetAt(const Metrics& m, std::string_view bytes, std::int64_t x,
                     std::int64_t start = 0);

// Calls f(start) for the start of every row but the first when line wraps at
// width: a row ends after the last blank (space or tab) that lets it fit, or,
// in a word too long for a row, before the byte that does not fit. A row
// holds at least one byte; blanks at the end of a row may reach past width.
template <class F>
void ForEachWrap(const Metrics& m, std::string_view line, std::int64_t width, F&& f);

// The rows of a wrapped line (at least 1).
std::size_t WrapRowCount(const Metrics& m, std::string_view line, std::int64_t width);
// Where each row starts; starts[0] is 0.
void WrapRowStarts(const Metrics& m, std::string_view line, std::int64_t width,
                   std::vector<std::size_t>& starts);

template <class F>
void ForEachWrap(const Metrics& m, std::string_view line, std::int64_t width, F&& f) {
  if (std::int64_t(line.size()) * m.widest <= width) return;
  constexpr auto kNone = static_cast<std::size_t>(-1);
  std::int64_t x = 0;
  std::size_t rowStart = 0;
  std::size_t blankEnd = kNone;  // a row may start here, after blanks
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b == ' ' || b == '\t') {
      x += StepAt(m, b, x);
      blankEnd = i + 1;
      continue;
    }
    const std::int64_t step = m.advance[b];
    while (x + step > width && i > rowStart) {
      const std::size_t next = blankEnd != kNone && blankEnd > rowStart ? blankEnd : i;
      f(next);
      rowStart = next;
      blankEnd = kNone;
      x = Advance(m, line.substr(next, i - next));
    }
    x += step;
  }
}

}  // namespace quorlin::text
