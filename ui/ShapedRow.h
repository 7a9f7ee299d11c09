// SPDX-License-Identifier: Apache-2.0
// A row of UTF-8 that holds right-to-left text (Hebrew, Arabic and the like),
// laid out by Qt as a whole: its runs in the order they are read, Arabic
// letters joined, numbers and left-to-right text among them placed by the
// bidirectional rules, the row itself read from left to right. The caret
// still moves through the bytes in their order; its x, a click, the
// selection (which may show as several pieces) and the drawing all come from
// this one layout. Tabs keep the pane's stops, and a stray byte shows as its
// escape ("<E9>") in the escape ink.
//
// Every other row is drawn a cluster at a time at the x the row layout sums
// (which keeps wrapping and long lines cheap); only such a row, of at most
// kLongest bytes, is laid out here. Its width for wrapping and the scroll
// range stays that sum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QColor>
#include <QFont>
#include <QTextLayout>

class QPainter;

namespace quorlin::ui {

class ClusterGlyphs;

class ShapedRow {
 public:
  static constexpr std::size_t kLongest = 4096;

  // bytes: the row (whole clusters of glyphs); font: the pane's font.
  ShapedRow(std::string_view bytes, const ClusterGlyphs& glyphs, const QFont& font, qreal tabStop);

  const std::string& bytes() const { return bytes_; }
  // The x (1/64 pixel) where the caret stands at offset (from the row's
  // start, a cluster boundary).
  std::int64_t xAt(std::size_t offset) const;
  // The cluster boundary nearest to x.
  std::size_t offsetAt(std::int64_t x) const;
  std::int64_t width() const;

  // Draws the row, its left edge at left and its top at top, the bytes
  // [selFrom, selTo) (from the row's start) selected.
  void draw(QPainter& painter, qreal left, qreal top, std::size_t selFrom, std::size_t selTo,
            const QColor& highlight, const QColor& highlighted, const QColor& escapeInk) const;
  // The glyphs as laid out, their positions from the row's left edge and top.
  QList<QGlyphRun> glyphRuns() const { return layout_.glyphRuns(); }
  qreal ascent() const;

 private:
  int unitOf(std::size_t offset) const;

  std::string bytes_;
  QTextLayout layout_;
  // Each cluster boundary: its offset in the row and its UTF-16 unit in the
  // layout's text, in order.
  std::vector<std::pair<std::size_t, int>> bounds_;
  QList<QTextLayout::FormatRange> escapes_;
};

// Whether bytes (UTF-8) hold a character read from right to left, or one
// that begins such a run.
bool HoldsRightToLeft(std::string_view bytes);

// The shaped rows last asked for, by their bytes (the rows on the screen).
class ShapedRows {
 public:
  ShapedRows(const ClusterGlyphs& glyphs, const QFont& font, qreal tabStop)
      : glyphs_(glyphs), font_(font), tabStop_(tabStop) {}
  // The layout of a row of these bytes, or nullptr when it needs none.
  const ShapedRow* find(std::string_view bytes);

 private:
  const ClusterGlyphs& glyphs_;
  QFont font_;
  qreal tabStop_;
  std::deque<std::unique_ptr<ShapedRow>> rows_;
};

}  // namespace quorlin::ui
