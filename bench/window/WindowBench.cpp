// SPDX-License-Identifier: Apache-2.0
// The editor window on very large texts: how long until a text is shown, what
// a change run adds to the engine's own time, the memory it takes, how long a
// keystroke takes to show (in the 3M-line text and in a 100 MB line, with word
// wrap off and on), a find that finds nothing, and a 100 MB line; the
// preview's figures, the memory after 20 runs and the time of an undo of a
// run; and gvim opening the same files, timed the same way, when it is
// installed.
//
//   quorlin_window_bench [--runs R] [--no-gvim] [--only history|keys] WORK_FOLDER
//
// Texts are generated in WORK_FOLDER once (1M and 3M lines of the benchmark
// text, about 60 and 180 MB, and a 100 MB line). Every figure is the median
// of R runs (default 5); opening and memory are measured in a fresh process
// each run. Set QT_QPA_PLATFORM (offscreen, or xcb on a display) as for any
// Qt program; gvim needs a display.
//
// "Shown" means the pane has painted the new text: from the start of main()
// (or the press of OK, the menu command, the key) to the end of that paint.
// gvim reports its own "first screen update" time from the start of its main()
// (--startuptime). Both are also timed from outside, spawn to shown.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/UQuorlin.h"
#include "bench/GeneratedText.h"
#include "bench/window/TimingSupport.h"
#include "engine/BlockLines.h"
#include "engine/ChangeRequest.h"
#include "engine/ChangeRun.h"
#include "engine/Files.h"
#include "engine/WorkFiles.h"
#include "ui/ChangePreview.h"
#include "ui/FindDialog.h"
#include "ui/Fonts.h"
#include "ui/MainWindowUi.h"
#include "ui/TextPane.h"
#include "ui/ViewCommands.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point gStart = Clock::now();

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Peak resident memory of this process so far, in MB.
double PeakMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> kb;
      break;
    }
  }
  return double(kb) / 1024.0;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

// ---- One window, driven in this process ----

struct Window {
  QTemporaryDir work;
  quorlin::timing::PrintingDialogs dialogs;
  std::unique_ptr<quorlin::app::TForm1> form;
  quorlin::ui::TextPane* pane = nullptr;

  explicit Window(const QStringList& arguments = {}) {
    quorlin::app::FormOptions options;
    options.arguments = arguments;
    options.programFolder = work.path();
    options.dialogs = &dialogs;
    form = std::make_unique<quorlin::app::TForm1>(options);
    pane = form->controls().pane;
  }
  // Paints the pane now; returns when the paint is done.
  void Shown() const { pane->viewport()->repaint(); }
  void Open(const std::string& path) {
    dialogs.next = QString::fromStdString(path);
    form->Open1Click();
    Shown();
  }
};

