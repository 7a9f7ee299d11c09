#include "text/Document.h"

#include <algorithm>

namespace quorlin::text {

void Document::reset(Text text) {
  text_ = std::move(text);
  undo_.clear();
  redo_.clear();
  open_ = false;
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
  } else {
    undo_.push_back({text_, next, before, after, change, kind});
    if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
  }
  redo_.clear();
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
