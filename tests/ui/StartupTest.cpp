// Start-up and close: the work folder, the file named on the command line
// with and without zero bytes, File > Close, and the temporary files.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "WindowFixture.h"
#include "app/CommandLine.h"
#include "app/Document.h"
#include "quorlin/Version.h"

namespace quorlin::testing {
namespace {

using app::PathStyle;

const QString kDesignCaption = QStringLiteral("Quorlin 3.4 DataFile Text Editor");
const QString kQuestion = QStringLiteral(
    "File contains UniCode or Database Null characters. Use Quorlin to open in plain text with "
    "Nulls removed?");
const QString kCaption = QStringLiteral("Quorlin Text Formatter 3.1 - [Sourcefile] - ");

TEST(Paths, SplitIntoFolderAndName) {
  const struct {
    PathStyle style;
    const char* path;
    const char* folder;
    const char* name;
  } rows[] = {
      {PathStyle::Windows, R"(D:\data\list.txt)", R"(D:\data)", "list.txt"},
      {PathStyle::Windows, R"(D:\list.txt)", R"(D:\)", "list.txt"},
      {PathStyle::Windows, "D:list.txt", "D:", "list.txt"},
      {PathStyle::Windows, R"(\\server\x)", R"(\\server)", "x"},
      {PathStyle::Windows, "list.txt", "", "list.txt"},
      {PathStyle::Windows, "a/b.txt", "", "a/b.txt"},  // no separator there
      {PathStyle::Posix, "/home/u/list.txt", "/home/u", "list.txt"},
      {PathStyle::Posix, "/list.txt", "/", "list.txt"},
      {PathStyle::Posix, "a//b.txt", "a//", "b.txt"},  // a doubled separator stays
      {PathStyle::Posix, "list.txt", "", "list.txt"},
  };
  for (const auto& r : rows) {
    const app::PathParts parts = app::SplitPath(QString::fromLatin1(r.path), r.style);
    EXPECT_EQ(parts.folder, QString::fromLatin1(r.folder)) << r.path;
    EXPECT_EQ(parts.name, QString::fromLatin1(r.name)) << r.path;
  }
  EXPECT_EQ(app::WithSeparator(QString(), PathStyle::Windows), QStringLiteral("\\"));
  EXPECT_EQ(app::WithSeparator(QStringLiteral("D:/x/"), PathStyle::Windows),
            QStringLiteral("D:/x/"));
  EXPECT_EQ(app::WithSeparator(QStringLiteral("/"), PathStyle::Posix), QStringLiteral("/"));
  EXPECT_EQ(app::WithSeparator(QStringLiteral("/a"), PathStyle::Posix), QStringLiteral("/a/"));
}

#ifdef Q_OS_UNIX
// --help and --version are answered without a window: the editor runs here
// without a display, on a platform that needs one, which stops any window.
TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
  const struct {
    const char* argument;
    QString firstLine;
  } rows[] = {
      {"--version", QStringLiteral("quorlin ") + QLatin1String(kVersion)},
      {"--help", QStringLiteral("Usage: quorlin [--] [FILE]")},
  };
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  for (const auto& r : rows) {
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral(QUORLIN_EDITOR), {QString::fromLatin1(r.argument)});
    ASSERT_TRUE(editor.waitForFinished(10000)) << r.argument;
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit) << r.argument;
    EXPECT_EQ(editor.exitCode(), 0) << r.argument;
    EXPECT_EQ(QString::fromUtf8(editor.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0),
              r.firstLine);
  }
  // Only the first argument is an option, and not after "--".
  EXPECT_EQ(app::ReadStartRequest({"--", "--help"}), app::StartRequest::OpenWindow);
  EXPECT_EQ(app::ReadStartRequest({"notes", "--version"}), app::StartRequest::OpenWindow);
}
#endif

