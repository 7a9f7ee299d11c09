// SPDX-License-Identifier: Apache-2.0
#include "app/FileCommands.h"

#include <cerrno>
#include <string>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPagedPaintDevice>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QWidget>

#include "app/Printing.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "text/Text.h"
#include "text/TextLines.h"
#include "textutil/QuorlinUtils.h"
#include "ui/BackgroundWork.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/FileNames.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/Western.h"

namespace quorlin::app {
namespace {

// The system's error number for a failed file operation: errno when the
// failing call left one, else the nearest number for what the file reports.
int FailureCode(int err, const QFileDevice& file) {
  if (err != 0) return err;
  switch (file.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
      return EACCES;
    case QFileDevice::ResourceError:
      return ENOSPC;
    default:
      return EIO;
  }
}

// Writes the text's lines, each followed by the terminator, to an open file
// in large blocks, checking every count. A text's own line breaks are "\n":
// with that terminator its bytes go out as they are, with one more "\n"
// after a last line that has none. Returns 0, or the error number of the
// write that failed. Each block written is told to progress.
int WriteLines(QFileDevice& file, const text::Text& text, std::string_view terminator,
               ui::WorkProgress* progress) {
  constexpr std::size_t kBlock = std::size_t(1) << 20;
  std::string block;
  block.reserve(kBlock + 4096);
  auto flushBlock = [&]() -> int {
    if (block.empty()) return 0;
    errno = 0;
    const qint64 written = file.write(block.data(), qint64(block.size()));
    const int err = errno;
    if (written != qint64(block.size())) return FailureCode(err, file);
    if (progress) progress->advance(block.size());
    block.clear();
    return 0;
  };
  int failed = 0;
  if (terminator == "\n") {
    text.forEachChunk(0, text.size(), [&](std::string_view chunk) {
      block.append(chunk);
      if (block.size() >= kBlock) failed = flushBlock();
      return failed == 0;
    });
    if (failed == 0 && !text.empty() && text.at(text.size() - 1) != '\n') block.push_back('\n');
  } else {
    text::TextLineSource lines(text);
    std::string_view line;
    while (failed == 0 && lines.next(line)) {
      block.append(line);
      block.append(terminator);
      if (block.size() >= kBlock) failed = flushBlock();
    }
  }
  if (failed != 0) return failed;
  if (const int err = flushBlock()) return err;
  errno = 0;
  if (!file.flush()) return FailureCode(errno, file);
  return 0;
}

}  // namespace

QString NativePath(const QString& path) {
  if (kNativePathStyle == PathStyle::Windows) return QDir::toNativeSeparators(path);
  return path;
}

QString DialogFilter(const QString& pairs, PathStyle style) {
  const QStringList parts = pairs.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (style == PathStyle::Posix && patterns == QLatin1String("*.*"))
      patterns = QStringLiteral("*");
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

QString DefaultOpenFolder() {
  if (kNativePathStyle == PathStyle::Windows) return QStringLiteral("c:\\shared documents");
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
  return QDir::homePath();
}

QString FolderOfPath(const QString& path, PathStyle style) {
  const char* key = style == PathStyle::Windows ? "\\" : "/";
  // The path goes through as UTF-8: a separator byte never occurs inside
  // another character's bytes there.
  QString folder = QString::fromStdString(QuorlinUtils::TextBeforeLastKey(path.toStdString(), key));
  if (style == PathStyle::Posix && folder.isEmpty() && path.startsWith(QLatin1Char('/'))) {
    return QStringLiteral("/");
  }
  return folder;
}

QString RecentEntryCaption(const QString& path) {
  QString shown = path;
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return QStringLiteral("&1 ") + shown;
}

std::string SaveTerminator(const DocumentState& state, const std::vector<text::Making>& making) {
  for (std::size_t i = making.size(); i > 0; --i) {
    const std::vector<RecipeStep>& runs = making[i - 1].runs;
    for (std::size_t j = runs.size(); j > 0; --j)
      if (!runs[j - 1].terminator.empty()) return runs[j - 1].terminator;
  }
  if (!state.lineTerminator.empty()) return state.lineTerminator;
  return kNativePathStyle == PathStyle::Windows ? "\r\n" : "\n";
}

namespace {

// The new file keeps the owner, group and permissions of the one it
// replaces, as the engine's safe output does.
void KeepOwner([[maybe_unused]] const QString& path, [[maybe_unused]] QSaveFile& file) {
#ifndef Q_OS_WIN
  if (file.handle() >= 0) KeepOwnerAndMode(QFile::encodeName(path).toStdString(), file.handle());
#endif
}

}  // namespace

void SaveLines(const QString& path, const text::Text& lines, std::string_view terminator,
               ui::WorkProgress* progress) {
  const std::string name = ui::SystemName(path);
  const QFileInfo target(path);  // through links, to the file they name
  if (target.isDir()) throw FileError(EISDIR, name);
  if (target.exists() && !target.isWritable()) throw FileError(EACCES, name);

  if (target.exists() && !target.isFile()) {
    // A device or a pipe cannot be replaced by renaming; it is written to.
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) throw FileError(FailureCode(errno, file), name);
    if (const int err = WriteLines(file, lines, terminator, progress)) throw FileError(err, name);
    file.close();
    if (file.error() != QFileDevice::NoError) throw FileError(FailureCode(0, file), name);
    return;
  }

  QSaveFile file(path);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) throw FileError(FailureCode(errno, file), name);
  KeepOwner(path, file);
  int err = 0;
  try {
    err = WriteLines(file, lines, terminator, progress);
    if (progress && err == 0) progress->checkpoint();  // the last moment to cancel
  } catch (...) {
    file.cancelWriting();
    throw;
  }
  if (err != 0) {
    // commit() may report success after a write that failed part of the way:
    // the temporary file is thrown away instead.
    file.cancelWriting();
    throw FileError(err, name);
  }
  errno = 0;
  if (!file.commit()) throw FileError(FailureCode(errno, file), name);
}

