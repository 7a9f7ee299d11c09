// SPDX-License-Identifier: Apache-2.0
// Where a print job goes: the system's default printer, reached off the
// window's thread so that a print system that does not answer never holds
// the window.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

class QPagedPaintDevice;

namespace quorlin::app {

enum class PrintOutcome {
  Printed,    // the print system took the job
  NoPrinter,  // no default printer is set up (or no print system runs)
  Failed,     // the pages could not be made, or the print system refused the job
  NoAnswer,   // the print system stopped answering; the job may or may not print
};

// Paints every page of the job on a device laid out as the printer's page
// (its paper, its printable area as the margins, its resolution). False when
// it could not, or when stop was set.
using PagePainter = std::function<bool(QPagedPaintDevice& device, const std::atomic<bool>& stop)>;

class PrintSystem {
 public:
  virtual ~PrintSystem() = default;

  // One job on the default printer, with an empty title, one copy, every
  // page. Runs on a worker thread. It must not wait without bound on the
  // print system: it returns NoAnswer when that stays silent too long, and
  // returns soon after stop is set (with any outcome).
  virtual PrintOutcome print(const PagePainter& paint, const std::atomic<bool>& stop) = 0;
};

// The platform's print system: the CUPS scheduler where the program is built
// with CUPS; elsewhere Qt's printer on the default printer.
std::unique_ptr<PrintSystem> SystemPrintSystem();

}  // namespace quorlin::app
