// The editor's entry: the application title, the main window with the file
// named on the command line, and the event loop until the window closes.
#include <csignal>

#include <QApplication>

#include "app/SignalWatcher.h"
#include "app/UQuorlin.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(quorlin::ui::kApplicationTitle));
  quorlin::ui::RegisterFontSubstitutes();

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  quorlin::FormOptions options;
  options.arguments = arguments;
  quorlin::TForm1 Form1(options);
  // Ended from outside: the window closes as usual (its work files go), then
  // the program ends by the same signal.
  int endedBy = 0;
  const quorlin::app::SignalWatcher watcher([&](int sig) {
    endedBy = sig;
    Form1.close();
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
