// SPDX-License-Identifier: Apache-2.0
#include "app/Paths.h"

#include <QCoreApplication>
#include <QDir>
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

#include "engine/WorkFiles.h"
#include "quorlin/Installed.h"
#include "ui/FileNames.h"

namespace quorlin::app {
namespace {

using ui::SystemName;

bool IsSeparator(QChar c, PathStyle style) {
  if (style == PathStyle::Windows) return c == QLatin1Char('\\') || c == QLatin1Char(':');
  return c == QLatin1Char('/');
}

// The folder with links resolved where it exists, else as written, cleaned.
QString Resolved(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

bool IsOrIsUnder(const QString& folder, const QString& top) {
  if (top.isEmpty() || !QDir::isAbsolutePath(top)) return false;
  const QString resolved = Resolved(top);
  return folder == resolved ||
         folder.startsWith(resolved.endsWith(QLatin1Char('/')) ? resolved
                                                               : resolved + QLatin1Char('/'));
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
    QString folder = QFile::decodeName(fresh) + QLatin1Char('/');
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

InstallPlaces ThisInstall() {
  return {QString::fromUtf8(kInstalledBinFolder), QDir::homePath()};
}

bool RunsInstalled(const QString& programFolder, const InstallPlaces& places) {
  const QString folder = Resolved(programFolder);
  if (IsOrIsUnder(folder, places.binFolder)) return true;
#ifdef Q_OS_UNIX
  for (const QString& top :
       {QStringLiteral("/usr"), QStringLiteral("/opt"),
        places.home.isEmpty() ? QString() : places.home + QStringLiteral("/.local")}) {
    if (IsOrIsUnder(folder, top)) return true;
  }
#endif
  return false;
}

QString WorkFolderForProgram(const QString& programFolder, QStringList* made,
                             const InstallPlaces& places,
                             const std::function<bool(const QString&)>& canHold) {
  if (RunsInstalled(programFolder, places)) return PrivateWorkFolder(made);
  return WorkFolderFor(programFolder, canHold, made);
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

}  // namespace quorlin::app
