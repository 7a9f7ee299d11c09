// SPDX-License-Identifier: Apache-2.0
// quorlin_pattern_bench: the speed of change runs whose Test Key is a pattern,
// against the GNU tools doing the same job on the generated 1,000,000-line
// text, each a process of its own, run in alternation; it prints the median of
// each and their ratio (below 1.0: the engine is faster):
//  - deleting the lines that hold a match (test 3, action 14) against
//    LC_ALL=C grep -v -E (target 1.2);
//  - replacing every match (action 31; 22 to delete them) against
//    LC_ALL=C sed -E 's/.../.../g' (target 0.7);
//  - the pattern (a+)+$ on one 100 MB line of a's ending in b, against a plain
//    key search of the same line (target 3.0): linear time where a
//    backtracking engine takes hours.
// The engine's side is quorlin-batch -E (the one built beside this program,
// or --batch PATH).
// With --baseline OLD NEW (two quorlin-batch programs) it also times plain-key
// runs of both, to show that a plain key has not slowed down.
//
//   quorlin_pattern_bench [--runs R] [--only NAME] [--batch PATH] [--baseline OLD NEW]
//                         WORK_FOLDER
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/GeneratedText.h"
#include "bench/Timing.h"

namespace {

using quorlin::bench::MedianOf;
using quorlin::bench::SecondsOf;

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Job {
  std::string name;
  std::string ours;   // the command of the engine's side
  std::string other;  // the command it is compared with
  double target;      // the ratio to stay at or below
  std::string what;
};

// Times each job's two commands in alternation and prints the medians.
bool Compare(const std::vector<Job>& jobs, const std::string& only, int runs) {
  bool allMet = true;
  for (const Job& job : jobs) {
    if (!only.empty() && job.name.rfind(only, 0) != 0) continue;
    SecondsOf(job.ours);  // warms the page cache and checks that both work
    SecondsOf(job.other);
    std::vector<double> ours, other;
    for (int r = 0; r < runs; ++r) {
      ours.push_back(SecondsOf(job.ours));
      other.push_back(SecondsOf(job.other));
    }
    const double ratio = MedianOf(ours) / MedianOf(other);
    allMet = allMet && ratio <= job.target;
    std::printf("%-16s %9.3f %9.3f %7.2f %7.2f  %s%s\n", job.name.c_str(), MedianOf(ours),
                MedianOf(other), ratio, job.target, job.what.c_str(),
                ratio <= job.target ? "" : "   (above target)");
    std::fflush(stdout);
  }
  return allMet;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  std::string only, oldBatch, newBatch, batch = QUORLIN_BATCH;
  std::vector<std::string> pos;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (a == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (a == "--batch" && i + 1 < argc) {
      batch = std::filesystem::absolute(argv[++i]).string();
    } else if (a == "--baseline" && i + 2 < argc) {
      oldBatch = std::filesystem::absolute(argv[++i]).string();
      newBatch = std::filesystem::absolute(argv[++i]).string();
    } else {
      pos.push_back(a);
    }
  }
  if (pos.size() != 1 || runs < 1) {
    std::cerr << "usage: quorlin_pattern_bench [--runs R] [--only NAME] [--batch PATH] "
                 "[--baseline OLD NEW] WORK_FOLDER\n";
    return 2;
  }
  const std::filesystem::path dir = pos[0];
  std::filesystem::create_directories(dir);
  const std::string text = (dir / "text-v3-1000000.txt").string();
  if (!std::filesystem::exists(text)) quorlin::bench::Generate(text, 1000000);
  const std::string longLine = (dir / "a-line-100MB-b.txt").string();
  if (!std::filesystem::exists(longLine)) {
    std::ofstream out(longLine, std::ios::binary);
    const std::string block(1 << 20, 'a');
    for (int i = 0; i < 100; ++i) out << block;
    out << "b\n";
  }
  const std::string ours = (dir / "out-pattern.txt").string();
  const std::string theirs = (dir / "out-gnu.txt").string();
  auto engine = [&](int test, int action, bool exact, const std::string& pattern,
                    const std::string& repl, const std::string& in) {
    return "LC_ALL=C " + Quoted(batch) + " -E -t " + std::to_string(test) + " -a " +
           std::to_string(action) + (exact ? " -c" : "") + " -k " + Quoted(pattern) +
           (repl.empty() ? "" : " -r " + Quoted(repl)) + " " + Quoted(in) + " " + Quoted(ours);
  };
  auto gnu = [&](const std::string& tool) {
    return "LC_ALL=C " + tool + " < " + Quoted(text) + " > " + Quoted(theirs);
  };

  std::vector<Job> jobs;
  for (const std::string p : {"KEY", "alpha|delta", "^<tr>", "[0-9]+\\.[0-9]+", "sum [a-z]+ end$"})
    jobs.push_back({"delete " + p, engine(3, 14, true, p, "", text), gnu("grep -v -E " + Quoted(p)),
                    1.2, "grep -v -E"});
  jobs.push_back({"delete folded", engine(3, 14, false, "alpha|delta", "", text),
                  gnu("grep -v -i -E 'alpha|delta'"), 1.2, "grep -v -i -E"});
  const std::pair<std::string, std::string> replacements[] = {
      {"KEY", "XY"}, {"alpha|delta", "ALPHA"}, {"([0-9]+)\\.([0-9]+)", "\\2,\\1"}, {"<[^>]*>", ""}};
  for (const auto& [p, r] : replacements)
    jobs.push_back({"replace " + p, engine(1, r.empty() ? 22 : 31, true, p, r, text),
                    gnu("sed -E " + Quoted("s/" + p + "/" + r + "/g")), 0.7, "sed -E s///g"});
  const std::string plainKey =
      "LC_ALL=C " + Quoted(batch) + " -t 3 -a 13 -c -k ab " + Quoted(longLine) + " " + Quoted(ours);
  jobs.push_back({"(a+)+$ long line", engine(3, 13, true, "(a+)+$", "", longLine), plainKey, 3.0,
                  "a plain key (ab) on the same line"});

  std::printf("text: %s; %d runs each, in alternation; medians in seconds\n", text.c_str(), runs);
  std::printf("%-16s %9s %9s %7s %7s  %s\n", "job", "pattern", "other", "ratio", "target",
              "compared with");
  bool allMet = true;
  try {
    allMet = Compare(jobs, only, runs);

    if (!oldBatch.empty()) {
      // The plain key, in the programs before and after patterns came.
      std::printf("\nplain key: %s against %s\n", newBatch.c_str(), oldBatch.c_str());
      std::printf("%-16s %9s %9s %7s %7s\n", "job", "new", "old", "ratio", "target");
      std::vector<Job> plain;
      const std::pair<std::string, std::string> requests[] = {
          {"delete KEY", "-t 3 -c -k KEY -a 14"},
          {"delete key", "-t 3 -k key -a 14"},
          {"replace", "-a 31 -k key -r XY"},
          {"at position", "-t 4 -k KEY --first-char 5 -a 23"},
          {"at the end", "-t 13 -k end -a 40"},
      };
      for (const auto& [name, args] : requests) {
        auto command = [&](const std::string& program) {
          return "LC_ALL=C " + Quoted(program) + " " + args + " " + Quoted(text) + " > " +
                 Quoted(ours);
        };
        plain.push_back({name, command(newBatch), command(oldBatch), 1.05, ""});
      }
      allMet = Compare(plain, only, runs) && allMet;
    }
  } catch (const std::runtime_error& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  std::filesystem::remove(ours);
  std::filesystem::remove(theirs);
  return allMet ? 0 : 1;
}
