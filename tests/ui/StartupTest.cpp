// SPDX-License-Identifier: Apache-2.0
// Start-up and close: the work folder, the file named on the command line
// with and without zero bytes, File > Close, and the temporary files.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "tests/OtherUser.h"
#endif

#include "WindowFixture.h"
#include "app/CommandLine.h"
#include "app/DocumentLoading.h"
#include "engine/DocumentReading.h"
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
    const char* holds;
  } rows[] = {
      {"--version", QStringLiteral("quorlin ") + QLatin1String(kVersion),
       "\nLicence: Apache License 2.0 (Apache-2.0)\n"},
      {"--help", QStringLiteral("Usage: quorlin [--] [FILE]"), "installed"},
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
    const QString out = QString::fromUtf8(editor.readAllStandardOutput());
    EXPECT_EQ(out.section(QLatin1Char('\n'), 0, 0), r.firstLine);
    EXPECT_TRUE(out.contains(QLatin1String(r.holds))) << out.toStdString();
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

#ifdef Q_OS_UNIX
// An environment variable set for as long as it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QString& value) : name_(name), saved_(qgetenv(name)) {
    qputenv(name, QFile::encodeName(value));
  }
  ~ScopedEnv() {
    if (saved_.isNull())
      qunsetenv(name_);
    else
      qputenv(name_, saved_);
  }

 private:
  const char* name_;
  QByteArray saved_;
};

// The work folder at start, for the program's own folder and the user who
// runs it: an installed program never writes beside itself; a build tree or
// an unpacked folder holds the work files when only its user may write it.
TEST(Paths, InstalledProgramsNeverWriteBesideThemselves) {
  QTemporaryDir top;
  ASSERT_TRUE(top.isValid());
  const auto at = [&](const char* name) { return top.filePath(QString::fromLatin1(name)); };
  const auto folder = [&](const char* name, mode_t mode) {
    EXPECT_TRUE(QDir().mkpath(at(name)));
    EXPECT_EQ(::chmod(QFile::encodeName(at(name)).constData(), mode), 0);
    return at(name);
  };
  ::chmod(QFile::encodeName(top.path()).constData(), 0755);  // the other user may come in
  const QString tmp = folder("tmp", 01777);
  folder("home/.local/bin", 0755);
  const app::InstallPlaces places{folder("prefix/bin", 0755), at("home")};
  const QString build = folder("build", 0755), theirs = folder("theirs", 0755);
  folder("shared", 0777);
  ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin"), at("link")));
  const bool switches = CanSwitchUser();
  if (switches) {
    ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), kOtherUser, -1), 0);
  }
  const ScopedEnv tmpdir("TMPDIR", tmp);

  const struct {
    const char* name;
    QString folder;
    bool otherUser;  // run by the other user (skipped where users cannot be switched)
    bool own;        // the work files go beside the program, else to the private folder
  } rows[] = {
      {"a build tree of this user", build, false, true},
      {"a folder everybody may write", at("shared"), false, false},
      {"the install prefix's binary folder", places.binFolder, false, false},
      {"a user's install under ~/.local", at("home/.local/bin"), false, false},
      {"the system's /usr/bin, for its owner", QStringLiteral("/usr/bin"), false, false},
      {"a package under /opt", QStringLiteral("/opt/quorlin/bin"), false, false},
      {"a link to /usr/bin", at("link"), false, false},
      {"the system's /usr/bin, for another user", QStringLiteral("/usr/bin"), true, false},
      {"an unpacked folder of another user", build, true, false},
      {"an unpacked folder of the user who runs it", theirs, true, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    if (r.otherUser && !switches) continue;
    const auto choose = [&] { return app::WorkFolderForProgram(r.folder, nullptr, places); };
    const QString wanted = r.own ? r.folder + QLatin1Char('/') : tmp + QStringLiteral("/quorlin");
    if (r.otherUser) {
      EXPECT_TRUE(AsOtherUser([&] { return choose().startsWith(wanted); }));
    } else {
      EXPECT_TRUE(choose().startsWith(wanted)) << choose().toStdString();
    }
  }
}
#endif

class Startup : public WindowTest {};

TEST_F(Startup, WithoutArgumentsThePaneIsEmptyAndWorkFilesGoNextToTheProgram) {
  Start();
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_EQ(form->windowTitle(), kDesignCaption);
  EXPECT_EQ(form->documentState().workFolder, folder() + QLatin1Char('/'));
  EXPECT_FALSE(ui().nullsReminder->isVisible());
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
  EXPECT_TRUE(ui().nullsReminder->isVisible());
  EXPECT_TRUE(form->commandLineHandled());
}

