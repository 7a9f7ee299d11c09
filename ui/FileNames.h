// SPDX-License-Identifier: Apache-2.0
// File names between the window and the file layer: a path as the system
// takes it, and a failed file operation as the error box shows it.
#pragma once

#include <string>

#include <QString>

namespace quorlin {
class FileError;
}

namespace quorlin::ui {

// The path in the system's encoding of file names.
std::string SystemName(const QString& path);

// The error box's text for a failed file operation: the file layer's text,
// then the path on a second line.
QString FileErrorBoxText(const FileError& e);

}  // namespace quorlin::ui
