// SPDX-License-Identifier: Apache-2.0
#include "app/PrintSystem.h"

#include <QPrinter>
#include <QPrinterInfo>

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

}  // namespace quorlin::app
