// SPDX-License-Identifier: Apache-2.0
#include "app/RecipeCommands.h"

#include <cerrno>

#include <QFileInfo>
#include <QStringList>
#include <QTabWidget>

#include "app/FileCommands.h"
#include "app/Paths.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "text/Text.h"
#include "ui/ChangePage.h"
#include "ui/ChangePreview.h"
#include "ui/Dialogs.h"
#include "ui/FileNames.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"

namespace quorlin::app {
namespace {

constexpr char kHandEditsComment[] = "Hand edits were made here; this recipe does not repeat them.";

// A recipe file is a few lines: anything larger is another file chosen by
// mistake.
constexpr std::size_t kMaxRecipeBytes = std::size_t(1) << 20;

// The file's bytes; throws FileError. More than kMaxRecipeBytes: none.
std::optional<std::string> ReadSmallFile(const std::string& path) {
  File file = OpenForReading(path);
  std::string bytes(kMaxRecipeBytes + 1, '\0');
  errno = 0;
  const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), file.get());
  if (std::ferror(file.get())) throw FileError(LastError(), path);
  if (n > kMaxRecipeBytes) return std::nullopt;
  bytes.resize(n);
  return bytes;
}

// "step 2", "steps 2 and 4", "steps 2, 3 and 5".
QString StepList(const std::vector<std::size_t>& steps) {
  QStringList numbers;
  for (const std::size_t s : steps) numbers << QString::number(s);
  const QString last = numbers.takeLast();
  if (numbers.isEmpty()) return QStringLiteral("step ") + last;
  return QStringLiteral("steps ") + numbers.join(QStringLiteral(", ")) + QStringLiteral(" and ") +
         last;
}

}  // namespace

RecipeOfText RecipeOfMaking(const std::vector<text::Making>& making) {
  RecipeOfText r;
  bool edited = false;
  for (const text::Making& link : making) {
    if (link.handEdits()) {
      edited = true;
      continue;
    }
    for (const RecipeStep& run : link.runs) {
      RecipeStep step;
      step.request = run.request;
      step.terminator = run.terminator;
      if (edited) {
        step.commentsBefore.emplace_back(kHandEditsComment);
        r.handEditsBefore.push_back(r.recipe.steps.size() + 1);
        edited = false;
      }
      if (r.recipe.steps.empty()) r.recipe.encoding = run.request.encoding;
      r.mixedEncodings = r.mixedEncodings || run.request.encoding != r.recipe.encoding;
      r.recipe.steps.push_back(std::move(step));
    }
  }
  r.recipe.encodingGiven = r.recipe.encoding == Encoding::Utf8;
  r.handEditsAfter = edited && !r.recipe.steps.empty();
  if (r.handEditsAfter) r.recipe.commentsAfter.emplace_back(kHandEditsComment);
  return r;
}

RecipeCommands::RecipeCommands(ui::MainWindowUi& ui, const DocumentState& doc, ui::Dialogs& dialogs,
                               ui::ChangePage& page, ui::ChangePreview& preview)
    : ui_(ui), doc_(doc), dialogs_(dialogs), page_(page), preview_(preview) {}

QString RecipeCommands::startFolder() const {
  return doc_.lastFolder.isEmpty() ? DefaultOpenFolder() : doc_.lastFolder;
}

void RecipeCommands::save() {
  const RecipeOfText made = RecipeOfMaking(ui_.pane->making());
  if (made.recipe.steps.empty()) {
    dialogs_.message(QStringLiteral(
        "No change run made this text since it was opened: there is no recipe to save."));
    return;
  }
  if (made.mixedEncodings) {
    dialogs_.message(QStringLiteral(
        "The change runs that made this text read it in different encodings (View > Encoding "
        "was switched between them): a recipe reads the text one way. Nothing was saved."));
    return;
  }
  const QString document = doc_.documentName.isEmpty()
                               ? QString::fromLatin1(kUntitled)
                               : QFileInfo(doc_.documentName).completeBaseName();
  const QString path = NativePath(dialogs_.saveFileName(
      startFolder(), document + QStringLiteral(".recipe"), QStringLiteral("Save Changes as Recipe"),
      DialogFilter(QString::fromLatin1(kRecipeFilter))));
  if (path.isEmpty()) return;
  try {
    SaveLines(path, text::Text::fromBytes(RecipeText(made.recipe)), "\n");
  } catch (const FileError& e) {
    dialogs_.error(ui::FileErrorBoxText(e));
    return;
  }
  QStringList left;
  if (!made.handEditsBefore.empty())
    left << QStringLiteral("before ") + StepList(made.handEditsBefore);
  if (made.handEditsAfter) left << QStringLiteral("after the last step");
  if (left.isEmpty()) return;
  dialogs_.message(QStringLiteral("The recipe is saved without the hand edits made %1: a recipe "
                                  "repeats change runs only.")
                       .arg(left.join(QStringLiteral(" and "))));
}

void RecipeCommands::apply() {
  const QString path = NativePath(
      dialogs_.openFileName(startFolder(), DialogFilter(QString::fromLatin1(kRecipeFilter)),
                            QStringLiteral("Apply Recipe")));
  if (path.isEmpty()) return;
  const QString name = SplitPath(path).name;
  std::optional<std::string> bytes;
  try {
    bytes = ReadSmallFile(ui::SystemName(path));
  } catch (const FileError& e) {
    dialogs_.error(ui::FileErrorBoxText(e));
    return;
  }
  if (!bytes) {
    dialogs_.message(QStringLiteral("%1 is too large to be a recipe.").arg(name));
    return;
  }
  std::variant<Recipe, RecipeFault> read = ReadRecipe(*bytes);
  if (const auto* fault = std::get_if<RecipeFault>(&read)) {
    dialogs_.message(QStringLiteral("Recipe %1, line %2: %3")
                         .arg(name)
                         .arg(fault->line)
                         .arg(QString::fromUtf8(fault->message)));
    return;
  }
  if (std::get<Recipe>(read).steps.empty()) {
    dialogs_.message(QStringLiteral("Recipe %1 has no steps.").arg(name));
    return;
  }
  page_.holdRecipe(std::get<Recipe>(std::move(read)), name);
  preview_.refresh();
  ui_.pages->setCurrentWidget(ui_.changesPage);
}

}  // namespace quorlin::app
