#include "app/FileCommands.h"

#include <string>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QStringList>
#include <QWidget>

#include "textutil/QuorlinUtils.h"
#include "ui/BusyCursor.h"
#include "ui/Dialogs.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"

namespace quorlin::app {
namespace {

// A path from a file dialog, with the platform's own separators.
QString NativePath(const QString& path) {
  if (kNativePathStyle == PathStyle::Windows) return QDir::toNativeSeparators(path);
  return path;
}

}  // namespace

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

FileCommands::FileCommands(QWidget& window, ui::MainWindowUi& ui, DocumentState& doc,
                           ui::Dialogs& dialogs)
    : window_(window), ui_(ui), doc_(doc), dialogs_(dialogs) {}

QString FileCommands::recentPath() const {
  if (!ui_.filename1->isVisible()) return {};
  return ui_.filename1->data().toString();
}

void FileCommands::ShowLoaded(LoadResult loaded, const QString& caption) {
  if (loaded != LoadResult::Loaded && loaded != LoadResult::LoadedCleaned) return;
  window_.setWindowTitle(caption);
  ui_.NullsReminder->setVisible(loaded == LoadResult::LoadedCleaned);
}

void FileCommands::Open() {
  QString folder = DefaultOpenFolder();
  if (ui_.filename1->isVisible()) folder = FolderOfPath(recentPath());
  const QString path =
      NativePath(dialogs_.openFileName(folder, DialogFilter(QString::fromLatin1(kOpenFilter))));
  if (path.isEmpty()) return;

  // Off again however the command ends: loaded, declined or stopped by an error.
  const ui::BusyCursor busy;
  ui_.filesep2->setVisible(true);
  ui_.filename1->setText(RecentEntryCaption(path));
  ui_.filename1->setData(path);
  ui_.filename1->setVisible(true);
  const PathParts parts = SplitPath(path);
  doc_.lastFolder = parts.folder;
  doc_.lastFileName = parts.name;

  const LoadResult loaded =
      LoadIntoPane(path, QString::fromLatin1(kNullsQuestion), doc_, *ui_.RichEdit1, dialogs_);
  const QString caption = QString::fromLatin1(kOpenCaption);
  ShowLoaded(loaded, loaded == LoadResult::LoadedCleaned ? caption + QLatin1Char('$') + path
                                                         : caption + path);
}

void FileCommands::OpenRecent() {
  const QString path = recentPath();
  if (path.isEmpty()) return;
  doc_.lastFolder = SplitPath(path).folder;

  const LoadResult loaded =
      LoadIntoPane(path, QString::fromLatin1(kRecentNullsQuestion), doc_, *ui_.RichEdit1, dialogs_);
  ShowLoaded(loaded, QString::fromLatin1(loaded == LoadResult::LoadedCleaned ? kRecentCleanedCaption
                                                                             : kRecentCaption) +
                         path);
}

}  // namespace quorlin::app
