// SPDX-License-Identifier: Apache-2.0
// Taking a change back and not losing text: undo and redo of change runs
// among hand edits, the question before unsaved text is lost, and the cancel
// of a long command at each step of its work.
#include <QDir>
#include <QPdfWriter>
#include <QSignalSpy>

#include "WindowFixture.h"
#include "engine/WorkFiles.h"

namespace quorlin::testing {
namespace {

using ui::SaveChoice;

const QString kOpenCaption = QStringLiteral("Quorlin Text Formatter 3.1 - [Sourcefile] - ");

class History : public WindowTest {
 protected:
  // The window on doc.txt (from the command line), one hand edit made.
  void StartEdited(const QByteArray& bytes = "one\ttwo\nthree\nkey four\n\nfive five\n") {
    WriteFile(QStringLiteral("doc.txt"), bytes);
    Start({path(QStringLiteral("doc.txt"))});
    pane().setFocus();
    Select(0, 0);
    TypeText(&pane(), QStringLiteral("E"));
  }
  QString Title() const { return form->windowTitle(); }
  QString Caption() const { return kOpenCaption + path(QStringLiteral("doc.txt")); }
};

// Each kind of run undone brings back the text before the OK byte for byte,
// the hand edit before it included; redo brings the run's text back.
TEST_F(History, UndoAndRedoOfEachKindOfRun) {
  const struct {
    const char* name;
    Req req;
  } rows[] = {
      {"in place", {.test = 3, .action = 22, .key = "e"}},
      {"delete", {.test = 3, .action = 14, .key = "five"}},
      {"add", {.action = 27, .repl = "new"}},
      {"split", {.action = 20, .length = "3"}},
      {"join", {.action = 44}},
      {"sort", {.action = 32}},
      {"duplicates, upper case", {.action = 43, .upper = true}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StartEdited();
    const std::string opened = "one\ttwo\nthree\nkey four\n\nfive five\n";
    const std::string edited = PaneBytes();
    EXPECT_EQ(Title(), QLatin1Char('*') + Caption());
    EnterRequest(row.req);
    ClickOk();
    const std::string changed = PaneBytes();
    ASSERT_NE(changed, edited);
    EXPECT_EQ(Title(), QLatin1Char('*') + Caption());

    ui().undoItem->trigger();
    EXPECT_EQ(PaneBytes(), edited);
    ui().undoItem->trigger();
    EXPECT_EQ(PaneBytes(), opened);
    EXPECT_EQ(Title(), Caption());  // back at the text as opened
    EXPECT_FALSE(ui().undoItem->isEnabled());
    ui().redoItem->trigger();
    ui().redoItem->trigger();
    EXPECT_EQ(PaneBytes(), changed);
    EXPECT_FALSE(ui().redoItem->isEnabled());
    dialogs.saveAnswers = {SaveChoice::Discard};
  }
}

// Runs on a text large enough that the history keeps it on disk: after each
// run the text before it leaves memory, and undo still gives it back whole.
TEST_F(History, LargeTextsUndoneFromDisk) {
  QByteArray big;
  for (int i = 0; i < 60000; ++i) big += "line " + QByteArray::number(i) + "\tof a larger text\n";
  StartEdited(big);
  QSignalSpy kept(&pane(), &ui::TextPane::historyKept);
  std::vector<std::string> texts{PaneBytes()};
  for (const Req& r : {Req{.action = 13, .upper = true}, Req{.action = 16, .length = "9"}}) {
    const qsizetype before = kept.count();
    EnterRequest(r);
    ClickOk();
    ASSERT_TRUE(kept.count() > before || kept.wait(10000));
    texts.push_back(PaneBytes());
  }
  EXPECT_EQ(pane().runsKept(), 2u);
  for (auto t = texts.rbegin() + 1; t != texts.rend(); ++t) {
    ui().undoItem->trigger();
    EXPECT_EQ(PaneBytes(), *t);
  }
  dialogs.saveAnswers = {SaveChoice::Discard};
}

// Closing, Exit, Open, the recent entry and File > Close ask before unsaved
// text is lost; Save runs Save As, and a cancelled or failed save cancels.
TEST_F(History, UnsavedTextIsAskedAbout) {
  enum Command { CloseWindow, Exit, Open, Recent, CloseText };
  const struct {
    const char* name;
    Command command;
    SaveChoice answer;
    const char* savedAs;  // the save dialog's answer ("" cancels it)
    bool goesOn;
  } rows[] = {
      {"close, discard", CloseWindow, SaveChoice::Discard, "", true},
      {"close, cancel", CloseWindow, SaveChoice::Cancel, "", false},
      {"exit, save", Exit, SaveChoice::Save, "saved.txt", true},
      {"exit, save cancelled", Exit, SaveChoice::Save, "", false},
      {"exit, save failed", Exit, SaveChoice::Save, "no/such/folder/x.txt", false},
      {"open, discard", Open, SaveChoice::Discard, "", true},
      {"open, cancel", Open, SaveChoice::Cancel, "", false},
      {"recent, save", Recent, SaveChoice::Save, "saved.txt", true},
      {"recent, cancel", Recent, SaveChoice::Cancel, "", false},
      {"file close, discard", CloseText, SaveChoice::Discard, "", true},
      {"file close, cancel", CloseText, SaveChoice::Cancel, "", false},
  };
  WriteFile(QStringLiteral("other.txt"), "other\n");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StartEdited();
    if (row.command == Recent) {  // the recent entry names doc.txt
      dialogs.saveAnswers = {SaveChoice::Discard};
      dialogs.fileAnswers = {path(QStringLiteral("doc.txt"))};
      ui().openItem->trigger();
      TypeText(&pane(), QStringLiteral("E"));
    }
    const std::string edited = PaneBytes();
    dialogs.boxes.clear();
    dialogs.saveAnswers = {row.answer};
    dialogs.fileAnswers.clear();
    if (row.answer == SaveChoice::Save)
      dialogs.fileAnswers.push_back(*row.savedAs ? path(QLatin1String(row.savedAs)) : QString());
    if (row.command == Open) dialogs.fileAnswers.push_back(path(QStringLiteral("other.txt")));
    switch (row.command) {
      case CloseWindow:
        form->close();
        break;
      case Exit:
        ui().exitItem->trigger();
        break;
      case Open:
        ui().openItem->trigger();
        break;
      case Recent:
        ui().recentItem->trigger();
        break;
      case CloseText:
        ui().closeItem->trigger();
        break;
    }
    ASSERT_FALSE(dialogs.boxes.empty());
    EXPECT_EQ(dialogs.boxes[0].kind, BoxKind::SaveQuestion);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Save changes to doc.txt?"));
    const bool closes = row.command == CloseWindow || row.command == Exit;
    if (closes) {
      EXPECT_EQ(form->isVisible(), !row.goesOn);
    }
    if (!row.goesOn || closes) {
      EXPECT_EQ(PaneBytes(), edited);
    }
    if (row.goesOn && row.command == Open) {
      EXPECT_EQ(PaneBytes(), "other\n");
    }
    if (row.goesOn && row.command == Recent) {
      EXPECT_FALSE(pane().modified());
    }
    if (row.goesOn && row.command == CloseText) {
      EXPECT_EQ(PaneBytes(), "");
    }
    if (row.answer == SaveChoice::Save && row.goesOn) {
      EXPECT_EQ(ReadFile(QLatin1String(row.savedAs)).toStdString(), edited);
      QFile::remove(path(QLatin1String(row.savedAs)));
    }
    dialogs.saveAnswers = {SaveChoice::Discard};
    form.reset();
  }
}

// A text never opened or saved is "Untitled"; a signal from outside closes
// without a question, the work files going as at every close.
TEST_F(History, UntitledTextAndAnEndFromOutside) {
  Start();
  TypeText(&pane(), QStringLiteral("new"));
  EXPECT_EQ(Title(), QStringLiteral("*Quorlin 3.4 DataFile Text Editor"));
  dialogs.saveAnswers = {SaveChoice::Cancel};
  form->close();
  EXPECT_EQ(dialogs.texts(BoxKind::SaveQuestion), QStringList{"Save changes to Untitled?"});
  ClickOk();
  ASSERT_TRUE(exists(QString::fromLatin1(kRunOutputFile)));
  form->endFromOutside();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(exists(QString::fromLatin1(kRunOutputFile)));
  EXPECT_EQ(dialogs.texts(BoxKind::SaveQuestion).size(), 1);
}

// Prints to a PDF file; printed tells whether a job got its pages.
class PdfPrinter final : public app::PrintSystem {
 public:
  explicit PdfPrinter(QString file) : file_(std::move(file)) {}
  app::PrintOutcome print(const app::PagePainter& paint, const std::atomic<bool>& stop) override {
    QPdfWriter pdf(file_);
    printed = paint(pdf, stop);
    return printed ? app::PrintOutcome::Printed : app::PrintOutcome::Failed;
  }
  bool printed = false;

