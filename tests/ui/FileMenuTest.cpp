// SPDX-License-Identifier: Apache-2.0
// File > Open, the recent-file entry and File > SaveAs, driven through the
// menu with scripted dialogs: what reaches the pane, the captions, the
// reminder, the names Save As proposes, and the bytes written.
#include <cerrno>
#include <csignal>
#include <cstring>

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "WindowFixture.h"
#include "app/FileCommands.h"
#ifdef Q_OS_UNIX
#include "tests/OtherUser.h"
#endif

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
    ui().openItem->trigger();
    QCoreApplication::processEvents();
  }
  void OpenRecent(std::deque<bool> answers = {}) {
    dialogs.confirmAnswers = std::move(answers);
    ui().recentItem->trigger();
    QCoreApplication::processEvents();
  }
  void SaveAs(const QString& file) {
    dialogs.fileAnswers = {file};
    ui().saveAsItem->trigger();
  }
  QString Caption() const { return form->windowTitle(); }
  bool Reminder() { return ui().nullsReminder->isVisible(); }
  const app::DocumentState& Doc() const { return form->documentState(); }
  // The files in the test's folder, temporary files left behind included.
  QStringList Files() const {
    return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }
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
    ui().nullsReminder->setVisible(!row.zeros);

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
  // The recent-file entry and the names Save As proposes point at it already.
  EXPECT_EQ(ui().recentItem->text(), QStringLiteral("&1 ") + path(QStringLiteral("sub/2.dat")));
  SaveAs(QString());
  EXPECT_EQ(dialogs.texts(BoxKind::SaveFile), QStringList{path(QStringLiteral("sub")) + "|2.dat"});
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
  EXPECT_FALSE(ui().recentItem->isVisible());
  EXPECT_FALSE(ui().recentSeparator->isVisible());
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
  EXPECT_FALSE(ui().recentItem->isVisible());
  OpenFile(path(QStringLiteral("doc.txt")));
  EXPECT_TRUE(ui().recentSeparator->isVisible());
  EXPECT_TRUE(ui().recentItem->isVisible());
  EXPECT_EQ(ui().recentItem->text(), QStringLiteral("&1 ") + path(QStringLiteral("doc.txt")));

  // A clean file: reloaded over the edits, "3.0c".
  SetPaneLines({"edited"});
  ui().nullsReminder->setVisible(true);
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
  EXPECT_TRUE(ui().recentItem->isVisible());
  EXPECT_FALSE(Busy());
}

// An "&" in a path is shown as itself in the entry, and the entry opens the
// exact file and sets the folder Save As proposes.
TEST_F(FileMenu, RecentEntryWithAnAmpersandOpensTheExactFile) {
  ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("R&D")));
  WriteFile(QStringLiteral("R&D/a&b.txt"), "exact\n");
  Start();
  OpenFile(path(QStringLiteral("R&D/a&b.txt")));
  EXPECT_EQ(ui().recentItem->text(), QStringLiteral("&1 ") + folder() + "/R&&D/a&&b.txt");

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
  EXPECT_TRUE(ui().recentItem->isVisible());
}

// ---- Save As ----

