#include "app/PrintSystem.h"

#include <QEventLoop>
#include <QPrinter>
#include <QPrinterInfo>
#include <QThread>

#ifdef QUORLIN_HAVE_CUPS
#include "app/CupsPrintSystem.h"
#endif

namespace quorlin::app {
namespace {

// Qt's printer on the system's default printer. Its calls into the print
// system cannot be bounded or stopped: used only where there is no CUPS.
class QtPrintSystem final : public PrintSystem {
 public:
  PrintOutcome print(const PagePainter& paint, const std::atomic<bool>& stop) override {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return PrintOutcome::NoPrinter;
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QString());
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFullPage(false);
    // The printer's own margins only: Qt's default page margins would move
    // the text further in.
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
    if (!paint(printer, stop)) return PrintOutcome::Failed;
    return printer.printerState() == QPrinter::Error ? PrintOutcome::Failed : PrintOutcome::Printed;
  }
};

}  // namespace

std::unique_ptr<PrintSystem> SystemPrintSystem() {
#ifdef QUORLIN_HAVE_CUPS
  return std::make_unique<CupsPrintSystem>();
#else
  return std::make_unique<QtPrintSystem>();
#endif
}

PrintOutcome PrintOffThread(PrintSystem& system, const PagePainter& paint) {
  std::atomic<bool> stop{false};
  PrintOutcome outcome = PrintOutcome::Failed;
  const std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      outcome = system.print(paint, stop);
    } catch (...) {  // out of memory making the pages
      outcome = PrintOutcome::Failed;
    }
  }));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  // Paint and timer events go on; the user's input (a close included) is
  // kept until the job is over.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!worker->isFinished()) stop = true;
  worker->wait();
  return outcome;
}

}  // namespace quorlin::app
