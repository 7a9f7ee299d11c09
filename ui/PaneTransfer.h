// SPDX-License-Identifier: Apache-2.0
// Bytes into and out of the pane: what the user types, pastes or an input
// method commits becomes bytes of the Western set, and a selection goes to
// the clipboard as the characters its bytes show.
#pragma once

#include <cstddef>
#include <string>

#include <QStringView>

#include "text/Text.h"

class QMimeData;

namespace quorlin::ui {

// CR LF, a lone CR and the line and paragraph separators each become "\n"; a
// character the set cannot hold becomes "?".
std::string IncomingBytes(QStringView typed);

// Bytes [from, to) of text as plain text, a line break as "\n": converted at
// once when small, and only when something reads it otherwise (the text is a
// snapshot, so the pane may go on editing).
QMimeData* SelectionMimeData(const text::Text& text, std::size_t from, std::size_t to);

}  // namespace quorlin::ui