 private:
  QString file_;
};

// Open, a change run, Save As and Print cancelled at each step of their work
// leave the pane, its history, the title and the files as they were.
TEST_F(History, CancelAtEachStepChangesNothing) {
  QByteArray large;  // read in several blocks
  for (int i = 0; i < 100000; ++i) large += "a line of the file to open\n";
  WriteFile(QStringLiteral("large.txt"), large);
  PdfPrinter printer(path(QStringLiteral("print.pdf")));
  printSystem = &printer;
  workDelayMs = 0;
  const struct {
    const char* name;
    std::function<void()> command;
    std::function<void()> unchanged;  // checks what the command would have changed
  } rows[] = {
      {"open",
       [&] {
         dialogs.saveAnswers = {SaveChoice::Discard};
         dialogs.fileAnswers = {path(QStringLiteral("large.txt"))};
         ui().openItem->trigger();
       },
       [&] {
         EXPECT_FALSE(ui().recentItem->isVisible());
         EXPECT_EQ(form->documentState().lastFileName, QStringLiteral("doc.txt"));
       }},
      {"change run",
       [&] {
         EnterRequest({.test = 3, .action = 35, .key = "o", .repl = "!", .upper = true});
         ClickOk();
       },
       [&] {
         EXPECT_TRUE(ui().outputUpperCase->isChecked());
         EXPECT_FALSE(exists(QString::fromLatin1(kRunInputFile)));
         EXPECT_FALSE(exists(QString::fromLatin1(kRunOutputFile)));
       }},
      {"save as",
       [&] {
         WriteFile(QStringLiteral("target.txt"), "old\n");
         dialogs.fileAnswers = {path(QStringLiteral("target.txt"))};
         ui().saveAsItem->trigger();
       },
       [&] {
         EXPECT_EQ(ReadFile(QStringLiteral("target.txt")), "old\n");
         EXPECT_EQ(QDir(folder()).entryList(QDir::Files).filter(QStringLiteral("target")).size(),
                   1);
       }},
      {"print", [&] { ui().printItem->trigger(); }, [&] { EXPECT_FALSE(printer.printed); }},
  };
  for (const auto& row : rows) {
    // The steps of the work, counted on a command that runs to its end.
    StartEdited();
    dialogs.stepsSeen = 0;
    dialogs.cancelAtStep = 0;
    row.command();
    const int steps = dialogs.stepsSeen;
    ASSERT_GE(steps, 1) << row.name;
    dialogs.saveAnswers = {SaveChoice::Discard};
    form.reset();

    for (int step = 1; step <= steps; ++step) {
      SCOPED_TRACE(std::string(row.name) + ", step " + std::to_string(step));
      StartEdited();
      EnterRequest({.action = 13, .lower = true});
      ClickOk();  // a run in the history before the command
      const std::string before = PaneBytes();
      const QString title = Title();
      printer.printed = false;
      dialogs.boxes.clear();
      dialogs.stepsSeen = 0;
      dialogs.cancelAtStep = step;
      row.command();
      dialogs.cancelAtStep = 0;
      EXPECT_EQ(dialogs.texts(BoxKind::Progress).size(), 1);
      EXPECT_TRUE(dialogs.texts(BoxKind::Error).isEmpty());
      EXPECT_EQ(PaneBytes(), before);
      EXPECT_EQ(Title(), title);
      row.unchanged();
      ui().undoItem->trigger();  // the run before, then the hand edit
      EXPECT_EQ(PaneBytes(), "Eone\ttwo\nthree\nkey four\n\nfive five\n");
      ui().undoItem->trigger();
      EXPECT_FALSE(pane().modified());
      form.reset();
    }
  }
}

}  // namespace
}  // namespace quorlin::testing
