// SPDX-License-Identifier: Apache-2.0
// The pane's keys: what each key press asks of the pane, from the platform's
// standard keys (Qt's QKeySequence::StandardKey), so that the caret and
// editing keys are those the user knows from other programs.
#pragma once

#include "text/Moves.h"

class QKeyEvent;

namespace quorlin::ui {

struct PaneKey {
  enum class Command {
    None,  // not the pane's: the window may take it
    Move,  // the caret, by move; select extends the selection
    Undo,
    Redo,
    CopySelection,
    CutSelection,
    PasteClipboard,
    SelectAll,
    DeleteWordBefore,  // the selection, or back to the word's start
    DeleteWordAfter,   // the selection, or on to the next word
    DeleteForward,     // the selection, or the character after the caret
    DeleteBack,        // the selection, or the character before the caret
    LineBreak,
    Tab,
    Type,  // the key's text
  };
  Command command = Command::None;
  text::Move move = text::Move::NextChar;
  bool select = false;
};

PaneKey KeyOf(const QKeyEvent& event);

// Whether the pane takes the key before the window's shortcuts do, while it
// has the focus: its editing keys, word moves and the plain keys that type.
bool PaneOwnsKey(const QKeyEvent& event);

}  // namespace quorlin::ui
