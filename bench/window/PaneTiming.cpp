// Times a change run on a large text in the pane, from the press of OK to the
// new text shown, and where the time goes:
//   QT_LOGGING_RULES="quorlin.timing.info=true" quorlin_pane_timing [LINES]
#include <cstdio>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/UQuorlin.h"
#include "bench/window/TimingSupport.h"
#include "engine/LineList.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/Western.h"

namespace {

// Tabs, blank lines, repeated and tag-like lines, about 60 bytes a line.
quorlin::LineList MakeText(int lines) {
  quorlin::LineList text;
  text.reserve(std::size_t(lines), std::size_t(lines) * 62);
  std::string line;
  for (int i = 0; i < lines; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 10) {
      case 0:
        line.clear();
        break;
      case 1:
        line = "\t\tIndented\twith tabs and a number " + n + "\tend";
        break;
      case 2:
        line = "<tr><td>" + n + "</td><td>cell text here</td><td>and more</td></tr>";
        break;
      case 3:
        line = "The quick brown fox jumps over the lazy dog 0123456789 ABCDEF";
        break;
      default:
        line = "Line " + n + " holds some ordinary words of text, to about sixty bytes.";
        break;
    }
    text.push_back(line);
  }
  return text;
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
  form.show();
  QCoreApplication::processEvents();

  QElapsedTimer clock;
  clock.start();
  {
    const quorlin::LineList text = MakeText(lines);
    std::printf("text: %d lines, %zu bytes, made in %lld ms\n", lines, text.joined().size(),
                clock.restart());
    const qsizetype characters = quorlin::ui::DecodeWestern(text.joined()).size();
    std::printf("bytes to characters alone: %lld characters in %lld ms\n",
                static_cast<long long>(characters), clock.restart());
    ui.pane->setLines(text);
  }
  QCoreApplication::processEvents();
  std::printf("loaded into the pane and shown: %lld ms\n", clock.restart());

  const struct {
    const char* name;
    int test, action;
    const char* key;
  } runs[] = {
      {"every line, tabs expanded (test 1, action 13)", 1, 13, ""},
      {"tag-like lines stripped (test 11, action 30)", 11, 30, ""},
      {"key deleted where found (test 3, action 22)", 3, 22, "o"},
  };
  for (const auto& run : runs) {
    ui.pages->setCurrentWidget(ui.changesPage);
    ui.testButton(quorlin::TestCode(run.test))->click();
    ui.actionButton(quorlin::ActionCode(run.action))->click();
    ui.field(quorlin::Field::TestKey)->setText(QString::fromLatin1(run.key));
    form.Edit1Exit();
    ui.pages->setCurrentWidget(ui.textPage);
    QCoreApplication::processEvents();

    clock.restart();
    form.Button1Click();
    const qint64 handler = clock.elapsed();
    QCoreApplication::processEvents();  // lays out and paints the new text
    std::printf("%s: OK to new text shown %lld ms (handler %lld ms), %zu lines\n", run.name,
                clock.elapsed(), handler, ui.pane->lineCount());
  }
  std::printf("peak memory: %ld MB\n", quorlin::timing::PeakMegabytes());
  return 0;
}