// Child: process start to the command-line file shown; then a change run.
int ChildOpen(const std::string& path, bool run) {
  Window w({QString::fromStdString(path)});
  bool shown = false;
  double shownMs = 0;
  // The first paint after the text arrived ends the count.
  QObject::connect(w.pane, &quorlin::ui::TextPane::textChanged, [&] {
    QTimer::singleShot(0, [&] {
      w.Shown();
      shownMs = MsSince(gStart);
      shown = true;
    });
  });
  w.form->show();
  w.form->activateWindow();
  QElapsedTimer limit;
  limit.start();
  while (!shown && limit.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  if (!shown) return 1;
  std::printf("shown %.1f\nmemory %.1f\nlines %zu\n", shownMs, PeakMb(), w.pane->lineCount());
  std::fflush(stdout);
  if (!run) return 0;

  // OK with test 1, action 13: every line through the engine, tabs expanded.
  const auto t = Clock::now();
  w.form->Button1Click();
  w.Shown();
  const double okMs = MsSince(t);
  // The engine alone on the same work file, file to file, as the run does it.
  const std::string folder = QFile::encodeName(w.form->documentState().workFolder).toStdString();
  const std::string in = folder + quorlin::kRunInputFile;
  const std::string out = folder + "engine-alone.txt";
  std::vector<double> engine;
  for (int i = 0; i < 3; ++i) {
    const auto e = Clock::now();
    quorlin::File input = quorlin::OpenForReading(in);
    quorlin::File output = quorlin::CreateFreshFile(out);
    quorlin::BlockLineReader reader(input.get(), in);
    quorlin::BlockLineWriter writer(output.get(), out, "\r\n");
    quorlin::RunChange(quorlin::ChangeRequest{}, reader, writer);
    writer.finish();
    output.close();
    engine.push_back(MsSince(e));
  }
  quorlin::RemoveFileQuietly(out);
  std::printf("ok %.1f\nengine %.1f\nmemoryAfterRun %.1f\n", okMs, Median(engine), PeakMb());
  return 0;
}

// Child: keystrokes, caret moves, Ctrl+End and PageDown in a large text,
// count of each (a quarter as many Ctrl+End), with word wrap off and then on.
int ChildKeys(const std::string& path, int count) {
  Window w;
  w.form->show();
  if (!QTest::qWaitForWindowExposed(w.form.get())) return 1;
  w.Open(path);
  w.pane->setFocus();
  std::mt19937 rng(5);
  auto timed = [&](const char* name, int count, const std::function<void()>& prepare,
                   const std::function<void()>& act) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
      prepare();
      w.Shown();
      const auto t = Clock::now();
      act();
      w.form->ApplicationEvents1Idle();  // the status line, as at every idle moment
      w.Shown();
      ms.push_back(MsSince(t));
    }
    std::printf("%s %.3f %.3f %.3f\n", name, Median(ms), Percentile(ms, 0.99),
                *std::max_element(ms.begin(), ms.end()));
  };
  const std::size_t size = w.pane->text().size();
  auto anywhere = [&] {
    const std::size_t at = rng() % size;
    w.pane->setSelection(at, at);
  };
  auto nothing = [] {};
  for (const bool wrap : {false, true}) {
    if (wrap) {
      const auto t = Clock::now();
      w.pane->setWordWrap(true);
      w.Shown();
      std::printf("wrapOn %.1f 0 0\n", MsSince(t));
    }
    const std::string suffix = wrap ? "Wrapped" : "";
    timed(("type" + suffix).c_str(), count, anywhere, [&] { QTest::keyClick(w.pane, Qt::Key_X); });
    timed(("typeRun" + suffix).c_str(), count, nothing,
          [&] { QTest::keyClick(w.pane, Qt::Key_Y); });
    timed(("backspace" + suffix).c_str(), count, anywhere,
          [&] { QTest::keyClick(w.pane, Qt::Key_Backspace); });
    timed(("right" + suffix).c_str(), count, anywhere,
          [&] { QTest::keyClick(w.pane, Qt::Key_Right); });
    timed(("down" + suffix).c_str(), count, anywhere,
          [&] { QTest::keyClick(w.pane, Qt::Key_Down); });
    timed(("ctrlEnd" + suffix).c_str(), std::max(1, count / 4), anywhere,
          [&] { QTest::keyClick(w.pane, Qt::Key_End, Qt::ControlModifier); });
    timed(("pageDown" + suffix).c_str(), count, anywhere,
          [&] { QTest::keyClick(w.pane, Qt::Key_PageDown); });
  }
  std::printf("memory %.1f 0 0\n", PeakMb());
  return 0;
}

// Child: find-next through the whole text with no match.
int ChildFind(const std::string& path) {
  Window w;
  w.form->show();
  w.Open(path);
  w.form->Search1Click();
  w.form->view().findDialog().setSearchText(QStringLiteral("no such text"));
  std::vector<double> ms;
  for (int i = 0; i < 7; ++i) {
    w.pane->setSelection(0, 0);
    const auto t = Clock::now();
    w.form->FindDialog1Find();
    ms.push_back(MsSince(t));
  }
  std::printf("findMiss %.1f\n", Median(ms));
  return 0;
}

