// SPDX-License-Identifier: Apache-2.0
// The main window: its life from creation to close, the file named on the
// command line, the menus, and the handlers of every control. Each handler is
// a few lines that call into the document steps, the change page or the view.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMainWindow>
#include <QSize>
#include <QStringList>

#include "app/DocumentLoading.h"
#include "app/PrintSystem.h"
#include "ui/BackgroundWork.h"
#include "ui/MainWindowUi.h"

namespace quorlin::ui {
class ChangePage;
class ChangePreview;
class Dialogs;
class FieldExitWatcher;
class ViewCommands;
}  // namespace quorlin::ui

namespace quorlin::app {

class FileCommands;
class RecipeCommands;

struct FormOptions {
  // The command line without the program's own name.
  QStringList arguments;
  // The folder temporary files go to at start; empty: the program's folder.
  QString programFolder;
  // The screen size the window grows with at first show; empty: its screen's.
  std::optional<QSize> screenSize;
  // Every message, question and file dialog; empty: the real boxes. Must
  // outlive the window.
  ui::Dialogs* dialogs = nullptr;
  // Where File > Print sends the text; empty: the system's default printer.
  // Must outlive the window.
  PrintSystem* printSystem = nullptr;
  // How long Open, a change run, Save As and Print work before their
  // progress box shows, and a hook their worker calls at every step.
  ui::WorkSettings work;
  // The encoding a new text and a text of ASCII only take; empty: the
  // locale's (SystemLocaleEncoding).
  std::optional<text::Encoding> localeEncoding;
};

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(FormOptions options = FormOptions(), QWidget* parent = nullptr);
  ~TForm1() override;

  ui::MainWindowUi& controls() { return ui_; }
  const DocumentState& documentState() const { return doc_; }
  // Set once the file named on the command line is in the pane.
  bool commandLineHandled() const { return CommandLineHandled; }
  const ui::ChangePage& changePage() const { return *changePage_; }
  const ui::ChangePreview& preview() const { return *preview_; }
  ui::ViewCommands& view() { return *view_; }

  // The window's caption without the mark of unsaved text: the title shows
  // it after a "*" while the text is not the one last opened or saved.
  QString caption() const { return caption_; }

  // Closes the window for a signal from outside (SIGTERM, SIGHUP, SIGINT):
  // nothing is asked, unsaved text is lost, the work files go. A command
  // under way is cancelled first; the window closes when it has ended.
  void endFromOutside();

  // Life of the window.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();

  // Menus.
  void Open1Click();
  void SaveAs1Click();
  void Print1Click();
  void SaveRecipe1Click();
  void ApplyRecipe1Click();
  void Close1Click();
  void Exit1Click();
  void filename1Click();
  void Undo1Click();
  void Redo1Click();
  void Search1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void Fonts1Click();
  void EncodingWindows1252Click();
  void EncodingUtf8Click();
  void About1Click();

  // Page "Show/Edit Current Text".
  void SearchBtnClick();
  void SearchBtnExit();
  void WordwrapbtnClick();
  void FindDialog1Find();
  // The program is about to wait for input.
  void ApplicationEvents1Idle();

  // Page "Make Global Changes".
  void Edit1Exit();
  void Edit2Exit();
  void Edit3Exit();
  void Edit4Exit();
  void Edit5Exit();
  void Edit6Exit();
  void Edit7Exit();
  void Edit9Exit();
  void CheckBox1Click();
  void CheckBox2Click();
  void LCaseCheckBoxClick();
  void UCasecheckboxClick();
  void Button1Click();

 protected:
  bool event(QEvent* event) override;
  void setVisible(bool visible) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectHandlers();
  void fieldLeft(QLineEdit* field);
  void setCaption(const QString& caption);
  void textChanged();
  // The pane reads its text in another encoding: the menu's radio items and
  // the change page's fields follow.
  void encodingChanged();
  // Asks "Save changes to NAME?" while the text is unsaved; true when the
  // command that would lose it may go on (saved, or discarded).
  bool mayLoseText();
  // Runs a command that may wait for a worker; a close asked for meanwhile
  // happens when it ends.
  void command(const std::function<void()>& run);

  FormOptions options_;
  std::unique_ptr<ui::Dialogs> ownDialogs_;
  ui::Dialogs* dialogs_ = nullptr;
  std::unique_ptr<PrintSystem> ownPrintSystem_;
  ui::MainWindowUi ui_;
  ui::FieldExitWatcher* exits_ = nullptr;
  std::unique_ptr<ui::ChangePage> changePage_;
  std::unique_ptr<ui::ChangePreview> preview_;
  std::unique_ptr<ui::ViewCommands> view_;
  DocumentState doc_;
  std::unique_ptr<FileCommands> files_;
  std::unique_ptr<RecipeCommands> recipes_;

  bool CommandLineHandled = false;
  // A command-line file declined or failed is not tried again at a later
  // activation.
  bool commandLineTried_ = false;
  bool shown_ = false;
  QString caption_;
  int commands_ = 0;  // commands under way
  bool closeWaiting_ = false, endingFromOutside_ = false;
};

}  // namespace quorlin::app