TEST_F(Startup, ZeroBytesDeclinedLoadNothingAndAreNotAskedAgain) {
  WriteFile(QStringLiteral("nulls.dat"), QByteArray("x\0y", 3));
  dialogs.confirmAnswers = {false};
  Start({path(QStringLiteral("nulls.dat"))});

  EXPECT_EQ(dialogs.texts(BoxKind::Confirm), QStringList{kQuestion});
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_EQ(form->windowTitle(), kDesignCaption);
  EXPECT_FALSE(ui().nullsReminder->isVisible());
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
  ASSERT_TRUE(ui().nullsReminder->isVisible());

  ui().closeItem->trigger();
  EXPECT_TRUE(PaneLines().empty());
  EXPECT_FALSE(ui().nullsReminder->isVisible());
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

  // The run's text is unsaved: the one question, and nothing about the files.
  dialogs.saveAnswers = {ui::SaveChoice::Discard, ui::SaveChoice::Discard};
  ui().exitItem->trigger();
  EXPECT_FALSE(form->isVisible());
  for (const char* name : {"~QLtmp1~.txt", "~QLtmp2~.txt", "Tempinfile~.txt"}) {
    EXPECT_FALSE(exists(QString::fromLatin1(name))) << name;
  }
  EXPECT_TRUE(exists(QStringLiteral("doc.txt")));
  EXPECT_TRUE(exists(QStringLiteral("other.txt")));
  EXPECT_EQ(dialogs.boxes.size(), shown + 1);

  // Closing again with none of them left shows nothing more either.
  form->show();
  form->close();
  EXPECT_EQ(dialogs.texts(BoxKind::SaveQuestion).size(), 2);
  EXPECT_EQ(dialogs.boxes.size(), shown + 2);
}

#ifdef Q_OS_UNIX
// A document in a folder that others may write: the change run's work files
// go to the user's private folder, and names that another user planted next
// to the document are left as they are.
TEST_F(Startup, WorkFilesAvoidFoldersOthersMayWrite) {
  ::chmod(QFile::encodeName(folder()).constData(), 0755);  // the other user may come in
  ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("tmp"))));
  const ScopedEnv tmp("TMPDIR", path(QStringLiteral("tmp")));
  const char* const names[] = {"~QLtmp1~.txt", "~QLtmp2~.txt", "Tempinfile~.txt"};
  const struct {
    const char* name;
    mode_t mode;
    bool planted;  // the other user took the work files' names first
  } rows[] = {
      {"shared sticky folder, names taken by another user", 01777, true},
      {"everybody may write", 0777, false},
      {"group may write", 0775, false},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QString shared = path(QString::number(n++));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), row.mode), 0);
    const QString doc = shared + QStringLiteral("/doc.txt");
    WriteFile(QString::number(n - 1) + QStringLiteral("/doc.txt"), "a\tb\n");
    if (row.planted) {
      for (const char* name : names) {
        const QByteArray planted =
            QFile::encodeName(shared + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(AsOtherUser([&] {
          const int fd = ::open(planted.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
          return fd >= 0 && ::write(fd, "theirs", 6) == 6 && ::close(fd) == 0;
        }));
      }
    }
    dialogs.boxes.clear();
    Start({doc});
    ClickOk();
    EXPECT_TRUE(dialogs.texts(BoxKind::Error).isEmpty())
        << dialogs.allTexts().join('|').toStdString();
    EXPECT_EQ(PaneLines(), std::vector<std::string>{"a       b"});
    EXPECT_EQ(form->documentState().workFolder, path(QStringLiteral("tmp/quorlin/")));
    for (const char* name : names) {
      QFile f(shared + QLatin1Char('/') + QLatin1String(name));
      if (row.planted) {
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(f.readAll(), "theirs") << name;
      } else {
        EXPECT_FALSE(f.exists()) << name;
      }
    }
    dialogs.saveAnswers = {ui::SaveChoice::Discard};
    form->close();
  }
}

