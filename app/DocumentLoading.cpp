// SPDX-License-Identifier: Apache-2.0
#include "app/DocumentLoading.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "app/Paths.h"
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

using ui::SystemName;

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
