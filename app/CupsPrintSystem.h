// SPDX-License-Identifier: Apache-2.0
// Printing through the CUPS scheduler: the pages are made into a PDF file
// laid out as the default printer's page, and that file is sent as one job.
// Every request waits a bounded time for the scheduler's answer, so that a
// stopped or unreachable scheduler gives NoAnswer instead of holding the job,
// and a refused job (a queue that is not accepting jobs, a failed request) is
// reported as Failed.
#pragma once

#include <chrono>
#include <string>

#include "app/PrintSystem.h"

namespace quorlin::app {

class CupsPrintSystem final : public PrintSystem {
 public:
  // server: the scheduler as "host:port" or a local socket path; empty: the
  // user's scheduler (CUPS_SERVER, client.conf, the local one). answerTime:
  // how long the scheduler may stay silent in one request before the job is
  // given up as not answered (libcups first waits up to a second of its own).
  explicit CupsPrintSystem(std::string server = {},
                           std::chrono::milliseconds answerTime = std::chrono::seconds(10));

  PrintOutcome print(const PagePainter& paint, const std::atomic<bool>& stop) override;

 private:
  std::string server_;
  std::chrono::milliseconds answerTime_;
};

}  // namespace quorlin::app