TEST_F(FileMenu, SaveAsEndsLinesAsTheFileLastLoaded) {
  const struct {
    const char* name;
    QByteArray loaded;  // empty: nothing loaded
    QByteArray saved;
  } rows[] = {
      {"CR LF", "a\r\nb\nc", "a\r\nb\r\nc\r\nadded\r\n"},
      {"LF", "a\nb\r\nc\r\n", "a\nb\nc\nadded\n"},
      {"CR", "a\rb\r", "a\rb\radded\r"},
      {"no line break", "abc", "abc\nadded\n"},
      {"nothing loaded", {}, "added\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start();
    if (!row.loaded.isNull()) {
      WriteFile(QStringLiteral("in.txt"), row.loaded);
      OpenFile(path(QStringLiteral("in.txt")));
    }
    Lines lines = PaneLines();
    lines.push_back("added");
    SetPaneLines(lines);
    SaveAs(path(QStringLiteral("out.txt")));
    EXPECT_EQ(ReadFile(QStringLiteral("out.txt")), row.saved);
    EXPECT_TRUE(dialogs.texts(BoxKind::Error).isEmpty());
  }
}

TEST_F(FileMenu, SaveAsProposesTheLastNamesAndChangesNothingElse) {
  Start();
  SaveAs(QString());  // nothing opened yet: where the open dialog starts, no name
  EXPECT_EQ(dialogs.texts(BoxKind::SaveFile), QStringList{app::DefaultOpenFolder() + "|"});

  WriteFile(QStringLiteral("doc.txt"), Bytes("short\0\r\n", 8));
  OpenFile(path(QStringLiteral("doc.txt")), {true});
  const QString caption = Caption();
  const QString longLine = QStringLiteral("word ").repeated(200);
  SetPaneLines({longLine.toStdString(), "end"});
  pane().setWordWrap(true);

  SaveAs(QString());  // cancelled: the view stays wrapped, nothing written
  EXPECT_TRUE(pane().wordWrap());
  SaveAs(path(QStringLiteral("saved.txt")));
  EXPECT_FALSE(pane().wordWrap());
  // Lines as the document holds them, not as they were wrapped on screen.
  EXPECT_EQ(ReadFile(QStringLiteral("saved.txt")), longLine.toLatin1() + "\r\nend\r\n");
  EXPECT_EQ(
      dialogs.texts(BoxKind::SaveFile),
      (QStringList{app::DefaultOpenFolder() + "|", folder() + "|doc.txt", folder() + "|doc.txt"}));
  EXPECT_EQ(Caption(), caption);
  EXPECT_TRUE(Reminder());
  EXPECT_EQ(ui().recentItem->text(), QStringLiteral("&1 ") + path(QStringLiteral("doc.txt")));
  EXPECT_EQ(Doc().lastFileName, QStringLiteral("doc.txt"));
  EXPECT_EQ(PaneLines(), (Lines{longLine.toStdString(), "end"}));

  // File > Close, then Save As: the same names, and an empty file.
  ui().closeItem->trigger();
  SaveAs(path(QStringLiteral("saved.txt")));
  EXPECT_EQ(dialogs.texts(BoxKind::SaveFile).last(), folder() + "|doc.txt");
  EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("saved.txt"))));
  EXPECT_EQ(ReadFile(QStringLiteral("saved.txt")), QByteArray());
  EXPECT_TRUE(dialogs.texts(BoxKind::Error).isEmpty());
}

TEST_F(FileMenu, EveryByteButLineBreaksSurvivesOpenAndSave) {
  QByteArray bytes;
  for (int b = 1; b < 256; ++b) {
    if (b != '\n' && b != '\r') bytes.append(char(b));
  }
  bytes.append("\n");
  bytes.append(bytes);  // two lines
  WriteFile(QStringLiteral("all.bin"), bytes);
  Start();
  OpenFile(path(QStringLiteral("all.bin")));
  SaveAs(path(QStringLiteral("copy.bin")));
  EXPECT_EQ(ReadFile(QStringLiteral("copy.bin")), bytes);
}

#ifdef Q_OS_UNIX
// A cleaned copy saved over its source replaces it whole, and the source
// keeps its permissions.
TEST_F(FileMenu, SavingTheCleanedCopyOverItsSourceKeepsItsOwnerAndPermissions) {
  WriteFile(QStringLiteral("wide.txt"), Bytes("\xFF\xFEo\0k\0\r\0\n\0", 10));
  ASSERT_TRUE(::chmod(QFile::encodeName(path(QStringLiteral("wide.txt"))).constData(), 0640) == 0);
  // Root saving over another user's file leaves it theirs.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(
        ::chown(QFile::encodeName(path(QStringLiteral("wide.txt"))).constData(), 65534, 65534), 0);
  }
  Start();
  OpenFile(path(QStringLiteral("wide.txt")), {true});
  SaveAs(path(QStringLiteral("wide.txt")));
  EXPECT_EQ(ReadFile(QStringLiteral("wide.txt")), "\xFF\xFEok\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path(QStringLiteral("wide.txt"))).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());
  EXPECT_EQ(Files(), (QStringList{QStringLiteral("Tempinfile~.txt"), QStringLiteral("wide.txt")}));
}