FileCommands::FileCommands(std::function<void(const QString&)> caption, ui::MainWindowUi& ui,
                           DocumentState& doc, ui::Dialogs& dialogs, PrintSystem& printSystem,
                           const ui::WorkSettings& work)
    : caption_(std::move(caption)),
      ui_(ui),
      doc_(doc),
      dialogs_(dialogs),
      printSystem_(printSystem),
      work_(work) {}

QString FileCommands::recentPath() const {
  if (!ui_.recentItem->isVisible()) return {};
  return ui_.recentItem->data().toString();
}

void FileCommands::showLoaded(LoadResult loaded, const QString& caption) {
  if (loaded != LoadResult::Loaded && loaded != LoadResult::LoadedCleaned) return;
  caption_(caption);
  ui_.nullsReminder->setVisible(loaded == LoadResult::LoadedCleaned);
}

void FileCommands::open() {
  QString folder = DefaultOpenFolder();
  if (ui_.recentItem->isVisible()) folder = FolderOfPath(recentPath());
  const QString path =
      NativePath(dialogs_.openFileName(folder, DialogFilter(QString::fromLatin1(kOpenFilter)), {}));
  if (path.isEmpty()) return;

  // Off again however the command ends: loaded, declined or stopped by an error.
  const ui::BusyCursor busy;
  // What a cancel puts back.
  const bool hadRecent = ui_.recentItem->isVisible();
  const QString recentText = ui_.recentItem->text();
  const QVariant recentData = ui_.recentItem->data();
  const QString lastFolder = doc_.lastFolder, lastFileName = doc_.lastFileName;
  ui_.recentSeparator->setVisible(true);
  ui_.recentItem->setText(RecentEntryCaption(path));
  ui_.recentItem->setData(path);
  ui_.recentItem->setVisible(true);
  const PathParts parts = SplitPath(path);
  doc_.lastFolder = parts.folder;
  doc_.lastFileName = parts.name;

  const LoadResult loaded = LoadIntoPane(path, QString::fromLatin1(kNullsQuestion), doc_, *ui_.pane,
                                         dialogs_, false, work_);
  if (loaded == LoadResult::Cancelled) {
    ui_.recentSeparator->setVisible(hadRecent);
    ui_.recentItem->setVisible(hadRecent);
    ui_.recentItem->setText(recentText);
    ui_.recentItem->setData(recentData);
    doc_.lastFolder = lastFolder;
    doc_.lastFileName = lastFileName;
    return;
  }
  const QString caption = QString::fromLatin1(kOpenCaption);
  showLoaded(loaded, loaded == LoadResult::LoadedCleaned ? caption + QLatin1Char('$') + path
                                                         : caption + path);
}

