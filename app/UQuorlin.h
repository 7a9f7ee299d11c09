// The main window: its life from creation to close, the file named on the
// command line, the menus, and the handlers of every control. Each handler is
// a few lines that call into the document steps, the change page or the view.
#pragma once

#include <memory>
#include <optional>

#include <QMainWindow>
#include <QSize>
#include <QStringList>

#include "app/Document.h"
#include "app/PrintSystem.h"
#include "ui/MainWindowUi.h"

namespace quorlin::ui {
class ChangePage;
class Dialogs;
class FieldExitWatcher;
class ViewCommands;
}  // namespace quorlin::ui

namespace quorlin::app {

class FileCommands;

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
  ui::ViewCommands& view() { return *view_; }

  // Life of the window.
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();

  // Menus.
  void Open1Click();
  void SaveAs1Click();
  void Print1Click();
  void Close1Click();
  void Exit1Click();
  void filename1Click();
  void Search1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void Fonts1Click();
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

  FormOptions options_;
  std::unique_ptr<ui::Dialogs> ownDialogs_;
  ui::Dialogs* dialogs_ = nullptr;
  std::unique_ptr<PrintSystem> ownPrintSystem_;
  ui::MainWindowUi ui_;
  ui::FieldExitWatcher* exits_ = nullptr;
  std::unique_ptr<ui::ChangePage> changePage_;
  std::unique_ptr<ui::ViewCommands> view_;
  DocumentState doc_;
  std::unique_ptr<FileCommands> files_;

  bool CommandLineHandled = false;
  // A command-line file declined or failed is not tried again at a later
  // activation.
  bool commandLineTried_ = false;
  bool shown_ = false;
};

}  // namespace quorlin::app
