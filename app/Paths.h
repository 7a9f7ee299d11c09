// SPDX-License-Identifier: Apache-2.0
// Paths and the folders the editor writes to: a path's folder and name
// parts, the program's own folder, whether the program runs installed, and
// the work folder chosen for the work files.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

namespace quorlin::app {

enum class PathStyle { Windows, Posix };
#ifdef Q_OS_WIN
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

struct PathParts {
  QString folder;  // without a trailing separator, except a root folder
  QString name;
};

// Splits a path after its last separator ("\" or ":" on Windows, "/"
// elsewhere). The folder part keeps a ":" and drops the separator unless it
// directly follows another separator or a ":", or (elsewhere) stands first:
// D:\data\list.txt gives D:\data, D:\list.txt gives D:\, /list.txt gives /,
// and a bare list.txt an empty folder part.
PathParts SplitPath(const QString& path, PathStyle style = kNativePathStyle);

// The folder with a separator at its end ("\" on Windows, "/" elsewhere),
// unless it already ends in "/" or (on Windows) "\"; an empty folder gives the
// separator alone.
QString WithSeparator(const QString& folder, PathStyle style = kNativePathStyle);

// The folder of the running program, without a trailing separator (a root
// folder keeps its own).
QString ProgramFolder();

// True when the folder can take work files: this user can create files in
// it and nobody else can (another user could swap them).
bool CanHoldWorkFiles(const QString& folder);

// The user's own work folder, ending in a separator: TempLocation + "/quorlin/",
// created owner-only when needed. Where that name is taken by something that
// is not a folder of this user (a link, another user's folder), a fresh
// private folder beside it is made instead and added to made (to be removed
// at close).
QString PrivateWorkFolder(QStringList* made = nullptr);

// The work folder for temporary files next to folder: folder with its
// separator when it can hold them, otherwise PrivateWorkFolder().
QString WorkFolderFor(const QString& folder,
                      const std::function<bool(const QString&)>& canHold = CanHoldWorkFiles,
                      QStringList* made = nullptr);

// Where an installed program lives.
struct InstallPlaces {
  QString binFolder;  // the install prefix's binary folder the program was built for
  QString home;       // the user's home folder, whose .local holds a user's installs
};

// The places of this build and this user: the compiled-in binary folder and
// the home folder.
InstallPlaces ThisInstall();

// True when a program in this folder runs from an installed location, where it
// must never write beside itself: the compiled-in binary folder, or any folder
// under /usr, /opt or the user's ~/.local (on Windows only the first). Links
// are resolved before the folders are compared.
bool RunsInstalled(const QString& programFolder, const InstallPlaces& places = ThisInstall());

// The work folder at start, for the program's folder: the private folder for
// a program that runs installed; otherwise WorkFolderFor that folder, so the
// program's own folder only for a build tree or an unpacked folder that this
// user alone may write.
QString WorkFolderForProgram(const QString& programFolder, QStringList* made = nullptr,
                             const InstallPlaces& places = ThisInstall(),
                             const std::function<bool(const QString&)>& canHold = CanHoldWorkFiles);

// The work folder for a document named on the command line: next to it
// (WorkFolderFor its folder) when it is a plain file in that folder, or does
// not exist; the private folder for a pipe, a device or a name that leads to
// another file system (/dev/stdin).
QString WorkFolderForDocument(const QString& path, const QString& folder, QStringList* made);

}  // namespace quorlin::app
