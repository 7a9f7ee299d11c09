// SPDX-License-Identifier: Apache-2.0
#include "ui/ClusterGlyphs.h"

#include <algorithm>
#include <cmath>
#include <map>

#include <QGlyphRun>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include "textutil/Utf8.h"

namespace quorlin::ui {
namespace {

using QuorlinUtils::DecodeUtf8;
using QuorlinUtils::Utf8Char;

std::int64_t Units(qreal pixels) {
  return std::int64_t(std::llround(pixels * qreal(text::kUnits)));
}

// Valid characters of bytes from from on, as UTF-16, until a stray byte or
// the end; at[k] is the offset of UTF-16 unit k, and at.back() the offset
// after the last character.
struct Decoded {
  QString text;
  std::vector<std::size_t> at;
};
Decoded DecodeRun(std::string_view bytes, std::size_t from) {
  Decoded d;
  std::size_t i = from;
  while (i < bytes.size()) {
    const Utf8Char c = DecodeUtf8(bytes.data() + i, bytes.size() - i);
    if (!c.valid) break;
    if (c.codePoint > 0xFFFF) {
      d.text.append(QChar(QChar::highSurrogate(c.codePoint)));
      d.text.append(QChar(QChar::lowSurrogate(c.codePoint)));
      d.at.push_back(i);
    } else {
      d.text.append(QChar(char16_t(c.codePoint)));
    }
    d.at.push_back(i);
    i += c.length;
  }
  d.at.push_back(i);
  return d;
}

// A run of glyphs of one font and ink, for one call to draw them.
struct Run {
  QList<quint32> glyphs;
  QList<QPointF> positions;
};

class PaintSink final : public ClusterGlyphs::Sink {
 public:
  void add(const QRawFont& font, quint32 glyph, QPointF at, bool escape) override {
    Run& run = runs_[{&font, escape}];
    run.glyphs.append(glyph);
    run.positions.append(at);
  }
  void paint(QPainter& painter, qreal left, qreal baseline, const QColor& escapeInk) {
    const QPen pen = painter.pen();
    for (auto& [key, run] : runs_) {
      for (QPointF& p : run.positions) p += QPointF(left, baseline);
      QGlyphRun glyphs;
      glyphs.setRawFont(*key.first);
      glyphs.setGlyphIndexes(run.glyphs);
      glyphs.setPositions(run.positions);
      painter.setPen(key.second ? QPen(escapeInk) : pen);
      painter.drawGlyphRun(QPointF(), glyphs);
    }
    painter.setPen(pen);
  }

 private:
  std::map<std::pair<const QRawFont*, bool>, Run> runs_;
};

}  // namespace

ClusterGlyphs::ClusterGlyphs(const QFont& font, qreal tabStop)
    : HeldPaneGlyphs(font, tabStop), Utf8Measure(bytes_.metrics()), font_(font) {
  // No byte is wider than a tab stop or an escape.
  const text::Metrics& m = bytes_.metrics();
  std::int64_t digit = 0;
  for (const char c : std::string_view("0123456789ABCDEF"))
    digit = std::max<std::int64_t>(digit, m.advance[static_cast<unsigned char>(c)]);
  widest_ = std::max<std::int64_t>(m.widest, m.advance['<'] + m.advance['>'] + 2 * digit);
}

QString ClusterGlyphs::escapeText(unsigned char b) {
  return QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

std::size_t ClusterGlyphs::clusterLength(std::string_view bytes, std::size_t first) const {
  const Decoded d = DecodeRun(bytes.substr(0, std::min(bytes.size(), text::kCharReach)), 0);
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, d.text);
  const qsizetype next = finder.toNextBoundary();
  const std::size_t end = next > 0 ? d.at[std::size_t(next)] : d.at.back();
  return std::max(first, end);
}

std::size_t ClusterGlyphs::lastClusterLength(std::string_view bytes, std::size_t last) const {
  // From an ASCII byte, where a cluster starts, or kCharReach bytes back.
  const std::size_t n = bytes.size();
  const std::size_t floor = n > text::kCharReach ? n - text::kCharReach : 0;
  std::size_t from = n - last;
  while (from > floor && static_cast<unsigned char>(bytes[from - 1]) >= 0x80) --from;
  if (from > floor) {
    --from;
  } else {
    from = QuorlinUtils::Utf8CharStart(bytes, from);
  }
  Decoded d = DecodeRun(bytes, from);
  while (d.at.back() < n) d = DecodeRun(bytes, d.at.back() + 1);  // past a stray byte
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, d.text);
  finder.toEnd();
  const qsizetype before = finder.toPreviousBoundary();
  const std::size_t start = before >= 0 ? d.at[std::size_t(before)] : d.at.front();
  return std::max(last, n - start);
}

