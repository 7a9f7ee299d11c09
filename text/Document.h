// SPDX-License-Identifier: Apache-2.0
// Document: the text being edited, with its undo and redo history.
//
// Each history step keeps the whole text before and after it: a Text is a
// snapshot sharing all but the edited path with its neighbours, so a step
// costs a few kilobytes, undo and redo are exact to the byte and take no
// time, and the text before a replacement of everything (a load, a change
// run) stays whole for as long as a step holds it.
//
// Steps are grouped as a user expects: characters typed one after another
// form one step, and so do Backspaces in a row and Deletes in a row; a line
// break, a paste, a cut and every other edit are steps of their own; moving
// the caret (closeGroup) ends a group. A replacement of the whole text (a
// change run) is one step among the edits; the last kMaxWholeSteps of them
// are kept, with the edits between them.
//
// The text as last opened or saved is remembered: the document is modified
// while its text is another text object than that one (an undo back to it
// makes it unmodified again; an edit and its reverse by hand do not).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "text/Text.h"

namespace quorlin::text {

struct Selection {
  std::size_t anchor = 0;
  std::size_t position = 0;
  std::size_t start() const { return anchor < position ? anchor : position; }
  std::size_t end() const { return anchor < position ? position : anchor; }
  bool empty() const { return anchor == position; }
  bool operator==(const Selection&) const = default;
};

// What an edit did: bytes [offset, offset + removed) of the text before were
// replaced by bytes [offset, offset + inserted) of the text after.
struct Change {
  std::size_t offset = 0;
  std::size_t removed = 0;
  std::size_t inserted = 0;
};

enum class EditKind { Typing, Backspace, Delete, Other };

class Document {
 public:
  const Text& text() const { return text_; }

  // Replaces the whole text and forgets the history; the text counts as
  // saved.
  void reset(Text text);

  // Replaces the whole text as one step of the history (a change run). The
  // selection before it is restored on undo; after it the caret is at 0.
  Change replaceAll(Text text, Selection before);

  // Replaces bytes [from, to) by bytes (which hold no CR) and records the
  // step. before and after are the selections to restore on undo and redo.
  Change replace(std::size_t from, std::size_t to, std::string_view bytes, EditKind kind,
                 Selection before, Selection after);

  // The next edit starts a step of its own.
  void closeGroup() { open_ = false; }

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }

  struct Restored {
    Change change;
    Selection selection;
  };
  std::optional<Restored> undo();
  std::optional<Restored> redo();

  // Steps kept; the oldest go first.
  static constexpr std::size_t kMaxSteps = 10000;
  // Whole-text steps kept among them; when one more is made, the oldest goes
  // with every step before it.
  static constexpr std::size_t kMaxWholeSteps = 20;
  std::size_t wholeSteps() const;
  // Forgets the oldest whole-text step that can be undone and every step
  // before it; false when there is none.
  bool dropOldestWholeStep();

  // Whether the current text is another than the one last opened or saved.
  bool modified() const { return !text_.sameAs(saved_); }
  // text (a snapshot of this document's) is the one saved.
  void markSaved(Text text) { saved_ = std::move(text); }
  void markSaved() { saved_ = text_; }

  // Every buffer of at least minSize bytes that the texts before and after
  // the whole-text steps hold and the current text does not, each once.
  std::vector<std::shared_ptr<const Buffer>> historyOnlyBuffers(std::size_t minSize) const;
  // Puts each replacement in place of its buffer (byte for byte the same) in
  // every text the document holds.
  void swapBuffers(const BufferSwap::Swaps& swaps);

 private:
  struct Step {
    Text before, after;
    Selection selectionBefore, selectionAfter;
    Change change;  // before -> after
    EditKind kind;
    bool wholeText = false;
  };
  bool extends(const Step& step, std::size_t from, std::size_t to, EditKind kind) const;

  void push(Step step);

  Text text_;
  Text saved_;
  AppendChunks chunks_;
  std::vector<Step> undo_, redo_;
  bool open_ = false;
};

}  // namespace quorlin::text