// Keeps the size of files this process writes under a limit while it lives;
// a longer write then fails with "file too large" instead of ending it.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};

// Failures that stop even root: the file grows beyond what may be written,
// or its folder is a plain file. The old file stays whole, nothing is left
// behind, the pane keeps its text.
TEST_F(FileMenu, FailedSaveLeavesTheOldFileWhole) {
  const std::string line(1000, 'x');
  const struct {
    const char* name;
    const char* target;
    const char* message;
    bool limit;
  } rows[] = {
      {"no room", "old.txt", "Disk full\n", true},
      {"the folder is a plain file", "old.txt/new.txt", "File not found\n", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Start();
    WriteFile(QStringLiteral("old.txt"), "old content\n");
    SetPaneLines(Lines(300, line));
    pane().setWordWrap(true);
    const QStringList before = Files();
    {
      std::optional<FileSizeLimit> limit;
      if (row.limit) {
        limit.emplace(64 * 1024);
        ASSERT_TRUE(limit->ok());
      }
      SaveAs(path(QString::fromLatin1(row.target)));
    }
    EXPECT_EQ(dialogs.texts(BoxKind::Error), QStringList{QString::fromLatin1(row.message) +
                                                         path(QString::fromLatin1(row.target))});
    EXPECT_EQ(ReadFile(QStringLiteral("old.txt")), "old content\n");
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(pane().lineCount(), 300u);
    EXPECT_FALSE(pane().wordWrap());  // switched off before the write
    dialogs.boxes.clear();
  }
}

// Runs the current test again in a process of its own as the other user;
// true when it passed there.
bool PassesAsOtherUser() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
  // Root's runtime folder is not the other user's: Qt makes the other its own.
  std::vector<char*> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0) environment.push_back(*e);
  }
  environment.push_back(nullptr);
  char* const arguments[] = {const_cast<char*>(program.constData()),
                             const_cast<char*>(filter.c_str()), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeOtherUser();
    ::execve(program.constData(), arguments, environment.data());
    ::_exit(127);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST_F(FileMenu, SaveOverWhatMayNotBeWrittenFailsAndLeavesTheOldFile) {
  // Permissions do not stop root: as root, the test runs as another user.
  if (CanSwitchUser()) {
    EXPECT_TRUE(PassesAsOtherUser());
    return;
  }
  const struct {
    const char* name;
    const char* lock;  // made read-only for the save
  } rows[] = {{"read-only folder", "locked"}, {"read-only file", "locked/old.txt"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("locked"))));
    WriteFile(QStringLiteral("locked/old.txt"), "old\n");
    const QByteArray locked = QFile::encodeName(path(QString::fromLatin1(row.lock)));
    ASSERT_EQ(::chmod(locked.constData(), 0555), 0);
    Start();
    SetPaneLines({"new"});
    SaveAs(path(QStringLiteral("locked/old.txt")));
    ::chmod(locked.constData(), 0755);
    EXPECT_EQ(dialogs.texts(BoxKind::Error), QStringList{QStringLiteral("File access denied\n") +
                                                         path(QStringLiteral("locked/old.txt"))});
    EXPECT_EQ(ReadFile(QStringLiteral("locked/old.txt")), "old\n");
    EXPECT_EQ(QDir(path(QStringLiteral("locked"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.txt")});
    dialogs.boxes.clear();
  }
}
#endif

}  // namespace
}  // namespace quorlin::testing
