// SPDX-License-Identifier: Apache-2.0
// History: the text being edited, with its undo and redo history, and where
// the history keeps its large texts.
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
// The text as last opened or saved is remembered: the text is modified while
// it is another text object than that one (an undo back to it makes it
// unmodified again; an edit and its reverse by hand do not).
//
// What made the current text since the last reset follows undo and redo:
// the change runs in order (a recipe's steps each as a run) and the places
// where hand edits came between them. It outlives the steps the history
// forgets, so that it still names every run when undo can no longer reach
// the first.
//
// The texts of whole-text steps are what makes a history large. Those of at
// least kOnDiskFrom bytes that only the history holds go to unnamed files on
// disk (HistoryKeeper); what stays in memory is kept within twice the text's
// size (at least kMemoryFloor): the oldest runs go first.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/Recipe.h"
#include "text/Selection.h"
#include "text/Text.h"

namespace quorlin::text {

enum class EditKind { Typing, Backspace, Delete, Other };

// A link of what made a text: the requests of a change run (one, or a
// recipe's steps in order, each with the line end it forces), or, with none,
// hand edits (one or more in a row, or a replacement of the whole text that
// no request made).
struct Making {
  std::vector<RecipeStep> runs;
  bool handEdits() const { return runs.empty(); }
};

class History {
 public:
  const Text& text() const { return text_; }

  // Replaces the whole text and forgets the history; the text counts as
  // saved.
  void reset(Text text);

  // Replaces the whole text as one step of the history (a change run, made
  // by the requests runs in order). The selection before it is restored on
  // undo; after it the caret is at 0.
  Change replaceAll(Text text, Selection before, std::vector<RecipeStep> runs = {});

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

  // Texts of at least this size that only the history holds belong on disk:
  // a file each for smaller ones would cost more than it saves.
  static constexpr std::size_t kOnDiskFrom = std::size_t(1) << 20;
  static constexpr std::size_t kMemoryFloor = std::size_t(64) << 20;
  // The buffers of at least kOnDiskFrom bytes that only the history holds
  // and that are still in memory.
  std::vector<std::shared_ptr<const Buffer>> buffersForDisk() const;
  // Forgets the oldest whole-text steps (never the last) while the buffers
  // only the history holds in memory take more than twice the text, or
  // kMemoryFloor when that is more.
  void capMemory();

  // What made the current text since the last reset, oldest first: hand
  // edits in a row are one link.
  const std::vector<Making>& making() const { return making_; }

  // Whether the current text is another than the one last opened or saved.
  bool modified() const { return !text_.sameAs(saved_); }
  // text (a snapshot of this history's) is the one saved.
  void markSaved(Text text) { saved_ = std::move(text); }
  void markSaved() { saved_ = text_; }

  // Every buffer of at least minSize bytes that the texts before and after
  // the whole-text steps hold and the current text does not, each once.
  std::vector<std::shared_ptr<const Buffer>> historyOnlyBuffers(std::size_t minSize) const;
  // Puts each replacement in place of its buffer (byte for byte the same) in
  // every text the history holds.
  void swapBuffers(const BufferSwap::Swaps& swaps);

 private:
  struct Step {
    Text before, after;
    Selection selectionBefore, selectionAfter;
    Change change;  // before -> after
    EditKind kind;
    bool wholeText = false;
    std::vector<RecipeStep> runs;  // what made a whole-text step
    std::size_t makingBefore = 0;  // links of making_ before the step
  };
  // making_ as it is after step, which was made on making_'s first
  // step.makingBefore links.
  void madeBy(const Step& step);
  bool extends(const Step& step, std::size_t from, std::size_t to, EditKind kind) const;

  void push(Step step);

  Text text_;
  Text saved_;
  AppendChunks chunks_;
  std::vector<Step> undo_, redo_;
  std::vector<Making> making_;
  bool open_ = false;
};

// Copies of buffers in unnamed files of folder (Buffer::copyToDisk), each
// beside the buffer it replaces; one that could not be made is left out.
// Safe on any thread: the buffers are immutable.
BufferSwap::Swaps CopyToDisk(const std::vector<std::shared_ptr<const Buffer>>& buffers,
                             const std::string& folder);

// Moves a history's large texts to disk after each whole-text step, on a
// thread of its own so that the window goes on meanwhile: one copy at a
// time, and a step during a copy asks for another after it. Without a
// folder, or where copies fail, the texts stay in memory within the
// history's cap.
class HistoryKeeper {
 public:
  // post(task) runs task later on the thread that owns the history; a task
  // posted while the owner is being destroyed may be dropped.
  using Post = std::function<void(std::function<void()>)>;
  HistoryKeeper(History& history, Post post) : history_(history), post_(std::move(post)) {}
  HistoryKeeper(const HistoryKeeper&) = delete;
  HistoryKeeper& operator=(const HistoryKeeper&) = delete;
  ~HistoryKeeper();  // waits for a copy under way

  void setFolder(std::string folder) { folder_ = std::move(folder); }
  // After a whole-text step. kept() runs on the owner's thread once the
  // history's texts are on disk (or were left in memory and capped).
  void keep(std::function<void()> kept);

 private:
  void copied(const BufferSwap::Swaps& swaps);

  History& history_;
  Post post_;
  std::string folder_;
  std::function<void()> kept_;
  std::thread copier_;
  bool copying_ = false, again_ = false;
};

}  // namespace quorlin::text
