// SPDX-License-Identifier: Apache-2.0
// Recipes in the window: the runs that made a text saved as a recipe, the
// recipe applied to the text as first opened through the preview and OK,
// and quorlin-batch giving the same bytes from the same file.
#include <QListWidget>
#include <QProcess>
#include <QSignalSpy>

#include "WindowFixture.h"
#include "ui/ChangePage.h"
#include "ui/ChangePreview.h"

namespace quorlin::testing {
namespace {

const QByteArray kOpened =
    "b <i>one two</i> key\n\ta one two\nc three\n\n<b\nx> d one two four\na three\n";

class Recipes : public WindowTest {
 protected:
  // File > Open of name, discarding the text shown.
  void Open(const QString& name) {
    if (pane().modified()) dialogs.saveAnswers.push_back(ui::SaveChoice::Discard);
    dialogs.fileAnswers.push_back(path(name));
    ui().openItem->trigger();
  }
  // The preview once it has settled.
  void WaitForPreview() {
    QSignalSpy shown(&form->preview(), &ui::ChangePreview::shown);
    for (int i = 0; i < 100 && form->preview().pending(); ++i) shown.wait(100);
  }
  QByteArray Batch(const QStringList& args) {
    QProcess batch;
    batch.start(QStringLiteral(QUORLIN_BATCH), args);
    EXPECT_TRUE(batch.waitForFinished(30000));
    EXPECT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
    return batch.readAllStandardOutput();
  }
};

// Runs made in the window, saved, then applied to the text as first opened:
// the same bytes as the runs gave, and as quorlin-batch --recipe gives from
// the file. A hand edit between runs is said in the file and in a message;
// a text no run made saves nothing; a faulty recipe changes nothing.
TEST_F(Recipes, SavedRunsReplayOnTheTextAsOpened) {
  const Req strip{.action = 30};
  const Req replace{.test = 3, .action = 31, .key = "one two", .repl = "it's $x \\"};
  const Req sort{.action = 32};
  const struct {
    const char* name;
    std::vector<Req> runs;
    std::size_t editBefore;  // the run a hand edit comes before; 0: none
    QByteArray file;         // applied instead of the saved recipe
    QString message;         // the start of the one message shown
  } rows[] = {
      {"three runs", {strip, replace, sort}, 0, {}, {}},
      {"a hand edit between runs",
       {strip, replace, sort},
       2,
       {},
       QStringLiteral("The recipe is saved without the hand edits made before step 2")},
      {"nothing to save",
       {},
       0,
       {},
       QStringLiteral("No change run made this text since it was opened")},
      {"a step that forces its line ends",
       {strip},
       0,
       "quorlin-recipe 1\n-a strip-tags --crlf\n",
       {}},
      {"a faulty recipe",
       {},
       0,
       "quorlin-recipe 1\n-a strip-tags\n-o out\n",
       QStringLiteral("Recipe doc.recipe, line 3: ")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs.boxes.clear();
    dialogs.fileAnswers.clear();
    QFile::remove(path(QStringLiteral("doc.recipe")));
    WriteFile(QStringLiteral("doc.txt"), kOpened);
    Start();
    Open(QStringLiteral("doc.txt"));
    for (std::size_t i = 0; i < row.runs.size(); ++i) {
      if (i + 1 == row.editBefore) {
        pane().setFocus();
        Select(0, 0);
        TypeText(&pane(), QStringLiteral("X"));
      }
      EnterRequest(row.runs[i]);
      ClickOk();
    }
    const std::string made = PaneBytes();
    if (row.file.isEmpty()) {
      dialogs.fileAnswers.push_back(path(QStringLiteral("doc.recipe")));
      ui().saveRecipeItem->trigger();
      EXPECT_EQ(dialogs.texts(BoxKind::SaveFile),
                row.runs.empty() ? QStringList()
                                 : QStringList{folder() + "|doc.recipe|Save Changes as Recipe"});
    } else {
      WriteFile(QStringLiteral("doc.recipe"), row.file);
    }
    const QByteArray recipe = ReadFile(QStringLiteral("doc.recipe"));
    EXPECT_EQ(recipe.contains("Hand edits"), row.editBefore > 0) << recipe.toStdString();

    if (exists(QStringLiteral("doc.recipe"))) {
      Open(QStringLiteral("doc.txt"));
      dialogs.fileAnswers.push_back(path(QStringLiteral("doc.recipe")));
      ui().applyRecipeItem->trigger();
      if (form->changePage().recipe() != nullptr) WaitForPreview();
    }
    const QStringList messages = dialogs.texts();
    ASSERT_EQ(messages.size(), row.message.isEmpty() ? 0 : 1) << messages.join('\n').toStdString();
    if (!row.message.isEmpty()) {
      EXPECT_TRUE(messages[0].startsWith(row.message)) << messages[0].toStdString();
    }
    if (row.runs.empty()) {
      // No file, or one refused: nothing held, nothing changed.
      EXPECT_EQ(form->changePage().recipe(), nullptr);
      EXPECT_EQ(PaneBytes(), kOpened.toStdString());
      continue;
    }
    ASSERT_NE(form->changePage().recipe(), nullptr);
    // Each step and its figures; the last step's are what OK leaves.
    EXPECT_EQ(ui().previewList->count(), 2 * int(row.runs.size()));
    const std::optional<RunStats> figures = form->preview().shownFigures();
    ASSERT_TRUE(figures.has_value());
    ClickOk();
    EXPECT_EQ(figures->linesOut, PaneLines().size());
    if (row.editBefore == 0 && row.file.isEmpty()) {
      EXPECT_EQ(PaneBytes(), made);
    }
    // The pane holds lines; saved, they end as the batch program ends them.
    const QByteArray batch = Batch({QStringLiteral("--recipe"), path(QStringLiteral("doc.recipe")),
                                    path(QStringLiteral("doc.txt"))});
    EXPECT_EQ(PaneBytes(), QByteArray(batch).replace("\r\n", "\n").toStdString());
    dialogs.fileAnswers.push_back(path(QStringLiteral("saved.txt")));
    ui().saveAsItem->trigger();
    EXPECT_EQ(ReadFile(QStringLiteral("saved.txt")), batch);
    // Saved again, the applied recipe is the same file.
    if (row.editBefore == 0) {
      dialogs.fileAnswers.push_back(path(QStringLiteral("again.recipe")));
      ui().saveRecipeItem->trigger();
      EXPECT_EQ(ReadFile(QStringLiteral("again.recipe")), ReadFile(QStringLiteral("doc.recipe")));
    }
    // One undo step back to the text as opened; the recipe is let go.
    EXPECT_EQ(form->changePage().recipe(), nullptr);
    ui().undoItem->trigger();
    EXPECT_EQ(PaneBytes(), kOpened.toStdString());
    dialogs.fileAnswers.push_back(path(QStringLiteral("undone.txt")));
    ui().saveAsItem->trigger();
    EXPECT_EQ(ReadFile(QStringLiteral("undone.txt")), kOpened);
  }
}

// A recipe reads the text as its runs did, though the view was switched
// since; runs made in both encodings save nothing.
TEST_F(Recipes, SavedInTheEncodingOfItsRuns) {
  WriteFile(QStringLiteral("doc.txt"), kOpened);
  Start();
  Open(QStringLiteral("doc.txt"));
  ui().utf8Item->trigger();
  EnterRequest(Req{.action = 30});
  ClickOk();
  ui().windows1252Item->trigger();
  dialogs.fileAnswers.push_back(path(QStringLiteral("utf8.recipe")));
  ui().saveRecipeItem->trigger();
  EXPECT_TRUE(ReadFile(QStringLiteral("utf8.recipe")).contains("\nencoding utf8\n"));

  EnterRequest(Req{.action = 13});
  ClickOk();
  dialogs.boxes.clear();
  dialogs.fileAnswers.push_back(path(QStringLiteral("mixed.recipe")));
  ui().saveRecipeItem->trigger();
  EXPECT_FALSE(exists(QStringLiteral("mixed.recipe")));
  ASSERT_EQ(dialogs.texts().size(), 1);
  EXPECT_TRUE(dialogs.texts()[0].contains(QStringLiteral("different encodings")));
}

}  // namespace
}  // namespace quorlin::testing
