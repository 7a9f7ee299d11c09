// SPDX-License-Identifier: Apache-2.0
// The File menu's document commands: Open, the recent-file entry, Save As and
// Print. Each works on the window's controls and the document-file state.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "app/DocumentLoading.h"
#include "app/PrintSystem.h"
#include "text/History.h"

namespace quorlin::text {
class Text;
}

namespace quorlin::ui {
class Dialogs;
struct MainWindowUi;
class WorkProgress;
struct WorkSettings;
}  // namespace quorlin::ui

namespace quorlin::app {

// The open dialog's file types, two entries, the first chosen at start.
inline constexpr char kOpenFilter[] = "All Files *.*|*.*|Text Files *.txt|*.txt";
inline constexpr char kRecentNullsQuestion[] =
    "File contains Null binary characters. Use Quorlin to open with Nulls removed?";
inline constexpr char kOpenCaption[] = "Quorlin Text Formatter 3.4 - [Sourcefile] - ";
inline constexpr char kRecentCaption[] = "Quorlin Text Formatter 3.0c - [Sourcefile] - ";
inline constexpr char kRecentCleanedCaption[] = "Quorlin Text Formatter 3.1 - [Sourcefile] - ";

// A filter of "description|patterns" pairs joined by "|" in the notation of
// the file dialog ("description (patterns);;..."). Outside Windows "*.*"
// matches names without a dot as well, as it does on Windows.
QString DialogFilter(const QString& pairs, PathStyle style = kNativePathStyle);

// A path from a file dialog, with the platform's own separators.
QString NativePath(const QString& path);

// The folder the open dialog starts in before any file was chosen: the
// user's Documents folder, or home when there is none ("c:\shared documents"
// on Windows).
QString DefaultOpenFolder();

// The path cut before its last separator ("\" on Windows, "/" elsewhere),
// where the open dialog starts next; a path without one comes back whole, and
// a file in the root folder gives the root.
QString FolderOfPath(const QString& path, PathStyle style = kNativePathStyle);

// The recent-file entry's caption for a path: "&1 " and the path, in which an
// "&" is shown as itself, not taken as a shortcut mark.
QString RecentEntryCaption(const QString& path);

// The line break that Save As ends every line with: the one forced by the
// last change run that made the text (a recipe's step with --crlf or --lf),
// else the first one of the file last loaded, else CR LF on Windows and LF
// elsewhere.
std::string SaveTerminator(const DocumentState& state, const std::vector<text::Making>& making);

// Writes every line followed by the terminator to path, through a temporary
// file in the same folder renamed over path at the end: a failure leaves an
// existing file whole. An existing file keeps its permissions; one that is no
// plain file (a device) is written directly. Throws FileError. With progress,
// the bytes written are told to it; when it throws (a cancel), the temporary
// file is given up and an existing file stays whole.
void SaveLines(const QString& path, const text::Text& lines, std::string_view terminator,
               ui::WorkProgress* progress = nullptr);

class FileCommands {
 public:
  // caption: shows a caption that names the file; printSystem: where Print
  // sends the text; work: how the long commands show their progress.
  FileCommands(std::function<void(const QString&)> caption, ui::MainWindowUi& ui,
               DocumentState& doc, ui::Dialogs& dialogs, PrintSystem& printSystem,
               const ui::WorkSettings& work);

  // Open, the recent-file entry, Save As and Print each work on a worker
  // thread with a progress box; a cancelled one leaves the pane, its history,
  // the files and the menu as they were.
  void open();
  void openRecent();
  // True when the text was saved; it then counts as saved.
  bool saveAs();
  void print();

  // The path the recent-file entry opens; empty while it is hidden.
  QString recentPath() const;

 private:
  void showLoaded(LoadResult loaded, const QString& caption);

  std::function<void(const QString&)> caption_;
  ui::MainWindowUi& ui_;
  DocumentState& doc_;
  ui::Dialogs& dialogs_;
  PrintSystem& printSystem_;
  const ui::WorkSettings& work_;
};

}  // namespace quorlin::app
