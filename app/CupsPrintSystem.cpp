// SPDX-License-Identifier: Apache-2.0
#include "app/CupsPrintSystem.h"

#include <sys/socket.h>

#include <cmath>
#include <memory>

#include <QDir>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <cups/cups.h>

namespace quorlin::app {
namespace {

// How often a silent wait on the scheduler is looked at (seconds): the step
// of the answer time and the longest a stop waits to be seen.
constexpr double kWatchStep = 0.25;

// Counts how long the scheduler has been silent in the current request.
// libcups calls KeepWaiting each time a wait on the connection has lasted
// kWatchStep without a byte; a zero return ends the request with a time-out.
struct Watch {
  const std::atomic<bool>& stop;
  double answerTime;    // seconds
  double silent = 0;    // in the current request
  bool gaveUp = false;  // some request went unanswered for the answer time

  void newRequest() { silent = 0; }
};

int KeepWaiting(http_t*, void* data) {
  Watch& watch = *static_cast<Watch*>(data);
  if (watch.stop.load()) return 0;
  watch.silent += kWatchStep;
  if (watch.silent < watch.answerTime) return 1;
  watch.gaveUp = true;
  return 0;
}

// A job that would need a password is refused rather than asked on a
// terminal the user does not see.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
  return nullptr;
}

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
struct DestFree {
  void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct InfoFree {
  void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

// Any successful status, "ignored or substituted attributes" included.
bool Accepted(ipp_status_t status) {
  return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

struct Paper {
  QPageLayout layout;
  std::string media;  // the printer's name for it; empty when it named none
};

// The printer's default paper (the user's own default first), with the area
// it can print on as the margins; when it tells none, the locale's usual
// paper printed to its edges.
Paper PrinterPaper(http_t* http, cups_dest_t* dest, cups_dinfo_t* info) {
  const char* media = cupsGetOption("media", dest->num_options, dest->options);
  if (media == nullptr) {
    // cupsGetDestMediaDefault would fall back to US Letter, not to the
    // printer's own default.
    ipp_attribute_t* attr = cupsFindDestDefault(http, dest, info, "media");
    if (attr != nullptr) media = ippGetString(attr, 0, nullptr);
  }
  cups_size_t size{};
  if (media != nullptr && cupsGetDestMediaByName(http, dest, info, media, 0, &size) &&
      size.width > 0 && size.length > 0) {
    const QPageSize page(QSizeF(size.width / 100.0, size.length / 100.0), QPageSize::Millimeter,
                         QString(), QPageSize::FuzzyMatch);
    const QMarginsF margins(size.left / 100.0, size.top / 100.0, size.right / 100.0,
                            size.bottom / 100.0);
    return {QPageLayout(page, QPageLayout::Portrait, margins, QPageLayout::Millimeter),
            std::string(size.media)};
  }
  const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
  return {QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                      QMarginsF()),
          std::string()};
}

// The printer's default resolution in dots per inch (600 when it tells none).
// The pages go as PDF, so it only sets the grid the margins are counted on.
int PrinterResolution(http_t* http, cups_dest_t* dest, cups_dinfo_t* info) {
  ipp_attribute_t* attr = cupsFindDestDefault(http, dest, info, "printer-resolution");
  if (attr != nullptr && ippGetValueTag(attr) == IPP_TAG_RESOLUTION) {
    int down = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    int across = ippGetResolution(attr, 0, &down, &units);
    if (units == IPP_RES_PER_CM) across = static_cast<int>(std::lround(across * 2.54));
    if (across >= 72 && across <= 9600) return across;
  }
  return 600;
}

// libcups keeps the scheduler's address per thread, and takes a connection
// to any other address for one straight to a printer: the address is set
// for the thread that prints, and put back after.
class ServerForThread {
 public:
  explicit ServerForThread(const std::string& server) : set_(!server.empty()) {
    if (set_) cupsSetServer(server.c_str());
  }
  ~ServerForThread() {
    if (set_) cupsSetServer(nullptr);
  }
  ServerForThread(const ServerForThread&) = delete;
  ServerForThread& operator=(const ServerForThread&) = delete;

 private:
  bool set_;
};

}  // namespace

CupsPrintSystem::CupsPrintSystem(std::string server, std::chrono::milliseconds answerTime)
    : server_(std::move(server)), answerTime_(answerTime) {}

PrintOutcome CupsPrintSystem::print(const PagePainter& paint, const std::atomic<bool>& stop) {
  cupsSetPasswordCB2(NoPassword, nullptr);  // for this thread
  Watch watch{stop, answerTime_.count() / 1000.0};
  const auto unanswered = [&](PrintOutcome otherwise) {
    return watch.gaveUp ? PrintOutcome::NoAnswer : otherwise;
  };

  const ServerForThread server(server_);
  const std::unique_ptr<http_t, HttpClose> http(httpConnect2(cupsServer(), ippPort(), nullptr,
                                                             AF_UNSPEC, cupsEncryption(), 1,
                                                             int(answerTime_.count()), nullptr));
  // No scheduler runs: there is no printer to print on.
  if (!http) return PrintOutcome::NoPrinter;
  httpSetTimeout(http.get(), kWatchStep, KeepWaiting, &watch);

  watch.newRequest();
  const std::unique_ptr<cups_dest_t, DestFree> dest(cupsGetNamedDest(http.get(), nullptr, nullptr));
  if (!dest) return unanswered(PrintOutcome::NoPrinter);
  watch.newRequest();
  const std::unique_ptr<cups_dinfo_t, InfoFree> info(cupsCopyDestInfo(http.get(), dest.get()));
  if (!info) return unanswered(PrintOutcome::Failed);
  watch.newRequest();
  const Paper paper = PrinterPaper(http.get(), dest.get(), info.get());
  if (watch.gaveUp) return PrintOutcome::NoAnswer;
  const int dpi = PrinterResolution(http.get(), dest.get(), info.get());

  // The pages are made while no request is open: the scheduler is not kept
  // waiting however long a large text takes.
  QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/quorlin-print-XXXXXX.pdf"));
  if (!spool.open()) return PrintOutcome::Failed;
  {
    QPdfWriter pdf(&spool);
    pdf.setResolution(dpi);
    if (!pdf.setPageLayout(paper.layout)) return PrintOutcome::Failed;
    if (!paint(pdf, stop)) return PrintOutcome::Failed;
  }
  if (!spool.isOpen() && !spool.open()) return PrintOutcome::Failed;
  if (!spool.flush() || !spool.seek(0)) return PrintOutcome::Failed;

  cups_option_t* options = nullptr;
  int optionCount = 0;
  if (!paper.media.empty()) {
    optionCount = cupsAddOption("media", paper.media.c_str(), optionCount, &options);
  }
  int job = 0;
  watch.newRequest();
  const ipp_status_t created =
      cupsCreateDestJob(http.get(), dest.get(), info.get(), &job, "", optionCount, options);
  cupsFreeOptions(optionCount, options);
  if (!Accepted(created)) return unanswered(PrintOutcome::Failed);

  const auto abandon = [&] {
    // A job the scheduler answered about but did not take is cancelled, so
    // that no half-sent job waits in the queue.
    if (!watch.gaveUp && !stop.load()) {
      watch.newRequest();
      cupsCancelDestJob(http.get(), dest.get(), job);
    }
    return unanswered(PrintOutcome::Failed);
  };
  watch.newRequest();
  if (cupsStartDestDocument(http.get(), dest.get(), info.get(), job, "", CUPS_FORMAT_PDF, 0,
                            nullptr, 1) != HTTP_STATUS_CONTINUE) {
    return abandon();
  }
  for (;;) {
    const QByteArray block = spool.read(qint64(1) << 16);
    if (block.isEmpty()) break;
    watch.newRequest();
    if (stop.load() || cupsWriteRequestData(http.get(), block.constData(), size_t(block.size())) !=
                           HTTP_STATUS_CONTINUE) {
      return abandon();
    }
  }
  if (!spool.atEnd()) return abandon();  // the spool file could not be read back
  watch.newRequest();
  if (!Accepted(cupsFinishDestDocument(http.get(), dest.get(), info.get()))) {
    return unanswered(PrintOutcome::Failed);
  }
  return PrintOutcome::Printed;
}

}  // namespace quorlin::app
