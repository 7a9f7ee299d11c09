// SPDX-License-Identifier: Apache-2.0
// The pane's font for a UTF-8 text: the width and the glyphs of each cluster
// (a character with the marks that combine with it, found by Qt's rules of
// grapheme clusters), shaped once by Qt, with the fonts the system falls
// back to, and kept. ASCII bytes and tabs keep the glyphs and advances of the
// Western set, so that ASCII looks and measures the same in both encodings.
// A stray byte shows as its value in hex between angle brackets ("<E9>"),
// drawn in the escape ink; a character with no glyph (the byte-order mark)
// shows nothing and takes no room.
//
// One object serves one thread: its cache grows as it is asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QFont>
#include <QPointF>
#include <QRawFont>

#include "text/Utf8Measure.h"
#include "ui/PaneGlyphs.h"

class QPainter;
class QColor;

namespace quorlin::ui {

// The Western glyphs, made before the measure that reads their table.
struct HeldPaneGlyphs {
  HeldPaneGlyphs(const QFont& font, qreal tabStop) : bytes_(font, tabStop) {}
  PaneGlyphs bytes_;
};

class ClusterGlyphs final : private HeldPaneGlyphs, public text::Utf8Measure {
 public:
  // tabStop: the distance between tab stops in pixels.
  ClusterGlyphs(const QFont& font, qreal tabStop);

  const PaneGlyphs& bytes() const { return bytes_; }
  std::int64_t widestPerByte() const override { return widest_; }

  // Where one glyph goes: its font, its index, and its place from the left
  // edge of the line (pixels) on the baseline.
  class Sink {
   public:
    virtual ~Sink() = default;
    virtual void add(const QRawFont& font, quint32 glyph, QPointF at, bool escape) = 0;
  };
  // Gives sink the glyphs of bytes (whole clusters, no line break), the
  // first starting at x (1/64 pixel from the line's left edge); returns x
  // after them.
  std::int64_t place(std::string_view bytes, std::int64_t x, Sink& sink) const;
  // Draws bytes as place() lays them out, in the painter's pen, escapes in
  // escapeInk; the line's left edge at left (pixels), on the baseline.
  std::int64_t draw(QPainter& painter, qreal left, qreal baseline, std::string_view bytes,
                    std::int64_t x, const QColor& escapeInk) const;

  // The text a stray byte shows.
  static QString escapeText(unsigned char b);

 protected:
  std::size_t clusterLength(std::string_view bytes, std::size_t first) const override;
  std::size_t lastClusterLength(std::string_view bytes, std::size_t last) const override;
  std::int64_t clusterWidth(std::string_view cluster) const override;

 private:
  struct Glyph {
    const QRawFont* font;
    quint32 index;
    QPointF offset;  // from the cluster's left edge on the baseline
  };
  struct Cluster {
    std::int64_t width = 0;
    std::vector<Glyph> glyphs;
    bool escape = false;
  };
  const Cluster& cluster(std::string_view bytes) const;
  Cluster shape(std::string_view bytes) const;
  const QRawFont* keep(const QRawFont& font) const;

  QFont font_;
  std::int64_t widest_ = 0;
  mutable std::deque<QRawFont> fonts_;  // never moved: glyphs point into it
  mutable std::unordered_map<std::string, Cluster> clusters_;
};

}  // namespace quorlin::ui