std::int64_t ClusterGlyphs::clusterWidth(std::string_view cluster) const {
  return this->cluster(cluster).width;
}

const ClusterGlyphs::Cluster& ClusterGlyphs::cluster(std::string_view bytes) const {
  std::string key(bytes);
  const auto found = clusters_.find(key);
  if (found != clusters_.end()) return found->second;
  if (clusters_.size() >= 65536) clusters_.clear();  // a text of very many different clusters
  return clusters_.emplace(std::move(key), shape(bytes)).first->second;
}

const QRawFont* ClusterGlyphs::keep(const QRawFont& font) const {
  for (const QRawFont& f : fonts_) {
    if (f == font) return &f;
  }
  return &fonts_.emplace_back(font);
}

ClusterGlyphs::Cluster ClusterGlyphs::shape(std::string_view bytes) const {
  Cluster c;
  const Utf8Char head = DecodeUtf8(bytes.data(), bytes.size());
  if (!head.valid) {
    // A stray byte: its value in hex, in the pane's own glyphs.
    c.escape = true;
    for (const QChar ch : escapeText(static_cast<unsigned char>(bytes[0]))) {
      const auto b = static_cast<unsigned char>(ch.unicode());
      c.glyphs.push_back({&bytes_.fonts()[bytes_.fontOf(b)], bytes_.glyph(b),
                          QPointF(qreal(c.width) / text::kUnits, 0)});
      c.width += bytes_.metrics().advance[b];
    }
    return c;
  }
  const Decoded d = DecodeRun(bytes, 0);
  QTextLayout layout(d.text, font_);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return c;
  c.width = Units(line.horizontalAdvance());
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont* font = keep(run.rawFont());
    const QList<quint32> indexes = run.glyphIndexes();
    const QList<QPointF> positions = run.positions();
    for (qsizetype i = 0; i < indexes.size(); ++i) {
      c.glyphs.push_back({font, indexes[i], positions[i] - QPointF(0, line.ascent())});
    }
  }
  return c;
}

std::int64_t ClusterGlyphs::place(std::string_view bytes, std::int64_t x, Sink& sink) const {
  const text::Metrics& m = bytes_.metrics();
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = charLength(bytes.substr(i));
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (n == 1 && b < 0x80) {
      if (b != ' ' && b != '\t') {
        sink.add(bytes_.fonts()[bytes_.fontOf(b)], bytes_.glyph(b),
                 QPointF(qreal(x) / text::kUnits, 0), false);
      }
      x += text::StepAt(m, b, x);
    } else {
      const Cluster& c = cluster(bytes.substr(i, n));
      const qreal left = qreal(x) / text::kUnits;
      for (const Glyph& g : c.glyphs)
        sink.add(*g.font, g.index, g.offset + QPointF(left, 0), c.escape);
      x += c.width;
    }
    i += n;
  }
  return x;
}

std::int64_t ClusterGlyphs::draw(QPainter& painter, qreal left, qreal baseline,
                                 std::string_view bytes, std::int64_t x,
                                 const QColor& escapeInk) const {
  PaintSink sink;
  x = place(bytes, x, sink);
  sink.paint(painter, left, baseline, escapeInk);
  return x;
}

}  // namespace quorlin::ui
