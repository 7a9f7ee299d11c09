// The main window's controls: the menus, the page "Show/Edit Current Text"
// with the editing pane, and the page "Make Global Changes" with the test and
// action buttons, the parameter fields, OK and the option check boxes. Every
// control's objectName is its name here.
#pragma once

#include <array>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
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

struct MainWindowUi {
  QMenuBar* MainMenu1 = nullptr;
  QMenu *File1 = nullptr, *Edit8 = nullptr, *Help1 = nullptr;
  QAction *Open1 = nullptr, *SaveAs1 = nullptr, *Print1 = nullptr, *Filesep1 = nullptr;
  QAction *Close1 = nullptr, *Exit1 = nullptr, *filesep2 = nullptr, *filename1 = nullptr;
  QAction *Search1 = nullptr, *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr;
  QAction *Fonts1 = nullptr, *About1 = nullptr;

  QTabWidget* PageControl1 = nullptr;
  QWidget* Tabsheet2 = nullptr;  // "Show/Edit Current Text"
  QWidget* TabSheet1 = nullptr;  // "Make Global Changes"

  QLineEdit* NullsReminder = nullptr;
  QPushButton *SearchBtn = nullptr, *Wordwrapbtn = nullptr;
  TextPane* RichEdit1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;

  QGroupBox *TestBox = nullptr, *ActionBox = nullptr;
  // By the number in the button's name (RadioButton36 is RadioButton[36]).
  std::array<QRadioButton*, 45> RadioButton{};
  // The test and the action buttons in code order, with their codes.
  std::vector<std::pair<int, QRadioButton*>> testButtons, actionButtons;

  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
  QLabel *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
  QLabel* Label9 = nullptr;
  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr;
  QLineEdit *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr, *Edit9 = nullptr;
  QPushButton* Button1 = nullptr;
  QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr;
  QCheckBox *LCaseCheckBox = nullptr, *UCasecheckbox = nullptr;
};

// Creates every control in the window, with captions, fonts, colours and tab
// orders, at its design place. The first page is the current one.
void BuildMainWindowUi(QMainWindow* window, MainWindowUi& ui);

}  // namespace quorlin::ui
