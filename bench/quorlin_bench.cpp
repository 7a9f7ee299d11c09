// quorlin-bench: times quorlin-batch against the GNU tool doing the same job on
// a generated 1,000,000-line text, running the two in alternation, and prints
// the median of each and their ratio (below 1.0: quorlin-batch is faster).
//
//   quorlin-bench [--lines N] [--runs R] [--only NAME] BATCH_PROGRAM WORK_FOLDER
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "bench/GeneratedText.h"

extern char** environ;

namespace {

// Runs cmd through sh; returns seconds and sets maxRssKb to the peak resident
// size of the command.
double TimeCommand(const std::string& cmd, long* maxRssKb = nullptr) {
  const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
      0) {
    std::cerr << "cannot start: " << cmd << '\n';
    std::exit(1);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  const auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::cerr << "command failed: " << cmd << '\n';
    std::exit(1);
  }
  if (maxRssKb) *maxRssKb = ru.ru_maxrss;
  return std::chrono::duration<double>(t1 - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Job {
  std::string name;
  std::string quorlinArgs;
  std::string gnu;
  double target;  // the ratio to stay at or below
};

}  // namespace

int main(int argc, char** argv) {
  long lines = 1000000;
  int runs = 7;
  std::string only;
  std::vector<std::string> pos;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--lines" && i + 1 < argc)
      lines = std::atol(argv[++i]);
    else if (a == "--runs" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (a == "--only" && i + 1 < argc)
      only = argv[++i];
    else
      pos.push_back(a);
  }
  if (pos.size() != 2) {
    std::cerr << "usage: quorlin-bench [--lines N] [--runs R] [--only NAME] BATCH_PROGRAM "
                 "WORK_FOLDER\n";
    return 2;
  }
  const std::string batch = std::filesystem::absolute(pos[0]).string();
  const std::filesystem::path dir = pos[1];
  std::filesystem::create_directories(dir);
  const std::string text = (dir / ("text-v3-" + std::to_string(lines) + ".txt")).string();
  if (!std::filesystem::exists(text)) quorlin::bench::Generate(text, lines);
  const auto bytes = std::filesystem::file_size(text);
  const std::string q = (dir / "out-quorlin.txt").string();
  const std::string g = (dir / "out-gnu.txt").string();

  const std::vector<Job> jobs = {
      {"expand", "-t 1 -a 13", "expand -t 8", 1.0},
      {"grep-v", "-t 3 -c -k KEY -a 14", "grep -v -F KEY", 1.0},
      {"sed-delete", "-a 22 -c -k KEY", "sed s/KEY//g", 1.0},
      {"cut", "-a 16 -n 40", "cut -b 1-40", 1.0},
      {"strip-tags", "-a 30", "sed 's/<[^>]*>//g'", 1.0},
      {"fold", "-a 20 -n 40", "fold -b -w 40", 1.0},
      {"dedupe", "-a 43", "awk '!seen[$0]++'", 0.5},
      {"sort", "-a 32", "sort", 1.5},
  };

  std::printf("text: %s, %ld lines, %.1f MB; %d runs each, in alternation\n", text.c_str(), lines,
              double(bytes) / 1e6, runs);
  std::printf("%-11s %10s %10s %7s %7s  %s\n", "job", "quorlin s", "gnu s", "ratio", "target",
              "gnu command");
  bool allMet = true;
  for (const Job& job : jobs) {
    if (!only.empty() && job.name != only) continue;
    const std::string qc =
        "LC_ALL=C '" + batch + "' " + job.quorlinArgs + " '" + text + "' > '" + q + "'";
    const std::string gc = "LC_ALL=C " + job.gnu + " < '" + text + "' > '" + g + "'";
    std::vector<double> tq, tg;
    long rssQ = 0, rssG = 0;
    TimeCommand(qc);  // warm the page cache and the binaries
    TimeCommand(gc);
    for (int r = 0; r < runs; ++r) {
      tq.push_back(TimeCommand(qc, &rssQ));
      tg.push_back(TimeCommand(gc, &rssG));
    }
    const double mq = Median(tq), mg = Median(tg), ratio = mq / mg;
    allMet = allMet && ratio <= job.target;
    std::printf("%-11s %10.3f %10.3f %7.2f %7.2f  %s%s\n", job.name.c_str(), mq, mg, ratio,
                job.target, job.gnu.c_str(), ratio <= job.target ? "" : "   (above target)");
    std::printf("%-11s peak memory: quorlin %.1f MB (%.2fx the text), gnu %.1f MB\n", "",
                rssQ / 1024.0, rssQ * 1024.0 / double(bytes), rssG / 1024.0);
  }
  std::filesystem::remove(q);
  std::filesystem::remove(g);
  return allMet ? 0 : 1;
}
