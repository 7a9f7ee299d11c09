// SPDX-License-Identifier: Apache-2.0
#include "ui/ViewCommands.h"

#include <optional>

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "text/Search.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/Encodings.h"
#include "ui/FindDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/StatusLine.h"
#include "ui/TextPane.h"
#include "ui/Western.h"

namespace quorlin::ui {

ViewCommands::ViewCommands(QWidget& window, MainWindowUi& ui, Dialogs& dialogs)
    : window_(window),
      ui_(ui),
      dialogs_(dialogs),
      find_(new FindDialog(&window)),
      status_(std::make_unique<StatusLine>(*ui.pane, *ui.statusBar)) {
  ui_.searchButton->installEventFilter(this);
}

ViewCommands::~ViewCommands() = default;

// ---- Search ----

void ViewCommands::openFindDialog() {
  const TextPane& pane = *ui_.pane;
  find_->openAt(pane.mapToGlobal(QPoint(pane.width() / 2, 0)));
  ui_.pane->viewport()->update();
}

void ViewCommands::findNext() {
  TextPane& pane = *ui_.pane;
  const QString typed = find_->searchText();
  if (typed.isEmpty()) return;
  const text::Selection selection = pane.selection();
  const std::size_t from = selection.empty() ? 0 : selection.end();
  // What is typed is looked for as the bytes that store it in the text's
  // encoding. A Western text holds only characters of the set: a search text
  // with any other character, or a line break, is found nowhere there.
  const Encoding encoding = pane.encoding();
  const std::string needle = EncodeText(typed, encoding);
  std::size_t at = text::npos;
  std::size_t length = needle.size();
  const bool findable = encoding == Encoding::Utf8 || IsWesternOnly(typed);
  if (find_->isPattern()) {
    if (!findPattern_ || needle != findPatternText_ || encoding != findPatternEncoding_) {
      // Case-blind as the plain search, for the letters a-z. The pattern is
      // matched on the text's bytes in Windows-1252, on its characters in
      // UTF-8.
      KeyPattern::Compiled c = KeyPattern::compile(needle, false, {}, encoding);
      if (!c.pattern) {
        dialogs_.message(DecodeText(
            "The search text is not a valid pattern: " + c.message.substr(kNotAPattern.size()),
            encoding));
        return;
      }
      findPattern_ = std::move(c.pattern);
      findPatternText_ = needle;
      findPatternEncoding_ = encoding;
    }
    if (findable) {
      const text::PatternMatch m = text::FindPatternForward(pane.text(), *findPattern_, from);
      at = m.at;
      length = m.length;
    }
  } else if (findable) {
    at = text::FindForward(pane.text(), needle, from, encoding);
  }
  if (at == text::npos) {
    dialogs_.message(QString::fromLatin1(kNoMoreInstances));
    return;
  }
  // The match is shown, on its page, with the focus in the pane.
  ui_.pages->setCurrentWidget(ui_.textPage);
  window_.activateWindow();
  pane.setFocus(Qt::OtherFocusReason);
  pane.setSelection(at, at + length);
}

void ViewCommands::returnFocusToPane() {
  if (ui_.searchButton->hasFocus() || !ui_.pane->isVisible()) return;
  ui_.pane->setFocus(Qt::OtherFocusReason);
}

bool ViewCommands::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_.searchButton && event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    // Not inside the change of focus: the focus would end where it was going.
    QMetaObject::invokeMethod(this, &ViewCommands::searchButtonLeft, Qt::QueuedConnection);
  }
  return QObject::eventFilter(watched, event);
}

// ---- Status line ----

void ViewCommands::updateStatusLine() {
  status_->update();
}

// ---- View ----

void ViewCommands::toggleWordWrap() {
  TextPane& pane = *ui_.pane;
  if (!pane.wordWrap()) dialogs_.message(QString::fromLatin1(kWordWrapNotice));
  const BusyCursor busy;  // every line is measured anew
  pane.setWordWrap(!pane.wordWrap());
}

void ViewCommands::chooseFont() {
  dialogs_.message(QString::fromLatin1(kFontReminder));
  // The dialog starts from the font last chosen in it, at first the pane's own.
  const QFont start = fontDialogFont_.value_or(ui_.pane->font());
  const std::optional<QFont> chosen = dialogs_.chooseFont(start);
  if (!chosen) return;
  fontDialogFont_ = *chosen;
  const BusyCursor busy;
  ui_.pane->setFont(*chosen);
  ui_.pane->ensureCaretVisible();
}

// ---- Clipboard ----

QLineEdit* ViewCommands::focusedField() const {
  auto* field = qobject_cast<QLineEdit*>(window_.focusWidget());
  return field != nullptr && !field->isReadOnly() ? field : nullptr;
}

bool ViewCommands::paneShown() const {
  return ui_.pages->currentWidget() == ui_.textPage;
}

void ViewCommands::cut() {
  if (QLineEdit* field = focusedField()) {
    field->cut();
  } else if (paneShown()) {
    ui_.pane->cut();
  }
}

void ViewCommands::copy() {
  if (QLineEdit* field = focusedField()) {
    field->copy();
  } else {
    ui_.pane->copy();
  }
}

void ViewCommands::paste() {
  if (QLineEdit* field = focusedField()) {
    field->paste();
  } else if (paneShown()) {
    ui_.pane->paste();
  }
}

}  // namespace quorlin::ui
