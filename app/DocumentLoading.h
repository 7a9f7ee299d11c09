// SPDX-License-Identifier: Apache-2.0
// The document-file state and the steps that bring a file into the pane: the
// scan for zero bytes, the question, the cleaned copy, the load; the file
// named on the command line; removing the work files at close.
#pragma once

#include <string>

#include <QString>
#include <QStringList>

#include "app/Paths.h"
#include "ui/BackgroundWork.h"

namespace quorlin::ui {
class Dialogs;
class TextPane;
}  // namespace quorlin::ui

namespace quorlin::app {

struct DocumentState {
  QString workFolder;    // always ends in a separator
  QString lastFolder;    // folder part of the file last opened
  QString lastFileName;  // name part of the file last opened
  // The first line break of the file last loaded ("\r\n", "\n" or "\r"); empty
  // while none was loaded or it had no line break.
  std::string lineTerminator;
  // Folders made for work files during this run, removed at close.
  QStringList madeFolders;
  // The name part of the file the text was last loaded from or saved to
  // (for a cleaned copy, its source's); empty before any.
  QString documentName;
};

// What the question before unsaved text is lost calls a text never loaded
// or saved.
inline constexpr char kUntitled[] = "Untitled";

inline constexpr char kNullsQuestion[] =
    "File contains UniCode or Database Null characters. Use Quorlin to open in plain text with "
    "Nulls removed?";
inline constexpr char kCommandLineCaption[] = "Quorlin Text Formatter 3.1 - [Sourcefile] - ";

enum class LoadResult { Loaded, LoadedCleaned, Declined, Failed, Cancelled };

// Reads the file once and looks for zero bytes. Without any it is loaded into
// the pane. With some the question is asked; on OK the cleaned copy, workFolder
// + "Tempinfile~.txt", is written and loaded instead. A name that is no plain
// file is refused before a byte is read, except a pipe where pipes are
// allowed (the command line), read to its end within bounds. A file that
// cannot be read or written stops the steps with the error box, nothing
// loaded. The pane changes only on Loaded and LoadedCleaned, which also record
// the line terminator and the document's name; its undo history is cleared.
// The reading (and the cleaned copy) run on a worker thread with the progress
// box of `work`: Cancelled leaves everything as it was (a cleaned copy begun
// is removed).
LoadResult LoadIntoPane(const QString& path, const QString& nullsQuestion, DocumentState& state,
                        ui::TextPane& pane, ui::Dialogs& dialogs, bool allowPipe = false,
                        const ui::WorkSettings& work = ui::WorkSettings());

// The file named on the command line: all arguments joined with single
// blanks. A name relative to the current folder is made absolute.
QString CommandLineFileName(const QStringList& arguments);

// Deletes the three work files in the work folder, then the folders made for
// work files (when empty), silently.
void DeleteWorkFiles(const DocumentState& state);

}  // namespace quorlin::app
