// SPDX-License-Identifier: Apache-2.0
#include "text/Document.h"

#include <algorithm>
#include <unordered_set>

namespace quorlin::text {

void Document::reset(Text text) {
  text_ = std::move(text);
  saved_ = text_;
  undo_.clear();
  redo_.clear();
  open_ = false;
}

void Document::push(Step step) {
  const bool whole = step.wholeText;
  undo_.push_back(std::move(step));
  redo_.clear();
  if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
  if (whole && wholeSteps() > kMaxWholeSteps) dropOldestWholeStep();
}

Change Document::replaceAll(Text text, Selection before) {
  const Change change{0, text_.size(), text.size()};
  push({text_, text, before, {}, change, EditKind::Other, true});
  text_ = std::move(text);
  open_ = false;
  return change;
}

std::size_t Document::wholeSteps() const {
  return std::size_t(
      std::count_if(undo_.begin(), undo_.end(), [](const Step& s) { return s.wholeText; }));
}

bool Document::dropOldestWholeStep() {
  const auto oldest =
      std::find_if(undo_.begin(), undo_.end(), [](const Step& s) { return s.wholeText; });
  if (oldest == undo_.end()) return false;
  undo_.erase(undo_.begin(), oldest + 1);
  return true;
}

std::vector<std::shared_ptr<const Buffer>> Document::historyOnlyBuffers(std::size_t minSize) const {
  std::unordered_set<const Buffer*> current;
  for (const auto& b : text_.buffers()) current.insert(b.get());
  std::unordered_set<const Buffer*> seen;
  std::vector<std::shared_ptr<const Buffer>> out;
  // Large buffers come in with whole-text steps (a file, a run's result);
  // the edits between share them. (A large paste keeps its own buffer.)
  for (const auto* steps : {&undo_, &redo_}) {
    for (const Step& step : *steps) {
      if (!step.wholeText) continue;
      for (const Text* t : {&step.before, &step.after}) {
        for (auto& b : t->buffers()) {
          if (b->size() >= minSize && !current.count(b.get()) && seen.insert(b.get()).second)
            out.push_back(std::move(b));
        }
      }
    }
  }
  return out;
}

void Document::swapBuffers(const BufferSwap::Swaps& swaps) {
  // Every text is swapped before any is replaced: the swap recognises parts
  // by their address, which must not be freed and reused meanwhile.
  if (swaps.empty()) return;
  BufferSwap swap(swaps);
  std::vector<Text> swapped;
  swapped.push_back(swap.apply(text_));
  swapped.push_back(swap.apply(saved_));
  for (auto* steps : {&undo_, &redo_}) {
    for (Step& step : *steps) {
      swapped.push_back(swap.apply(step.before));
      swapped.push_back(swap.apply(step.after));
    }
  }
  std::size_t i = 0;
  text_ = std::move(swapped[i++]);
  saved_ = std::move(swapped[i++]);
  for (auto* steps : {&undo_, &redo_}) {
    for (Step& step : *steps) {
      step.before = std::move(swapped[i++]);
      step.after = std::move(swapped[i++]);
    }
  }
}

bool Document::extends(const Step& step, std::size_t from, std::size_t to, EditKind kind) const {
  if (!open_ || kind != step.kind || kind == EditKind::Other) return false;
  const std::size_t caret = step.selectionAfter.position;
  switch (kind) {
    case EditKind::Typing:
      return from == caret && to == caret;
    case EditKind::Backspace:
      return to == caret;
    case EditKind::Delete:
      return from == caret;
    case EditKind::Other:
      break;
  }
  return false;
}

Change Document::replace(std::size_t from, std::size_t to, std::string_view bytes, EditKind kind,
                         Selection before, Selection after) {
  to = std::min(to, text_.size());
  from = std::min(from, to);
  const Change change{from, to - from, bytes.size()};
  if (change.removed == 0 && change.inserted == 0) return change;
  Text next = text_.erase(from, to).insert(from, bytes, chunks_);

  if (!undo_.empty() && extends(undo_.back(), from, to, kind)) {
    // One step for the group: its changed region covers both edits.
    Step& step = undo_.back();
    const Change& c = step.change;
    const std::size_t start = std::min(c.offset, from);
    const std::size_t end = std::max(c.offset + c.inserted, to);  // in the text between
    const std::size_t beforeEnd = end - c.inserted + c.removed;
    step.change = {start, beforeEnd - start, end + bytes.size() - (to - from) - start};
    step.after = next;
    step.selectionAfter = after;
    redo_.clear();
  } else {
    push({text_, next, before, after, change, kind});
  }
  text_ = std::move(next);
  open_ = kind != EditKind::Other;
  return change;
}

std::optional<Document::Restored> Document::undo() {
  if (undo_.empty()) return std::nullopt;
  Step step = std::move(undo_.back());
  undo_.pop_back();
  text_ = step.before;
  open_ = false;
  const Change& c = step.change;
  Restored r{{c.offset, c.inserted, c.removed}, step.selectionBefore};
  redo_.push_back(std::move(step));
  return r;
}

std::optional<Document::Restored> Document::redo() {
  if (redo_.empty()) return std::nullopt;
  Step step = std::move(redo_.back());
  redo_.pop_back();
  text_ = step.after;
  open_ = false;
  Restored r{step.change, step.selectionAfter};
  undo_.push_back(std::move(step));
  return r;
}

}  // namespace quorlin::text
