#include "app/UQuorlin.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app/FileCommands.h"
#include "ui/AboutU.h"
#include "ui/ChangePage.h"
#include "ui/Colours.h"
#include "ui/Dialogs.h"
#include "ui/FieldExits.h"
#include "ui/FindDialog.h"
#include "ui/MainWindowLayout.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

namespace quorlin {

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
  app::PrintSystem* printSystem = options_.printSystem;
  if (printSystem == nullptr) {
    ownPrintSystem_ = app::SystemPrintSystem();
    printSystem = ownPrintSystem_.get();
  }
  files_ = std::make_unique<app::FileCommands>(*this, ui_, doc_, *dialogs_, *printSystem);
  view_ = std::make_unique<ui::ViewCommands>(*this, ui_, *dialogs_);
  ConnectHandlers();
  FormCreate();
}

TForm1::~TForm1() {
  // The fields go with the window's base class, after the change page: no
  // check of a field left while they are destroyed may reach the page.
  delete exits_;
  exits_ = nullptr;
}

void TForm1::ConnectHandlers() {
  connect(ui_.Open1, &QAction::triggered, this, &TForm1::Open1Click);
  connect(ui_.SaveAs1, &QAction::triggered, this, &TForm1::SaveAs1Click);
  connect(ui_.Print1, &QAction::triggered, this, &TForm1::Print1Click);
  connect(ui_.Close1, &QAction::triggered, this, &TForm1::Close1Click);
  connect(ui_.Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(ui_.filename1, &QAction::triggered, this, &TForm1::filename1Click);
  connect(ui_.Search1, &QAction::triggered, this, &TForm1::Search1Click);
  connect(ui_.Cut1, &QAction::triggered, this, &TForm1::Cut1Click);
  connect(ui_.Copy1, &QAction::triggered, this, &TForm1::Copy1Click);
  connect(ui_.Paste1, &QAction::triggered, this, &TForm1::Paste1Click);
  connect(ui_.Fonts1, &QAction::triggered, this, &TForm1::Fonts1Click);
  connect(ui_.About1, &QAction::triggered, this, &TForm1::About1Click);

  connect(ui_.SearchBtn, &QPushButton::clicked, this, &TForm1::SearchBtnClick);
  connect(ui_.Wordwrapbtn, &QPushButton::clicked, this, &TForm1::WordwrapbtnClick);
  connect(view_.get(), &ui::ViewCommands::searchButtonLeft, this, &TForm1::SearchBtnExit);
  connect(&view_->findDialog(), &ui::FindDialog::findNextPressed, this, &TForm1::FindDialog1Find);
  // Tied to the view commands, so that it ends before they do.
  connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
          view_.get(), [this] { ApplicationEvents1Idle(); });

  for (QLineEdit* field :
       {ui_.Edit1, ui_.Edit2, ui_.Edit3, ui_.Edit4, ui_.Edit5, ui_.Edit6, ui_.Edit7, ui_.Edit9}) {
    exits_->watch(field);
  }
  connect(exits_, &ui::FieldExitWatcher::left, this, &TForm1::FieldLeft);
  connect(ui_.CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
  connect(ui_.CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
  connect(ui_.LCaseCheckBox, &QCheckBox::toggled, this, &TForm1::LCaseCheckBoxClick);
  connect(ui_.UCasecheckbox, &QCheckBox::toggled, this, &TForm1::UCasecheckboxClick);
  connect(ui_.Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

// ---- Life of the window ----

void TForm1::FormCreate() {
  CommandLineHandled = false;
  const QString folder =
      options_.programFolder.isEmpty() ? app::ProgramFolder() : options_.programFolder;
  doc_.workFolder = app::WorkFolderFor(folder, app::CanHoldWorkFiles, &doc_.madeFolders);
  changePage_->CheckDefaultButtons();
}

void TForm1::FormShow() {
  const QSize screenSize = options_.screenSize.value_or(screen()->size());
  ui::ApplyPlaces(this, ui::PlacesForScreen(screenSize.width(), screenSize.height()));
  changePage_->ClearFilledFlags();
  ui::SetRole(this, QPalette::Window, ui::kWindowCream);
  ui::SetRole(ui_.RichEdit1, QPalette::Base, ui::kPaneBackground);
  ui::SetRole(ui_.RichEdit1, QPalette::Text, ui::kBlack);
  ui_.RichEdit1->setFocus(Qt::OtherFocusReason);
  ui::SetRole(ui_.NullsReminder, QPalette::Base, ui::kReminderBackground);
  // The reminder cannot be edited, but must stay readable.
  QPalette reminder = ui_.NullsReminder->palette();
  reminder.setColor(QPalette::Disabled, QPalette::Text, ui::kBlack);
  ui_.NullsReminder->setPalette(reminder);
}

void TForm1::FormActivate() {
  if (CommandLineHandled || commandLineTried_) return;
  const QString fileName = app::CommandLineFileName(options_.arguments);
  if (fileName.isEmpty()) return;
  commandLineTried_ = true;

  const app::PathParts parts = app::SplitPath(fileName);
  doc_.lastFolder = parts.folder;
  doc_.lastFileName = parts.name;
  // From here on the temporary files go next to the document.
  doc_.workFolder = app::WorkFolderForDocument(fileName, doc_.lastFolder, &doc_.madeFolders);

  // A pipe (a process substitution, /dev/stdin) is read once to its end.
  const app::LoadResult loaded =
      app::LoadIntoPane(fileName, QString::fromLatin1(app::kNullsQuestion), doc_, *ui_.RichEdit1,
                        *dialogs_, /*allowPipe=*/true);
  if (loaded != app::LoadResult::Loaded && loaded != app::LoadResult::LoadedCleaned) return;
  setWindowTitle(QString::fromLatin1(app::kCommandLineCaption) + fileName);
  ui_.NullsReminder->setVisible(loaded == app::LoadResult::LoadedCleaned);
  CommandLineHandled = true;
}

void TForm1::FormClose() {
  app::DeleteWorkFiles(doc_);
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
  FormClose();
  event->accept();
}

// ---- Menus ----

void TForm1::Open1Click() {
  files_->Open();
}
void TForm1::SaveAs1Click() {
  files_->SaveAs();
}
void TForm1::Print1Click() {
  files_->Print();
}

void TForm1::Close1Click() {
  ui_.RichEdit1->setText(text::Text());
  ui_.NullsReminder->setVisible(false);
}

void TForm1::Exit1Click() {
  close();
}

void TForm1::filename1Click() {
  files_->OpenRecent();
}
void TForm1::Search1Click() {
  view_->OpenFindDialog();
}
void TForm1::Cut1Click() {
  view_->Cut();
}
void TForm1::Copy1Click() {
  view_->Copy();
}
void TForm1::Paste1Click() {
  view_->Paste();
}
void TForm1::Fonts1Click() {
  view_->ChooseFont();
}

void TForm1::About1Click() {
  auto* about = new ui::TAboutQuorlin(this);
  about->show();
}

// ---- Page "Show/Edit Current Text" ----

void TForm1::SearchBtnClick() {
  view_->OpenFindDialog();
}
void TForm1::SearchBtnExit() {
  view_->SearchButtonLeft();
}
void TForm1::WordwrapbtnClick() {
  view_->ToggleWordWrap();
}
void TForm1::FindDialog1Find() {
  view_->FindNext();
}
void TForm1::ApplicationEvents1Idle() {
  view_->UpdateStatusLine();
}

// ---- Page "Make Global Changes" ----

void TForm1::FieldLeft(QLineEdit* field) {
  using Handler = void (TForm1::*)();
  const std::pair<QLineEdit*, Handler> handlers[] = {
      {ui_.Edit1, &TForm1::Edit1Exit}, {ui_.Edit2, &TForm1::Edit2Exit},
      {ui_.Edit3, &TForm1::Edit3Exit}, {ui_.Edit4, &TForm1::Edit4Exit},
      {ui_.Edit5, &TForm1::Edit5Exit}, {ui_.Edit6, &TForm1::Edit6Exit},
      {ui_.Edit7, &TForm1::Edit7Exit}, {ui_.Edit9, &TForm1::Edit9Exit},
  };
  for (const auto& [edit, handler] : handlers) {
    if (edit == field) (this->*handler)();
  }
}

void TForm1::Edit1Exit() {
  changePage_->LeaveTestKey();
}
void TForm1::Edit2Exit() {
  changePage_->LeaveReplacementKey();
}
void TForm1::Edit3Exit() {
  changePage_->LeaveNumberField(NumericField::FirstLineNum);
}
void TForm1::Edit4Exit() {
  changePage_->LeaveNumberField(NumericField::LastLineNum);
}
void TForm1::Edit5Exit() {
  changePage_->LeaveNumberField(NumericField::LineLength);
}
void TForm1::Edit6Exit() {
  changePage_->LeaveNumberField(NumericField::FirstCharPos);
}
void TForm1::Edit7Exit() {
  changePage_->LeaveNumberField(NumericField::LastCharPos);
}
void TForm1::Edit9Exit() {
  changePage_->LeaveNumberField(NumericField::ReplPos);
}

void TForm1::CheckBox1Click() {
  ui::ChangePage::ColourOptionBox(ui_.CheckBox1);
}
void TForm1::CheckBox2Click() {
  ui::ChangePage::ColourOptionBox(ui_.CheckBox2);
}
void TForm1::LCaseCheckBoxClick() {
  changePage_->CaseBoxClicked(ui_.LCaseCheckBox, ui_.UCasecheckbox);
}
void TForm1::UCasecheckboxClick() {
  changePage_->CaseBoxClicked(ui_.UCasecheckbox, ui_.LCaseCheckBox);
}

void TForm1::Button1Click() {
  // The click took the focus from a field: its check comes first, and when it
  // had to correct the field the user looks at that before anything runs.
  if (exits_->flush() > 0) return;
  changePage_->PressOk(doc_.workFolder);
}

}  // namespace quorlin
