#include "ui/ChangePage.h"

#include <optional>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QRadioButton>
#include <QTabWidget>

#include "engine/FileIO.h"
#include "engine/WorkFiles.h"
#include "ui/BusyCursor.h"
#include "ui/Colours.h"
#include "ui/Dialogs.h"
#include "ui/FieldExits.h"
#include "ui/MainWindowUi.h"
#include "text/TextLines.h"
#include "ui/TextPane.h"
#include "ui/Western.h"

// Where a change run spends its time; QT_LOGGING_RULES="quorlin.timing.info=true"
// shows it.
Q_LOGGING_CATEGORY(lcRunTiming, "quorlin.timing", QtWarningMsg)

namespace quorlin::ui {
namespace {

constexpr NumericField kNumberFields[] = {
    NumericField::FirstLineNum, NumericField::LastLineNum, NumericField::LineLength,
    NumericField::FirstCharPos, NumericField::LastCharPos, NumericField::ReplPos,
};

// A file error reads "<text>\n<path>": the path is a file name of the system,
// not text of the document.
QString FileErrorBoxText(const std::string& message) {
  const std::size_t cut = message.find('\n');
  if (cut == std::string::npos) return DecodeWestern(message);
  return DecodeWestern(std::string_view(message).substr(0, cut + 1)) +
         QFile::decodeName(QByteArray::fromStdString(message.substr(cut + 1)));
}

}  // namespace

ChangePage::ChangePage(MainWindowUi& ui, Dialogs& dialogs, FieldExitWatcher& exits)
    : ui_(ui), dialogs_(dialogs), exits_(exits) {}

void ChangePage::CheckDefaultButtons() {
  ui_.RadioButton[1]->setChecked(true);
  ui_.RadioButton[13]->setChecked(true);
}

void ChangePage::ClearFilledFlags() {
  flags_.testKeyFilled = false;
  flags_.replacementKeyFilled = false;
  for (const NumericField f : kNumberFields) flags_.filled(f) = false;
}

void ChangePage::LeaveTestKey() {
  flags_.testKeyFilled = TextFieldFilled(EncodeWestern(ui_.Edit1->text()));
}

void ChangePage::LeaveReplacementKey() {
  flags_.replacementKeyFilled = TextFieldFilled(EncodeWestern(ui_.Edit2->text()));
}

QLineEdit* ChangePage::NumberField(NumericField field) const {
  switch (field) {
    case NumericField::FirstLineNum:
      return ui_.Edit3;
    case NumericField::LastLineNum:
      return ui_.Edit4;
    case NumericField::LineLength:
      return ui_.Edit5;
    case NumericField::FirstCharPos:
      return ui_.Edit6;
    case NumericField::LastCharPos:
      return ui_.Edit7;
    case NumericField::ReplPos:
      return ui_.Edit9;
  }
  return nullptr;
}

void ChangePage::LeaveNumberField(NumericField f) {
  QLineEdit* field = NumberField(f);
  const std::string text = EncodeWestern(field->text());
  // The last char position is compared with the 1st char field as it stands.
  std::optional<std::string> firstChar;
  if (f == NumericField::LastCharPos) firstChar = EncodeWestern(ui_.Edit6->text());
  const FieldCheckResult check = CheckNumericField(
      f, text, firstChar ? std::optional<std::string_view>(*firstChar) : std::nullopt);

  const QString shown = DecodeWestern(check.text);
  if (shown != field->text()) field->setText(shown);
  ShowMessages(check.messages);
  flags_.filled(f) = check.filled;
  if (check.refocus) {
    if (!field->isVisible()) ui_.PageControl1->setCurrentWidget(ui_.TabSheet1);
    exits_.refocus(field);
  }
}

void ChangePage::ColourOptionBox(QCheckBox* box) {
  const QColor colour = CaptionColour(box);
  if (box->isChecked() && colour == kMaroon) {
    SetCaptionColour(box, kRed);
  } else if (!box->isChecked() && colour == kRed) {
    SetCaptionColour(box, kMaroon);
  }
}

void ChangePage::CaseBoxClicked(QCheckBox* clicked, QCheckBox* other) {
  // Clearing the other box runs its own handler, which must not clear this one.
  if (!clearingCaseBox_ && other->isChecked()) {
    clearingCaseBox_ = true;
    other->setChecked(false);
    SetCaptionColour(other, kMaroon);
    clearingCaseBox_ = false;
  }
  ColourOptionBox(clicked);
}

ChangeRequest ChangePage::ReadRequest() const {
  ChangeRequest request = flags_;
  request.testKind = 0;
  for (const auto& [code, button] : ui_.testButtons) {
    if (button->isChecked()) request.testKind = code;
  }
  request.actionKind = 0;
  for (const auto& [code, button] : ui_.actionButtons) {
    if (button->isChecked()) request.actionKind = code;
  }
  request.testKey = EncodeWestern(ui_.Edit1->text());
  request.replacementKey = EncodeWestern(ui_.Edit2->text());
  for (const NumericField f : kNumberFields)
    request.text(f) = EncodeWestern(NumberField(f)->text());
  request.retainPassingOnly = ui_.CheckBox1->isChecked();
  request.caseSensitive = ui_.CheckBox2->isChecked();
  request.outputLowerCase = ui_.LCaseCheckBox->isChecked();
  request.outputUpperCase = ui_.UCasecheckbox->isChecked();
  return request;
}

void ChangePage::ShowMessages(const std::vector<std::string>& messages) {
  for (const std::string& m : messages) dialogs_.message(DecodeWestern(m));
}

void ChangePage::PressOk(const QString& workFolder) {
  QElapsedTimer clock;
  clock.start();
  BusyCursor busy;
  const ChangeRequest request = ReadRequest();
  const std::vector<std::string> refusals = ValidateRequest(request);
  if (!refusals.empty()) {
    ShowMessages(refusals);
    return;
  }

  // The run reads a snapshot of the text, written to the first work file
  // line by line; the second work file's bytes become the new text as read.
  WorkRunResult result;
  try {
    text::TextLineSource lines(ui_.RichEdit1->text());
    result = RunThroughWorkFiles(QFile::encodeName(workFolder).toStdString(), lines, request);
  } catch (const FileError& e) {
    result.completed = false;
    result.fileError = true;
    result.messages = {e.text() + "\n" + e.path()};
  }
  const qint64 runMs = clock.elapsed();
  if (!result.completed) {
    if (result.fileError) {
      for (const std::string& m : result.messages) dialogs_.error(FileErrorBoxText(m));
    } else {
      ShowMessages(result.messages);
    }
    return;
  }

  text::Text output = text::Text::Adopt(std::move(result.output));
  const std::size_t outputLines = output.lineCount();
  ui_.RichEdit1->setText(std::move(output));
  qCInfo(lcRunTiming,
         "change run: %zu lines; work files and run %lld ms, new text in the pane %lld ms",
         outputLines, runMs, clock.elapsed() - runMs);

  QCheckBox* const options[] = {ui_.CheckBox1, ui_.CheckBox2, ui_.LCaseCheckBox, ui_.UCasecheckbox};
  bool anyChecked = false;
  for (QCheckBox* box : options) anyChecked = anyChecked || box->isChecked();
  if (anyChecked) dialogs_.message(QString::fromLatin1(kCheckBoxReminder));
  for (QCheckBox* box : options) {
    if (box->isChecked() && CaptionColour(box) == kRed) {
      box->setChecked(false);
      SetCaptionColour(box, kMaroon);
    }
  }
}

}  // namespace quorlin::ui
