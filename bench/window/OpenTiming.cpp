// SPDX-License-Identifier: Apache-2.0
// Times File > Open on large files, and where the time goes (the zero-byte
// scan, the cleaned copy, reading, the text into the pane):
//   quorlin_open_timing [MEGABYTES]     (default 100)
// Three files of that size are made in a temporary folder: plain text, the
// same text with one zero byte at its end (the scan reads it all and the
// copy writes it all), and UTF-16 text (every second byte a zero).
#include <cstdio>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "app/UQuorlin.h"
#include "bench/window/TimingSupport.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"

namespace {

// Lines of about 60 bytes, to size bytes; in UTF-16 each byte is followed by a zero.
bool MakeFile(const QString& path, qint64 size, bool wide, bool zeroAtEnd) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  std::string block;
  qint64 written = 0;
  for (qint64 n = 0; written < size; ++n) {
    std::string line = "Line " + std::to_string(n) +
                       " holds some ordinary words of text,\tto about sixty bytes.\r\n";
    if (wide) {
      std::string w;
      for (char c : line) {
        w.push_back(c);
        w.push_back('\0');
      }
      line.swap(w);
    }
    block += line;
    written += qint64(line.size());
    if (block.size() > (1u << 20)) {
      if (file.write(block.data(), qint64(block.size())) != qint64(block.size())) return false;
      block.clear();
    }
  }
  if (zeroAtEnd) block.push_back('\0');
  return file.write(block.data(), qint64(block.size())) == qint64(block.size()) && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  QLoggingCategory::setFilterRules(QStringLiteral("quorlin.timing.info=true"));
  const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 100;

  QTemporaryDir work;
  const struct {
    const char* name;
    bool wide, zeroAtEnd;
  } files[] = {
      {"plain.txt", false, false},
      {"zero-at-end.txt", false, true},
      {"utf16.txt", true, false},
  };
  QElapsedTimer clock;
  for (const auto& f : files) {
    clock.start();
    if (!MakeFile(work.filePath(QString::fromLatin1(f.name)), megabytes << 20, f.wide,
                  f.zeroAtEnd)) {
      std::printf("could not write %s\n", f.name);
      return 1;
    }
    std::printf("%s: %lld MB made in %lld ms\n", f.name, megabytes, clock.elapsed());
  }

  quorlin::timing::PrintingDialogs dialogs;
  quorlin::app::FormOptions options;
  options.programFolder = work.path();
  options.dialogs = &dialogs;
  quorlin::app::TForm1 form(options);
  form.show();
  QCoreApplication::processEvents();

  for (const auto& f : files) {
    dialogs.next = work.filePath(QString::fromLatin1(f.name));
    std::printf("File > Open %s\n", f.name);
    std::fflush(stdout);
    clock.restart();
    form.Open1Click();
    const qint64 handler = clock.elapsed();
    QCoreApplication::processEvents();  // lays out and paints the new text
    std::printf("  to the text shown %lld ms (the command %lld ms), %zu lines\n", clock.elapsed(),
                handler, form.controls().pane->lineCount());
    std::fflush(stdout);
  }
  std::printf("peak memory: %ld MB\n", quorlin::timing::PeakMegabytes());
  return 0;
}
