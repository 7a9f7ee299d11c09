// SPDX-License-Identifier: Apache-2.0
#include "ui/MainWindowUi.h"

#include <algorithm>
#include <iterator>
#include <string>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/Kinds.h"
#include "ui/Colours.h"
#include "ui/Fonts.h"
#include "ui/MainWindowLayout.h"
#include "ui/PatternHelp.h"
#include "ui/SpokenLabel.h"
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
  ui.menuBar = Named(new QMenuBar(window), "MainMenu1");
  window->setMenuBar(ui.menuBar);
  // The button that shows the menus a narrow window has no room for.
  if (auto* more = ui.menuBar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button")))
    more->setAccessibleName(QStringLiteral("More menus"));

  ui.fileMenu = Named(ui.menuBar->addMenu(QStringLiteral("&File")), "File1");
  ui.openItem = AddItem(ui.fileMenu, "Open1", "&Open");
  ui.saveAsItem = AddItem(ui.fileMenu, "SaveAs1", "Save&As");
  ui.printItem = AddItem(ui.fileMenu, "Print1", "&Print");
  ui.recipeSeparator = AddSeparator(ui.fileMenu, "Recipesep1");
  ui.saveRecipeItem = AddItem(ui.fileMenu, "SaveRecipe1", "Save Changes as &Recipe...");
  ui.applyRecipeItem = AddItem(ui.fileMenu, "ApplyRecipe1", "Appl&y Recipe...");
  ui.fileSeparator = AddSeparator(ui.fileMenu, "Filesep1");
  ui.closeItem = AddItem(ui.fileMenu, "Close1", "&Close");
  ui.exitItem = AddItem(ui.fileMenu, "Exit1", "&Exit");
  ui.recentSeparator = AddSeparator(ui.fileMenu, "filesep2");
  ui.recentItem = AddItem(ui.fileMenu, "filename1", "&1 name");
  // The recent-file entry and its separator appear with the first file opened.
  ui.recentSeparator->setVisible(false);
  ui.recentItem->setVisible(false);

  ui.editMenu = Named(ui.menuBar->addMenu(QStringLiteral("&Edit")), "Edit8");
  ui.undoItem = AddItem(ui.editMenu, "Undo1", "Undo");
  ui.undoItem->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  ui.redoItem = AddItem(ui.editMenu, "Redo1", "Redo");
  ui.redoItem->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  ui.undoItem->setEnabled(false);
  ui.redoItem->setEnabled(false);
  AddSeparator(ui.editMenu, "Editsep1");
  ui.searchItem = AddItem(ui.editMenu, "Search1", "Search");
  ui.cutItem = AddItem(ui.editMenu, "Cut1", "Cut");
  ui.copyItem = AddItem(ui.editMenu, "Copy1", "Copy");
  ui.pasteItem = AddItem(ui.editMenu, "Paste1", "Paste");
  ui.fontsItem = AddItem(ui.editMenu, "Fonts1", "Fonts");

  ui.viewMenu = Named(ui.menuBar->addMenu(QStringLiteral("&View")), "View1");
  ui.encodingMenu = Named(ui.viewMenu->addMenu(QStringLiteral("&Encoding")), "Encoding1");
  ui.windows1252Item = AddItem(ui.encodingMenu, "EncodingWindows1252", "&Windows-1252 (Western)");
  ui.utf8Item = AddItem(ui.encodingMenu, "EncodingUtf8", "&UTF-8");
  auto* encodings = new QActionGroup(ui.encodingMenu);
  for (QAction* item : {ui.windows1252Item, ui.utf8Item}) {
    item->setCheckable(true);
    encodings->addAction(item);
  }
  ui.windows1252Item->setChecked(true);

  ui.helpMenu = Named(ui.menuBar->addMenu(QStringLiteral("&Help")), "Help1");
  ui.aboutItem = AddItem(ui.helpMenu, "About1", "About");
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

QCheckBox* MakeOptionBox(QWidget* page, const char* name, const char* caption, int px) {
  auto* box = Named(new QCheckBox(QString::fromLatin1(caption), page), name);
  box->setFont(SansSerifFont(px, true));
  SetCaptionColour(box, kMaroon);
  return box;
}

void BuildTextPage(MainWindowUi& ui) {
  QWidget* page = ui.textPage;
  page->setFont(SansSerifFont(12, false));

  ui.nullsReminder = Named(new QLineEdit(page), "NullsReminder");
  ui.nullsReminder->setText(QStringLiteral(" Null / Unicode Characters Removed  "));
  ui.nullsReminder->setFont(SansSerifFont(12, true));
  ui.nullsReminder->setReadOnly(true);
  ui.nullsReminder->setEnabled(false);
  ui.nullsReminder->setVisible(false);
  ui.nullsReminder->setAccessibleName(ui.nullsReminder->text().trimmed());

  ui.searchButton = MakeButton(page, "SearchBtn", "Search", 11);
  ui.searchButton->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  ui.wrapButton = MakeButton(page, "Wordwrapbtn", "Line wrap/unwrap View", 11);

  ui.pane = Named(new TextPane(page), "RichEdit1");
  ui.pane->setAccessibleName(QStringLiteral("Current text"));
  ui.pane->setFont(PaneFont());
  ui.pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  ui.pane->setLineWidth(2);

  // The status line runs along the page's foot whatever the page's size; the
  // other controls keep their places.
  auto* foot = new QVBoxLayout(page);
  foot->setContentsMargins(0, 0, 0, 0);
  foot->addStretch(1);
  ui.statusBar = Named(new QStatusBar(page), "StatusBar1");
  ui.statusBar->setSizeGripEnabled(false);
  ui.statusBar->setFixedHeight(25);
  foot->addWidget(ui.statusBar);

  QWidget::setTabOrder(ui.searchButton, ui.nullsReminder);
  QWidget::setTabOrder(ui.nullsReminder, ui.pane);
  QWidget::setTabOrder(ui.pane, ui.wrapButton);
}

QGroupBox* MakeGroup(QWidget* page, const char* name, const char* caption, const QColor& ink) {
  auto* group = Named(new QGroupBox(QString::fromLatin1(caption), page), name);
  group->setFont(SansSerifFont(11, true));  // the buttons inside take it
  SetCaptionColour(group, ink);
  return group;
}

// The radio buttons' names on the form, in code order: a test button is
// named for its place among the form's buttons, an action button for its code.
constexpr const char* kTestButtonNames[] = {
    "RadioButton1",  "RadioButton2",  "RadioButton3",  "RadioButton4",  "RadioButton5",
    "RadioButton6",  "RadioButton7",  "RadioButton8",  "RadioButton9",  "RadioButton10",
    "RadioButton11", "RadioButton12", "RadioButton36", "RadioButton42",
};
static_assert(std::size(kTestButtonNames) == kTestCount);

QString ActionButtonName(ActionCode code) {
  return QStringLiteral("RadioButton%1").arg(Number(code));
}

QRadioButton* MakeRadioButton(QGroupBox* group, std::string_view caption, const QString& name) {
  auto* button = new QRadioButton(Latin1(caption), group);
  button->setObjectName(name);
  return button;
}

// Chains the focus through widgets in this order.
void SetTabChain(const std::vector<QWidget*>& chain) {
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// A parameter field and its label, the field named by the label's caption.
void MakeField(QWidget* page, MainWindowUi& ui, Field f, const char* name, const char* labelName,
               const char* caption) {
  QLabel* label = MakeLabel(page, labelName, caption);
  auto* field = Named(new QLineEdit(page), name);
  field->setValidator(new WesternValidator(field));
  label->setBuddy(field);
  field->setAccessibleName(label->text().trimmed());
  ui.fieldLabels[Index(f)] = label;
  ui.fields[Index(f)] = field;
}

// The preview's controls; ChangePreview places them in the page's free space.
void BuildPreview(MainWindowUi& ui) {
  QWidget* page = ui.changesPage;
  ui.previewFigures = Named(new QLabel(page), "PreviewFigures");
  MakeSpokenLabel(ui.previewFigures);  // the figures themselves in its description
  ui.previewFigures->setFont(SansSerifFont(11, false));
  ui.previewFigures->setTextFormat(Qt::RichText);
  ui.previewFigures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ui.previewFigures->setWordWrap(true);
  ui.previewFigures->setAccessibleName(QStringLiteral("Figures of the change"));

  ui.previewChanges = Named(new QWidget(page), "PreviewChanges");
  ui.previewChanges->setFont(SansSerifFont(11, false));
  auto* column = new QVBoxLayout(ui.previewChanges);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  ui.previewList = Named(new QListWidget(ui.previewChanges), "PreviewList");
  ui.previewList->setAccessibleName(QStringLiteral("First changed lines"));
  ui.previewList->setTextElideMode(Qt::ElideRight);
  ui.previewList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ui.previewList->setUniformItemSizes(true);
  column->addWidget(ui.previewList, 1);
  ui.previewPage = Named(new QLabel(ui.previewChanges), "PreviewPage");
  ui.previewPage->setTextFormat(Qt::PlainText);
  column->addWidget(ui.previewPage);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  ui.previewPrevious =
      Named(new QPushButton(QStringLiteral("<"), ui.previewChanges), "PreviewPrevious");
  ui.previewPrevious->setAccessibleName(QStringLiteral("Previous changes"));
  ui.previewPrevious->setToolTip(ui.previewPrevious->accessibleName());
  ui.previewNext = Named(new QPushButton(QStringLiteral(">"), ui.previewChanges), "PreviewNext");
  ui.previewNext->setAccessibleName(QStringLiteral("Next changes"));
  ui.previewNext->setToolTip(ui.previewNext->accessibleName());
  for (QPushButton* b : {ui.previewPrevious, ui.previewNext}) {
    b->setAutoDefault(false);
    b->setEnabled(false);
    buttons->addWidget(b);
  }
  column->addLayout(buttons);
}

void BuildChangePage(MainWindowUi& ui) {
  QWidget* page = ui.changesPage;  // the fields take the page control's bold font

  ui.testGroup = MakeGroup(page, "TestBox", "Test Each Line Of Text To See Whether It  :", kMaroon);
  std::size_t i = 0;
  for (const TestRow& row : TestRows()) {
    ui.testButtons.emplace_back(
        row.code, MakeRadioButton(ui.testGroup, row.caption, QLatin1String(kTestButtonNames[i++])));
  }

  MakeField(page, ui, Field::FirstLineNum, "Edit3", "Label3", "1st Line Num");
  MakeField(page, ui, Field::LastLineNum, "Edit4", "Label4", "Last Line Num");
  MakeField(page, ui, Field::LineLength, "Edit5", "Label2", "Linelength Num Chars");
  MakeField(page, ui, Field::FirstCharPos, "Edit6", "Label7", "1st char position # ");
  MakeField(page, ui, Field::LastCharPos, "Edit7", "Label8", "Last char position");
  MakeField(page, ui, Field::ReplPos, "Edit9", "Label9", "Repl Pos");
  MakeField(page, ui, Field::TestKey, "Edit1", "Label1", "Test Key Text ");
  MakeField(page, ui, Field::ReplacementKey, "Edit2", "Label5", "Replacement Key Text");

  ui.actionGroup =
      MakeGroup(page, "ActionBox",
                "Make The Following Change To Each Line Passing The Test, If Possible ", kGreen);
  for (const ActionRow& row : ActionRows()) {
    ui.actionButtons.emplace_back(
        row.code, MakeRadioButton(ui.actionGroup, row.caption, ActionButtonName(row.code)));
  }

  ui.okLabel =
      MakeLabel(page, "Label6", "   Make      Changes        To         Current       Text  ");
  ui.okLabel->setFont(SansSerifFont(12, true));
  ui.okLabel->setWordWrap(true);
  SetCaptionColour(ui.okLabel, kBlack);

  ui.okButton = MakeButton(page, "Button1", "OK", 15, &kGreen);
  // Named "OK", as seen and as a voice command says it; the words beside it
  // describe what it does. Enter on it runs it, as Space does.
  ui.okLabel->setBuddy(ui.okButton);
  ui.okButton->setAccessibleDescription(ui.okLabel->text().simplified());
  ui.okButton->setAutoDefault(true);

  ui.retainPassingOnly =
      MakeOptionBox(page, "CheckBox1", " Retain only the lines that pass the Test", 12);
  ui.outputUpperCase = MakeOptionBox(page, "UCasecheckbox", "Output upper case", 11);
  ui.caseSensitive = MakeOptionBox(page, "CheckBox2", "Test Key case sensitive", 12);
  ui.outputLowerCase = MakeOptionBox(page, "LCaseCheckBox", "Output lower case ", 12);
  ui.keyIsPattern = MakeOptionBox(page, "PatternCheckBox", "Test Key is a pattern", 12);
  ui.keyIsPattern->setToolTip(Latin1(KeyPatternTip()));

  BuildPreview(ui);

  // Tab follows the page in reading order: the left column from the test
  // group down through the fields, the action group and the option boxes,
  // then the right column, OK and the preview's list and buttons. Each radio
  // group is one stop, its checked button (see OneTabStopPerGroup), in which
  // the arrow keys move; inside a group the chain keeps code order, with NO
  // CHANGE after action 29.
  std::vector<QWidget*> chain;
  for (const auto& [code, button] : ui.testButtons) chain.push_back(button);
  for (const Field f :
       {Field::FirstLineNum, Field::LastLineNum, Field::LineLength, Field::FirstCharPos,
        Field::LastCharPos, Field::ReplPos, Field::TestKey, Field::ReplacementKey})
    chain.push_back(ui.field(f));
  QRadioButton* noChange = ui.actionButton(ActionCode::NoChange);
  for (const auto& [code, button] : ui.actionButtons) {
    if (code != ActionCode::NoChange) chain.push_back(button);
    if (code == ActionCode::ReplaceRightOfKey) chain.push_back(noChange);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{
           ui.retainPassingOnly, ui.outputUpperCase, ui.caseSensitive, ui.outputLowerCase,
           ui.keyIsPattern, ui.okButton, ui.previewList, ui.previewPrevious, ui.previewNext})
    chain.push_back(w);
  SetTabChain(chain);
}

// Tab stops at one button of a radio group, the checked one (the first while
// none is), as in a system dialog; the arrow keys move and check within the
// group, and a click still reaches every button.
void OneTabStopPerGroup(const std::vector<QRadioButton*>& group) {
  const auto update = [group] {
    const bool anyChecked =
        std::any_of(group.begin(), group.end(), [](QRadioButton* b) { return b->isChecked(); });
    for (QRadioButton* b : group) {
      const bool stop = b->isChecked() || (!anyChecked && b == group.front());
      b->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QRadioButton* b : group) QObject::connect(b, &QAbstractButton::toggled, b, update);
  update();
}

// A scroll bar is named for what it scrolls: "Current text, vertical".
void NameScrollBars(QWidget* window) {
  for (QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>()) {
    const QString name = area->accessibleName();
    if (name.isEmpty()) continue;
    area->verticalScrollBar()->setAccessibleName(name + QStringLiteral(", vertical"));
    area->horizontalScrollBar()->setAccessibleName(name + QStringLiteral(", horizontal"));
  }
}

}  // namespace

QRadioButton* MainWindowUi::testButton(TestCode code) const {
  for (const auto& [c, button] : testButtons)
    if (c == code) return button;
  return nullptr;
}

QRadioButton* MainWindowUi::actionButton(ActionCode code) const {
  for (const auto& [c, button] : actionButtons)
    if (c == code) return button;
  return nullptr;
}

void BuildMainWindowUi(QMainWindow* window, MainWindowUi& ui) {
  window->setObjectName(QStringLiteral("Form1"));
  window->setWindowTitle(QString::fromLatin1(kDesignCaption));
  window->setFont(SansSerifFont(11, false));
  BuildMenus(window, ui);

  auto* central = Named(new QWidget(window), "Form1Client");
  window->setCentralWidget(central);

  ui.pages = Named(new QTabWidget(central), "PageControl1");
  ui.pages->setFont(SansSerifFont(11, true));
  ui.pages->setFocusPolicy(Qt::NoFocus);
  ui.pages->tabBar()->setFocusPolicy(Qt::NoFocus);
  ui.textPage = Named(new QWidget, "Tabsheet2");
  ui.changesPage = Named(new QWidget, "TabSheet1");
  ui.pages->addTab(ui.textPage, QStringLiteral("Show/Edit Current Text"));
  ui.pages->addTab(ui.changesPage, QStringLiteral("Make Global Changes"));
  BuildTextPage(ui);
  BuildChangePage(ui);
  ui.pages->setCurrentIndex(0);

  auto* clickStyle = new WholePlaceClickStyle;
  clickStyle->setParent(window);
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (qobject_cast<QCheckBox*>(button) != nullptr ||
        qobject_cast<QRadioButton*>(button) != nullptr)
      button->setStyle(clickStyle);
  }

  std::vector<QRadioButton*> tests, actions;
  for (const auto& [code, button] : ui.testButtons) tests.push_back(button);
  for (const auto& [code, button] : ui.actionButtons) actions.push_back(button);
  OneTabStopPerGroup(tests);
  OneTabStopPerGroup(actions);
  NameScrollBars(window);

  ApplyPlaces(window, DesignPlaces());
}

}  // namespace quorlin::ui
