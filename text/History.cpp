// SPDX-License-Identifier: Apache-2.0
#include "text/History.h"

#include <algorithm>
#include <unordered_set>

namespace quorlin::text {

void History::reset(Text text) {
  text_ = std::move(text);
  saved_ = text_;
  undo_.clear();
  redo_.clear();
  making_.clear();
  open_ = false;
}

void History::madeBy(const Step& step) {
  making_.resize(step.makingBefore);
  if (!step.runs.empty()) {
    making_.push_back({step.runs});
  } else if (making_.empty() || !making_.back().handEdits()) {
    making_.emplace_back();
  }
}

void History::push(Step step) {
  const bool whole = step.wholeText;
  step.makingBefore = making_.size();
  madeBy(step);
  undo_.push_back(std::move(step));
  redo_.clear();
  if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
  if (whole && wholeSteps() > kMaxWholeSteps) dropOldestWholeStep();
}

Change History::replaceAll(Text text, Selection before, std::vector<RecipeStep> runs) {
  const Change change{0, text_.size(), text.size()};
  push({text_, text, before, {}, change, EditKind::Other, true, std::move(runs), 0});
  text_ = std::move(text);
  open_ = false;
  return change;
}

std::size_t History::wholeSteps() const {
  return std::size_t(
      std::count_if(undo_.begin(), undo_.end(), [](const Step& s) { return s.wholeText; }));
}

bool History::dropOldestWholeStep() {
  const auto oldest =
      std::find_if(undo_.begin(), undo_.end(), [](const Step& s) { return s.wholeText; });
  if (oldest == undo_.end()) return false;
  undo_.erase(undo_.begin(), oldest + 1);
  return true;
}

std::vector<std::shared_ptr<const Buffer>> History::historyOnlyBuffers(std::size_t minSize) const {
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

void History::swapBuffers(const BufferSwap::Swaps& swaps) {
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

std::vector<std::shared_ptr<const Buffer>> History::buffersForDisk() const {
  std::vector<std::shared_ptr<const Buffer>> out;
  for (auto& b : historyOnlyBuffers(kOnDiskFrom)) {
    if (!b->onDisk()) out.push_back(std::move(b));
  }
  return out;
}

void History::capMemory() {
  auto inMemory = [this] {
    std::size_t bytes = 0;
    for (const auto& b : buffersForDisk()) bytes += b->size();
    return bytes;
  };
  const std::size_t budget = std::max(2 * text_.size(), kMemoryFloor);
  while (inMemory() > budget && wholeSteps() > 1 && dropOldestWholeStep()) {
  }
}

bool History::extends(const Step& step, std::size_t from, std::size_t to, EditKind kind) const {
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

Change History::replace(std::size_t from, std::size_t to, std::string_view bytes, EditKind kind,
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
    push({text_, next, before, after, change, kind, false, {}, 0});
  }
  text_ = std::move(next);
  open_ = kind != EditKind::Other;
  return change;
}

std::optional<History::Restored> History::undo() {
  if (undo_.empty()) return std::nullopt;
  Step step = std::move(undo_.back());
  undo_.pop_back();
  text_ = step.before;
  making_.resize(step.makingBefore);
  open_ = false;
  const Change& c = step.change;
  Restored r{{c.offset, c.inserted, c.removed}, step.selectionBefore};
  redo_.push_back(std::move(step));
  return r;
}

std::optional<History::Restored> History::redo() {
  if (redo_.empty()) return std::nullopt;
  Step step = std::move(redo_.back());
  redo_.pop_back();
  text_ = step.after;
  madeBy(step);
  open_ = false;
  Restored r{step.change, step.selectionAfter};
  undo_.push_back(std::move(step));
  return r;
}

BufferSwap::Swaps CopyToDisk(const std::vector<std::shared_ptr<const Buffer>>& buffers,
                             const std::string& folder) {
  BufferSwap::Swaps swaps;
  for (const auto& b : buffers) {
    if (auto copy = Buffer::copyToDisk(*b, folder)) swaps.emplace_back(b.get(), std::move(copy));
  }
  return swaps;
}

// ---- HistoryKeeper ----

HistoryKeeper::~HistoryKeeper() {
  if (copier_.joinable()) copier_.join();
}

void HistoryKeeper::keep(std::function<void()> kept) {
  kept_ = std::move(kept);
  if (copying_) {
    again_ = true;
    return;
  }
  std::vector<std::shared_ptr<const Buffer>> buffers;
  if (!folder_.empty()) buffers = history_.buffersForDisk();
  if (buffers.empty()) {
    copied({});
    return;
  }
  copying_ = true;
  if (copier_.joinable()) copier_.join();
  copier_ = std::thread([this, buffers = std::move(buffers), folder = folder_] {
    BufferSwap::Swaps swaps = CopyToDisk(buffers, folder);
    // The buffers travel with the swaps: the history may drop them meanwhile,
    // and the swap recognises them by address.
    post_([this, swaps = std::move(swaps), buffers] { copied(swaps); });
  });
}

void HistoryKeeper::copied(const BufferSwap::Swaps& swaps) {
  copying_ = false;
  history_.swapBuffers(swaps);
  history_.capMemory();
  if (again_) {
    again_ = false;
    keep(std::move(kept_));
    return;
  }
  if (kept_) kept_();
}

}  // namespace quorlin::text
