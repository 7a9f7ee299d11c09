// SPDX-License-Identifier: Apache-2.0
#include "ui/ShapedRow.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QTextOption>

#include "textutil/Utf8.h"
#include "ui/ClusterGlyphs.h"
#include "ui/Encodings.h"

namespace quorlin::ui {
namespace {

std::int64_t Units(qreal pixels) {
  return std::int64_t(std::llround(pixels * qreal(text::kUnits)));
}

bool RightToLeft(char32_t c) {
  if (c < 0x0590) return false;
  switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirRLI:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool HoldsRightToLeft(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0xD6) {  // below U+0590 and stray bytes
      i += QuorlinUtils::Utf8CharLength(bytes, i);
      continue;
    }
    const QuorlinUtils::Utf8Char c = QuorlinUtils::DecodeUtf8(bytes.data() + i, bytes.size() - i);
    if (c.valid && RightToLeft(c.codePoint)) return true;
    i += c.length;
  }
  return false;
}

ShapedRow::ShapedRow(std::string_view bytes, const ClusterGlyphs& glyphs, const QFont& font,
                     qreal tabStop)
    : bytes_(bytes) {
  // The layout's text: each cluster's characters, a stray byte's escape.
  QString shown;
  shown.reserve(qsizetype(bytes.size()));
  QTextCharFormat escape;
  for (std::size_t i = 0; i < bytes.size();) {
    bounds_.emplace_back(i, int(shown.size()));
    const std::size_t n = glyphs.charLength(bytes.substr(i));
    const QuorlinUtils::Utf8Char c = QuorlinUtils::DecodeUtf8(bytes.data() + i, bytes.size() - i);
    if (c.valid) {
      shown += DecodeText(bytes.substr(i, n), text::Encoding::Utf8);
    } else {
      const QString e = ClusterGlyphs::escapeText(static_cast<unsigned char>(bytes[i]));
      escapes_.append({int(shown.size()), int(e.size()), escape});
      shown += e;
    }
    i += n;
  }
  bounds_.emplace_back(bytes.size(), int(shown.size()));

  QFont unkerned = font;
  unkerned.setKerning(false);  // as the other rows are drawn
  layout_.setFont(unkerned);
  layout_.setText(shown);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTextDirection(Qt::LeftToRight);
  option.setTabStopDistance(tabStop);
  layout_.setTextOption(option);
  layout_.setCacheEnabled(true);
  layout_.beginLayout();
  layout_.createLine();
  layout_.endLayout();
}

int ShapedRow::unitOf(std::size_t offset) const {
  const auto it = std::upper_bound(
      bounds_.begin(), bounds_.end(), offset,
      [](std::size_t o, const std::pair<std::size_t, int>& b) { return o < b.first; });
  return (it - 1)->second;
}

std::int64_t ShapedRow::xAt(std::size_t offset) const {
  return Units(layout_.lineAt(0).cursorToX(unitOf(offset)));
}

std::size_t ShapedRow::offsetAt(std::int64_t x) const {
  const int unit =
      layout_.lineAt(0).xToCursor(qreal(x) / text::kUnits, QTextLine::CursorBetweenCharacters);
  // The boundary nearest to the unit (one inside an escape goes to its
  // nearer end).
  const auto it =
      std::lower_bound(bounds_.begin(), bounds_.end(), unit,
                       [](const std::pair<std::size_t, int>& b, int u) { return b.second < u; });
  if (it == bounds_.end()) return bytes_.size();
  if (it == bounds_.begin() || it->second - unit <= unit - (it - 1)->second) return it->first;
  return (it - 1)->first;
}

std::int64_t ShapedRow::width() const {
  return Units(layout_.lineAt(0).horizontalAdvance());
}

qreal ShapedRow::ascent() const {
  return layout_.lineAt(0).ascent();
}

void ShapedRow::draw(QPainter& painter, qreal left, qreal top, std::size_t selFrom,
                     std::size_t selTo, const QColor& highlight, const QColor& highlighted,
                     const QColor& escapeInk) const {
  QList<QTextLayout::FormatRange> formats = escapes_;
  for (QTextLayout::FormatRange& f : formats) f.format.setForeground(escapeInk);
  if (selFrom < selTo) {
    QTextLayout::FormatRange selected;
    selected.start = unitOf(selFrom);
    selected.length = unitOf(selTo) - selected.start;
    selected.format.setBackground(highlight);
    selected.format.setForeground(highlighted);
    formats.append(selected);
  }
  layout_.draw(&painter, QPointF(left, top), formats);
}

const ShapedRow* ShapedRows::find(std::string_view bytes) {
  if (bytes.size() > ShapedRow::kLongest || !HoldsRightToLeft(bytes)) return nullptr;
  for (const auto& row : rows_) {
    if (row->bytes() == bytes) return row.get();
  }
  if (rows_.size() >= 128) rows_.pop_front();
  rows_.push_back(std::make_unique<ShapedRow>(bytes, glyphs_, font_, tabStop_));
  return rows_.back().get();
}

}  // namespace quorlin::ui
