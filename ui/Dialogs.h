// SPDX-License-Identifier: Apache-2.0
// Every modal interaction of the editor goes through this one interface, so
// that each message and question can be scripted and recorded in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace quorlin::ui {

// Names the program; heads plain message boxes and error boxes.
inline constexpr char kApplicationTitle[] = "Quorlin Datafile Text Editor";

// The answers to the question asked before unsaved text would be lost.
enum class SaveChoice { Save, Discard, Cancel };

// A modal box shown while a long command works: what it does, a bar, and a
// Cancel button. The window keeps repainting behind it.
class ProgressBox {
 public:
  virtual ~ProgressBox() = default;
  // How far the command is; a total of 0 shows a bar that only moves.
  virtual void setProgress(std::uint64_t done, std::uint64_t total) = 0;
  // True once the user asked to cancel (Cancel, Escape, or the box closed).
  virtual bool cancelled() = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A modal box with the text and an OK button, headed by the application title.
  virtual void message(const QString& text) = 0;
  // A modal question headed "Confirm" with a question-mark sign and the buttons
  // OK and Cancel; true for OK, false for Cancel or a closed box.
  virtual bool confirm(const QString& text) = 0;
  // The error box for a failed file or printer operation, headed by the
  // application title.
  virtual void error(const QString& text) = 0;
  // The question before unsaved text would be lost, headed by the
  // application title, with Save, Discard and Cancel; a closed box is Cancel.
  virtual SaveChoice saveQuestion(const QString& text) = 0;
  // Shows the progress box of a command (what it does) until the box goes.
  virtual std::unique_ptr<ProgressBox> showProgress(const QString& what) = 0;

  // The open-file dialog; filter in Qt's notation ("Text Files (*.txt);;..."),
  // caption empty for the usual "Open". The chosen full path, or an empty
  // text when cancelled.
  virtual QString openFileName(const QString& folder, const QString& filter,
                               const QString& caption) = 0;
  // The save-file dialog, proposing a folder and a name; caption and filter
  // empty for the usual "Save As" and every file. The chosen full path, or an
  // empty text when cancelled.
  virtual QString saveFileName(const QString& folder, const QString& name, const QString& caption,
                               const QString& filter) = 0;
  // The font dialog starting from initial; no value when cancelled.
  virtual std::optional<QFont> chooseFont(const QFont& initial) = 0;
};

// The real boxes and dialogs, parented to the given window.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent) : parent_(parent) {}

  void message(const QString& text) override;
  bool confirm(const QString& text) override;
  void error(const QString& text) override;
  SaveChoice saveQuestion(const QString& text) override;
  std::unique_ptr<ProgressBox> showProgress(const QString& what) override;
  QString openFileName(const QString& folder, const QString& filter,
                       const QString& caption) override;
  QString saveFileName(const QString& folder, const QString& name, const QString& caption,
                       const QString& filter) override;
  std::optional<QFont> chooseFont(const QFont& initial) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace quorlin::ui
