// The pane as screen readers meet it: Qt's accessible text and editable-text
// interfaces over the pane's bytes (each byte one character, as shown), and
// the events that tell them of edits, caret moves and selections.
#pragma once

#include "text/Document.h"

namespace quorlin::ui {

class TextView;

// Makes Qt build the pane's accessible interface; call before the first pane.
void InstallTextViewAccessibility();

// Events for assistive technology; nothing is done while none listens.
void NotifyTextChanged(TextView* view, const text::Text& before, const text::Change& change);
void NotifyTextReplaced(TextView* view, const text::Text& before);
void NotifySelectionMoved(TextView* view);

}  // namespace quorlin::ui
