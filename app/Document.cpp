// SPDX-License-Identifier: Apache-2.0
#include "app/Document.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

#include "engine/DocumentReading.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "engine/WorkFiles.h"
#include "text/Text.h"
#include "ui/Dialogs.h"
#include "ui/FileNames.h"
#include "ui/TextPane.h"
#include "ui/Timing.h"

namespace quorlin::app {
namespace {

using ui::SystemName;

bool IsSeparator(QChar c, PathStyle style) {
  if (style == PathStyle::Windows) return c == QLatin1Char('\\') || c == QLatin1Char(':');
  return c == QLatin1Char('/');
}

}  // namespace

PathParts SplitPath(const QString& path, PathStyle style) {
  qsizetype cut = path.size() - 1;
  while (cut >= 0 && !IsSeparator(path[cut], style)) --cut;
  if (cut < 0) return {QString(), path};

  PathParts parts{path.left(cut), path.mid(cut + 1)};
  const QChar sep = path[cut];
  if (sep == QLatin1Char(':')) {
    parts.folder += sep;
  } else if (cut == 0) {
    if (style == PathStyle::Posix) parts.folder = sep;  // the root folder
  } else {
    const QChar before = path[cut - 1];
    if (before == sep || before == QLatin1Char(':')) parts.folder += sep;
  }
  return parts;
}

QString WithSeparator(const QString& folder, PathStyle style) {
  if (folder.endsWith(QLatin1Char('/'))) return folder;
  if (style == PathStyle::Windows) {
    if (folder.endsWith(QLatin1Char('\\'))) return folder;
    return folder + QLatin1Char('\\');
  }
  return folder + QLatin1Char('/');
}

QString ProgramFolder() {
  QString folder = QCoreApplication::applicationDirPath();
  if (kNativePathStyle == PathStyle::Windows) folder = QDir::toNativeSeparators(folder);
  return folder;
}

bool CanHoldWorkFiles(const QString& folder) {
  const QFileInfo info(folder);
  return info.isDir() && info.isWritable() && FolderIsPrivate(SystemName(folder));
}

QString PrivateWorkFolder(QStringList* made) {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  const QString dir = base + QStringLiteral("/quorlin");
#ifdef Q_OS_UNIX
  const QByteArray name = QFile::encodeName(dir);
  if (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST) {
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
      if ((st.st_mode & 077) != 0) ::chmod(name.constData(), 0700);
      return dir + QLatin1Char('/');
    }
  }
  // The name is taken by something that is not this user's folder.
  QByteArray fresh = QFile::encodeName(base + QStringLiteral("/quorlin-XXXXXX"));
  if (::mkdtemp(fresh.data()) != nullptr) {
    const QString folder = QFile::decodeName(fresh) + QLatin1Char('/');
    if (made) made->append(folder);
    return folder;
  }
  return dir + QLatin1Char('/');
#else
  (void)made;
  QDir().mkpath(dir);
  return WithSeparator(QDir::toNativeSeparators(dir));
#endif
}

QString WorkFolderFor(const QString& folder, const std::function<bool(const QString&)>& canHold,
                      QStringList* made) {
  const QString work = WithSeparator(folder);
  return canHold(work) ? work : PrivateWorkFolder(made);
}

QString WorkFolderForDocument(const QString& path, const QString& folder, QStringList* made) {
#ifdef Q_OS_UNIX
  struct stat file {
  }, dir{};
  const QByteArray name = QFile::encodeName(path);
  if (::stat(name.constData(), &file) != 0) return WorkFolderFor(folder, CanHoldWorkFiles, made);
  const QByteArray dirName = QFile::encodeName(WithSeparator(folder));
  if (!S_ISREG(file.st_mode) || ::stat(dirName.constData(), &dir) != 0 || dir.st_dev != file.st_dev)
    return PrivateWorkFolder(made);
#else
  (void)path;
#endif
  return WorkFolderFor(folder, CanHoldWorkFiles, made);
}

LoadResult LoadIntoPane(const QString& path, const QString& nullsQuestion, DocumentState& state,
                        ui::TextPane& pane, ui::Dialogs& dialogs, bool allowPipe,
                        const ui::WorkSettings& work) {
  QElapsedTimer clock;
  clock.start();
  qint64 readMs = 0, copyMs = 0;
  const QString name = SplitPath(path).name;
  const QString what = QStringLiteral("Opening %1...").arg(name);
  try {
    std::string terminator;
    LoadResult loaded = LoadResult::Loaded;
    text::Text text;
    // Read once: the scan, the cleaned copy and the pane all take these
    // bytes. Without zero bytes they become the pane's text as they are,
    // their line breaks made "\n" in place, on the same worker.
    std::string bytes;
    bool nulls = false;
    PipeLimits pipes;
    pipes.allowed = allowPipe;
    ui::WorkOutcome outcome = ui::RunWithProgress(dialogs, what, work, [&](ui::WorkProgress& p) {
      std::size_t told = 0;
      bytes = ReadDocument(SystemName(path), pipes, [&](std::size_t read, std::size_t size) {
        p.setTotal(size);
        p.advance(read - told);
        told = read;
      });
      nulls = bytes.find('\0') != std::string::npos;
      if (!nulls) text = text::Text::adopt(std::move(bytes), &terminator);
      p.checkpoint();
    });
    if (outcome == ui::WorkOutcome::Cancelled) return LoadResult::Cancelled;
    readMs = clock.restart();
    if (nulls) {
      if (!dialogs.confirm(nullsQuestion)) return LoadResult::Declined;
      clock.restart();
      const std::string copy = SystemName(state.workFolder + QString::fromLatin1(kCleanedCopyFile));
      outcome = ui::RunWithProgress(dialogs, what, work, [&](ui::WorkProgress& p) {
        p.checkpoint();
        WriteCleanedCopy(bytes, copy);
        text = text::Text::adopt(std::move(bytes), &terminator);
        p.checkpoint();
      });
      if (outcome == ui::WorkOutcome::Cancelled) {
        RemoveFileQuietly(copy);
        return LoadResult::Cancelled;
      }
      copyMs = clock.restart();
      loaded = LoadResult::LoadedCleaned;
    }
    const std::size_t lines = text.lineCount();
    pane.setText(std::move(text));
    state.lineTerminator = std::move(terminator);
    state.documentName = name;
    qCInfo(ui::lcTiming,
           "open: %zu lines; reading, zero-byte scan and line index %lld ms, cleaned copy %lld "
           "ms, text into the pane %lld ms",
           lines, readMs, copyMs, clock.elapsed());
    return loaded;
  } catch (const FileError& e) {
    dialogs.error(ui::FileErrorBoxText(e));
    return LoadResult::Failed;
  }
}

QString CommandLineFileName(const QStringList& arguments) {
  QString joined = arguments.join(QLatin1Char(' '));
  if (joined.isEmpty() || !QFileInfo(joined).isRelative()) return joined;
  // A bare name would leave the folder part empty; the folder it is opened in
  // is the current one.
  QString absolute = QFileInfo(joined).absoluteFilePath();
  if (kNativePathStyle == PathStyle::Windows) absolute = QDir::toNativeSeparators(absolute);
  return absolute;
}

void DeleteWorkFiles(const DocumentState& state) {
  for (const char* name : {kRunInputFile, kRunOutputFile, kCleanedCopyFile}) {
    RemoveFileQuietly(SystemName(state.workFolder + QString::fromLatin1(name)));
  }
  for (const QString& folder : state.madeFolders) QDir().rmdir(folder);
}

}  // namespace quorlin::app