#ifdef Q_OS_UNIX
// A folder that cannot be written sends the work files to the user's own
// folder, which nobody else can enter or plant a link at.
TEST(Paths, UnwritableFolderFallsBackToAPrivateFolder) {
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QByteArray savedTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));

  EXPECT_EQ(app::WorkFolderFor(tmp.path(), [](const QString&) { return true; }),
            tmp.path() + QLatin1Char('/'));
  const QString own = app::WorkFolderFor(tmp.path(), [](const QString&) { return false; });
  EXPECT_EQ(own, tmp.path() + QStringLiteral("/quorlin/"));
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());

  // A link planted at that name is not followed.
  QTemporaryDir tmp2;
  qputenv("TMPDIR", QFile::encodeName(tmp2.path()));
  ASSERT_TRUE(QFile::link(tmp.path(), tmp2.filePath(QStringLiteral("quorlin"))));
  const QString fresh = app::PrivateWorkFolder();
  EXPECT_TRUE(fresh.startsWith(tmp2.path() + QStringLiteral("/quorlin-"))) << fresh.toStdString();
  EXPECT_FALSE(QFileInfo(fresh).isSymLink());

  if (savedTmp.isNull()) {
    qunsetenv("TMPDIR");
  } else {
    qputenv("TMPDIR", savedTmp);
  }
}
#endif

class Startup : public WindowTest {};

TEST_F(Startup, WithoutArgumentsThePaneIsEmptyAndWorkFilesGoNextToTheProgram) {
  Start();
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_EQ(form->windowTitle(), kDesignCaption);
  EXPECT_EQ(form->documentState().workFolder, folder() + QLatin1Char('/'));
  EXPECT_FALSE(ui().NullsReminder->isVisible());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(Startup, ArgumentsJoinIntoOneFileNameAndItsLinesAreLoaded) {
  ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("My Files")));
  WriteFile(QStringLiteral("My Files/list one.txt"), "first\r\nsecond\nthird\rlast\r\n");
  // The name arrives unquoted, split at its blanks.
  Start(
      {folder() + QStringLiteral("/My"), QStringLiteral("Files/list"), QStringLiteral("one.txt")});

  const QString file = folder() + QStringLiteral("/My Files/list one.txt");
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"first", "second", "third", "last"}));
  EXPECT_EQ(form->windowTitle(), kCaption + file);
  EXPECT_EQ(form->documentState().lastFolder, folder() + QStringLiteral("/My Files"));
  EXPECT_EQ(form->documentState().lastFileName, QStringLiteral("list one.txt"));
  EXPECT_EQ(form->documentState().workFolder, folder() + QStringLiteral("/My Files/"));
  EXPECT_EQ(form->documentState().lineTerminator, "\r\n");
  EXPECT_TRUE(form->commandLineHandled());
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(Startup, FirstLineBreakOfTheFileIsRecorded) {
  const struct {
    QByteArray bytes;
    std::string terminator;
  } rows[] = {{"a\nb\r\n", "\n"}, {"a\rb\n", "\r"}, {"a\r\nb", "\r\n"}, {"ab", ""}, {"", ""}};
  for (const auto& row : rows) {
    WriteFile(QStringLiteral("t.txt"), row.bytes);
    Start({path(QStringLiteral("t.txt"))});
    EXPECT_EQ(form->documentState().lineTerminator, row.terminator) << row.bytes.toStdString();
  }
}

TEST_F(Startup, ZeroBytesAcceptedLoadTheCleanedCopy) {
  WriteFile(QStringLiteral("wide.txt"), QByteArray("\xFF\xFE"
                                                   "a\0b\0\r\0\n\0c\0",
                                                   12));
  dialogs.confirmAnswers = {true};
  Start({path(QStringLiteral("wide.txt"))});

  EXPECT_EQ(dialogs.texts(BoxKind::Confirm), QStringList{kQuestion});
  EXPECT_EQ(ReadFile(QStringLiteral("Tempinfile~.txt")), QByteArray("\xFF\xFE"
                                                                    "ab\r\nc"));
  EXPECT_EQ(PaneLines(), (std::vector<std::string>{"\xFF\xFE"
                                                   "ab",
                                                   "c"}));
  EXPECT_EQ(form->windowTitle(), kCaption + path(QStringLiteral("wide.txt")));
  EXPECT_TRUE(ui().NullsReminder->isVisible());
  EXPECT_TRUE(form->commandLineHandled());
}

