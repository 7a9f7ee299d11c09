// SPDX-License-Identifier: Apache-2.0
#include "ui/PaneGlyphs.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include "ui/Western.h"

namespace quorlin::ui {
namespace {

std::int32_t Units(qreal pixels) {
  return std::int32_t(std::lround(pixels * qreal(text::kUnits)));
}

}  // namespace

PaneGlyphs::PaneGlyphs(const QFont& font, qreal tabStop) {
  const QRawFont primary = QRawFont::fromFont(font);
  fonts_.push_back(primary);
  std::array<std::int32_t, 256> advance{};
  const quint32 missing = 0;  // the font's "missing character" glyph
  const qreal missingAdvance =
      primary.advancesForGlyphIndexes(QList<quint32>{missing}).value(0).x();
  const qreal spaceAdvance = QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));

  for (int b = 0; b < 256; ++b) {
    const QChar c(WesternChar(static_cast<unsigned char>(b)));
    quint32 glyph = missing;
    quint8 fontIndex = 0;
    qreal width = missingAdvance > 0 ? missingAdvance : spaceAdvance;
    if (b == '\t') {
      width = 0;  // tabs go to their stops
    } else if (primary.supportsCharacter(c)) {
      glyph = primary.glyphIndexesForString(QString(c)).value(0);
      width = primary.advancesForGlyphIndexes(QList<quint32>{glyph}).value(0).x();
    } else if (c.isPrint()) {
      // The font the system falls back to for this character.
      QTextLayout layout(QString(c), font);
      layout.beginLayout();
      layout.createLine();
      layout.endLayout();
      const QList<QGlyphRun> runs = layout.glyphRuns();
      if (!runs.isEmpty() && !runs[0].glyphIndexes().isEmpty()) {
        const QRawFont fallback = runs[0].rawFont();
        glyph = runs[0].glyphIndexes()[0];
        width = fallback.advancesForGlyphIndexes(QList<quint32>{glyph}).value(0).x();
        auto at = std::find(fonts_.begin(), fonts_.end(), fallback);
        if (at == fonts_.end()) at = fonts_.insert(at, fallback);
        fontIndex = quint8(at - fonts_.begin());
      }
    }
    glyph_[std::size_t(b)] = glyph;
    fontOf_[std::size_t(b)] = fontIndex;
    advance[std::size_t(b)] = Units(width);
  }
  metrics_ = text::Metrics::make(advance, Units(tabStop));

  const QFontMetricsF fm(font);
  ascent_ = fm.ascent();
  lineHeight_ = std::max(1, int(std::ceil(fm.ascent() + fm.descent())));
}

std::int64_t PaneGlyphs::draw(QPainter& painter, qreal left, qreal baseline, std::string_view bytes,
                              std::int64_t x) const {
  // One run of glyphs per font, drawn in one call each.
  std::vector<QList<quint32>> glyphs(fonts_.size());
  std::vector<QList<QPointF>> positions(fonts_.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\t') {
      x += text::StepAt(metrics_, b, x);
      continue;
    }
    if (b != ' ') {
      const quint8 f = fontOf_[b];
      glyphs[f].append(glyph_[b]);
      positions[f].append(QPointF(left + qreal(x) / text::kUnits, baseline));
    }
    x += metrics_.advance[b];
  }
  for (std::size_t f = 0; f < fonts_.size(); ++f) {
    if (glyphs[f].isEmpty()) continue;
    QGlyphRun run;
    run.setRawFont(fonts_[f]);
    run.setGlyphIndexes(glyphs[f]);
    run.setPositions(positions[f]);
    painter.drawGlyphRun(QPointF(), run);
  }
  return x;
}

}  // namespace quorlin::ui
