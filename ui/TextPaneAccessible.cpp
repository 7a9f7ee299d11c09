// SPDX-License-Identifier: Apache-2.0
#include "ui/TextPaneAccessible.h"

#include <algorithm>
#include <climits>

#include <QAccessibleWidget>

#include "ui/TextPane.h"
#include "ui/Western.h"

namespace quorlin::ui {
namespace {

// Texts longer than this are not put into change events in full: a screen
// reader reads them through the text interface instead.
constexpr std::size_t kEventTextLimit = 1 << 20;

int Clamp(std::size_t n) {
  return int(std::min<std::size_t>(n, INT_MAX));
}

// A piece of the text around an offset, for Qt's own word, sentence and line
// boundaries: the default implementations below look at this piece only,
// never at the whole text.
class Window final : public QAccessibleTextInterface {
 public:
  explicit Window(QString text) : text_(std::move(text)) {}
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return text_.mid(start, end - start); }
  int characterCount() const override { return int(text_.size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = *end = 0;
    return {};
  }

 private:
  QString text_;
};

class AccessibleTextPane final : public QAccessibleWidget,
                                 public QAccessibleTextInterface,
                                 public QAccessibleEditableTextInterface {
 public:
  explicit AccessibleTextPane(TextPane* view)
      : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
      return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return text(0, characterCount());
    return QAccessibleWidget::text(t);
  }

  // Selection and caret.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !view()->hasSelection()) return;
    *start = Clamp(view()->selection().start());
    *end = Clamp(view()->selection().end());
  }
  int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override {
    const std::size_t caret = view()->selection().position;
    view()->setSelection(caret, caret);
  }
  void setSelection(int, int start, int end) override {
    view()->setSelection(std::size_t(std::max(0, start)), std::size_t(std::max(0, end)));
  }
  int cursorPosition() const override { return Clamp(view()->selection().position); }
  void setCursorPosition(int position) override {
    view()->setSelection(std::size_t(std::max(0, position)), std::size_t(std::max(0, position)));
  }

  // Text.
  QString text(int start, int end) const override {
    return DecodeWestern(
        view()->text().slice(std::size_t(std::max(0, start)), std::size_t(std::max(0, end))));
  }
  int characterCount() const override { return Clamp(view()->text().size()); }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override {
    return around(offset, type, start, end, &QAccessibleTextInterface::textBeforeOffset);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override {
    return around(offset, type, start, end, &QAccessibleTextInterface::textAfterOffset);
  }
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                       int* end) const override {
    return around(offset, type, start, end, &QAccessibleTextInterface::textAtOffset);
  }

  // Geometry.
  QRect characterRect(int offset) const override {
    const QRect r = view()->byteRect(std::size_t(std::max(0, offset)));
    return {view()->viewport()->mapToGlobal(r.topLeft()), r.size()};
  }
  int offsetAtPoint(const QPoint& point) const override {
    return Clamp(view()->offsetAt(view()->viewport()->mapFromGlobal(point)));
  }
  void scrollToSubstring(int start, int) override {
    view()->ensureVisible(std::size_t(std::max(0, start)));
  }
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

  // Editing.
  void deleteText(int start, int end) override { replaceText(start, end, QString()); }
  void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override {
    view()->replaceRange(std::size_t(std::max(0, start)), std::size_t(std::max(0, end)), text);
  }

 private:
  TextPane* view() const { return static_cast<TextPane*>(widget()); }

  using Boundary = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType, int*,
                                                         int*) const;
  // Qt's own boundaries, worked out on the lines before, at and after the
  // offset (at most 64 KB each way).
  QString around(int offset, QAccessible::TextBoundaryType type, int* start, int* end,
                 Boundary boundary) const {
    const text::Text& t = view()->text();
    if (type == QAccessible::NoBoundary) {
      *start = 0;
      *end = characterCount();
      return text(0, *end);
    }
    const std::size_t at = std::min(std::size_t(std::max(0, offset)), t.size());
    const std::size_t line = t.lineAt(at);
    constexpr std::size_t kReach = std::size_t{64} * 1024;
    std::size_t from = t.lineStart(line > 0 ? line - 1 : 0);
    std::size_t to = t.lineEnd(std::min(line + 1, t.breaks()));
    from = std::max(from, at > kReach ? at - kReach : 0);
    to = std::min(to, at + kReach);
    const Window window(DecodeWestern(t.slice(from, to)));
    QString found = (window.*boundary)(int(at - from), type, start, end);
    *start += int(from);
    *end += int(from);
    return found;
  }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("quorlin::ui::TextPane") && object && object->isWidgetType())
    return new AccessibleTextPane(static_cast<TextPane*>(object));
  return nullptr;
}

}  // namespace

void InstallTextPaneAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void NotifyTextChanged(TextPane* view, const text::Text& before, const text::Change& c) {
  if (!QAccessible::isActive()) return;
  if (c.removed > kEventTextLimit || c.inserted > kEventTextLimit) {
    NotifyTextReplaced(view, before);
    return;
  }
  const int at = Clamp(c.offset);
  if (c.removed > 0 && c.inserted > 0) {
    QAccessibleTextUpdateEvent e(
        view, at, DecodeWestern(before.slice(c.offset, c.offset + c.removed)),
        DecodeWestern(view->text().slice(c.offset, c.offset + c.inserted)));
    QAccessible::updateAccessibility(&e);
  } else if (c.removed > 0) {
    QAccessibleTextRemoveEvent e(view, at,
                                 DecodeWestern(before.slice(c.offset, c.offset + c.removed)));
    QAccessible::updateAccessibility(&e);
  } else if (c.inserted > 0) {
    QAccessibleTextInsertEvent e(
        view, at, DecodeWestern(view->text().slice(c.offset, c.offset + c.inserted)));
    QAccessible::updateAccessibility(&e);
  }
}

void NotifyTextReplaced(TextPane* view, const text::Text& before) {
  if (!QAccessible::isActive()) return;
  // A whole new text: told in full while it is of a size to be told.
  const text::Text& now = view->text();
  if (before.size() <= kEventTextLimit && now.size() <= kEventTextLimit) {
    QAccessibleTextUpdateEvent e(view, 0, DecodeWestern(before.slice(0, before.size())),
                                 DecodeWestern(now.slice(0, now.size())));
    QAccessible::updateAccessibility(&e);
    return;
  }
  QAccessibleEvent e(view, QAccessible::ObjectReorder);
  QAccessible::updateAccessibility(&e);
}

void NotifySelectionMoved(TextPane* view) {
  if (!QAccessible::isActive()) return;
  const text::Selection s = view->selection();
  QAccessibleTextCursorEvent caret(view, Clamp(s.position));
  QAccessible::updateAccessibility(&caret);
  QAccessibleTextSelectionEvent selection(view, Clamp(s.start()), Clamp(s.end()));
  QAccessible::updateAccessibility(&selection);
}

}  // namespace quorlin::ui
