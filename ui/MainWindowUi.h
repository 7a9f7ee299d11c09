// SPDX-License-Identifier: Apache-2.0
// The main window's controls: the menus, the page "Show/Edit Current Text"
// with the editing pane, and the page "Make Global Changes" with the test and
// action buttons, the parameter fields, OK and the option check boxes.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "engine/Kinds.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QWidget;

namespace quorlin::ui {

class TextPane;

inline constexpr char kDesignCaption[] = "Quorlin 3.4 DataFile Text Editor";

// The controls by their role. Each control's objectName is its name on the
// form, given after it here; only this struct's builder, the layout table and
// TForm1 use those names.
struct MainWindowUi {
  QMenuBar* menuBar = nullptr;         // MainMenu1
  QMenu* fileMenu = nullptr;           // File1
  QAction* openItem = nullptr;         // Open1
  QAction* saveAsItem = nullptr;       // SaveAs1
  QAction* printItem = nullptr;        // Print1
  QAction* recipeSeparator = nullptr;  // Recipesep1
  QAction* saveRecipeItem = nullptr;   // SaveRecipe1: the runs that made the text, as a recipe
  QAction* applyRecipeItem = nullptr;  // ApplyRecipe1: a recipe file to the change page
  QAction* fileSeparator = nullptr;    // Filesep1
  QAction* closeItem = nullptr;        // Close1
  QAction* exitItem = nullptr;         // Exit1
  QAction* recentSeparator = nullptr;  // filesep2
  QAction* recentItem = nullptr;       // filename1
  QMenu* editMenu = nullptr;           // Edit8
  QAction* undoItem = nullptr;         // "Undo": the last change run or hand edit
  QAction* redoItem = nullptr;         // "Redo"
  QAction* searchItem = nullptr;       // Search1
  QAction* cutItem = nullptr;          // Cut1
  QAction* copyItem = nullptr;         // Copy1
  QAction* pasteItem = nullptr;        // Paste1
  QAction* fontsItem = nullptr;        // Fonts1
  QMenu* viewMenu = nullptr;           // View1
  QMenu* encodingMenu = nullptr;       // Encoding1: how the text's bytes are read
  QAction* windows1252Item = nullptr;  // EncodingWindows1252, a radio item
  QAction* utf8Item = nullptr;         // EncodingUtf8, a radio item
  QMenu* helpMenu = nullptr;           // Help1
  QAction* aboutItem = nullptr;        // About1

  QTabWidget* pages = nullptr;     // PageControl1
  QWidget* textPage = nullptr;     // Tabsheet2: "Show/Edit Current Text"
  QWidget* changesPage = nullptr;  // TabSheet1: "Make Global Changes"

  QLineEdit* nullsReminder = nullptr;   // NullsReminder
  QPushButton* searchButton = nullptr;  // SearchBtn
  QPushButton* wrapButton = nullptr;    // Wordwrapbtn
  TextPane* pane = nullptr;             // RichEdit1
  QStatusBar* statusBar = nullptr;      // StatusBar1

  QGroupBox* testGroup = nullptr;    // TestBox
  QGroupBox* actionGroup = nullptr;  // ActionBox
  // The test and the action buttons in code order, with their codes.
  std::vector<std::pair<TestCode, QRadioButton*>> testButtons;
  std::vector<std::pair<ActionCode, QRadioButton*>> actionButtons;

  // The parameter fields by Field: Edit1, Edit2, Edit3, Edit4, Edit5, Edit6,
  // Edit7, Edit9; each named for assistive tools by its label.
  std::array<QLineEdit*, kFieldCount> fields{};
  std::array<QLabel*, kFieldCount> fieldLabels{};  // Label1, Label5, Label3, Label4,
                                                   // Label2, Label7, Label8, Label9
  QLabel* okLabel = nullptr;                       // Label6
  QPushButton* okButton = nullptr;                 // Button1
  QCheckBox* retainPassingOnly = nullptr;          // CheckBox1
  QCheckBox* caseSensitive = nullptr;              // CheckBox2
  QCheckBox* outputLowerCase = nullptr;            // LCaseCheckBox
  QCheckBox* outputUpperCase = nullptr;            // UCasecheckbox
  QCheckBox* keyIsPattern = nullptr;               // PatternCheckBox

  // The preview of the change, in the page's free space.
  QLabel* previewFigures = nullptr;        // the run's figures, right of the test group
  QWidget* previewChanges = nullptr;       // below OK: the first changes, a page at a time
  QListWidget* previewList = nullptr;      // each change: the line before, then after
  QLabel* previewPage = nullptr;           // which changes the list shows
  QPushButton* previewPrevious = nullptr;  // the page of changes before
  QPushButton* previewNext = nullptr;      // the page of changes after

  QLineEdit* field(Field f) const { return fields[Index(f)]; }
  QRadioButton* testButton(TestCode code) const;
  QRadioButton* actionButton(ActionCode code) const;
};

// Creates every control in the window, with captions, fonts, colours and tab
// orders, at its design place. The first page is the current one.
void BuildMainWindowUi(QMainWindow* window, MainWindowUi& ui);

}  // namespace quorlin::ui
