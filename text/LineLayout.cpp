// SPDX-License-Identifier: Apache-2.0
#include "text/LineLayout.h"

#include <algorithm>

namespace quorlin::text {

Metrics Metrics::make(const std::array<std::int32_t, 256>& advance, std::int32_t tabStop) {
  Metrics m;
  m.advance = advance;
  m.tabStop = std::max<std::int32_t>(tabStop, 1);
  m.widest = m.tabStop;
  for (std::size_t b = 0; b < advance.size(); ++b) {
    if (b != '\t') m.widest = std::max(m.widest, advance[b]);
  }
  return m;
}

std::int64_t Advance(const Metrics& m, std::string_view bytes, std::int64_t x) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    x += b == '\t' ? StepAt(m, b, x) : m.advance[b];
  }
  return x;
}

std::size_t OffsetAt(const Measure& m, std::string_view bytes, std::int64_t x, std::int64_t start) {
  std::int64_t at = start;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = m.charLength(bytes.substr(i));
    const std::int64_t step = m.charWidth(bytes.substr(i, n), at);
    if (x < at + step / 2) return i;
    at += step;
    i += n;
  }
  return bytes.size();
}

std::size_t WrapRowCount(const Measure& m, std::string_view line, std::int64_t width) {
  return WithMeasure(m, [&](const auto& measure) { return WrapRowsOf(measure, line, width); });
}

namespace {

// A font's table as the wrapping templates take a measure, not copied.
struct TableMeasure {
  const Metrics& metrics;
  static std::size_t charLength(std::string_view /*bytes*/) { return 1; }
  std::int64_t charWidth(std::string_view character, std::int64_t x) const {
    return StepAt(metrics, static_cast<unsigned char>(character[0]), x);
  }
  std::int64_t widestPerByte() const { return metrics.widest; }
};

template <class M>
void RowStartsOf(const M& m, std::string_view line, std::int64_t width,
                 std::vector<std::size_t>& starts) {
  starts.assign(1, 0);
  if (std::int64_t(line.size()) * m.widestPerByte() <= width) return;
  RowBreaker(width).feed(m, line, [&](std::size_t start) {
    starts.push_back(start);
    return true;
  });
}

}  // namespace

void WrapRowStarts(const Measure& m, std::string_view line, std::int64_t width,
                   std::vector<std::size_t>& starts) {
  WithMeasure(m, [&](const auto& measure) { RowStartsOf(measure, line, width, starts); });
}

void WrapRowStarts(const Metrics& m, std::string_view line, std::int64_t width,
                   std::vector<std::size_t>& starts) {
  RowStartsOf(TableMeasure{m}, line, width, starts);
}

}  // namespace quorlin::text
