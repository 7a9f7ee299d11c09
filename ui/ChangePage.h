// The page "Make Global Changes" as the window sees it: the checks run when a
// parameter field is left, the option check boxes' caption colours and the
// exclusion between the two case boxes, the request read from the controls,
// and a press of OK from validation to the new text in the pane.
#pragma once

#include <QString>

#include "engine/ChangeRequest.h"

class QCheckBox;
class QLineEdit;

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
  void CheckDefaultButtons();
  // All eight filled flags false.
  void ClearFilledFlags();
  // The filled flags as the fields were last left (texts and options empty).
  const ChangeRequest& filledFlags() const { return flags_; }

  // Leaving Edit1 or Edit2: filled when the text is not empty.
  void LeaveTestKey();
  void LeaveReplacementKey();
  // Leaving a numeric field: the field's check, its messages in order, the
  // field's new text, and the focus back in the field after a message.
  void LeaveNumberField(NumericField field);
  QLineEdit* NumberField(NumericField field) const;

  // A check box's state changed: checked turns a maroon caption red,
  // unchecked turns a red caption maroon; other colours stay.
  static void ColourOptionBox(QCheckBox* box);
  // A case box was clicked: the other one is cleared first, once, and the
  // clicked one coloured. Clearing the other one does not clear this one in
  // turn.
  void CaseBoxClicked(QCheckBox* clicked, QCheckBox* other);

  // The request as the controls hold it now: the checked buttons' codes (the
  // last checked in button order, 0 when none), the field texts as bytes, the
  // filled flags and the options.
  ChangeRequest ReadRequest() const;

  // A press of OK: validation with its messages, then the run through the two
  // work files in workFolder (ending in a separator), the pane replaced by the
  // output, one reminder when an option box was checked and the red option
  // boxes unchecked. A refused run, the run's own stop and a file error each
  // leave the pane and the boxes as they were.
  void PressOk(const QString& workFolder);

 private:
  void ShowMessages(const std::vector<std::string>& messages);

  MainWindowUi& ui_;
  Dialogs& dialogs_;
  FieldExitWatcher& exits_;
  ChangeRequest flags_;  // only the filled flags are used
  bool clearingCaseBox_ = false;
};

}  // namespace quorlin::ui
