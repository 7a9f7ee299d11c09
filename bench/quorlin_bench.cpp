// SPDX-License-Identifier: Apache-2.0
// quorlin-bench: times quorlin-batch against the GNU tool doing the same job on
// a generated 1,000,000-line text, running the two in alternation, and prints
// the median of each and the median of their ratio in each round (below 1.0:
// quorlin-batch is faster); every ratio below is taken so.
// Then the streaming actions at -j 1 against cat copying the same text (the
// copy floor; --only cat for these alone); the same actions with
// --encoding utf8 against the byte rules (processor seconds; --only utf8); the same for one 100 MB
// line without a line break, from a file and from a pipe, against tr; and the peak memory of the
// sort and the removal of duplicates on texts of empty lines, of 8-byte lines and the generated
// text.
//
// With --only recipe (the same 1 GB text), a five-step recipe in one pass
// against its steps alone and run one after another, at every core and at
// -j 1, and -j 2 against -j 1.
//
// With --only jobs (and only then: it makes a 1 GB text), -j 2 against -j 1
// on that text for the key replacement, the tag strip and the sort, and the
// peak memory of -j 2. With --baseline OTHER_BATCH_PROGRAM also that
// program's -j 1 there and beside the streaming actions, to show that one
// thread has not slowed down.
//
//   quorlin-bench [--lines N] [--runs R] [--only NAME] [--baseline PROGRAM]
//                 BATCH_PROGRAM WORK_FOLDER
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/GeneratedText.h"

extern char** environ;