// Names that are no plain file: File > Open refuses them before reading a
// byte (a named pipe would wait for a writer for ever, /dev/zero never ends);
// a pipe named on the command line (a process substitution) is read once,
// whole, and its cleaned copy goes to the private folder, never next to the
// pipe in /dev/fd.
TEST_F(Startup, SpecialFilesAreRefusedOrReadOnce) {
  ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("tmp"))));
  const ScopedEnv tmp("TMPDIR", path(QStringLiteral("tmp")));
  const QString fifo = path(QStringLiteral("fifo")), zero = QStringLiteral("/dev/zero");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString refused = QString::fromLatin1(kNotPlainFileText) + QLatin1Char('\n');
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_EQ(::write(pipe[1], "x\0y\r\nz", 6), 6);
  ::close(pipe[1]);
  const QString pipeName = QStringLiteral("/dev/fd/") + QString::number(pipe[0]);

  const struct {
    const char* name;
    bool commandLine;  // else File > Open
    QString file;
    bool refused;
    std::vector<std::string> pane;
  } rows[] = {
      {"File > Open, a named pipe", false, fifo, true, {"kept"}},
      {"File > Open, an endless device", false, zero, true, {"kept"}},
      {"command line, an endless device", true, zero, true, {}},
      {"command line, a pipe", true, pipeName, false, {"xy", "z"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs.boxes.clear();
    dialogs.confirmAnswers = {true};
    if (row.commandLine) {
      Start({row.file});
    } else {
      Start();
      SetPaneLines({"kept"});
      dialogs.fileAnswers = {row.file};
      ui().openItem->trigger();
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(dialogs.texts(BoxKind::Error),
              row.refused ? QStringList{refused + row.file} : QStringList{});
    EXPECT_EQ(PaneLines(), row.pane);
    EXPECT_EQ(dialogs.texts(BoxKind::Confirm).size(), row.refused ? 0 : 1);
    const QString work = form->documentState().workFolder;
    EXPECT_FALSE(work.startsWith(QStringLiteral("/dev/")) ||
                 work.startsWith(QStringLiteral("/proc/")))
        << work.toStdString();
    if (!row.refused) {
      QFile cleaned(work + QStringLiteral("Tempinfile~.txt"));
      ASSERT_TRUE(cleaned.open(QIODevice::ReadOnly));
      EXPECT_EQ(cleaned.readAll(), "xy\r\nz");
    }
    form->close();
  }
  ::close(pipe[0]);
}

// The editor ended from outside (kill, a closed terminal, Ctrl+C) closes as
// it does when the user closes it: the work folder it made for this run goes,
// and it ends by the same signal. The file-size limit's signal is ignored, so
// that a write beyond the limit fails with "Disk full" instead.
TEST(EditorProcess, EndingSignalsCloseItCleanly) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(sig);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString tmp = dir.filePath(QStringLiteral("tmp")),
                  shared = dir.filePath(QStringLiteral("pub"));
    ASSERT_TRUE(QDir().mkpath(tmp) && QDir().mkpath(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0777);  // so the work files go elsewhere
    QFile(tmp + QStringLiteral("/quorlin")).open(QIODevice::WriteOnly);  // and not to tmp/quorlin/
    QFile(shared + QStringLiteral("/doc.txt")).open(QIODevice::WriteOnly);
    const QByteArray doc = QFile::encodeName(shared + QStringLiteral("/doc.txt"));
    const QByteArray env[] = {"QT_QPA_PLATFORM=offscreen", "TMPDIR=" + QFile::encodeName(tmp),
                              "XDG_RUNTIME_DIR=" + QFile::encodeName(dir.path())};
    char* envp[] = {const_cast<char*>(env[0].constData()), const_cast<char*>(env[1].constData()),
                    const_cast<char*>(env[2].constData()), nullptr};
    char* argv[] = {const_cast<char*>(QUORLIN_EDITOR), const_cast<char*>(doc.constData()), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
      for (int s : {SIGTERM, SIGHUP, SIGINT, SIGXFSZ}) std::signal(s, SIG_DFL);
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execve(QUORLIN_EDITOR, argv, envp);
      ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    auto madeFolders = [&] {
      return QDir(tmp).entryList({QStringLiteral("quorlin-*")}, QDir::Dirs);
    };
    for (int i = 0; i < 600 && madeFolders().isEmpty(); ++i) QThread::msleep(50);
    EXPECT_EQ(madeFolders().size(), 1);
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray all = status.readAll();
    const qsizetype at = all.indexOf("SigIgn:");
    const unsigned long long ignored =
        all.mid(at + 7, all.indexOf('\n', at) - at - 7).trimmed().toULongLong(nullptr, 16);
    EXPECT_TRUE(ignored & (1ull << (SIGXFSZ - 1)));

    ::kill(pid, sig);
    int ended = 0;
    ASSERT_EQ(::waitpid(pid, &ended, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(ended) && WTERMSIG(ended) == sig) << ended;
    EXPECT_TRUE(madeFolders().isEmpty());
  }
}
#endif

}  // namespace
}  // namespace quorlin::testing
