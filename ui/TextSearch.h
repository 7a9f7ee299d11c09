// Finding a text in the pane: forward from an offset, case-blind, matching
// anywhere (inside words too). Offsets count characters from the start of the
// text, a line break counting as one.
//
// Case-blind means: every letter the pane can show whose other case it can
// also show matches that other case: the ASCII letters, the accented letters
// of the Western set (A-grave with a-grave and so on), and the pairs S-caron,
// OE, Z-caron and Y-diaeresis. Characters without a partner in the set (sharp
// s, the micro sign) match only themselves. Each character folds to exactly
// one character, so a match is always as long as the search text.
#pragma once

#include <QString>

class QTextDocument;

namespace quorlin::ui {

// The character that c is compared as when case is ignored.
char16_t SearchFold(char16_t c);

// The offset of the first match of text at or after from, or -1. A text that
// holds a line break never matches: the search runs within lines. An empty
// text never matches.
int FindForward(const QTextDocument& document, const QString& text, int from);

}  // namespace quorlin::ui