namespace {

// Runs cmd through sh; returns seconds and sets maxRssKb to the peak resident
// size of the command and cpu to its processor seconds (user and system).
double TimeCommand(const std::string& cmd, long* maxRssKb = nullptr, double* cpu = nullptr) {
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
  if (cpu) {
    *cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  }
  return std::chrono::duration<double>(t1 - t0).count();
}

// TimeCommand with the command's outputs removed first, outside the timing:
// replacing a large file would time, inside the run, the freeing of the last
// run's pages (in /dev/shm) or the wait for their write-back (on a disk).
double TimeFresh(const std::vector<std::string>& outputs, const std::string& cmd,
                 long* maxRssKb = nullptr, double* cpu = nullptr) {
  for (const std::string& f : outputs) std::filesystem::remove(f);
  return TimeCommand(cmd, maxRssKb, cpu);
}

// A file of lines made by make(i), unless it is there already.
template <class F>
void GenerateLines(const std::string& path, long lines, F make) {
  if (std::filesystem::exists(path)) return;
  std::ofstream out(path, std::ios::binary);
  std::string text;
  for (long i = 0; i < lines; ++i) {
    text += make(i);
    text += '\n';
    if (text.size() > (1 << 20)) {
      out << text;
      text.clear();
    }
  }
  out << text;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The median of a[r] / b[r] over the rounds r: the two were run one after the
// other in each round, so a change in the machine's load from one round to
// the next (common on a shared machine) falls on both.
double PairedMedian(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (std::size_t r = 0; r < a.size() && r < b.size(); ++r)
    ratios.push_back(b[r] > 0 ? a[r] / b[r] : 0.0);
  return Median(std::move(ratios));
}

struct Job {
  std::string name;
  std::string quorlinArgs;
  std::string gnu;
  double target;  // the ratio to stay at or below
};

// -j 2 against -j 1 on a 1 GB text, run in alternation (the machine may be
// shared: medians of several runs).
int Jobs(const std::string& batch, const std::string& baseline, const std::filesystem::path& dir,
         int runs) {
  const std::string text = (dir / "text-v3-17000000.txt").string();
  if (!std::filesystem::exists(text)) quorlin::bench::Generate(text, 17000000);
  const double mb = double(std::filesystem::file_size(text)) / 1e6;
  // The output goes to memory when it can (/dev/shm): a disk's write-back of
  // gigabytes after each run would time the disk, not the threads.
  const std::filesystem::path shm = "/dev/shm";
  const std::string out =
      ((std::filesystem::is_directory(shm) ? shm : dir) / "quorlin-out-jobs.txt").string();
  const struct {
    const char* name;
    const char* args;
  } jobs[] = {{"key-replace", "-a 31 -k KEY -r XY"}, {"tag-strip", "-a 30"}, {"sort", "-a 32"}};
  std::printf("text: %s, %.1f MB, output to %s; %d runs each, in alternation; medians\n",
              text.c_str(), mb, out.c_str(), runs);
  std::printf("%-12s %9s %9s %9s %7s %7s %11s%s\n", "job", "-j 1 s", "-j 2 s", "MB/s -j 2", "ratio",
              "target", "-j 2 peak", baseline.empty() ? "" : "  baseline -j 1 s");
  bool allMet = true;
  for (const auto& job : jobs) {
    // threads 0: no -j option (a baseline program may not know it)
    auto command = [&](const std::string& program, int threads) {
      const std::string j = threads > 0 ? " -j " + std::to_string(threads) : "";
      return "LC_ALL=C '" + program + "'" + j + " " + job.args + " '" + text + "' > '" + out + "'";
    };
    std::vector<double> one, two, base;
    long rss = 0;
    for (int r = 0; r < runs; ++r) {
      one.push_back(TimeFresh({out}, command(batch, 1)));
      two.push_back(TimeFresh({out}, command(batch, 2), &rss));
      if (!baseline.empty()) base.push_back(TimeFresh({out}, command(baseline, 0)));
    }
    const double ratio = PairedMedian(one, two);
    allMet = allMet && ratio >= 1.6;
    std::printf("%-12s %9.2f %9.2f %9.0f %7.2f %7.2f %8.0f MB", job.name, Median(one), Median(two),
                mb / Median(two), ratio, 1.6, rss / 1024.0);
    if (!baseline.empty()) std::printf("  %9.2f", Median(base));
    std::printf("%s\n", ratio >= 1.6 ? "" : "   (below target)");
  }
  std::filesystem::remove(out);
  return allMet ? 0 : 1;
}

// A five-step streaming recipe (tabs expanded, lines with a key deleted, tags
// stripped, a key replaced, lines truncated) on the 1 GB text against its
// slowest step alone and against the five steps run one after another as five
// quorlin-batch processes, each reading the last one's file, each side with
// the same -j: every core (the default), and one; and -j 2 against -j 1.
// Medians of runs in alternation.
int Recipe(const std::string& batch, const std::filesystem::path& dir, int runs) {
  const std::string text = (dir / "text-v3-17000000.txt").string();
  if (!std::filesystem::exists(text)) quorlin::bench::Generate(text, 17000000);
  const double mb = double(std::filesystem::file_size(text)) / 1e6;
  const std::filesystem::path shm = "/dev/shm";
  const std::filesystem::path to = std::filesystem::is_directory(shm) ? shm : dir;
  const std::string out = (to / "quorlin-out-recipe.txt").string();
  const std::string steps[] = {"-a no-change", "-t contains-key -k total -a delete-line",
                               "-a strip-tags", "-a replace-key -k KEY -r XY", "-a truncate -n 60"};
  const std::size_t n = std::size(steps);
  const std::string recipe = (dir / "bench.recipe").string();
  {
    std::ofstream r(recipe);
    r << "quorlin-recipe 1\n";
    for (const std::string& step : steps) r << step << '\n';
  }
  auto run = [&](const std::string& args, const std::string& in, const std::string& into) {
    return "LC_ALL=C '" + batch + "' " + args + " '" + in + "' > '" + into + "'";
  };
  // Elapsed and processor seconds of each kind of run, by run.
  struct Times {
    std::vector<double> elapsed, cpu;
    void add(const std::string& cmd, const std::vector<std::string>& outputs) {
      double c = 0;
      elapsed.push_back(TimeFresh(outputs, cmd, nullptr, &c));
      cpu.push_back(c);
    }
  };
  const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
  std::printf(
      "text: %s, %.1f MB, output to %s; %d runs each, in alternation; medians of\n"
      "elapsed and processor seconds (user and system; a shared machine stretches the\n"
      "first, not the second), ratios the median of each round's; -j %u is every core,\n"
      "the default\n",
      text.c_str(), mb, out.c_str(), runs, cores);
  // The runs at one -j: the recipe, each step alone, the five processes.
  struct Side {
    unsigned jobs;
    Times recipe, chained;
    std::vector<Times> alone;
  };
  std::vector<Side> sides;
  sides.push_back({cores, {}, {}, std::vector<Times>(n)});
  if (cores != 1) sides.push_back({1, {}, {}, std::vector<Times>(n)});
  Times two;  // the recipe at -j 2, when that is neither side
  for (int r = 0; r < runs; ++r) {
    for (Side& side : sides) {
      const std::string j = " -j " + std::to_string(side.jobs);
      side.recipe.add(run("--recipe '" + recipe + "'" + j, text, out), {out});
      for (std::size_t k = 0; k < n; ++k) side.alone[k].add(run(steps[k] + j, text, out), {out});
      // The five processes, each step's output the next one's input.
      std::string cmd, in = text;
      std::vector<std::string> made;
      for (std::size_t k = 0; k < n; ++k) {
        const std::string into = (to / ("quorlin-step-" + std::to_string(k) + ".txt")).string();
        cmd += (k > 0 ? " && " : "") + run(steps[k] + j, in, into);
        made.push_back(into);
        in = into;
      }
      side.chained.add(cmd, made);
    }
    if (cores != 2) two.add(run("--recipe '" + recipe + "' -j 2", text, out), {out});
  }
  auto row = [](const std::string& what, const Times& t) {
    std::printf("  %-58s %7.2f s %7.2f s cpu\n", what.c_str(), Median(t.elapsed), Median(t.cpu));
  };
  auto ratio = [](const std::string& what, double e, double c, double target, bool atMost) {
    const bool met = atMost ? e <= target : e >= target;
    std::printf("%-40s %5.2f elapsed, %5.2f cpu (target %s %.2f elapsed)%s\n", what.c_str(), e, c,
                atMost ? "<=" : ">=", target, met ? "" : "   (not met)");
    return met;
  };
  bool allMet = true;
  const Times* one = nullptr;
  for (const Side& side : sides) {
    const std::string j = "-j " + std::to_string(side.jobs);
    std::printf("at %s:\n", j.c_str());
    std::size_t slowest = 0;
    for (std::size_t k = 0; k < n; ++k) {
      row("step " + std::to_string(k + 1) + " alone: " + steps[k], side.alone[k]);
      if (Median(side.alone[k].elapsed) > Median(side.alone[slowest].elapsed)) slowest = k;
    }
    row("the five steps as five processes one after another", side.chained);
    row("recipe", side.recipe);
    const Times& s = side.alone[slowest];
    const bool a = ratio("recipe / slowest step alone, " + j + ":",
                         PairedMedian(side.recipe.elapsed, s.elapsed),
                         PairedMedian(side.recipe.cpu, s.cpu), 1.3, true);
    const bool b = ratio("recipe / five processes, " + j + ":",
                         PairedMedian(side.recipe.elapsed, side.chained.elapsed),
                         PairedMedian(side.recipe.cpu, side.chained.cpu), 0.35, true);
    // The targets hold for the program as it is run, with every core.
    if (side.jobs == cores) allMet = allMet && a && b;
    if (side.jobs == 1) one = &side.recipe;
  }
  const Times& withTwo = cores == 2 ? sides.front().recipe : two;
  if (one != nullptr) {
    allMet = ratio("recipe -j 1 / recipe -j 2:", PairedMedian(one->elapsed, withTwo.elapsed),
                   PairedMedian(one->cpu, withTwo.cpu), 1.6, false) &&
             allMet;
  }
  std::filesystem::remove(out);
  for (std::size_t k = 0; k < n; ++k)
    std::filesystem::remove(to / ("quorlin-step-" + std::to_string(k) + ".txt"));
  return allMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  long lines = 1000000;
  int runs = 7;
  std::string only, baseline;
  std::vector<std::string> pos;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--lines" && i + 1 < argc)
      lines = std::atol(argv[++i]);
    else if (a == "--runs" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (a == "--only" && i + 1 < argc)
      only = argv[++i];
    else if (a == "--baseline" && i + 1 < argc)
      baseline = std::filesystem::absolute(argv[++i]).string();
    else
      pos.push_back(a);
  }
  if (pos.size() != 2) {
    std::cerr << "usage: quorlin-bench [--lines N] [--runs R] [--only NAME] [--baseline PROGRAM] "
                 "BATCH_PROGRAM WORK_FOLDER\n";
    return 2;
  }
  const std::string batch = std::filesystem::absolute(pos[0]).string();
  const std::filesystem::path dir = pos[1];
  std::filesystem::create_directories(dir);
  if (only == "jobs") return Jobs(batch, baseline, dir, runs);
  if (only == "recipe") return Recipe(batch, dir, runs);
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
    const double mq = Median(tq), mg = Median(tg), ratio = PairedMedian(tq, tg);
    allMet = allMet && ratio <= job.target;
    std::printf("%-11s %10.3f %10.3f %7.2f %7.2f  %s%s\n", job.name.c_str(), mq, mg, ratio,
                job.target, job.gnu.c_str(), ratio <= job.target ? "" : "   (above target)");
    std::printf("%-11s peak memory: quorlin %.1f MB (%.2fx the text), gnu %.1f MB\n", "",
                rssQ / 1024.0, rssQ * 1024.0 / double(bytes), rssG / 1024.0);
  }
  // The streaming actions against the copy floor: cat copying the same text
  // between the same files, one thread each.
  const struct {
    const char* name;
    const char* args;
  } copyJobs[] = {
      {"expand", "-t 1 -a 13"},
      {"delete-key", "-t 3 -k KEY -a 14"},
      {"replace-key", "-a 31 -k KEY -r XY"},
      {"strip-tags", "-a 30"},
      {"upper", "--upper"},
      {"cut", "-a 16 -n 40"},
  };
  // On a busy machine the processor seconds (user and system) vary less than
  // the elapsed ones: both are shown. cat copies inside the kernel
  // (copy_file_range) and never sees the bytes; dd with 256 KB blocks reads
  // and writes them through a buffer as any program that changes them must,
  // so its time is shown beside cat's as the floor of such a program.
  //
  // These outputs go to memory when they can (/dev/shm), as those of the
  // recipe and -j runs, and each is removed before its run: on a disk,
  // replacing the last run's output waits for its write-back, which times the
  // disk and the order of the runs (by turns 1.4 and 3 times cat's time for
  // the same program) rather than the copying.
  const std::filesystem::path shm = "/dev/shm";
  const std::filesystem::path copyDir = std::filesystem::is_directory(shm) ? shm : dir;
  const std::string copyQ = (copyDir / "quorlin-out-copy.txt").string();
  const std::string copyG = (copyDir / "quorlin-out-cat.txt").string();
  double ddSeconds = 0, ddCat = 0;
  if (only.empty() || only == "cat") {
    const std::string dd = "dd bs=256k status=none if='" + text + "' of='" + copyG + "'";
    const std::string cc = "cat < '" + text + "' > '" + copyG + "'";
    std::vector<double> td, tc;
    TimeFresh({copyG}, dd);
    for (int r = 0; r < runs; ++r) {
      td.push_back(TimeFresh({copyG}, dd));
      tc.push_back(TimeFresh({copyG}, cc));
    }
    ddSeconds = Median(td);
    ddCat = ddSeconds / Median(tc);
    std::printf("\ncopy floor (output to %s): dd bs=256k %.3f s, %.2fx cat < in > out\n",
                copyDir.c_str(), ddSeconds, ddCat);
  }
  bool copyHeader = false;
  for (const auto& job : copyJobs) {
    if (!only.empty() && only != "cat" && job.name != only) continue;
    if (!copyHeader) {
      std::printf("%-11s %10s %10s %7s %7s %9s %8s%s  %s\n", "streaming", "quorlin s", "cat s",
                  "ratio", "target", "cpu ratio", "dd ratio",
                  baseline.empty() ? "" : "  baseline s ratio cpu",
                  "quorlin-batch -j 1 against cat < in > out");
      copyHeader = true;
    }
    auto command = [&](const std::string& program) {
      return "LC_ALL=C '" + program + "' -j 1 " + job.args + " '" + text + "' > '" + copyQ + "'";
    };
    const std::string cc = "cat < '" + text + "' > '" + copyG + "'";
    std::vector<double> tq, tc, tb, cq, cc2, cb;
    TimeFresh({copyQ}, command(batch));
    TimeFresh({copyG}, cc);
    for (int r = 0; r < runs; ++r) {
      double cpu = 0;
      tq.push_back(TimeFresh({copyQ}, command(batch), nullptr, &cpu));
      cq.push_back(cpu);
      tc.push_back(TimeFresh({copyG}, cc, nullptr, &cpu));
      cc2.push_back(cpu);
      if (baseline.empty()) continue;
      tb.push_back(TimeFresh({copyQ}, command(baseline), nullptr, &cpu));
      cb.push_back(cpu);
    }
    const double mq = Median(tq), mc = Median(tc), ratio = PairedMedian(tq, tc);
    allMet = allMet && ratio <= 2.0;
    std::printf("%-11s %10.3f %10.3f %7.2f %7.2f %9.2f %8.2f", job.name, mq, mc, ratio, 2.0,
                PairedMedian(cq, cc2), ddSeconds > 0 ? mq / ddSeconds : 0.0);
    if (!baseline.empty())
      std::printf("  %10.3f %5.2f %4.2f", Median(tb), PairedMedian(tb, tc), PairedMedian(cb, cc2));
    std::printf("  %s%s\n", job.args, ratio <= 2.0 ? "" : "   (above target)");
  }
  std::filesystem::remove(copyQ);
  std::filesystem::remove(copyG);

  // Characters against bytes: the streaming actions with --encoding utf8
  // against the byte rules, on the text with one line in five holding
  // characters of two to four bytes, and on the text of ASCII only, where the
  // two must cost the same.
  if (only.empty() || only == "utf8") {
    const std::string mixed = (dir / ("text-utf8-" + std::to_string(lines) + ".txt")).string();
    if (!std::filesystem::exists(mixed)) {
      std::ifstream in(text, std::ios::binary);
      std::string line;
      long n = 0;
      GenerateLines(mixed, lines, [&](long) {
        std::getline(in, line);
        return n++ % 5 == 0 ? line +
                                  " caf\xC3\xA9 na\xC3\xAFve \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC "
                                  "\xF0\x9F\x99\x82"
                            : line;
      });
    }
    std::printf("\n%-11s %8s %8s %6s %6s %8s %8s %6s %6s  %s\n", "utf8", "bytes s", "utf8 s",
                "ratio", "target", "ascii b", "ascii u", "ratio", "target",
                "quorlin-batch -j 1 --encoding utf8 against the byte rules");
    for (const auto& job : copyJobs) {
      auto command = [&](const std::string& file, const char* encoding) {
        return "LC_ALL=C '" + batch + "' -j 1 --encoding " + encoding + " " + job.args + " '" +
               file + "' > '" + q + "'";
      };
      double figures[4], ratios[2];
      const std::string files[2] = {mixed, text};
      for (int f = 0; f < 2; ++f) {
        std::vector<double> tb, tu;
        TimeFresh({q}, command(files[f], "utf8"));
        for (int r = 0; r < runs; ++r) {
          double cpu = 0;
          TimeFresh({q}, command(files[f], "cp1252"), nullptr, &cpu);
          tb.push_back(cpu);
          TimeFresh({q}, command(files[f], "utf8"), nullptr, &cpu);
          tu.push_back(cpu);
        }
        figures[2 * f] = Median(tb);
        figures[2 * f + 1] = Median(tu);
        ratios[f] = PairedMedian(tu, tb);
      }
      const double mixedRatio = ratios[0], asciiRatio = ratios[1];
      allMet = allMet && mixedRatio <= 1.2 && asciiRatio <= 1.05;
      std::printf("%-11s %8.3f %8.3f %6.2f %6.2f %8.3f %8.3f %6.2f %6.2f  %s%s\n", job.name,
                  figures[0], figures[1], mixedRatio, 1.2, figures[2], figures[3], asciiRatio, 1.0,
                  job.args, mixedRatio <= 1.2 && asciiRatio <= 1.05 ? "" : "   (above target)");
    }
  }

  // One 100 MB line without a break (minified data, NUL-padded exports): read
  // in linear time, from a file and from a pipe.
  const std::string longLine = (dir / "long-line-100MB.txt").string();
  if (!std::filesystem::exists(longLine)) {
    std::ofstream out(longLine, std::ios::binary);
    const std::string block(1 << 20, 'a');
    for (int i = 0; i < 100; ++i) out << block;
  }
  const struct {
    std::string name, quorlin, gnu;
  } longJobs[] = {
      {"long-file", "'" + batch + "' --upper '" + longLine + "' > '" + q + "'",
       "tr a-z A-Z < '" + longLine + "' > '" + g + "'"},
      {"long-pipe", "cat '" + longLine + "' | '" + batch + "' --upper > '" + q + "'",
       "cat '" + longLine + "' | tr a-z A-Z > '" + g + "'"},
  };
  for (const auto& job : longJobs) {
    if (!only.empty() && job.name != only) continue;
    std::vector<double> tq, tg;
    TimeCommand(job.quorlin);
    TimeCommand(job.gnu);
    for (int r = 0; r < runs; ++r) {
      tq.push_back(TimeCommand(job.quorlin));
      tg.push_back(TimeCommand(job.gnu));
    }
    const double mq = Median(tq), mg = Median(tg), ratio = PairedMedian(tq, tg);
    allMet = allMet && ratio <= 3.0;
    std::printf("%-11s %10.3f %10.3f %7.2f %7.2f  %s%s\n", job.name.c_str(), mq, mg, ratio, 3.0,
                "tr a-z A-Z, one 100 MB line", ratio <= 3.0 ? "" : "   (above target)");
  }

  // Peak memory of the two actions that hold the text: at most three times
  // the text plus a fixed amount (16 MB here), whatever the line length.
  if (only.empty() || only == "memory") {
    const std::string empty = (dir / "empty-lines-20M.txt").string();
    const std::string eight = (dir / "8-byte-lines-5M.txt").string();
    GenerateLines(empty, 20000000, [](long) { return std::string(); });
    GenerateLines(eight, 5000000, [](long i) {
      char s[16];
      std::snprintf(s, sizeof s, "%08lx",
                    static_cast<unsigned long>(i * 2654435761u) & 0xffffffffu);
      return std::string(s);
    });
    std::printf("\n%-11s %-22s %9s %9s %7s %7s\n", "memory", "text", "text MB", "peak MB", "ratio",
                "target");
    for (const char* action : {"32", "43"}) {
      for (const std::string& file : {empty, eight, text}) {
        long rss = 0;
        TimeCommand("LC_ALL=C '" + batch + "' -a " + action + " '" + file + "' > '" + q + "'",
                    &rss);
        const double size = double(std::filesystem::file_size(file));
        const double peak = rss * 1024.0;
        const bool met = peak <= 3 * size + 16e6;
        allMet = allMet && met;
        std::printf("%-11s %-22s %9.1f %9.1f %7.2f %7.2f%s\n",
                    (std::string(action) == "32" ? "sort" : "dedupe"),
                    std::filesystem::path(file).filename().string().c_str(), size / 1e6, peak / 1e6,
                    peak / size, 3.0, met ? "" : "   (above target)");
      }
    }
  }

  std::filesystem::remove(q);
  std::filesystem::remove(g);
  return allMet ? 0 : 1;
}
