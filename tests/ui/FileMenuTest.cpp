// File > Open and the recent-file entry, driven through the menu with
// scripted dialogs: what reaches the pane, the captions, the reminder and the
// names of the file last opened.
#include <QDir>
#include <QFileInfo>

#include "WindowFixture.h"
#include "app/FileCommands.h"

namespace quorlin::testing {
namespace {

using app::PathStyle;
using Lines = std::vector<std::string>;

const QString kOpenQuestion = QStringLiteral(
    "File contains UniCode or Database Null characters. Use Quorlin to open in plain text with "
    "Nulls removed?");
const QString kRecentQuestion =
    QStringLiteral("File contains Null binary characters. Use Quorlin to open with Nulls removed?");
const QString kOpenCaption = QStringLiteral("Quorlin Text Formatter 3.4 - [Sourcefile] - ");
const QString kRecentCaption = QStringLiteral("Quorlin Text Formatter 3.0c - [Sourcefile] - ");
const QString kRecentCleanedCaption =
    QStringLiteral("Quorlin Text Formatter 3.1 - [Sourcefile] - ");
const QString kDesignCaption = QStringLiteral("Quorlin 3.4 DataFile Text Editor");

QByteArray Bytes(const char* text, std::size_t size) {
  return {text, qsizetype(size)};
}

class FileMenu : public WindowTest {
 protected:
  static bool Busy() { return QApplication::overrideCursor() != nullptr; }

