// The editor's entry: the application title, the main window with the file
// named on the command line, and the event loop until the window closes.
#include <QApplication>

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
  Form1.show();
  return QApplication::exec();
}
