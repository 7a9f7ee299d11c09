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

// What the layout of rows and positions asks about a line's bytes: where its
// characters begin and end and how wide they are. Rows, the caret's steps,
// clicks and saved positions all go through this, so that characters of more
// than one byte take another Measure and no other change. Only a tab's width
// depends on where it starts.
class Measure {
 public:
  Measure() = default;
  Measure(const Measure&) = default;
  Measure& operator=(const Measure&) = default;
  virtual ~Measure() = default;

  // The length of the character that bytes (not empty) starts with, from 1
  // to bytes.size().
  virtual std::size_t charLength(std::string_view bytes) const = 0;
  // The length of the character that bytes (not empty) ends with.
  virtual std::size_t lastCharLength(std::string_view bytes) const = 0;
  // How far one character moves from x.
  virtual std::int64_t charWidth(std::string_view character, std::int64_t x) const = 0;
  // x after the characters of bytes, the first starting at x.
  virtual std::int64_t advance(std::string_view bytes, std::int64_t x) const = 0;
  // No n bytes are wider than n times this.
  virtual std::int64_t widestPerByte() const = 0;
};

// Every byte one character, with its advance from the font's table.
class ByteMeasure final : public Measure {
 public:
  explicit ByteMeasure(const Metrics& metrics) : metrics_(metrics) {}
  std::size_t charLength(std::string_view /*bytes*/) const override { return 1; }
  std::size_t lastCharLength(std::string_view /*bytes*/) const override { return 1; }
  std::int64_t charWidth(std::string_view character, std::int64_t x) const override {
    return StepAt(metrics_, static_cast<unsigned char>(character[0]), x);
  }
  std::int64_t advance(std::string_view bytes, std::int64_t x) const override {
    return Advance(metrics_, bytes, x);
  }
  std::int64_t widestPerByte() const override { return metrics_.widest; }

 private:
  Metrics metrics_;
};

// Calls f(m) with m as its own type when it is a ByteMeasure, whose calls
// then inline into loops that visit every byte of a long line, and as a
// Measure otherwise.
template <class F>
decltype(auto) WithMeasure(const Measure& m, F&& f) {
  if (const auto* bytes = dynamic_cast<const ByteMeasure*>(&m)) return f(*bytes);
  return f(m);
}

// The character boundary (0 to bytes.size()) nearest to x when the bytes
// start at start: a point left of a character's middle is before it.
std::size_t OffsetAt(const Measure& m, std::string_view bytes, std::int64_t x,
                     std::int64_t start = 0);

// Where the rows of a line start when it wraps at width: a row ends after the
// last blank (space or tab) that lets it fit or, in a word too long for a
// row, before the character that does not fit. A row holds at least one
// character; blanks at the end of a row may reach past width.
//
// The line comes in pieces, in order, so that a line of any length wraps
// without being copied. Where a row starts depends only on the bytes from
// the start of the row before, so wrapping may begin at any row start.
class RowBreaker {
 public:
  // Wraps from offset from of the line: 0 or the start of a row.
  explicit RowBreaker(std::int64_t width, std::size_t from = 0)
      : width_(width), at_(from), rowStart_(from) {}

  // The line's next bytes, which must end at a character boundary. Calls
  // f(start) with each row start found, in order; f returns false to stop,
  // and then so does feed (the breaker must not be fed again).
  template <class M, class F>
  bool feed(const M& m, std::string_view bytes, F&& f);

 private:
  static constexpr auto kNone = static_cast<std::size_t>(-1);
  std::int64_t width_;
  std::int64_t x_ = 0;           // from the row's start
  std::int64_t sinceBlank_ = 0;  // the width of the word after the last blank
  std::size_t at_;               // the offset of the next byte fed
  std::size_t rowStart_;
  std::size_t blankEnd_ = kNone;  // a row may start here, after blanks
};

// The rows of a wrapped line (at least 1); WrapRowsOf for a measure of a
// type known (see WithMeasure).
std::size_t WrapRowCount(const Measure& m, std::string_view line, std::int64_t width);
template <class M>
std::size_t WrapRowsOf(const M& m, std::string_view line, std::int64_t width);
// Where each row starts; starts[0] is 0. The second form reads a font's
// table in place, every byte one character.
void WrapRowStarts(const Measure& m, std::string_view line, std::int64_t width,
                   std::vector<std::size_t>& starts);
void WrapRowStarts(const Metrics& m, std::string_view line, std::int64_t width,
                   std::vector<std::size_t>& starts);

template <class M, class F>
bool RowBreaker::feed(const M& m, std::string_view bytes, F&& f) {
  const char* const data = bytes.data();
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = m.charLength(std::string_view(data + i, bytes.size() - i));
    const std::string_view character(data + i, n);
    const std::size_t at = at_ + i;
    i += n;
    if (n == 1 && (character[0] == ' ' || character[0] == '\t')) {
      x_ += m.charWidth(character, x_);
      blankEnd_ = at + 1;
      sinceBlank_ = 0;
      continue;
    }
    const std::int64_t step = m.charWidth(character, x_);
    while (x_ + step > width_ && at > rowStart_) {
      // The word after the last blank goes down whole: its width does not
      // depend on where it starts, as it holds no tab.
      const std::size_t next = blankEnd_ != kNone ? blankEnd_ : at;
      x_ = next == at ? 0 : sinceBlank_;
      rowStart_ = next;
      blankEnd_ = kNone;
      if (!f(next)) return false;
    }
    x_ += step;
    sinceBlank_ += step;
  }
  at_ += bytes.size();
  return true;
}

template <class M>
std::size_t WrapRowsOf(const M& m, std::string_view line, std::int64_t width) {
  // Most lines fit a row: their byte count or a plain sum of their advances
  // says so, cheaper than looking for where each would break.
  if (std::int64_t(line.size()) * m.widestPerByte() <= width || m.advance(line, 0) <= width)
    return 1;
  std::size_t rows = 1;
  RowBreaker(width).feed(m, line, [&](std::size_t) {
    ++rows;
    return true;
  });
  return rows;
}

}  // namespace quorlin::text