// Child: a single long line: shown, End, and the caret where it belongs.
int ChildLongLine(const std::string& path) {
  Window w;
  w.form->show();
  if (!QTest::qWaitForWindowExposed(w.form.get())) return 1;
  auto t = Clock::now();
  w.Open(path);
  const double openMs = MsSince(t);
  w.pane->setFocus();
  t = Clock::now();
  QTest::keyClick(w.pane, Qt::Key_End);
  w.Shown();
  const double endMs = MsSince(t);
  w.form->ApplicationEvents1Idle();
  const QString status = w.form->controls().statusBar->currentMessage();
  const bool caretShown = w.pane->viewport()->rect().contains(w.pane->caretRect().center());
  t = Clock::now();
  QTest::keyClick(w.pane, Qt::Key_Home);
  w.Shown();
  const double homeMs = MsSince(t);
  t = Clock::now();
  QTest::keyClick(w.pane, Qt::Key_X);  // typed at the start: what follows moves
  QTest::keyClick(w.pane, Qt::Key_End);
  w.Shown();
  const double editEndMs = MsSince(t);
  std::printf("open %.1f\nend %.1f\nhome %.1f\ntypeThenEnd %.1f\nmemory %.1f\ncaretShown %d\n",
              openMs, endMs, homeMs, editEndMs, PeakMb(), caretShown ? 1 : 0);
  std::printf("status %s\nscroll %d of %d\n", qPrintable(status),
              w.pane->horizontalScrollBar()->value(), w.pane->horizontalScrollBar()->maximum());
  return 0;
}

// Resident memory of this process now, in MB.
double ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> kb;
      break;
    }
  }
  return double(kb) / 1024.0;
}

// Runs the event loop, asleep between events, until done() holds (at most
// limitMs): the window thread must not take a core from the workers.
void WaitUntil(const std::function<bool()>& done, int limitMs = 60000) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(2);
  QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
}

// Child: the preview's figures, 20 change runs, and undo and redo of a run.
int ChildHistory(const std::string& path) {
  Window w;
  w.form->show();
  if (!QTest::qWaitForWindowExposed(w.form.get())) return 1;
  w.Open(path);
  quorlin::ui::MainWindowUi& ui = w.form->controls();
  const quorlin::ui::ChangePreview& preview = w.form->preview();

  // From a change of the request (a click on an action) to its figures shown;
  // the preview lets a burst of changes settle for 120 ms first.
  ui.pages->setCurrentWidget(ui.changesPage);
  ui.field(quorlin::Field::ReplacementKey)->setText(QStringLiteral("x"));
  w.form->Edit2Exit();
  const auto figuresShown = [&] { return !preview.pending() && preview.shownFigures(); };
  std::vector<double> figures;
  for (int i = 0; i < 6; ++i) {
    const auto t = Clock::now();
    ui.actionButton(i % 2 ? quorlin::ActionCode::Append : quorlin::ActionCode::Trim)->click();
    WaitUntil(figuresShown);
    if (i > 0) figures.push_back(MsSince(t));
  }
  std::printf("previewFigures %.1f\n", Median(figures));
  for (const auto& [action, name] :
       {std::pair{quorlin::ActionCode::Sort, "previewSort"},
        std::pair{quorlin::ActionCode::RemoveDuplicates, "previewDuplicates"}}) {
    const auto t = Clock::now();
    ui.actionButton(action)->click();
    WaitUntil(figuresShown);
    std::printf("%s %.1f\n", name, MsSince(t));
  }
  ui.actionButton(quorlin::ActionCode::Append)->click();

  // 20 runs that change every line (each adds an "x" to it), the page with
  // the preview out of sight; each time, the history's texts go to disk.
  ui.pages->setCurrentWidget(ui.textPage);
  bool kept = false;
  QObject::connect(w.pane, &quorlin::ui::TextPane::historyKept, [&] { kept = true; });
  for (int run = 0; run < 20; ++run) {
    kept = false;
    w.form->Button1Click();
    WaitUntil([&] { return kept; });
  }
  w.Shown();
  const double mb = double(w.pane->text().size()) / (1 << 20);
  std::printf("textMb %.1f\nrunsKept %zu\nresidentAfterRuns %.1f\npeakAfterRuns %.1f\n", mb,
              w.pane->runsKept(), ResidentMb(), PeakMb());

  std::vector<double> undo, redo;
  for (int i = 0; i < 5; ++i) {
    auto t = Clock::now();
    w.form->Undo1Click();
    w.form->ApplicationEvents1Idle();
    w.Shown();
    undo.push_back(MsSince(t));
    t = Clock::now();
    w.form->Redo1Click();
    w.form->ApplicationEvents1Idle();
    w.Shown();
    redo.push_back(MsSince(t));
  }
  // Back through all 20 runs, each from disk.
  auto t = Clock::now();
  for (int i = 0; i < 20; ++i) w.form->Undo1Click();
  w.Shown();
  std::printf("undo %.1f\nredo %.1f\nundoAll %.1f\nresidentAfterUndo %.1f\n", Median(undo),
              Median(redo), MsSince(t), ResidentMb());
  return 0;
}

