// SPDX-License-Identifier: Apache-2.0
// The pane and the fields show the document's bytes through the Western
// (Windows-1252) character set. The five bytes that set leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) are shown as the code points of the same
// value, so every byte 0-255 has a character of its own and comes back
// unchanged. A character the set cannot hold is stored as "?".
#pragma once

#include <string>
#include <string_view>

#include <QString>
#include <QStringView>
#include <QValidator>

namespace quorlin::ui {

// The character that shows byte b.
char16_t WesternChar(unsigned char b);

// The byte that stores character c, or no value when the set cannot hold it.
// Only single UTF-16 units are looked at; a surrogate is never held.
bool WesternByte(char16_t c, char& byte);

// Each byte shown as its character.
QString DecodeWestern(std::string_view bytes);

// Each character stored as its byte; a character the set cannot hold (a
// surrogate pair counts as one) becomes "?". Appends to out.
void AppendWestern(std::string& out, QStringView text);
std::string EncodeWestern(QStringView text);

// The text with every character the set cannot hold replaced by "?" (a
// surrogate pair by one "?"), so that what is shown is what will be stored.
QString WesternOnly(QStringView text);
bool IsWesternOnly(QStringView text);

// Keeps a single-line field to the set: whatever is typed or pasted that the
// set cannot hold turns into "?" at once. Every text is acceptable. While the
// document is UTF-8 (western false) every character is kept.
class WesternValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  void setWestern(bool western) { western_ = western; }

 private:
  bool western_ = true;
};

}  // namespace quorlin::ui
