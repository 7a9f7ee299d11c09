// SPDX-License-Identifier: Apache-2.0
#include "ui/Encodings.h"

#include "textutil/Utf8.h"
#include "ui/Western.h"

namespace quorlin::ui {

QString EncodingName(Encoding encoding) {
  return encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

QString DecodeText(std::string_view bytes, Encoding encoding) {
  if (encoding == Encoding::Windows1252) return DecodeWestern(bytes);
  if (QuorlinUtils::IsValidUtf8(bytes))
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  QString text;
  text.reserve(qsizetype(bytes.size()));
  for (std::size_t i = 0; i < bytes.size();) {
    const QuorlinUtils::Utf8Char c = QuorlinUtils::DecodeUtf8(bytes.data() + i, bytes.size() - i);
    if (!c.valid) {
      text.append(QChar(WesternChar(static_cast<unsigned char>(bytes[i]))));
    } else if (c.codePoint > 0xFFFF) {
      text.append(QChar(QChar::highSurrogate(c.codePoint)));
      text.append(QChar(QChar::lowSurrogate(c.codePoint)));
    } else {
      text.append(QChar(char16_t(c.codePoint)));
    }
    i += c.length;
  }
  return text;
}

void AppendText(std::string& out, QStringView text, Encoding encoding) {
  if (encoding == Encoding::Windows1252) {
    AppendWestern(out, text);
    return;
  }
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = QChar::ReplacementCharacter;  // half a pair is no character
    }
    QuorlinUtils::AppendUtf8(out, c);
  }
}

std::string EncodeText(QStringView text, Encoding encoding) {
  std::string out;
  out.reserve(std::size_t(text.size()));
  AppendText(out, text, encoding);
  return out;
}

std::size_t Utf16Units(std::string_view bytes) {
  const QuorlinUtils::Utf8Char c = QuorlinUtils::DecodeUtf8(bytes.data(), bytes.size());
  return c.valid && c.codePoint > 0xFFFF ? 2 : 1;
}

}  // namespace quorlin::ui
