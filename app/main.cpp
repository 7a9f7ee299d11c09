// SPDX-License-Identifier: Apache-2.0
// The editor's entry: the application title, the main window with the file
// named on the command line, and the event loop until the window closes.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>

#include "app/CommandLine.h"
#include "app/SignalWatcher.h"
#include "app/UQuorlin.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"

int main(int argc, char* argv[]) {
  // Answered before Qt looks for a display.
  switch (quorlin::app::ReadStartRequest(std::vector<std::string>(argv + 1, argv + argc))) {
    case quorlin::app::StartRequest::Help:
      std::cout << quorlin::app::EditorHelpText();
      return 0;
    case quorlin::app::StartRequest::Version:
      std::cout << quorlin::app::EditorVersionText();
      return 0;
    case quorlin::app::StartRequest::OpenWindow:
      break;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(quorlin::ui::kApplicationTitle));
  // Ties the window to its desktop entry and its installed icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quorlin.Quorlin"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.quorlin.Quorlin")));
  quorlin::ui::RegisterFontSubstitutes();

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  if (!arguments.isEmpty() && arguments.first() == QLatin1String("--")) arguments.removeFirst();
  quorlin::app::FormOptions options;
  options.arguments = arguments;
  quorlin::app::TForm1 Form1(options);
  // Ended from outside: the window closes without a question (its work
  // files go; unsaved text is lost), then the program ends by the same
  // signal. A command under way is cancelled, and the window closes when it
  // has ended.
  int endedBy = 0;
  const quorlin::app::SignalWatcher watcher([&](int sig) {
    endedBy = sig;
    Form1.endFromOutside();
    QCoreApplication::exit(128 + sig);
  });
  Form1.show();
  const int status = QApplication::exec();
  if (endedBy != 0) {
    std::signal(endedBy, SIG_DFL);
    std::raise(endedBy);
  }
  return status;
}
