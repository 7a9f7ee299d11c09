// SPDX-License-Identifier: Apache-2.0
// The page "Make Global Changes" as the window sees it: the checks run when a
// parameter field is left, the option check boxes' caption colours and the
// exclusion between the two case boxes, the request read from the controls,
// and a press of OK from validation to the new text in the pane; a recipe
// held for OK to run instead of the controls' request.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "engine/ChangeRequest.h"
#include "engine/Recipe.h"
#include "engine/WorkFiles.h"
#include "ui/BackgroundWork.h"

class QCheckBox;

namespace quorlin::ui {

class Dialogs;
class FieldExitWatcher;
struct MainWindowUi;

inline constexpr char kCheckBoxReminder[] =
    "CHECKBOXES At the Bottom of the Page Are UNCHECKED After Each CHANGE";

class ChangePage {
 public:
  // The controls must outlive the page; exits gives the focus back to a field.
  ChangePage(MainWindowUi& ui, Dialogs& dialogs, FieldExitWatcher& exits);

  // Test 1 ("PASSES ...") and action 13 ("NO CHANGE ...").
  void checkDefaultButtons();
  // All eight filled flags false.
  void clearFilledFlags();
  // The filled flags as the fields were last left (texts and options empty).
  const ChangeRequest& filledFlags() const { return flags_; }

  // The text's encoding: the fields are read in it. In Windows-1252 a
  // character the set cannot hold becomes "?" as it is typed (and at once,
  // in what the fields hold); in UTF-8 every character is kept.
  void setEncoding(Encoding encoding);

  // Leaving a parameter field. A text field is filled when it holds text; a
  // numeric field gets its check: its messages in order, its new text, and
  // the focus back in the field after a message.
  void leaveField(Field field);

  // A check box's state changed: checked turns a maroon caption red,
  // unchecked turns a red caption maroon; other colours stay.
  static void colourOptionBox(QCheckBox* box);
  // A case box was clicked: the other one is cleared first, once, and the
  // clicked one coloured. Clearing the other one does not clear this one in
  // turn.
  void caseBoxClicked(QCheckBox* clicked, QCheckBox* other);

  // The request as the controls hold it now: the checked buttons' codes (the
  // last checked in button order, None when none), the field texts as bytes
  // in the text's encoding (which the request carries), the filled flags and
  // the options.
  ChangeRequest readRequest() const;
  // The request OK would run now, the field being typed in checked as if it
  // were left (its new text and filled flag, without its boxes); no value
  // while that check or the validation would refuse it, and then their
  // messages in why.
  std::optional<ChangeRequest> previewRequest(std::vector<std::string>& why) const;

  // A press of OK: validation with its messages, then the run through the two
  // work files in workFolder (ending in a separator) on a worker thread, with
  // the progress box of `work`; the pane's text replaced by the output as one
  // step of its undo history, one reminder when an option box was checked and
  // the red option boxes unchecked. A refused run, the run's own stop, a file
  // error and a cancelled run each leave the pane, its history and the boxes
  // as they were; a cancelled run also removes its two work files.
  // With a recipe held, OK runs it instead: every step, as one step of the
  // undo history, and the recipe is let go once it has changed the text.
  void pressOk(const QString& workFolder, const WorkSettings& work = WorkSettings());

  // A recipe (read from the file named name) for the preview to show and OK
  // to run, until it has run or dropRecipe is called. A recipe without an
  // encoding line runs in the text's encoding as it is at that time.
  void holdRecipe(Recipe recipe, QString name);
  void dropRecipe();
  const Recipe* recipe() const { return recipe_ ? &*recipe_ : nullptr; }
  // The recipe held, its steps in the encoding they run in now.
  std::optional<Recipe> recipeToRun() const;
  const QString& recipeName() const { return recipeName_; }

 private:
  void showMessages(const std::vector<std::string>& messages);
  // The run through the work files, on a worker with the progress box, of
  // lines of the pane's text; its output becomes the pane's text as one
  // undo step made by runs. False when it changed nothing.
  using WorkRun = std::function<WorkRunResult(LineSource& lines, const WorkRunRead& read)>;
  bool runOnText(const QString& workFolder, const WorkSettings& work, const WorkRun& run,
                 std::vector<RecipeStep> runs);

  MainWindowUi& ui_;
  Dialogs& dialogs_;
  FieldExitWatcher& exits_;
  ChangeRequest flags_;  // only the filled flags are used
  bool clearingCaseBox_ = false;
  std::optional<Recipe> recipe_;
  QString recipeName_;
};

}  // namespace quorlin::ui
