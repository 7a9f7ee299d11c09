// SPDX-License-Identifier: Apache-2.0
// How fast the editor's page layout prints a long text, beside enscript
// followed by ps2pdf on the same text and paper, and the peak memory of both
// at two sizes (memory that stays flat from the smaller to the larger text is
// flat in the number of pages):
//
//   quorlin_print_bench [--runs R] [--lines N,N...] WORK_FOLDER
//
// The benchmark text (200,000 lines are about 12 MB) is generated in
// WORK_FOLDER once per size. Each print runs in a fresh process: the editor's
// layout (PrintLines in the pane's font, tabs every 80 screen pixels) into a
// QPdfWriter at 600 dpi on A4 with no margins of the printer's own, reading
// the lines from the file (the editor reads them from the pane's text); then
// `enscript -B -M A4 -p` and `ps2pdf -sPAPERSIZE=a4` (apt-get install enscript
// ghostscript), timed together. Figures are medians of R runs (default 3):
// wall time, and CPU time (user and system), the steadier figure on a
// machine shared with other work. The layout is timed inside its process
// (process start and font set-up left out); enscript and ps2pdf are timed
// from outside, their start included. The layout runs on Qt's offscreen
// platform unless QT_QPA_PLATFORM names another.
//
//   quorlin_print_bench --child TEXT PDF    prints TEXT into PDF once and
//                                           writes "PAGES SECONDS CPU" (for
//                                           a profiler)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>

#include "app/Printing.h"
#include "bench/GeneratedText.h"
#include "engine/BlockLines.h"
#include "ui/Fonts.h"

namespace fs = std::filesystem;

namespace {

// The tab stop of the pane, in screen pixels.
constexpr qreal kPaneTabStop = 80;

double Seconds(const timeval& t) {
  return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

class CountingPdf final : public QPdfWriter {
 public:
  using QPdfWriter::QPdfWriter;
  int pages = 1;
  bool newPage() override {
    ++pages;
    return QPdfWriter::newPage();
  }
};

int Child(const char* textPath, const char* pdfPath) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "quorlin_print_bench";
  char* argv[] = {name, nullptr};
  const QGuiApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  const QFont font = quorlin::app::PrintFont(quorlin::ui::PaneFont());

  std::FILE* in = std::fopen(textPath, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "cannot read %s\n", textPath);
    return 1;
  }
  quorlin::BlockLineReader lines(in, textPath);
  CountingPdf pdf(QString::fromLocal8Bit(pdfPath));
  pdf.setResolution(600);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                                QPageLayout::Point));
  QElapsedTimer clock;
  clock.start();
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  const bool ok =
      quorlin::app::PrintLines(pdf, quorlin::app::PrintableRect(pdf), lines, font, kPaneTabStop);
  const double cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  std::fclose(in);
  if (!ok) {
    std::fprintf(stderr, "the pages could not be made\n");
    return 1;
  }
  std::printf("%d %.3f %.3f\n", pdf.pages, seconds, cpu);
  return 0;
}

struct Outcome {
  bool ok = false;
  double seconds = 0;  // wall clock, start to exit
  double cpu = 0;      // user and system seconds, its children included
  double peakMb = 0;   // the largest process of the run
  std::string out;     // its standard output
};

// Runs a program to its end, its standard output read into out (the rest of
// its output to /dev/null unless it fails).
Outcome Run(const std::vector<std::string>& command) {
  Outcome o;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return o;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], 1);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::perror(argv[0]);
    _exit(127);
  }
  close(pipeEnds[1]);
  char buf[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buf, sizeof buf)) > 0;) o.out.append(buf, std::size_t(n));
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return o;
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  o.peakMb = double(usage.ru_maxrss) / 1024.0;
  o.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return o;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool Installed(const char* program) {
  return Run({"sh", "-c", std::string("command -v ") + program}).ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--child") return Child(argv[2], argv[3]);
  int runs = 3;
  std::vector<long> sizes = {50000, 200000};
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--lines" && i + 1 < argc) {
      sizes.clear();
      for (const char* p = argv[++i]; *p != '\0';) {
        char* end = nullptr;
        sizes.push_back(std::strtol(p, &end, 10));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') break;
      }
    } else if (folder.empty() && !a.empty() && a[0] != '-') {
      folder = a;
    } else {
      std::fprintf(stderr, "usage: %s [--runs R] [--lines N,N...] WORK_FOLDER\n", argv[0]);
      return 2;
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr, "usage: %s [--runs R] [--lines N,N...] WORK_FOLDER\n", argv[0]);
    return 2;
  }
  fs::create_directories(folder);
  const bool peers = Installed("enscript") && Installed("ps2pdf");
  if (!peers) std::printf("enscript or ps2pdf is not installed: the editor's figures only\n");

  for (const long lines : sizes) {
    const std::string text = folder + "/print-" + std::to_string(lines) + ".txt";
    if (!fs::exists(text)) quorlin::bench::Generate(text, lines);
    const std::string pdf = folder + "/print-quorlin.pdf";
    const std::string ps = folder + "/print-enscript.ps";
    const std::string psPdf = folder + "/print-enscript.pdf";
    std::vector<double> wall, cpu, peak, peerWall, peerCpu, peerPeak, enscript;
    int pages = 0;
    for (int r = 0; r < runs; ++r) {
      const Outcome q = Run({"/proc/self/exe", "--child", text, pdf});
      double seconds = 0, cpuSeconds = 0;
      if (!q.ok || std::sscanf(q.out.c_str(), "%d %lf %lf", &pages, &seconds, &cpuSeconds) != 3) {
        std::printf("the editor's print failed at %ld lines\n", lines);
        return 1;
      }
      wall.push_back(seconds);
      cpu.push_back(cpuSeconds);
      peak.push_back(q.peakMb);
      if (!peers) continue;
      const Outcome e = Run({"enscript", "-q", "-B", "-M", "A4", "-p", ps, text});
      const Outcome p = Run({"ps2pdf", "-sPAPERSIZE=a4", ps, psPdf});
      if (!e.ok || !p.ok) {
        std::printf("enscript or ps2pdf failed at %ld lines\n", lines);
        return 1;
      }
      enscript.push_back(e.seconds);
      peerWall.push_back(e.seconds + p.seconds);
      peerCpu.push_back(e.cpu + p.cpu);
      peerPeak.push_back(std::max(e.peakMb, p.peakMb));
    }
    std::printf("%ld lines (%.1f MB), %d pages; medians of %d runs\n", lines,
                double(fs::file_size(text)) / 1e6, pages, runs);
    std::printf("  %-28s %7.2f s wall %7.2f s cpu   peak %4.0f MB\n", "PrintLines into QPdfWriter",
                Median(wall), Median(cpu), Median(peak));
    if (peers) {
      std::printf("  %-28s %7.2f s wall %7.2f s cpu   peak %4.0f MB  (enscript alone %.2f s)\n",
                  "enscript -p, then ps2pdf", Median(peerWall), Median(peerCpu), Median(peerPeak),
                  Median(enscript));
      std::printf("  %-28s %7.2fx wall %7.2fx cpu\n", "ratio", Median(wall) / Median(peerWall),
                  Median(cpu) / Median(peerCpu));
    }
    std::fflush(stdout);
  }
  return 0;
}
