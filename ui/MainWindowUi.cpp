#include "ui/MainWindowUi.h"

#include <string>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleOption>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "engine/ChangeRequest.h"
#include "ui/Colours.h"
#include "ui/Fonts.h"
#include "ui/MainWindowLayout.h"
#include "ui/TextPane.h"
#include "ui/Western.h"

namespace quorlin::ui {
namespace {

// Check boxes and radio buttons answer a click anywhere in their place, as
// wide as the layout makes them, not only on the box and the caption's ink;
// assistive tools report the same area.
class WholePlaceClickStyle : public QProxyStyle {
 public:
  QRect subElementRect(SubElement element, const QStyleOption* option,
                       const QWidget* widget) const override {
    if (element == SE_CheckBoxClickRect || element == SE_RadioButtonClickRect) return option->rect;
    return QProxyStyle::subElementRect(element, option, widget);
  }
};

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

QAction* AddSeparator(QMenu* menu, const char* name) {
  QAction* action = menu->addSeparator();
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

void BuildMenus(QMainWindow* window, MainWindowUi& ui) {
  ui.MainMenu1 = Named(new QMenuBar(window), "MainMenu1");
  window->setMenuBar(ui.MainMenu1);

  ui.File1 = Named(ui.MainMenu1->addMenu(QStringLiteral("&File")), "File1");
  ui.Open1 = AddItem(ui.File1, "Open1", "&Open");
  ui.SaveAs1 = AddItem(ui.File1, "SaveAs1", "Save&As");
  ui.Print1 = AddItem(ui.File1, "Print1", "&Print");
  ui.Filesep1 = AddSeparator(ui.File1, "Filesep1");
  ui.Close1 = AddItem(ui.File1, "Close1", "&Close");
  ui.Exit1 = AddItem(ui.File1, "Exit1", "&Exit");
  ui.filesep2 = AddSeparator(ui.File1, "filesep2");
  ui.filename1 = AddItem(ui.File1, "filename1", "&1 name");
  // The recent-file entry and its separator appear with the first file opened.
  ui.filesep2->setVisible(false);
  ui.filename1->setVisible(false);

  ui.Edit8 = Named(ui.MainMenu1->addMenu(QStringLiteral("&Edit")), "Edit8");
  ui.Search1 = AddItem(ui.Edit8, "Search1", "Search");
  ui.Cut1 = AddItem(ui.Edit8, "Cut1", "Cut");
  ui.Copy1 = AddItem(ui.Edit8, "Copy1", "Copy");
  ui.Paste1 = AddItem(ui.Edit8, "Paste1", "Paste");
  ui.Fonts1 = AddItem(ui.Edit8, "Fonts1", "Fonts");

  ui.Help1 = Named(ui.MainMenu1->addMenu(QStringLiteral("&Help")), "Help1");
  ui.About1 = AddItem(ui.Help1, "About1", "About");
}

QPushButton* MakeButton(QWidget* page, const char* name, const char* caption, int px,
                        const QColor* ink = nullptr) {
  auto* button = Named(new QPushButton(QString::fromLatin1(caption), page), name);
  button->setFont(SansSerifFont(px, true));
  if (ink != nullptr) SetCaptionColour(button, *ink);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLabel(QWidget* page, const char* name, const char* caption) {
  auto* label = Named(new QLabel(QString::fromLatin1(caption), page), name);
  label->setFont(SansSerifFont(11, true));
  label->setTextFormat(Qt::PlainText);
  return label;
}

// A field named, for assistive tools, by the caption beside it.
QLineEdit* MakeField(QWidget* page, const char* name, QLabel* caption) {
  auto* field = Named(new QLineEdit(page), name);
  field->setValidator(new WesternValidator(field));
  caption->setBuddy(field);
  field->setAccessibleName(caption->text().trimmed());
  return field;
}

QCheckBox* MakeOptionBox(QWidget* page, const char* name, const char* caption, int px) {
  auto* box = Named(new QCheckBox(QString::fromLatin1(caption), page), name);
  box->setFont(SansSerifFont(px, true));
  SetCaptionColour(box, kMaroon);
  return box;
}

void BuildTextPage(MainWindowUi& ui) {
  QWidget* page = ui.Tabsheet2;
  page->setFont(SansSerifFont(12, false));

  ui.NullsReminder = Named(new QLineEdit(page), "NullsReminder");
  ui.NullsReminder->setText(QStringLiteral(" Null / Unicode Characters Removed  "));
  ui.NullsReminder->setFont(SansSerifFont(12, true));
  ui.NullsReminder->setReadOnly(true);
  ui.NullsReminder->setEnabled(false);
  ui.NullsReminder->setVisible(false);
  ui.NullsReminder->setAccessibleName(ui.NullsReminder->text().trimmed());

  ui.SearchBtn = MakeButton(page, "SearchBtn", "Search", 11);
  ui.SearchBtn->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  ui.Wordwrapbtn = MakeButton(page, "Wordwrapbtn", "Line wrap/unwrap View", 11);

  ui.RichEdit1 = Named(new TextPane(page), "RichEdit1");
  ui.RichEdit1->setAccessibleName(QStringLiteral("Current text"));
  ui.RichEdit1->setFont(PaneFont());
  ui.RichEdit1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  ui.RichEdit1->setLineWidth(2);

  // The status line runs along the page's foot whatever the page's size; the
  // other controls keep their places.
  auto* foot = new QVBoxLayout(page);
  foot->setContentsMargins(0, 0, 0, 0);
  foot->addStretch(1);
  ui.StatusBar1 = Named(new QStatusBar(page), "StatusBar1");
  ui.StatusBar1->setSizeGripEnabled(false);
  ui.StatusBar1->setFixedHeight(25);
  foot->addWidget(ui.StatusBar1);

  QWidget::setTabOrder(ui.SearchBtn, ui.NullsReminder);
  QWidget::setTabOrder(ui.NullsReminder, ui.RichEdit1);
  QWidget::setTabOrder(ui.RichEdit1, ui.Wordwrapbtn);
}

QGroupBox* MakeGroup(QWidget* page, const char* name, const char* caption, const QColor& ink) {
  auto* group = Named(new QGroupBox(QString::fromLatin1(caption), page), name);
  group->setFont(SansSerifFont(11, true));  // the buttons inside take it
  SetCaptionColour(group, ink);
  return group;
}

void AddRadioButtons(QGroupBox* group, const std::vector<KindInfo>& kinds, MainWindowUi& ui,
                     std::vector<std::pair<int, QRadioButton*>>& buttons) {
  for (const KindInfo& kind : kinds) {
    auto* button = new QRadioButton(Latin1(kind.caption), group);
    button->setObjectName(Latin1(kind.control));
    ui.RadioButton[std::stoi(std::string(kind.control.substr(11)))] = button;
    buttons.emplace_back(kind.code, button);
  }
}

// Chains the focus through widgets in this order.
void SetTabChain(const std::vector<QWidget*>& chain) {
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void BuildChangePage(MainWindowUi& ui) {
  QWidget* page = ui.TabSheet1;  // the fields take the page control's bold font

  ui.TestBox = MakeGroup(page, "TestBox", "Test Each Line Of Text To See Whether It  :", kMaroon);
  AddRadioButtons(ui.TestBox, TestKinds(), ui, ui.testButtons);

  ui.Label3 = MakeLabel(page, "Label3", "1st Line Num");
  ui.Edit3 = MakeField(page, "Edit3", ui.Label3);
  ui.Label4 = MakeLabel(page, "Label4", "Last Line Num");
  ui.Edit4 = MakeField(page, "Edit4", ui.Label4);
  ui.Label2 = MakeLabel(page, "Label2", "Linelength Num Chars");
  ui.Edit5 = MakeField(page, "Edit5", ui.Label2);
  ui.Label7 = MakeLabel(page, "Label7", "1st char position # ");
  ui.Edit6 = MakeField(page, "Edit6", ui.Label7);
  ui.Label8 = MakeLabel(page, "Label8", "Last char position");
  ui.Edit7 = MakeField(page, "Edit7", ui.Label8);
  ui.Label9 = MakeLabel(page, "Label9", "Repl Pos");
  ui.Edit9 = MakeField(page, "Edit9", ui.Label9);
  ui.Label1 = MakeLabel(page, "Label1", "Test Key Text ");
  ui.Edit1 = MakeField(page, "Edit1", ui.Label1);
  ui.Label5 = MakeLabel(page, "Label5", "Replacement Key Text");
  ui.Edit2 = MakeField(page, "Edit2", ui.Label5);

  ui.ActionBox =
      MakeGroup(page, "ActionBox",
                "Make The Following Change To Each Line Passing The Test, If Possible ", kGreen);
  AddRadioButtons(ui.ActionBox, ActionKinds(), ui, ui.actionButtons);

  ui.Label6 =
      MakeLabel(page, "Label6", "   Make      Changes        To         Current       Text  ");
  ui.Label6->setFont(SansSerifFont(12, true));
  ui.Label6->setWordWrap(true);
  SetCaptionColour(ui.Label6, kBlack);

  ui.Button1 = MakeButton(page, "Button1", "OK", 15, &kGreen);
  // The words beside OK say what it does.
  ui.Label6->setBuddy(ui.Button1);
  ui.Button1->setAccessibleName(ui.Label6->text().simplified());

  ui.CheckBox1 = MakeOptionBox(page, "CheckBox1", " Retain only the lines that pass the Test", 12);
  ui.UCasecheckbox = MakeOptionBox(page, "UCasecheckbox", "Output upper case", 11);
  ui.CheckBox2 = MakeOptionBox(page, "CheckBox2", "Test Key case sensitive", 12);
  ui.LCaseCheckBox = MakeOptionBox(page, "LCaseCheckBox", "Output lower case ", 12);

  // Test buttons, then action buttons, each in their own order, then the rest.
  std::vector<QWidget*> chain;
  for (const int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 36, 42}) {
    chain.push_back(ui.RadioButton[n]);
  }
  for (const int n : {14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                      29, 13, 30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 41, 43, 44}) {
    chain.push_back(ui.RadioButton[n]);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{
           ui.Edit1, ui.Edit2, ui.Edit3, ui.Edit4, ui.Edit5, ui.Button1, ui.Edit6, ui.Edit7,
           ui.CheckBox1, ui.Edit9, ui.CheckBox2, ui.LCaseCheckBox, ui.UCasecheckbox}) {
    chain.push_back(w);
  }
  SetTabChain(chain);
}

}  // namespace

void BuildMainWindowUi(QMainWindow* window, MainWindowUi& ui) {
  window->setObjectName(QStringLiteral("Form1"));
  window->setWindowTitle(QString::fromLatin1(kDesignCaption));
  window->setFont(SansSerifFont(11, false));
  BuildMenus(window, ui);

  auto* central = Named(new QWidget(window), "Form1Client");
  window->setCentralWidget(central);

  ui.PageControl1 = Named(new QTabWidget(central), "PageControl1");
  ui.PageControl1->setFont(SansSerifFont(11, true));
  ui.PageControl1->setFocusPolicy(Qt::NoFocus);
  ui.PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
  ui.Tabsheet2 = Named(new QWidget, "Tabsheet2");
  ui.TabSheet1 = Named(new QWidget, "TabSheet1");
  ui.PageControl1->addTab(ui.Tabsheet2, QStringLiteral("Show/Edit Current Text"));
  ui.PageControl1->addTab(ui.TabSheet1, QStringLiteral("Make Global Changes"));
  BuildTextPage(ui);
  BuildChangePage(ui);
  ui.PageControl1->setCurrentIndex(0);

  auto* clickStyle = new WholePlaceClickStyle;
  clickStyle->setParent(window);
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (qobject_cast<QCheckBox*>(button) != nullptr ||
        qobject_cast<QRadioButton*>(button) != nullptr)
      button->setStyle(clickStyle);
  }

  ApplyPlaces(window, DesignPlaces());
}

}  // namespace quorlin::ui
