// SPDX-License-Identifier: Apache-2.0
// The commands that work on the pane directly, outside the change engine:
// the find dialog and the search, the status line, the wrapped view, the
// pane's font, and the clipboard.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QFont>
#include <QObject>

#include "engine/KeyPattern.h"

class QLineEdit;
class QWidget;

namespace quorlin::ui {

class Dialogs;
class FindDialog;
class StatusLine;
struct MainWindowUi;

inline constexpr char kNoMoreInstances[] = "No More Instances Found";
inline constexpr char kWordWrapNotice[] =
    "Word wrap is enabled only for viewing. File is saved as unwrapped text.";
inline constexpr char kFontReminder[] = "Reminder: Changes BOTH the Screen and Printer Fonts.";

class ViewCommands : public QObject {
  Q_OBJECT
 public:
  // The window and its controls must outlive the commands.
  ViewCommands(QWidget& window, MainWindowUi& ui, Dialogs& dialogs);
  ~ViewCommands() override;

  FindDialog& findDialog() { return *find_; }
  StatusLine& statusLine() { return *status_; }

  // Opens the find dialog (or brings it back) half-way across the pane, at
  // the pane's top, and repaints the pane.
  void openFindDialog();
  // Searches from the end of the selection (from the start of the text when
  // nothing is selected) and selects the match, or says there is none.
  void findNext();
  // After the Search button lost the focus: the pane takes it.
  void returnFocusToPane();
  // Rewrites the status line.
  void updateStatusLine();
  // Wraps long lines at the pane's width, or stops wrapping. The text and its
  // line breaks stay as they are.
  void toggleWordWrap();
  // The reminder, then the font dialog; OK gives the pane the chosen font.
  void chooseFont();
  // The clipboard commands act on the parameter field that has the focus;
  // otherwise on the pane. The pane is only changed while it is shown.
  void cut();
  void copy();
  void paste();

 signals:
  // The Search button lost the focus; sent once the focus has settled.
  void searchButtonLeft();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* focusedField() const;
  bool paneShown() const;

  QWidget& window_;
  MainWindowUi& ui_;
  Dialogs& dialogs_;
  FindDialog* find_ = nullptr;  // a child of the window
  std::unique_ptr<StatusLine> status_;
  std::optional<QFont> fontDialogFont_;  // the font last chosen in the dialog
  // The search text last searched for as a pattern, compiled once.
  std::string findPatternText_;
  QuorlinUtils::Encoding findPatternEncoding_ = QuorlinUtils::Encoding::Windows1252;
  std::shared_ptr<const KeyPattern> findPattern_;
};

}  // namespace quorlin::ui
