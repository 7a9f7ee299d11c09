// Times the view commands on a large text in the pane: one find-next near the
// start, near the end and through the whole text, and one status line update
// with the caret near the end, wrap off and on:
//   quorlin_view_timing [LINES]
#include <cstdio>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTemporaryDir>

#include "app/UQuorlin.h"
#include "bench/window/TimingSupport.h"
#include "engine/LineList.h"
#include "ui/Dialogs.h"
#include "ui/FindDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/StatusLine.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

namespace {

// About 60 bytes a line; every 50th line is a paragraph of about 400 bytes
// that wraps in the pane.
quorlin::LineList MakeText(int lines) {
  quorlin::LineList text;
  text.reserve(std::size_t(lines), std::size_t(lines) * 66);
  for (int i = 0; i < lines; ++i) {
    const std::string n = std::to_string(i);
    std::string line;
    if (i % 50 == 7) {
      for (int k = 0; k < 6; ++k)
        line += "A paragraph of running text that wraps, number " + n + ". ";
    } else if (i % 10 == 3) {
      line = "\t\tIndented\twith tabs and a number " + n + "\tend";
    } else {
      line = "Line " + n + " holds some ordinary words of text, to about sixty bytes.";
    }
    text.push_back(line);
  }
  return text;
}

double Microseconds(const QElapsedTimer& clock) {
  return double(clock.nsecsElapsed()) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;

  QTemporaryDir work;
  quorlin::timing::PrintingDialogs dialogs;
  quorlin::app::FormOptions options;
  options.programFolder = work.path();
  options.dialogs = &dialogs;
  quorlin::app::TForm1 form(options);
  auto& ui = form.controls();
  quorlin::ui::TextPane& pane = *ui.pane;
  form.show();
  QCoreApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  {
    const quorlin::LineList text = MakeText(lines);
    std::printf("text: %d lines, %zu bytes\n", lines, text.joined().size());
    clock.restart();
    pane.setLines(text);
  }
  QCoreApplication::processEvents();
  std::printf("loaded and shown: %lld ms, peak memory %ld MB\n", clock.restart(),
              quorlin::timing::PeakMegabytes());

  QTextDocument& doc = *pane.document();
  const auto select = [&](int block, int from, int length) {
    QTextCursor c(&doc);
    const int at = doc.findBlockByNumber(block).position() + from;
    c.setPosition(at);
    c.setPosition(at + length, QTextCursor::KeepAnchor);
    pane.setTextCursor(c);
  };
  const auto findNext = [&](const char* name, const QString& search) {
    form.view().findDialog().setSearchText(search);
    clock.restart();
    form.FindDialog1Find();
    const double us = Microseconds(clock);
    const QTextCursor c = pane.textCursor();
    std::printf("find-next %s: %.0f us (selection at line %d)\n", name, us,
                c.block().blockNumber() + 1);
  };

  form.Search1Click();
  select(0, 0, 0);
  findNext("near the start, nothing selected", QStringLiteral("line 12 HOLDS"));
  select(lines - 20, 0, 4);
  findNext("near the end, after a selection", QStringLiteral("Line ") + QString::number(lines - 5));
  select(0, 0, 0);
  findNext("through the whole text, no match", QStringLiteral("no such text"));

  const auto statusUpdates = [&](const char* name) {
    // The figures are worked out at every idle moment; the status bar is
    // written only when they changed.
    const int rounds = 10000;
    select(lines - 3, 17, 0);
    clock.restart();
    for (int i = 0; i < rounds; ++i) form.ApplicationEvents1Idle();
    const double still = Microseconds(clock) / rounds;
    clock.restart();
    for (int i = 0; i < rounds; ++i) {
      select(lines - 1 - (i % 100), i % 40, 0);  // the caret moves each time
      form.ApplicationEvents1Idle();
    }
    std::printf("status update, caret near the end, %s: %.1f us; %.1f us with a caret move\n", name,
                still, Microseconds(clock) / rounds);
    std::printf("  %s\n", qPrintable(ui.statusBar->currentMessage()));
  };
  statusUpdates("wrap off");

  clock.restart();
  form.WordwrapbtnClick();
  std::printf("wrap on (the pane lays out anew): %lld ms, peak memory %ld MB\n", clock.restart(),
              quorlin::timing::PeakMegabytes());
  QCoreApplication::processEvents();  // shown wrapped
  clock.restart();
  form.ApplicationEvents1Idle();
  std::printf("first status update after wrap on: %.0f us\n", Microseconds(clock));
  std::printf("  %s\n", qPrintable(ui.statusBar->currentMessage()));

  // The counter works in slices while the program is otherwise idle.
  quorlin::ui::DisplayLineCounter& counter = form.view().statusLine().counter();
  clock.restart();
  int slices = 0;
  while (!counter.caughtUp()) {
    QCoreApplication::processEvents();
    form.ApplicationEvents1Idle();
    ++slices;
  }
  std::printf("displayed lines counted in the background: %lld ms over %d event rounds\n",
              clock.restart(), slices);
  statusUpdates("wrap on");
  std::printf("peak memory: %ld MB\n", quorlin::timing::PeakMegabytes());
  return 0;
}
