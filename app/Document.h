// The document-file state and the steps that bring a file into the pane: the
// scan for zero bytes, the question, the cleaned copy, the load; the file
// named on the command line; the work folder and its files.
#pragma once

#include <functional>
#include <string>

#include <QString>

namespace quorlin {
class FileError;
}

namespace quorlin::ui {
class Dialogs;
class TextPane;
}  // namespace quorlin::ui

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

// True when files can be created in the folder.
bool IsWritableFolder(const QString& folder);

// The user's own work folder, ending in a separator: TempLocation + "/quorlin/",
// created owner-only when needed. Where that name is taken by something that
// is not a folder of this user (a link, another user's folder), a fresh
// private folder beside it is used instead.
QString PrivateWorkFolder();

// The work folder for temporary files next to folder: folder with its
// separator when it can be written, otherwise PrivateWorkFolder().
QString WorkFolderFor(const QString& folder,
                      const std::function<bool(const QString&)>& canWrite = IsWritableFolder);

struct DocumentState {
  QString workFolder;    // always ends in a separator
  QString lastFolder;    // folder part of the file last opened
  QString lastFileName;  // name part of the file last opened
  // The first line break of the file last loaded ("\r\n", "\n" or "\r"); empty
  // while none was loaded or it had no line break.
  std::string lineTerminator;
};

inline constexpr char kNullsQuestion[] =
    "File contains UniCode or Database Null characters. Use Quorlin to open in plain text with "
    "Nulls removed?";
inline constexpr char kCommandLineCaption[] = "Quorlin Text Formatter 3.1 - [Sourcefile] - ";

// The error box's text for a failed file operation: the file layer's text,
// then the path on a second line.
QString FileErrorBoxText(const FileError& e);

enum class LoadResult { Loaded, LoadedCleaned, Declined, Failed };

// Scans the file for zero bytes. Without any it is loaded into the pane. With
// some the question is asked; on OK the cleaned copy, workFolder +
// "Tempinfile~.txt", is written and loaded instead. A file that cannot be
// read or written stops the steps with the error box, nothing loaded. The
// pane changes only on Loaded and LoadedCleaned, which also record the line
// terminator.
LoadResult LoadIntoPane(const QString& path, const QString& nullsQuestion, DocumentState& state,
                        ui::TextPane& pane, ui::Dialogs& dialogs);

// The file named on the command line: all arguments joined with single
// blanks. A name relative to the current folder is made absolute.
QString CommandLineFileName(const QStringList& arguments);

// Deletes the three work files in the folder, silently.
void DeleteWorkFiles(const QString& workFolder);

}  // namespace quorlin::app