// ---- The driver ----

// Runs this program with arguments; returns its output and the time from
// spawn to exit.
std::string RunChild(const std::vector<std::string>& args, double* wallMs = nullptr) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  const auto t = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) out.append(buf, std::size_t(n));
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (wallMs) *wallMs = MsSince(t);
  return out;
}

// The value after "key " in a child's output.
double Value(const std::string& out, const std::string& key, int column = 0) {
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string k;
    words >> k;
    if (k != key) continue;
    double v = 0;
    for (int i = 0; i <= column; ++i) words >> v;
    return v;
  }
  return -1;
}

// gvim on a file: its own "first screen update" time (from its main()), the
// time from spawn until it reported being started, and its peak memory.
struct VimRun {
  double firstScreen = -1, spawnToStarted = -1, memory = -1;
};
VimRun RunGvim(const std::string& file, const fs::path& folder) {
  VimRun r;
  const std::string log = (folder / "gvim-startup.log").string();
  fs::remove(log);
  const auto t = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("gvim", "gvim", "-f", "-u", "NONE", "-U", "NONE", "-N", "--noplugin", "-i", "NONE", "-n",
           "--startuptime", log.c_str(), file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 12000; ++i) {
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find("VIM STARTED") != std::string::npos) {
      r.spawnToStarted = MsSince(t);
      std::istringstream lines(text);
      std::string line;
      while (std::getline(lines, line)) {
        if (line.find("first screen update") != std::string::npos)
          r.firstScreen = std::atof(line.c_str());
      }
      std::ifstream status("/proc/" + std::to_string(pid) + "/status");
      std::string key;
      while (status >> key) {
        if (key == "VmHWM:") {
          long kb = 0;
          status >> kb;
          r.memory = double(kb) / 1024.0;
        }
      }
      break;
    }
    usleep(2000);
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  return r;
}

void MakeLongLine(const std::string& path, std::size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  const std::string words = "a very long line of words, with no break in it at all; ";
  std::string block;
  while (block.size() < (1u << 20)) block += words;
  block.resize(1u << 20);
  for (std::size_t written = 0; written < bytes; written += block.size()) {
    out.write(block.data(), std::streamsize(std::min(block.size(), bytes - written)));
  }
}

