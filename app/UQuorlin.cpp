// SPDX-License-Identifier: Apache-2.0
#include "app/UQuorlin.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app/FileCommands.h"
#include "app/RecipeCommands.h"
#include "ui/AboutU.h"
#include "ui/BusyCursor.h"
#include "ui/ChangePage.h"
#include "ui/ChangePreview.h"
#include "ui/Colours.h"
#include "ui/Dialogs.h"
#include "ui/FieldExits.h"
#include "ui/FileNames.h"
#include "ui/FindDialog.h"
#include "ui/MainWindowLayout.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

namespace quorlin::app {

TForm1::TForm1(FormOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
  dialogs_ = options_.dialogs;
  if (dialogs_ == nullptr) {
    ownDialogs_ = std::make_unique<ui::QtDialogs>(this);
    dialogs_ = ownDialogs_.get();
  }
  ui::BuildMainWindowUi(this, ui_);
  exits_ = new ui::FieldExitWatcher(this);
  changePage_ = std::make_unique<ui::ChangePage>(ui_, *dialogs_, *exits_);
  preview_ = std::make_unique<ui::ChangePreview>(ui_, *changePage_);
  PrintSystem* printSystem = options_.printSystem;
  if (printSystem == nullptr) {
    ownPrintSystem_ = SystemPrintSystem();
    printSystem = ownPrintSystem_.get();
  }
  caption_ = windowTitle();
  files_ = std::make_unique<FileCommands>([this](const QString& c) { setCaption(c); }, ui_, doc_,
                                          *dialogs_, *printSystem, options_.work);
  recipes_ = std::make_unique<RecipeCommands>(ui_, doc_, *dialogs_, *changePage_, *preview_);
  view_ = std::make_unique<ui::ViewCommands>(*this, ui_, *dialogs_);
  connectHandlers();
  FormCreate();
}

TForm1::~TForm1() {
  // The fields go with the window's base class, after the change page: no
  // check of a field left while they are destroyed may reach the page.
  delete exits_;
  exits_ = nullptr;
  // Its worker reads the controls' request no more once it has stopped.
  recipes_.reset();
  preview_.reset();
}

void TForm1::connectHandlers() {
  connect(ui_.openItem, &QAction::triggered, this, &TForm1::Open1Click);
  connect(ui_.saveAsItem, &QAction::triggered, this, &TForm1::SaveAs1Click);
  connect(ui_.printItem, &QAction::triggered, this, &TForm1::Print1Click);
  connect(ui_.saveRecipeItem, &QAction::triggered, this, &TForm1::SaveRecipe1Click);
  connect(ui_.applyRecipeItem, &QAction::triggered, this, &TForm1::ApplyRecipe1Click);
  connect(ui_.closeItem, &QAction::triggered, this, &TForm1::Close1Click);
  connect(ui_.exitItem, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(ui_.recentItem, &QAction::triggered, this, &TForm1::filename1Click);
  connect(ui_.undoItem, &QAction::triggered, this, &TForm1::Undo1Click);
  connect(ui_.redoItem, &QAction::triggered, this, &TForm1::Redo1Click);
  connect(ui_.pane, &ui::TextPane::textChanged, this, &TForm1::textChanged);
  connect(ui_.searchItem, &QAction::triggered, this, &TForm1::Search1Click);
  connect(ui_.cutItem, &QAction::triggered, this, &TForm1::Cut1Click);
  connect(ui_.copyItem, &QAction::triggered, this, &TForm1::Copy1Click);
  connect(ui_.pasteItem, &QAction::triggered, this, &TForm1::Paste1Click);
  connect(ui_.fontsItem, &QAction::triggered, this, &TForm1::Fonts1Click);
  connect(ui_.windows1252Item, &QAction::triggered, this, &TForm1::EncodingWindows1252Click);
  connect(ui_.utf8Item, &QAction::triggered, this, &TForm1::EncodingUtf8Click);
  connect(ui_.pane, &ui::TextPane::encodingChanged, this, &TForm1::encodingChanged);
  connect(ui_.aboutItem, &QAction::triggered, this, &TForm1::About1Click);

  connect(ui_.searchButton, &QPushButton::clicked, this, &TForm1::SearchBtnClick);
  connect(ui_.wrapButton, &QPushButton::clicked, this, &TForm1::WordwrapbtnClick);
  connect(view_.get(), &ui::ViewCommands::searchButtonLeft, this, &TForm1::SearchBtnExit);
  connect(&view_->findDialog(), &ui::FindDialog::findNextPressed, this, &TForm1::FindDialog1Find);
  // Tied to the view commands, so that it ends before they do.
  connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
          view_.get(), [this] { ApplicationEvents1Idle(); });

  for (QLineEdit* field : ui_.fields) exits_->watch(field);
  connect(exits_, &ui::FieldExitWatcher::left, this, &TForm1::fieldLeft);
  connect(ui_.retainPassingOnly, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
  connect(ui_.caseSensitive, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
  connect(ui_.outputLowerCase, &QCheckBox::toggled, this, &TForm1::LCaseCheckBoxClick);
  connect(ui_.outputUpperCase, &QCheckBox::toggled, this, &TForm1::UCasecheckboxClick);
  connect(ui_.keyIsPattern, &QCheckBox::toggled, this,
          [this] { ui::ChangePage::colourOptionBox(ui_.keyIsPattern); });
  connect(ui_.okButton, &QPushButton::clicked, this, &TForm1::Button1Click);
}

// ---- Life of the window ----

void TForm1::FormCreate() {
  CommandLineHandled = false;
  const QString folder =
      options_.programFolder.isEmpty() ? ProgramFolder() : options_.programFolder;
  doc_.workFolder = WorkFolderForProgram(folder, &doc_.madeFolders);
  ui_.pane->setHistoryFolder(ui::SystemName(doc_.workFolder));
  changePage_->checkDefaultButtons();
  // A new text is in the locale's encoding.
  doc_.localeEncoding = options_.localeEncoding.value_or(SystemLocaleEncoding());
  ui_.pane->setEncoding(doc_.localeEncoding);
  encodingChanged();
}

void TForm1::FormShow() {
  const QSize screenSize = options_.screenSize.value_or(screen()->size());
  ui::ApplyPlaces(this, ui::PlacesForScreen(screenSize.width(), screenSize.height()));
  preview_->place();
  changePage_->clearFilledFlags();
  ui::SetRole(this, QPalette::Window, ui::kWindowCream);
  ui::SetRole(ui_.pane, QPalette::Base, ui::kPaneBackground);
  ui::SetRole(ui_.pane, QPalette::Text, ui::kBlack);
  ui_.pane->setFocus(Qt::OtherFocusReason);
  ui::SetRole(ui_.nullsReminder, QPalette::Base, ui::kReminderBackground);
  // The reminder cannot be edited, but must stay readable.
  QPalette reminder = ui_.nullsReminder->palette();
  reminder.setColor(QPalette::Disabled, QPalette::Text, ui::kBlack);
  ui_.nullsReminder->setPalette(reminder);
}

void TForm1::FormActivate() {
  if (CommandLineHandled || commandLineTried_) return;
  const QString fileName = CommandLineFileName(options_.arguments);
  if (fileName.isEmpty()) return;
  commandLineTried_ = true;

  const PathParts parts = SplitPath(fileName);
  doc_.lastFolder = parts.folder;
  doc_.lastFileName = parts.name;
  // From here on the temporary files go next to the document.
  doc_.workFolder = WorkFolderForDocument(fileName, doc_.lastFolder, &doc_.madeFolders);
  ui_.pane->setHistoryFolder(ui::SystemName(doc_.workFolder));

  // A pipe (a process substitution, /dev/stdin) is read once to its end.
  LoadResult loaded = LoadResult::Failed;
  command([&] {
    loaded = LoadIntoPane(fileName, QString::fromLatin1(kNullsQuestion), doc_, *ui_.pane, *dialogs_,
                          /*allowPipe=*/true, options_.work);
  });
  if (loaded != LoadResult::Loaded && loaded != LoadResult::LoadedCleaned) return;
  setCaption(QString::fromLatin1(kCommandLineCaption) + fileName);
  ui_.nullsReminder->setVisible(loaded == LoadResult::LoadedCleaned);
  CommandLineHandled = true;
}

void TForm1::FormClose() {
  DeleteWorkFiles(doc_);
}

bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    // After the activation has settled, so that a question asked about the
    // command-line file does not run inside it.
    QMetaObject::invokeMethod(this, &TForm1::FormActivate, Qt::QueuedConnection);
  }
  return QMainWindow::event(event);
}

void TForm1::setVisible(bool visible) {
  // The first show settles the layout before the window is created on the
  // screen: a place given then is the frame's outer corner, which the window
  // manager keeps. Moved or resized once created, before the window manager
  // has told the frame's size, the window's inside would land on that corner
  // and its title bar above the screen's edge.
  if (visible && !shown_) {
    shown_ = true;
    FormShow();
  }
  QMainWindow::setVisible(visible);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A command waiting for its worker ends first (a signal cancels it).
  if (commands_ > 0) {
    closeWaiting_ = true;
    event->ignore();
    return;
  }
  if (!endingFromOutside_ && !mayLoseText()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TForm1::endFromOutside() {
  endingFromOutside_ = true;
  close();
}

// ---- Unsaved text ----

void TForm1::setCaption(const QString& caption) {
  caption_ = caption;
  textChanged();
}

void TForm1::textChanged() {
  const QString title = (ui_.pane->modified() ? QStringLiteral("*") : QString()) + caption_;
  if (windowTitle() != title) setWindowTitle(title);
  ui_.undoItem->setEnabled(ui_.pane->canUndo());
  ui_.redoItem->setEnabled(ui_.pane->canRedo());
}

bool TForm1::mayLoseText() {
  if (!ui_.pane->modified()) return true;
  const QString name =
      doc_.documentName.isEmpty() ? QString::fromLatin1(kUntitled) : doc_.documentName;
  switch (dialogs_->saveQuestion(QStringLiteral("Save changes to %1?").arg(name))) {
    case ui::SaveChoice::Save: {
      const bool saved = files_->saveAs();
      textChanged();
      return saved;
    }
    case ui::SaveChoice::Discard:
      return true;
    case ui::SaveChoice::Cancel:
      break;
  }
  return false;
}

void TForm1::command(const std::function<void()>& run) {
  ++commands_;
  try {
    run();
  } catch (...) {
    --commands_;
    throw;
  }
  --commands_;
  if (commands_ == 0 && closeWaiting_) {
    closeWaiting_ = false;
    close();
  }
}

// ---- Menus ----

void TForm1::Open1Click() {
  command([this] {
    if (mayLoseText()) files_->open();
  });
}
void TForm1::SaveAs1Click() {
  command([this] { files_->saveAs(); });
  textChanged();
}
void TForm1::Print1Click() {
  command([this] { files_->print(); });
}

void TForm1::SaveRecipe1Click() {
  recipes_->save();
}
void TForm1::ApplyRecipe1Click() {
  recipes_->apply();
}

void TForm1::Close1Click() {
  command([this] {
    if (!mayLoseText()) return;
    ui_.pane->setText(text::Text(), doc_.localeEncoding);
    ui_.nullsReminder->setVisible(false);
  });
}

void TForm1::Exit1Click() {
  close();
}

void TForm1::filename1Click() {
  command([this] {
    if (mayLoseText()) files_->openRecent();
  });
}
void TForm1::Undo1Click() {
  ui_.pane->undo();
}
void TForm1::Redo1Click() {
  ui_.pane->redo();
}
void TForm1::Search1Click() {
  view_->openFindDialog();
}
void TForm1::Cut1Click() {
  view_->cut();
}
void TForm1::Copy1Click() {
  view_->copy();
}
void TForm1::Paste1Click() {
  view_->paste();
}
void TForm1::Fonts1Click() {
  view_->chooseFont();
}

void TForm1::EncodingWindows1252Click() {
  const ui::BusyCursor busy;  // with word wrap on, every line is measured anew
  ui_.pane->setEncoding(text::Encoding::Windows1252);
}
void TForm1::EncodingUtf8Click() {
  const ui::BusyCursor busy;
  ui_.pane->setEncoding(text::Encoding::Utf8);
}

void TForm1::encodingChanged() {
  const text::Encoding encoding = ui_.pane->encoding();
  (encoding == text::Encoding::Utf8 ? ui_.utf8Item : ui_.windows1252Item)->setChecked(true);
  changePage_->setEncoding(encoding);
}

void TForm1::About1Click() {
  auto* about = new ui::TAboutQuorlin(this);
  about->show();
}

// ---- Page "Show/Edit Current Text" ----

void TForm1::SearchBtnClick() {
  view_->openFindDialog();
}
void TForm1::SearchBtnExit() {
  view_->returnFocusToPane();
}
void TForm1::WordwrapbtnClick() {
  view_->toggleWordWrap();
}
void TForm1::FindDialog1Find() {
  view_->findNext();
}
void TForm1::ApplicationEvents1Idle() {
  view_->updateStatusLine();
}

// ---- Page "Make Global Changes" ----

void TForm1::fieldLeft(QLineEdit* field) {
  using Handler = void (TForm1::*)();
  const std::pair<Field, Handler> handlers[] = {
      {Field::TestKey, &TForm1::Edit1Exit},      {Field::ReplacementKey, &TForm1::Edit2Exit},
      {Field::FirstLineNum, &TForm1::Edit3Exit}, {Field::LastLineNum, &TForm1::Edit4Exit},
      {Field::LineLength, &TForm1::Edit5Exit},   {Field::FirstCharPos, &TForm1::Edit6Exit},
      {Field::LastCharPos, &TForm1::Edit7Exit},  {Field::ReplPos, &TForm1::Edit9Exit},
  };
  for (const auto& [f, handler] : handlers) {
    if (ui_.field(f) == field) (this->*handler)();
  }
}

void TForm1::Edit1Exit() {
  changePage_->leaveField(Field::TestKey);
}
void TForm1::Edit2Exit() {
  changePage_->leaveField(Field::ReplacementKey);
}
void TForm1::Edit3Exit() {
  changePage_->leaveField(Field::FirstLineNum);
}
void TForm1::Edit4Exit() {
  changePage_->leaveField(Field::LastLineNum);
}
void TForm1::Edit5Exit() {
  changePage_->leaveField(Field::LineLength);
}
void TForm1::Edit6Exit() {
  changePage_->leaveField(Field::FirstCharPos);
}
void TForm1::Edit7Exit() {
  changePage_->leaveField(Field::LastCharPos);
}
void TForm1::Edit9Exit() {
  changePage_->leaveField(Field::ReplPos);
}

void TForm1::CheckBox1Click() {
  ui::ChangePage::colourOptionBox(ui_.retainPassingOnly);
}
void TForm1::CheckBox2Click() {
  ui::ChangePage::colourOptionBox(ui_.caseSensitive);
}
void TForm1::LCaseCheckBoxClick() {
  changePage_->caseBoxClicked(ui_.outputLowerCase, ui_.outputUpperCase);
}
void TForm1::UCasecheckboxClick() {
  changePage_->caseBoxClicked(ui_.outputUpperCase, ui_.outputLowerCase);
}

void TForm1::Button1Click() {
  // The click took the focus from a field: its check comes first, and when it
  // had to correct the field the user looks at that before anything runs.
  if (exits_->flush() > 0) return;
  command([this] { changePage_->pressOk(doc_.workFolder, options_.work); });
}

}  // namespace quorlin::app