void FileCommands::openRecent() {
  const QString path = recentPath();
  if (path.isEmpty()) return;
  const QString lastFolder = doc_.lastFolder;
  doc_.lastFolder = SplitPath(path).folder;

  const LoadResult loaded = LoadIntoPane(path, QString::fromLatin1(kRecentNullsQuestion), doc_,
                                         *ui_.pane, dialogs_, false, work_);
  if (loaded == LoadResult::Cancelled) {
    doc_.lastFolder = lastFolder;
    return;
  }
  showLoaded(loaded, QString::fromLatin1(loaded == LoadResult::LoadedCleaned ? kRecentCleanedCaption
                                                                             : kRecentCaption) +
                         path);
}

bool FileCommands::saveAs() {
  // Before any file was opened the dialog starts where the open dialog does.
  const QString folder = doc_.lastFolder.isEmpty() ? DefaultOpenFolder() : doc_.lastFolder;
  const QString path = NativePath(dialogs_.saveFileName(folder, doc_.lastFileName, {}, {}));
  if (path.isEmpty()) return false;

  ui_.pane->setWordWrap(false);
  const text::Text snapshot = ui_.pane->text();
  const std::string terminator = SaveTerminator(doc_, ui_.pane->making());
  const QString name = SplitPath(path).name;
  try {
    const ui::WorkOutcome outcome = ui::RunWithProgress(
        dialogs_, QStringLiteral("Saving %1...").arg(name), work_, [&](ui::WorkProgress& p) {
          p.setTotal(snapshot.size());
          SaveLines(path, snapshot, terminator, &p);
        });
    if (outcome == ui::WorkOutcome::Cancelled) return false;
  } catch (const FileError& e) {
    dialogs_.error(ui::FileErrorBoxText(e));
    return false;
  }
  ui_.pane->markSaved(snapshot);
  doc_.documentName = name;
  return true;
}

void FileCommands::print() {
  // What the job prints is taken now: the pane may change while it runs, and
  // the job's thread reads this snapshot of the text.
  const ui::TextPane& pane = *ui_.pane;
  const text::Text snapshot = pane.text();
  const QFont font = PrintFont(pane.font());
  const qreal tabStop = pane.tabStopDistance();
  const text::Encoding encoding = pane.encoding();
  PrintOutcome outcome = PrintOutcome::Failed;
  {
    const ui::BusyCursor busy;
    const ui::WorkOutcome work = ui::RunWithProgress(
        dialogs_, QStringLiteral("Printing..."), work_, [&](ui::WorkProgress& p) {
          p.setTotal(snapshot.size());
          try {
            outcome = printSystem_.print(
                [&](QPagedPaintDevice& device, const std::atomic<bool>& stop) {
                  text::TextLineSource lines(snapshot);
                  ui::ProgressLines counted(lines, p);
                  return PrintLines(device, PrintableRect(device), counted, font, tabStop, &stop,
                                    encoding);
                },
                p.cancelFlag());
          } catch (const ui::WorkCancelled&) {
            throw;
          } catch (...) {  // out of memory making the pages
            outcome = PrintOutcome::Failed;
          }
          // A job that Cancel stopped is no failure to report; one the print
          // system took is printed, Cancel or not.
          if (outcome != PrintOutcome::Printed) p.checkpoint();
        });
    if (work == ui::WorkOutcome::Cancelled) return;
  }
  switch (outcome) {
    case PrintOutcome::Printed:
      break;
    case PrintOutcome::NoPrinter:
      dialogs_.error(QString::fromLatin1(kNoDefaultPrinter));
      break;
    case PrintOutcome::Failed:
      dialogs_.error(QString::fromLatin1(kPrintFailed));
      break;
    case PrintOutcome::NoAnswer:
      dialogs_.error(QString::fromLatin1(kPrintNoAnswer));
      break;
  }
}

}  // namespace quorlin::app
