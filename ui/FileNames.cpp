// SPDX-License-Identifier: Apache-2.0
#include "ui/FileNames.h"

#include <QFile>

#include "engine/FileError.h"

namespace quorlin::ui {

std::string SystemName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString FileErrorBoxText(const FileError& e) {
  // The text is the file layer's own (ASCII); the path is a file name of the
  // system, not text of the document.
  return QString::fromLatin1(e.text()) + QLatin1Char('\n') +
         QFile::decodeName(QByteArray::fromStdString(e.path()));
}

}  // namespace quorlin::ui
