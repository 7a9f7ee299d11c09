// SPDX-License-Identifier: Apache-2.0
// The File menu's recipe commands: the change runs that made the text saved
// as a recipe file, and a recipe file read and handed to the change page,
// whose preview shows it and whose OK runs it.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "app/DocumentLoading.h"
#include "engine/Recipe.h"
#include "text/History.h"

namespace quorlin::ui {
class ChangePage;
class ChangePreview;
class Dialogs;
struct MainWindowUi;
}  // namespace quorlin::ui

namespace quorlin::app {

// The file dialogs' types for a recipe, the first chosen at start.
inline constexpr char kRecipeFilter[] = "Recipes *.recipe|*.recipe|All Files *.*|*.*";

// The recipe of what made a text: every run in order, reading the text as
// the runs did (mixedEncodings: they did not all read it one way, which no
// recipe can say). Where hand edits came before a step, that step carries a
// comment saying so, and its number is in handEditsBefore; handEditsAfter
// tells of hand edits after the last run, said in a comment after it.
struct RecipeOfText {
  Recipe recipe;
  std::vector<std::size_t> handEditsBefore;  // step numbers from 1
  bool handEditsAfter = false;
  bool mixedEncodings = false;
};
RecipeOfText RecipeOfMaking(const std::vector<text::Making>& making);

class RecipeCommands {
 public:
  RecipeCommands(ui::MainWindowUi& ui, const DocumentState& doc, ui::Dialogs& dialogs,
                 ui::ChangePage& page, ui::ChangePreview& preview);

  // File > "Save Changes as Recipe...": asks where, writes the recipe of the
  // runs that made the text (safely over an existing file), then says which
  // hand edits it leaves out. Without a run: a message, and no file.
  void save();
  // File > "Apply Recipe...": asks for a recipe file and reads it; a fault is
  // shown with its line and nothing changes, else the change page holds the
  // recipe and shows it.
  void apply();

 private:
  QString startFolder() const;

  ui::MainWindowUi& ui_;
  const DocumentState& doc_;
  ui::Dialogs& dialogs_;
  ui::ChangePage& page_;
  ui::ChangePreview& preview_;
};

}  // namespace quorlin::app
