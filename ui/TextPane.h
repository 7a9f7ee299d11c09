// The editing pane: a plain-text view of the document's lines. Text goes in
// and out as bytes through the Western character set (ui/Western.h); what the
// user types or pastes is limited to that set as it arrives, a character the
// set cannot hold becoming "?".
#pragma once

#include <cstddef>

#include <QPlainTextEdit>

#include "engine/LineList.h"

namespace quorlin::ui {

class TextPane : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TextPane(QWidget* parent = nullptr);

  // The document's lines, read block by block. The pane shows every line
  // followed by a line break, so a last block that is empty is no line: an
  // empty pane has no lines, and a text typed with a final line break has as
  // many lines as line breaks.
  LineList lines() const;
  std::size_t lineCount() const;

  // Replaces the whole text with these lines in one step; the replacement is
  // kept out of the undo history.
  void setLines(const LineList& lines);

 protected:
  // The selection as plain text with "\n" between lines; every character
  // stays as it is shown (a no-break space stays one).
  QMimeData* createMimeDataFromSelection() const override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace quorlin::ui