TEST_F(Startup, ZeroBytesDeclinedLoadNothingAndAreNotAskedAgain) {
  WriteFile(QStringLiteral("nulls.dat"), QByteArray("x\0y", 3));
  dialogs.confirmAnswers = {false};
  Start({path(QStringLiteral("nulls.dat"))});

  EXPECT_EQ(dialogs.texts(BoxKind::Confirm), QStringList{kQuestion});
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_EQ(form->windowTitle(), kDesignCaption);
  EXPECT_FALSE(ui().NullsReminder->isVisible());
  EXPECT_FALSE(form->commandLineHandled());
  EXPECT_FALSE(exists(QStringLiteral("Tempinfile~.txt")));

  // Coming back to the window asks nothing more.
  form->FormActivate();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(form.get(), &activate);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(Startup, MissingFileShowsTheErrorBoxAndKeepsTheDesignCaption) {
  Start({path(QStringLiteral("gone.txt"))});
  EXPECT_EQ(dialogs.texts(BoxKind::Error),
            QStringList{QStringLiteral("File not found\n") + path(QStringLiteral("gone.txt"))});
  EXPECT_EQ(form->windowTitle(), kDesignCaption);
  EXPECT_EQ(form->documentState().lastFileName, QStringLiteral("gone.txt"));
  EXPECT_EQ(form->documentState().workFolder, folder() + QLatin1Char('/'));
  form->FormActivate();
  EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(Startup, CloseEmptiesThePaneAndHidesTheReminderOnly) {
  WriteFile(QStringLiteral("n.txt"), QByteArray("a\0b\n", 4));
  dialogs.confirmAnswers = {true};
  Start({path(QStringLiteral("n.txt"))});
  ASSERT_TRUE(ui().NullsReminder->isVisible());

  ui().Close1->trigger();
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_FALSE(ui().NullsReminder->isVisible());
  EXPECT_EQ(form->windowTitle(), kCaption + path(QStringLiteral("n.txt")));
  EXPECT_EQ(form->documentState().lastFileName, QStringLiteral("n.txt"));
  EXPECT_TRUE(exists(QStringLiteral("Tempinfile~.txt")));
}

TEST_F(Startup, ClosingTheWindowRemovesTheTemporaryFilesSilently) {
  WriteFile(QStringLiteral("doc.txt"), QByteArray("one\0\ntwo\n", 9));
  WriteFile(QStringLiteral("other.txt"), "stays");
  dialogs.confirmAnswers = {true};
  Start({path(QStringLiteral("doc.txt"))});
  ClickOk();  // test 1, action 13
  for (const char* name : {"~QLtmp1~.txt", "~QLtmp2~.txt", "Tempinfile~.txt"}) {
    EXPECT_TRUE(exists(QString::fromLatin1(name))) << name;
  }
  const std::size_t shown = dialogs.boxes.size();

  ui().Exit1->trigger();
  EXPECT_FALSE(form->isVisible());
  for (const char* name : {"~QLtmp1~.txt", "~QLtmp2~.txt", "Tempinfile~.txt"}) {
    EXPECT_FALSE(exists(QString::fromLatin1(name))) << name;
  }
  EXPECT_TRUE(exists(QStringLiteral("doc.txt")));
  EXPECT_TRUE(exists(QStringLiteral("other.txt")));
  EXPECT_EQ(dialogs.boxes.size(), shown);

  // Closing again with none of them left shows nothing either.
  form->show();
  form->close();
  EXPECT_EQ(dialogs.boxes.size(), shown);
}

}  // namespace
}  // namespace quorlin::testing