  // File > Open, the dialog answering file (empty: cancelled) and any
  // question answered in turn.
  void OpenFile(const QString& file, std::deque<bool> answers = {}) {
    dialogs.fileAnswers = {file};
    dialogs.confirmAnswers = std::move(answers);
    ui().Open1->trigger();
    QCoreApplication::processEvents();
  }
  void OpenRecent(std::deque<bool> answers = {}) {
    dialogs.confirmAnswers = std::move(answers);
    ui().filename1->trigger();
    QCoreApplication::processEvents();
  }
  QString Caption() const { return form->windowTitle(); }
  bool Reminder() { return ui().NullsReminder->isVisible(); }
  const app::DocumentState& Doc() const { return form->documentState(); }
};

TEST(FilePaths, TheOpenDialogsFolderAndFilter) {
  const struct {
    PathStyle style;
    const char* path;
    const char* folder;
  } rows[] = {
      {PathStyle::Windows, R"(D:\data\list.txt)", R"(D:\data)"},
      {PathStyle::Windows, R"(D:\list.txt)", "D:"},  // the drive alone
      {PathStyle::Windows, "list.txt", "list.txt"},  // no separator: the whole text
      {PathStyle::Posix, "/home/u/list.txt", "/home/u"},
      {PathStyle::Posix, "/list.txt", "/"},  // the root stays a folder
      {PathStyle::Posix, "list.txt", "list.txt"},
      {PathStyle::Posix, "/a b/c&d/\xC3\xA9.txt", "/a b/c&d"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(app::FolderOfPath(QString::fromUtf8(r.path), r.style), QString::fromUtf8(r.folder))
        << r.path;
  }
  // Two entries, "All Files" first; outside Windows it must list names without
  // a dot too.
  EXPECT_EQ(app::DialogFilter(QString::fromLatin1(app::kOpenFilter), PathStyle::Posix),
            QStringLiteral("All Files *.* (*);;Text Files *.txt (*.txt)"));
  EXPECT_EQ(app::DialogFilter(QString::fromLatin1(app::kOpenFilter), PathStyle::Windows),
            QStringLiteral("All Files *.* (*.*);;Text Files *.txt (*.txt)"));
}

// Every kind of file through File > Open, into a pane that held other text
// with the reminder in the state the load must change.
TEST_F(FileMenu, OpenLoadsEachKindOfFile) {
  const struct {
    const char* name;
    QByteArray bytes;
    bool zeros;  // the question is asked (and accepted)
    Lines lines;
    QByteArray copy;  // the cleaned copy
  } rows[] = {
      {"clean, CR LF", "one\r\ntwo\r\n", false, {"one", "two"}, {}},
      {"empty", "", false, {}, {}},
      {"UTF-8 text is no reason to ask", "caf\xC3\xA9\n", false, {"caf\xC3\xA9"}, {}},
      {"a zero byte in the middle", Bytes("ab\0cd\r\nef", 9), true, {"abcd", "ef"}, "abcd\r\nef"},
      {"a zero byte last, after CR LF", Bytes("x\0y\r\n\0", 6), true, {"xy"}, "xy\r\n"},
      {"UTF-16LE with its byte-order mark",
       Bytes("\xFF\xFEH\0i\0\r\0\n\0!\0", 12),
       true,
       {"\xFF\xFEHi", "!"},
       "\xFF\xFEHi\r\n!"},
      {"zero bytes only", Bytes("\0\0\0", 3), true, {}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start();
    WriteFile(QStringLiteral("doc.txt"), row.bytes);
    SetPaneLines({"earlier text"});
    ui().NullsReminder->setVisible(!row.zeros);

    OpenFile(path(QStringLiteral("doc.txt")), {true});
    EXPECT_EQ(PaneLines(), row.lines);
    EXPECT_EQ(Caption(), kOpenCaption + (row.zeros ? QStringLiteral("$") : QString()) +
                             path(QStringLiteral("doc.txt")));
    EXPECT_EQ(Reminder(), row.zeros);
    EXPECT_EQ(dialogs.texts(BoxKind::Confirm),
              row.zeros ? QStringList{kOpenQuestion} : QStringList{});
    if (row.zeros) {
      EXPECT_EQ(ReadFile(QStringLiteral("Tempinfile~.txt")), row.copy);
      EXPECT_TRUE(dialogs.texts(BoxKind::Confirm).size() == 1 && dialogs.boxes.back().busy);
    } else {
      EXPECT_FALSE(exists(QStringLiteral("Tempinfile~.txt")));
      dialogs.confirmAnswers.clear();  // the unused answer
    }
    EXPECT_EQ(Doc().lastFolder, folder());
    EXPECT_EQ(Doc().lastFileName, QStringLiteral("doc.txt"));
    EXPECT_FALSE(Busy());
    dialogs.boxes.clear();
    QFile::remove(path(QStringLiteral("Tempinfile~.txt")));
  }
}

TEST_F(FileMenu, DeclinedQuestionKeepsThePaneButNamesTheDeclinedFile) {
  WriteFile(QStringLiteral("first.dat"), Bytes("kept\0\n", 6));
  WriteFile(QStringLiteral("second.dat"), Bytes("new\0\n", 5));
  Start();
  OpenFile(path(QStringLiteral("first.dat")), {true});
  const QString caption = Caption();
  ASSERT_TRUE(Reminder());

  QDir(folder()).mkdir(QStringLiteral("sub"));
  ASSERT_TRUE(QFile::rename(path(QStringLiteral("second.dat")), path(QStringLiteral("sub/2.dat"))));
  OpenFile(path(QStringLiteral("sub/2.dat")), {false});
  EXPECT_EQ(PaneLines(), Lines{"kept"});
  EXPECT_EQ(Caption(), caption);
  EXPECT_TRUE(Reminder());
  EXPECT_EQ(ReadFile(QStringLiteral("Tempinfile~.txt")), "kept\n");  // not written again
  EXPECT_FALSE(Busy());
  // The recent-file entry and the names Save As will propose point at it already.
  EXPECT_EQ(ui().filename1->text(), QStringLiteral("&1 ") + path(QStringLiteral("sub/2.dat")));
  EXPECT_EQ(Doc().lastFolder, path(QStringLiteral("sub")));
  EXPECT_EQ(Doc().lastFileName, QStringLiteral("2.dat"));
}

#ifdef Q_OS_UNIX
// The first dialog starts in the user's Documents folder, or at home while
// there is none; every later one in the folder of the file chosen last. A
// cancelled dialog changes nothing.
TEST_F(FileMenu, OpenDialogStartsInDocumentsThenWhereTheLastFileWas) {
  const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
  const QString home = path(QStringLiteral("home"));
  ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/config")));
  qputenv("HOME", QFile::encodeName(home));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
  Start();
  SetPaneLines({"text"});

  OpenFile(QString());
  ASSERT_TRUE(QDir(home).mkdir(QStringLiteral("Documents")));
  OpenFile(QString());
  // Cancelled: nothing changed, no entry yet.
  EXPECT_FALSE(ui().filename1->isVisible());
  EXPECT_FALSE(ui().filesep2->isVisible());
  EXPECT_EQ(Caption(), kDesignCaption);
  EXPECT_TRUE(Doc().lastFileName.isEmpty());
  EXPECT_EQ(PaneLines(), Lines{"text"});
  ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("a/b"))));
  WriteFile(QStringLiteral("a/b/list.txt"), "x\n");
  OpenFile(path(QStringLiteral("a/b/list.txt")));
  OpenFile(QString());

