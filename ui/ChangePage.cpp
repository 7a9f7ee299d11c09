// SPDX-License-Identifier: Apache-2.0
#include "ui/ChangePage.h"

#include <new>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "engine/Files.h"
#include "engine/WorkFiles.h"
#include "text/TextLines.h"
#include "ui/BusyCursor.h"
#include "ui/Colours.h"
#include "ui/Dialogs.h"
#include "ui/Encodings.h"
#include "ui/FieldExits.h"
#include "ui/FileNames.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/Timing.h"
#include "ui/Western.h"

namespace quorlin::ui {

ChangePage::ChangePage(MainWindowUi& ui, Dialogs& dialogs, FieldExitWatcher& exits)
    : ui_(ui), dialogs_(dialogs), exits_(exits) {}

void ChangePage::checkDefaultButtons() {
  ui_.testButton(TestCode::Passes)->setChecked(true);
  ui_.actionButton(ActionCode::NoChange)->setChecked(true);
}

void ChangePage::clearFilledFlags() {
  for (Parameter& p : flags_.fields) p.filled = false;
}

void ChangePage::leaveField(Field f) {
  QLineEdit* field = ui_.field(f);
  const Encoding encoding = ui_.pane->encoding();
  const std::string text = EncodeText(field->text(), encoding);
  if (!IsNumeric(f)) {
    flags_[f].filled = TextFieldFilled(text);
    return;
  }
  // The last char position is compared with the 1st char field as it stands.
  std::optional<std::string> firstChar;
  if (f == Field::LastCharPos)
    firstChar = EncodeText(ui_.field(Field::FirstCharPos)->text(), encoding);
  const FieldCheckResult check = CheckNumericField(
      f, text, firstChar ? std::optional<std::string_view>(*firstChar) : std::nullopt);

  const QString shown = DecodeText(check.text, encoding);
  if (shown != field->text()) field->setText(shown);
  showMessages(check.messages);
  flags_[f].filled = check.filled;
  if (check.refocus) {
    if (!field->isVisible()) ui_.pages->setCurrentWidget(ui_.changesPage);
    exits_.refocus(field);
  }
}

void ChangePage::setEncoding(Encoding encoding) {
  const bool western = encoding == Encoding::Windows1252;
  for (QLineEdit* field : ui_.fields) {
    if (auto* validator = field->findChild<WesternValidator*>()) validator->setWestern(western);
    // What the field shows is what will be stored.
    if (western && !IsWesternOnly(field->text())) field->setText(WesternOnly(field->text()));
  }
}

void ChangePage::colourOptionBox(QCheckBox* box) {
  const QColor colour = CaptionColour(box);
  if (box->isChecked() && colour == kMaroon) {
    SetCaptionColour(box, kRed);
  } else if (!box->isChecked() && colour == kRed) {
    SetCaptionColour(box, kMaroon);
  }
}

void ChangePage::caseBoxClicked(QCheckBox* clicked, QCheckBox* other) {
  // Clearing the other box runs its own handler, which must not clear this one.
  if (!clearingCaseBox_ && other->isChecked()) {
    clearingCaseBox_ = true;
    other->setChecked(false);
    SetCaptionColour(other, kMaroon);
    clearingCaseBox_ = false;
  }
  colourOptionBox(clicked);
}

ChangeRequest ChangePage::readRequest() const {
  ChangeRequest request = flags_;
  request.test = TestCode::None;
  for (const auto& [code, button] : ui_.testButtons) {
    if (button->isChecked()) request.test = code;
  }
  request.action = ActionCode::None;
  for (const auto& [code, button] : ui_.actionButtons) {
    if (button->isChecked()) request.action = code;
  }
  request.encoding = ui_.pane->encoding();
  for (std::size_t i = 0; i < kFieldCount; ++i)
    request.fields[i].text = EncodeText(ui_.fields[i]->text(), request.encoding);
  request.retainPassingOnly = ui_.retainPassingOnly->isChecked();
  request.caseSensitive = ui_.caseSensitive->isChecked();
  request.outputLowerCase = ui_.outputLowerCase->isChecked();
  request.outputUpperCase = ui_.outputUpperCase->isChecked();
  request.keyIsPattern = ui_.keyIsPattern->isChecked();
  return request;
}

std::optional<ChangeRequest> ChangePage::previewRequest(std::vector<std::string>& why) const {
  ChangeRequest request = readRequest();
  const QWidget* focus = QApplication::focusWidget();
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (ui_.fields[i] != focus) continue;
    const auto f = static_cast<Field>(i);
    Parameter& p = request[f];
    if (!IsNumeric(f)) {
      p.filled = TextFieldFilled(p.text);
      continue;
    }
    std::optional<std::string> firstChar;
    if (f == Field::LastCharPos) firstChar = request[Field::FirstCharPos].text;
    FieldCheckResult check = CheckNumericField(
        f, p.text, firstChar ? std::optional<std::string_view>(*firstChar) : std::nullopt);
    if (!check.messages.empty()) {
      why = std::move(check.messages);
      return std::nullopt;
    }
    p = {std::move(check.text), check.filled};
  }
  why = ValidateRequest(request);
  if (!why.empty()) return std::nullopt;
  return request;
}

