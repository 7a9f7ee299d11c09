// quorlin-batch: the change engine without a window, for scripts and pipelines.
#include <clocale>
#include <cstdio>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#include <cstring>
#include <unistd.h>
#endif

#include "cli/BatchOptions.h"
#include "engine/ChangeRun.h"
#include "engine/BlockLines.h"
#include "engine/FileError.h"
#include "engine/Files.h"

namespace {

using namespace quorlin;

#ifndef _WIN32
// The temporary output file, for the handler of the signals that end the
// program to remove (async-signal-safe: unlink only); empty when none.
char gTemporary[4096];

extern "C" void RemoveTemporaryAndEnd(int sig) {
  if (gTemporary[0] != '\0') ::unlink(gTemporary);
  ::raise(sig);  // delivered once the handler returns, with the default action
}

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set, sig);
  return set;
}

// A file-size limit makes a write fail ("Disk full"), never ends the program;
// SIGTERM, SIGHUP and SIGINT remove the temporary output file first. A signal
// ignored at start (nohup) stays ignored.
void HandleSignals() {
  std::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = RemoveTemporaryAndEnd;
  action.sa_mask = EndingSignals();
  action.sa_flags = SA_RESETHAND;
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    struct sigaction before {};
    if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      ::sigaction(sig, &action, nullptr);
  }
}

// Creates the output file with the ending signals held back until the
// handler knows its temporary name.
void OpenOutput(std::optional<SafeOutputFile>& out, const std::string& target) {
  const sigset_t ending = EndingSignals();
  sigset_t before;
  ::sigprocmask(SIG_BLOCK, &ending, &before);
  try {
    out.emplace(target);
    const std::string& temp = out->temporary();
    if (temp.size() < sizeof gTemporary) std::memcpy(gTemporary, temp.c_str(), temp.size() + 1);
  } catch (...) {
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    throw;
  }
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

void ForgetTemporary() {
  gTemporary[0] = '\0';
}
#else
void HandleSignals() {}
void OpenOutput(std::optional<SafeOutputFile>& out, const std::string& target) {
  out.emplace(target);
}
void ForgetTemporary() {}
#endif

void PrintLines(const std::vector<std::string>& lines) {
  for (const std::string& l : lines) std::cerr << l << '\n';
}

// Where a dry run's lines go.
class DiscardingSink final : public LineSink {
 public:
  void write(std::string_view /*line*/) override {}
  void writeExpanded(std::string_view /*raw*/, int /*tabWidth*/) override {}
};

int DryRun(const batch::Options& o) {
  File inFile;
  std::FILE* in = stdin;
  std::string inName = "standard input";
  if (o.input != "-") {
    inFile = OpenForReading(o.input);
    in = inFile.get();
    inName = o.input;
  }
  BlockLineReader reader(in, inName);
  DiscardingSink nowhere;
  RunStats figures;
  const RunResult run = RunChange(o.request, reader, nowhere, &figures);
  if (!run.completed) {
    PrintLines(run.messages);
    return 2;
  }
  std::cerr << batch::StatsLine(figures) << '\n';
  return 0;
}

int Run(const batch::Options& o) {
  const std::vector<std::string> refused = ValidateRequest(o.request);
  if (!refused.empty()) {
    PrintLines(refused);
    return 2;
  }
  if (o.dryRun) return DryRun(o);

  File inFile;
  std::FILE* in = stdin;
  std::string inName = "standard input";
  if (o.input != "-") {
    inFile = OpenForReading(o.input);
    in = inFile.get();
    inName = o.input;
  }
  std::optional<SafeOutputFile> outFile;
  std::FILE* out = stdout;
  std::string outName = "standard output";
  if (o.output != "-") {
    OpenOutput(outFile, o.output);
    out = outFile->get();
    outName = o.output;
  }

  BlockLineReader reader(in, inName);
  // Output lines end with the forced terminator, or with the input's first one
  // (LF when it has none), which is known by the time the first line is written.
  BlockLineWriter writer(out, outName, o.forcedTerminator);
  if (o.forcedTerminator.empty())
    writer.setTerminatorOnFirstWrite([&reader]() -> std::string_view {
      return reader.firstTerminator().empty() ? std::string_view("\n") : reader.firstTerminator();
    });
  RunStats figures;
  const RunResult run = RunChange(o.request, reader, writer, o.stats ? &figures : nullptr);
  if (!run.completed) {
    PrintLines(run.messages);
    return 2;  // the temporary output file goes with outFile; the target is untouched
  }
  writer.finish();
  if (outFile) outFile->commit();
  ForgetTemporary();
  if (o.stats) std::cerr << batch::StatsLine(figures) << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Test 12 takes its decimal separator and digits from the user's locale.
  std::setlocale(LC_ALL, "");
  HandleSignals();
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> args(argv + 1, argv + argc);
  const batch::ParseResult parsed = batch::ParseOptions(args);
  switch (parsed.status) {
    case batch::ParseResult::Status::BadUsage:
      std::cerr << "quorlin-batch: " << parsed.messages.front() << '\n'
                << batch::kUsageLine << '\n';
      return 2;
    case batch::ParseResult::Status::Refused:
      PrintLines(parsed.messages);
      return 2;
    case batch::ParseResult::Status::Ok:
      break;
  }
  if (parsed.options.help) {
    std::cout << batch::HelpText();
    return 0;
  }
  if (parsed.options.version) {
    std::cout << batch::VersionText();
    return 0;
  }
  if (parsed.options.list) {
    std::cout << batch::ListText();
    return 0;
  }
  try {
    return Run(parsed.options);
  } catch (const FileError& e) {
    std::cerr << e.text() << '\n' << e.path() << '\n';
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "Not enough memory\n";
    return 1;
  }
}
