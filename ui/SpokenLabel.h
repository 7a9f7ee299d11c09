// SPDX-License-Identifier: Apache-2.0
// A label that screen readers hear as plain words: its accessible name stays
// what the label is for ("Figures of the change"), its description holds the
// words and numbers it shows (a table of rich text, as one sentence), kept
// current without a sound, and it is announced only when the program says
// so, once, as a live region on the web is when its content settles.
#pragma once

#include <QString>

class QLabel;

namespace quorlin::ui {

// Makes the label one that is spoken; call it right after the label is made,
// before anything (setting its accessible name included) asks for its
// accessible interface.
void MakeSpokenLabel(QLabel* label);

// The words the label's description holds from now on; nothing is announced.
void SetSpokenWords(QLabel* label, const QString& words);
QString SpokenWords(const QLabel* label);

// Tells assistive tools, while any listens, that the description changed:
// they read it out.
void AnnounceSpokenWords(QLabel* label);

}  // namespace quorlin::ui