  qputenv("HOME", savedHome);
  if (savedConfig.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", savedConfig);
  }
  EXPECT_EQ(dialogs.texts(BoxKind::OpenFile),
            (QStringList{home, home + QStringLiteral("/Documents"),
                         home + QStringLiteral("/Documents"), path(QStringLiteral("a/b"))}));
}
#endif

TEST_F(FileMenu, RecentEntryReopensWithItsOwnCaptionsAndQuestion) {
  WriteFile(QStringLiteral("doc.txt"), "one\ntwo\n");
  Start();
  EXPECT_FALSE(ui().filename1->isVisible());
  OpenFile(path(QStringLiteral("doc.txt")));
  EXPECT_TRUE(ui().filesep2->isVisible());
  EXPECT_TRUE(ui().filename1->isVisible());
  EXPECT_EQ(ui().filename1->text(), QStringLiteral("&1 ") + path(QStringLiteral("doc.txt")));

  // A clean file: reloaded over the edits, "3.0c".
  SetPaneLines({"edited"});
  ui().NullsReminder->setVisible(true);
  OpenRecent();
  EXPECT_EQ(PaneLines(), (Lines{"one", "two"}));
  EXPECT_EQ(Caption(), kRecentCaption + path(QStringLiteral("doc.txt")));
  EXPECT_FALSE(Reminder());

  // Zero bytes now: its own question, asked without the busy pointer.
  WriteFile(QStringLiteral("doc.txt"), Bytes("a\0b\n", 4));
  OpenRecent({false});
  EXPECT_EQ(PaneLines(), (Lines{"one", "two"}));
  EXPECT_EQ(Caption(), kRecentCaption + path(QStringLiteral("doc.txt")));
  OpenRecent({true});
  EXPECT_EQ(PaneLines(), Lines{"ab"});
  EXPECT_EQ(Caption(), kRecentCleanedCaption + path(QStringLiteral("doc.txt")));
  EXPECT_TRUE(Reminder());
  EXPECT_EQ(dialogs.texts(BoxKind::Confirm), (QStringList{kRecentQuestion, kRecentQuestion}));
  for (const Box& box : dialogs.boxes) EXPECT_FALSE(box.busy);

  // Gone: the scan fails, the pane and the entry stay.
  ASSERT_TRUE(QFile::remove(path(QStringLiteral("doc.txt"))));
  OpenRecent();
  EXPECT_EQ(dialogs.texts(BoxKind::Error),
            QStringList{QStringLiteral("File not found\n") + path(QStringLiteral("doc.txt"))});
  EXPECT_EQ(PaneLines(), Lines{"ab"});
  EXPECT_EQ(Caption(), kRecentCleanedCaption + path(QStringLiteral("doc.txt")));
  EXPECT_TRUE(ui().filename1->isVisible());
  EXPECT_FALSE(Busy());
}

// An "&" in a path is shown as itself in the entry, and the entry opens the
// exact file and sets the folder Save As proposes.
TEST_F(FileMenu, RecentEntryWithAnAmpersandOpensTheExactFile) {
  ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("R&D")));
  WriteFile(QStringLiteral("R&D/a&b.txt"), "exact\n");
  Start();
  OpenFile(path(QStringLiteral("R&D/a&b.txt")));
  EXPECT_EQ(ui().filename1->text(), QStringLiteral("&1 ") + folder() + "/R&&D/a&&b.txt");

  SetPaneLines({});
  OpenRecent();
  EXPECT_EQ(PaneLines(), Lines{"exact"});
  EXPECT_EQ(Caption(), kRecentCaption + path(QStringLiteral("R&D/a&b.txt")));
  EXPECT_EQ(Doc().lastFolder, path(QStringLiteral("R&D")));
  EXPECT_EQ(Doc().lastFileName, QStringLiteral("a&b.txt"));
  OpenFile(QString());
  EXPECT_EQ(dialogs.texts(BoxKind::OpenFile).last(), path(QStringLiteral("R&D")));
  EXPECT_TRUE(dialogs.texts(BoxKind::Error).isEmpty());
}

TEST_F(FileMenu, FileThatVanishedBeforeTheScanKeepsThePaneButNotTheOldNames) {
  Start();
  SetPaneLines({"kept"});
  OpenFile(path(QStringLiteral("nowhere.txt")));
  EXPECT_EQ(dialogs.texts(BoxKind::Error),
            QStringList{QStringLiteral("File not found\n") + path(QStringLiteral("nowhere.txt"))});
  EXPECT_TRUE(dialogs.boxes.back().busy);
  EXPECT_FALSE(Busy());
  EXPECT_EQ(PaneLines(), Lines{"kept"});
  EXPECT_EQ(Caption(), kDesignCaption);
  EXPECT_EQ(Doc().lastFileName, QStringLiteral("nowhere.txt"));
  EXPECT_TRUE(ui().filename1->isVisible());
}

}  // namespace
}  // namespace quorlin::testing
