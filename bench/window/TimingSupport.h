// SPDX-License-Identifier: Apache-2.0
// What the window timing tools share: the peak memory figure and dialogs that
// print their messages and answer every question with OK.
#pragma once

#include <cstdio>
#include <optional>

#include <QFont>
#include <QString>

#include "ui/Dialogs.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace quorlin::timing {

inline long PeakMegabytes() {
#ifdef Q_OS_UNIX
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
#else
  return 0;
#endif
}

// Prints each message; accepts every question; the open dialog gives `next`.
class PrintingDialogs final : public ui::Dialogs {
 public:
  QString next;
  void message(const QString& text) override { std::printf("  message: %s\n", qPrintable(text)); }
  bool confirm(const QString&) override { return true; }
  void error(const QString& text) override { std::printf("  error: %s\n", qPrintable(text)); }
  ui::SaveChoice saveQuestion(const QString&) override { return ui::SaveChoice::Discard; }
  // Never shown: the bench waits for every command without a box.
  std::unique_ptr<ui::ProgressBox> showProgress(const QString&) override { return nullptr; }
  QString openFileName(const QString&, const QString&, const QString&) override { return next; }
  QString saveFileName(const QString&, const QString&, const QString&, const QString&) override {
    return {};
  }
  std::optional<QFont> chooseFont(const QFont&) override { return std::nullopt; }
};

}  // namespace quorlin::timing