int Driver(int runs, bool gvim, const std::string& only, const fs::path& folder,
           const std::string& self) {
  fs::create_directories(folder);
  const std::string one = (folder / "text-v3-1000000.txt").string();
  const std::string three = (folder / "text-v3-3000000.txt").string();
  const std::string longLine = (folder / "line-100MB.txt").string();
  const bool all = only.empty();
  const bool keys = all || only == "keys";
  if (!fs::exists(one)) quorlin::bench::Generate(one, 1000000);
  if (keys && !fs::exists(three)) quorlin::bench::Generate(three, 3000000);
  if (keys && !fs::exists(longLine)) MakeLongLine(longLine, 100u << 20);
  const double oneMb = double(fs::file_size(one)) / (1 << 20);
  std::printf(
      "platform: %s; medians of %d runs; texts in %s\n",
      qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("(default)")).toUtf8().constData(),
      runs, folder.c_str());

  for (const auto& [file, name] : {std::pair{one, "1M lines"}, std::pair{three, "3M lines"}}) {
    if (!all) break;
    const double mb = double(fs::file_size(file)) / (1 << 20);
    std::vector<double> shown, wall, memory, ok, engine, memoryRun;
    for (int r = 0; r < runs; ++r) {
      double w = 0;
      const std::string out = RunChild({self, "--child-open", file, "run"}, &w);
      shown.push_back(Value(out, "shown"));
      memory.push_back(Value(out, "memory"));
      ok.push_back(Value(out, "ok"));
      engine.push_back(Value(out, "engine"));
      memoryRun.push_back(Value(out, "memoryAfterRun"));
      wall.push_back(w);
    }
    std::printf("\n%s (%.1f MB)\n", name, mb);
    std::printf("  command-line file, main() to text shown: %.0f ms\n", Median(shown));
    std::printf("  peak memory with the text loaded: %.0f MB (%.2fx the file)\n", Median(memory),
                Median(memory) / mb);
    std::printf(
        "  OK (test 1, action 13) to new text shown: %.0f ms; engine alone %.0f ms; "
        "the rest %.0f ms\n",
        Median(ok), Median(engine), Median(ok) - Median(engine));
    std::printf("  peak memory after the run: %.0f MB (%.2fx the file)\n", Median(memoryRun),
                Median(memoryRun) / mb);
    if (gvim) {
      std::vector<double> first, spawn, vm;
      for (int r = 0; r < runs; ++r) {
        const VimRun v = RunGvim(file, folder);
        first.push_back(v.firstScreen);
        spawn.push_back(v.spawnToStarted);
        vm.push_back(v.memory);
      }
      std::printf("  gvim, main() to first screen update: %.0f ms; peak memory %.0f MB (%.2fx)\n",
                  Median(first), Median(vm), Median(vm) / mb);
    }
  }

  if (all || only == "history") {
    std::vector<double> figures, sort, duplicates, undo, redo, undoAll, resident, peak, kept,
        textMb;
    for (int r = 0; r < runs; ++r) {
      const std::string out = RunChild({self, "--child-history", one});
      figures.push_back(Value(out, "previewFigures"));
      sort.push_back(Value(out, "previewSort"));
      duplicates.push_back(Value(out, "previewDuplicates"));
      undo.push_back(Value(out, "undo"));
      redo.push_back(Value(out, "redo"));
      undoAll.push_back(Value(out, "undoAll"));
      resident.push_back(Value(out, "residentAfterRuns"));
      peak.push_back(Value(out, "peakAfterRuns"));
      kept.push_back(Value(out, "runsKept"));
      textMb.push_back(Value(out, "textMb"));
    }
    std::printf("\npreview and history on 1M lines (%.1f MB):\n", oneMb);
    std::printf(
        "  a click on another action to the preview's figures shown: %.0f ms (120 ms settle "
        "included)\n",
        Median(figures));
    std::printf("  the same for a sort (action 32): %.0f ms; duplicates (action 43): %.0f ms\n",
                Median(sort), Median(duplicates));
    std::printf(
        "  after 20 runs (action 35, every line changed; the text then %.1f MB), %.0f kept: "
        "resident %.0f MB (%.2fx the file), peak %.0f MB\n",
        Median(textMb), Median(kept), Median(resident), Median(resident) / oneMb, Median(peak));
    std::printf(
        "  undo of a run (its text from disk) to restored text shown: %.1f ms; redo %.1f ms; "
        "undo of all 20 runs %.0f ms\n",
        Median(undo), Median(redo), Median(undoAll));
  }

  if (all) {
    std::vector<double> find;
    for (int r = 0; r < runs; ++r)
      find.push_back(Value(RunChild({self, "--child-find", one}), "findMiss"));
    std::printf("\nfind-next through 1M lines, no match: %.1f ms\n", Median(find));
  }

  // Each key, with word wrap off and then on, and the time to turn wrap on.
  for (const auto& [file, name, count] : {std::tuple{three, "the 3M-line text", "200"},
                                          std::tuple{longLine, "a 100 MB line", "20"}}) {
    if (!keys) break;
    std::printf(
        "\nkeys in %s, %s of each (ms: median, 99th percentile, slowest; each key and "
        "the paint that shows it):\n",
        name, count);
    double wall = 0;
    const std::string out = RunChild({self, "--child-keys", file, count}, &wall);
    for (const char* key : {"type", "typeRun", "backspace", "right", "down", "ctrlEnd", "pageDown",
                            "wrapOn", "typeWrapped", "typeRunWrapped", "backspaceWrapped",
                            "rightWrapped", "downWrapped", "ctrlEndWrapped", "pageDownWrapped"}) {
      std::printf("  %-17s %8.3f %8.3f %8.3f\n", key, Value(out, key, 0), Value(out, key, 1),
                  Value(out, key, 2));
    }
    std::printf("  (all of it, open included: %.1f s)\n", wall / 1000);
  }

  if (all) {
    std::vector<double> open, end, home, edit, memory;
    std::string last;
    for (int r = 0; r < runs; ++r) {
      last = RunChild({self, "--child-long", longLine});
      open.push_back(Value(last, "open"));
      end.push_back(Value(last, "end"));
      home.push_back(Value(last, "home"));
      edit.push_back(Value(last, "typeThenEnd"));
      memory.push_back(Value(last, "memory"));
    }
    std::printf(
        "\na single 100 MB line: File > Open to shown %.0f ms; End %.0f ms; Home %.0f ms; "
        "a key typed at the start, then End %.0f ms; peak memory %.0f MB\n",
        Median(open), Median(end), Median(home), Median(edit), Median(memory));
    std::istringstream lines(last);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.rfind("status", 0) == 0 || line.rfind("scroll", 0) == 0 ||
          line.rfind("caretShown", 0) == 0)
        std::printf("  %s\n", line.c_str());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (args.size() >= 3 && args[1].rfind("--child-", 0) == 0) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quorlin::ui::RegisterFontSubstitutes();
    const std::string& mode = args[1];
    if (mode == "--child-open") return ChildOpen(args[2], args.size() > 3);
    if (mode == "--child-keys")
      return ChildKeys(args[2], args.size() > 3 ? std::stoi(args[3]) : 200);
    if (mode == "--child-find") return ChildFind(args[2]);
    if (mode == "--child-long") return ChildLongLine(args[2]);
    if (mode == "--child-history") return ChildHistory(args[2]);
    return 2;
  }
  int runs = 5;
  bool gvim = true;
  std::string folder, only;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) {
      runs = std::max(1, std::atoi(args[++i].c_str()));
    } else if (args[i] == "--no-gvim") {
      gvim = false;
    } else if (args[i] == "--only" && i + 1 < args.size()) {
      only = args[++i];
    } else {
      folder = args[i];
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr,
                 "usage: quorlin_window_bench [--runs R] [--no-gvim] [--only history|keys] "
                 "WORK_FOLDER\n");
    return 2;
  }
  if (gvim && (std::system("command -v gvim >/dev/null 2>&1") != 0 || !std::getenv("DISPLAY"))) {
    std::printf("(gvim or a display is missing: gvim is not timed)\n");
    gvim = false;
  }
  return Driver(runs, gvim && only.empty(), only, folder, fs::canonical("/proc/self/exe").string());
}
