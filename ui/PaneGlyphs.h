// SPDX-License-Identifier: Apache-2.0
// The pane's font as the pane draws it: for each of the 256 bytes, the glyph
// of its Western (Windows-1252) character and one advance. Bytes are drawn
// glyph by glyph at the positions these advances give, with no kerning or
// shaping between them, so that what is drawn, where the caret stands and
// where a click lands always agree. A character the font lacks is drawn from
// the font the system falls back to; a control byte shows as the font's
// "missing character" box.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include <QFont>
#include <QRawFont>

#include "text/LineLayout.h"

class QPainter;

namespace quorlin::ui {

class PaneGlyphs {
 public:
  // tabStop: the distance between tab stops in pixels.
  PaneGlyphs(const QFont& font, qreal tabStop);

  const text::Metrics& metrics() const { return metrics_; }
  int lineHeight() const { return lineHeight_; }
  qreal ascent() const { return ascent_; }

  // Draws bytes (no line break among them) in the painter's pen colour: the
  // first byte's left edge at x (1/64 pixel, from the line's left edge, so
  // that tabs find their stops), the line's left edge at left (pixels), on
  // the baseline. Returns x after the last byte.
  std::int64_t draw(QPainter& painter, qreal left, qreal baseline, std::string_view bytes,
                    std::int64_t x) const;

  // The glyph that shows byte b, in font fonts()[fontOf(b)]; for those who
  // place the glyphs themselves.
  const std::vector<QRawFont>& fonts() const { return fonts_; }
  std::size_t fontOf(unsigned char b) const { return fontOf_[b]; }
  quint32 glyph(unsigned char b) const { return glyph_[b]; }

 private:
  std::vector<QRawFont> fonts_;  // [0] the font itself, then fallbacks
  std::array<quint8, 256> fontOf_{};
  std::array<quint32, 256> glyph_{};
  text::Metrics metrics_;
  int lineHeight_ = 1;
  qreal ascent_ = 0;
};

}  // namespace quorlin::ui
