// SPDX-License-Identifier: Apache-2.0
// The document's bytes as characters and back, in its encoding. In
// Windows-1252 each byte is its Western character and a character the set
// cannot hold is stored as "?". In UTF-8 a valid sequence is its character
// and a stray byte (one that starts no valid sequence) reads as its Western
// character, so that no byte is lost from sight; every character can be
// stored.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QString>
#include <QStringView>

#include "text/LineLayout.h"

namespace quorlin::ui {

using text::Encoding;

// What the menu and the status line call an encoding.
QString EncodingName(Encoding encoding);

QString DecodeText(std::string_view bytes, Encoding encoding);
// Appends the bytes that store text to out.
void AppendText(std::string& out, QStringView text, Encoding encoding);
std::string EncodeText(QStringView text, Encoding encoding);

// The UTF-16 units the character that bytes (not empty) start with reads as:
// 2 for a character beyond U+FFFF, else 1.
std::size_t Utf16Units(std::string_view bytes);

}  // namespace quorlin::ui
