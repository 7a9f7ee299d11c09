// SPDX-License-Identifier: Apache-2.0
#include "ui/PaneTransfer.h"

#include <QMimeData>

#include "ui/Western.h"

namespace quorlin::ui {
namespace {

// A selection up to this many bytes goes to the clipboard as text at once.
constexpr std::size_t kEagerClipboard = 1 << 20;

// The selection, converted when first read.
class LazySelection final : public QMimeData {
 public:
  LazySelection(text::Text text, std::size_t from, std::size_t to)
      : text_(std::move(text)), from_(from), to_(to) {}
  QStringList formats() const override { return {QStringLiteral("text/plain")}; }
  bool hasFormat(const QString& mime) const override { return mime == QLatin1String("text/plain"); }

 protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override {
    if (mime != QLatin1String("text/plain")) return {};
    if (shown_.isNull()) shown_ = DecodeWestern(text_.slice(from_, to_));
    if (type.id() == QMetaType::QByteArray) return shown_.toUtf8();
    return shown_;
  }

 private:
  text::Text text_;
  std::size_t from_, to_;
  mutable QString shown_;
};

}  // namespace

std::string IncomingBytes(QStringView typed) {
  QString plain;
  plain.reserve(typed.size());
  for (qsizetype i = 0; i < typed.size(); ++i) {
    const QChar c = typed[i];
    if (c == QLatin1Char('\r')) {
      plain.append(QLatin1Char('\n'));
      if (i + 1 < typed.size() && typed[i + 1] == QLatin1Char('\n')) ++i;
    } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      plain.append(QLatin1Char('\n'));
    } else {
      plain.append(c);
    }
  }
  return EncodeWestern(plain);
}

QMimeData* SelectionMimeData(const text::Text& text, std::size_t from, std::size_t to) {
  if (to - from <= kEagerClipboard) {
    auto* mime = new QMimeData;
    mime->setText(DecodeWestern(text.slice(from, to)));
    return mime;
  }
  return new LazySelection(text, from, to);
}

}  // namespace quorlin::ui
