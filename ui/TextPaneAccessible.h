// SPDX-License-Identifier: Apache-2.0
// The pane as screen readers meet it: Qt's accessible text and editable-text
// interfaces over the pane's bytes (each byte one character, as shown), and
// the events that tell them of edits, caret moves and selections.
#pragma once

#include "text/History.h"

namespace quorlin::ui {

class TextPane;

// Makes Qt build the pane's accessible interface; call before the first pane.
void InstallTextPaneAccessibility();

// Events for assistive technology; nothing is done while none listens.
void NotifyTextChanged(TextPane* view, const text::Text& before, const text::Change& change);
void NotifyTextReplaced(TextPane* view, const text::Text& before);
void NotifySelectionMoved(TextPane* view);

}  // namespace quorlin::ui