void ChangePage::showMessages(const std::vector<std::string>& messages) {
  for (const std::string& m : messages) dialogs_.message(DecodeText(m, ui_.pane->encoding()));
}

void ChangePage::holdRecipe(Recipe recipe, QString name) {
  recipe_ = std::move(recipe);
  recipeName_ = std::move(name);
}

std::optional<Recipe> ChangePage::recipeToRun() const {
  if (!recipe_) return std::nullopt;
  return WithEncoding(*recipe_, ui_.pane->encoding());
}

void ChangePage::dropRecipe() {
  recipe_.reset();
  recipeName_.clear();
}

bool ChangePage::runOnText(const QString& workFolder, const WorkSettings& work, const WorkRun& run,
                           std::vector<RecipeStep> runs) {
  QElapsedTimer clock;
  clock.start();
  // The run reads a snapshot of the text, written to the first work file
  // line by line; the second work file's bytes become the new text as read.
  // The bar counts the text's bytes three times: written to the first work
  // file, read by the run, and (about as many) written by it to the second.
  const text::Text snapshot = ui_.pane->text();
  const std::string folder = SystemName(workFolder);
  WorkRunResult result;
  text::Text output;
  const WorkOutcome outcome =
      RunWithProgress(dialogs_, QStringLiteral("Changing the text..."), work, [&](WorkProgress& p) {
        p.setTotal(3 * std::uint64_t(snapshot.size()));
        text::TextLineSource source(snapshot);
        ProgressLines lines(source, p);
        result = run(lines, [&p](std::uint64_t bytes) { p.advance(bytes); });
        if (result.completed) {
          try {
            output = text::Text::adopt(std::move(result.output));
          } catch (const std::bad_alloc&) {
            result.completed = false;
            result.messages.assign(1, "Not enough memory to change this text");
          }
        }
        p.checkpoint();
      });
  const qint64 runMs = clock.elapsed();
  if (outcome == WorkOutcome::Cancelled) {
    for (const char* name : {kRunInputFile, kRunOutputFile}) RemoveFileQuietly(folder + name);
    return false;
  }
  if (result.fileError) {
    dialogs_.error(FileErrorBoxText(*result.fileError));
    return false;
  }
  if (!result.completed) {
    showMessages(result.messages);
    return false;
  }

  const std::size_t outputLines = output.lineCount();
  ui_.pane->replaceAll(std::move(output), std::move(runs));
  qCInfo(lcTiming,
         "change run: %zu lines; work files and run %lld ms, new text in the pane %lld ms",
         outputLines, runMs, clock.elapsed() - runMs);

  return true;
}

void ChangePage::pressOk(const QString& workFolder, const WorkSettings& work) {
  BusyCursor busy;
  const std::string folder = SystemName(workFolder);
  if (const std::optional<Recipe> recipe = recipeToRun()) {
    // Each step with the line end it forces, as a recipe saved again names it.
    std::vector<RecipeStep> runs = recipe->steps;
    const WorkRun run = [&](LineSource& lines, const WorkRunRead& read) {
      return RecipeThroughWorkFiles(folder, lines, *recipe, nullptr, read);
    };
    if (runOnText(workFolder, work, run, std::move(runs))) dropRecipe();
    return;
  }
  const ChangeRequest request = readRequest();
  const std::vector<std::string> refusals = ValidateRequest(request);
  if (!refusals.empty()) {
    showMessages(refusals);
    return;
  }
  const WorkRun run = [&](LineSource& lines, const WorkRunRead& read) {
    return RunThroughWorkFiles(folder, lines, request, nullptr, read);
  };
  std::vector<RecipeStep> made(1);
  made.front().request = request;
  if (!runOnText(workFolder, work, run, std::move(made))) return;

  QCheckBox* const options[] = {ui_.retainPassingOnly, ui_.caseSensitive, ui_.outputLowerCase,
                                ui_.outputUpperCase, ui_.keyIsPattern};
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
