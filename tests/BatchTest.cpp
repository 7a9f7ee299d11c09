// SPDX-License-Identifier: Apache-2.0
// quorlin-batch as a script sees it: options, messages, exit codes, line
// terminators, and byte-for-byte agreement with the standard tools on the jobs
// they share.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "OtherUser.h"
#include "cli/BatchOptions.h"
#include "quorlin/Version.h"

namespace fs = std::filesystem;
namespace other = quorlin::testing;
using namespace quorlin;

namespace {

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quorlin-batch-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  struct Result {
    int exit;
    std::string out, err;
  };

  // Runs quorlin-batch with args (a shell word list) and the given input on
  // standard input.
  Result Batch(const std::string& args, const std::string& input = "") const {
    Write("stdin", input);
    const std::string cmd =
        "cd '" + dir_.string() + "' && '" QUORLIN_BATCH "' " + args + " < stdin > stdout 2> stderr";
    const int status = std::system(cmd.c_str());
    return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read("stdout"), Read("stderr")};
  }

  // Runs a shell command in the folder and returns its standard output.
  std::string Shell(const std::string& cmd) const {
    const std::string full = "cd '" + dir_.string() + "' && LC_ALL=C " + cmd + " > shell.out";
    EXPECT_EQ(std::system(full.c_str()), 0) << cmd;
    return Read("shell.out");
  }

  fs::path dir_;
};

TEST_F(BatchTest, TerminatorsFollowTheInput) {
  EXPECT_EQ(Batch("", "a\tb\r\nc\r\n").out, "a       b\r\nc\r\n");
  EXPECT_EQ(Batch("", "a\nb\r\nc").out, "a\nb\nc\n");
  EXPECT_EQ(Batch("", "a\rb\r").out, "a\rb\r");
  EXPECT_EQ(Batch("", "no break").out, "no break\n");
  EXPECT_EQ(Batch("--crlf", "a\nb\n").out, "a\r\nb\r\n");
  EXPECT_EQ(Batch("--lf", "a\r\nb\r\n").out, "a\nb\n");
  EXPECT_EQ(Batch("", "").out, "");
  // Every byte but CR and LF passes through, zero bytes included.
  std::string all;
  for (int c = 0; c < 256; ++c)
    if (c != '\r' && c != '\n' && c != '\t') all += char(c);
  EXPECT_EQ(Batch("", all + "\n").out, all + "\n");
}

TEST_F(BatchTest, FilesAndSafeOutput) {
  Write("in.txt", "x\ny\n");
  Write("out.txt", "old\n");
  Result r = Batch("-a 21 -r R in.txt out.txt");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(Read("out.txt"), "R\nR\n");
  // Input and output may be the same file.
  r = Batch("-a 35 -r ! in.txt in.txt");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(Read("in.txt"), "x!\ny!\n");
  // A refused or stopped run leaves the output file as it was.
  r = Batch("-a 25 --first-char 0 --last-char 0 in.txt out.txt");
  EXPECT_EQ(r.exit, 2);
  EXPECT_EQ(r.err, "Char positions have to be Positive, with Last char > First Char\n");
  EXPECT_EQ(Read("out.txt"), "R\nR\n");
  r = Batch("missing.txt");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err, "File not found\nmissing.txt\n");
  r = Batch("in.txt no/such/folder/out.txt");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "File not found");
}

TEST_F(BatchTest, FiguresAfterTheRunOrInsteadOfIt) {
  const std::string input = "ab\nx\ncdef\n";
  const std::string figures = "passed 3, changed 1, deleted 0, added 1, lines in 3, lines out 4\n";
  Result r = Batch("-a 20 -n 2 --stats", input);
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "ab\nx\ncd\nef\n");
  EXPECT_EQ(r.err, figures);
  // A dry run writes nothing, not even to a named output file.
  Write("in.txt", input);
  r = Batch("-a 20 -n 2 --dry-run in.txt out.txt");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, figures);
  EXPECT_FALSE(fs::exists(Path("out.txt")));
  // Refused and stopped runs print their messages and no figures.
  EXPECT_EQ(Batch("-a 22 --dry-run", input).err, "Fill In Test Key Text\n");
  r = Batch("-a 25 --first-char 0 --last-char 0 --stats", input);
  EXPECT_EQ(r.exit, 2);
  EXPECT_EQ(r.err, "Char positions have to be Positive, with Last char > First Char\n");
}

// Runs quorlin-batch in folder with args, as the other user when asOther,
// under a file-size limit when one is given. With a signal, standard input
// stays open until ready() (by default: until the temporary output file
// exists), and then the signal is sent; otherwise standard input is empty.
// With holdErr, standard error is a full pipe until then, so that the program
// waits at its first message. Standard error goes to errPath. Returns the
// wait status.
int RunBatchAs(const std::string& folder, const std::vector<std::string>& args, bool asOther,
               rlim_t fileSizeLimit, int signal, const std::string& errPath,
               const std::function<bool()>& ready = {}, bool holdErr = false) {
  int input[2], held[2] = {-1, -1};
  if (::pipe(input) != 0 || (holdErr && ::pipe(held) != 0)) return -1;
  std::size_t filler = 0;
  if (holdErr) {
    const char block[4096] = {};
    ::fcntl(held[1], F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::write(held[1], block, sizeof block)) > 0;) filler += std::size_t(n);
    ::fcntl(held[1], F_SETFL, 0);
  }
  const int err = holdErr ? held[1] : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(125);
    ::dup2(input[0], 0);
    ::dup2(err, 2);
    ::close(input[1]);
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGXFSZ}) std::signal(sig, SIG_DFL);
    if (fileSizeLimit > 0) {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (asOther) other::BecomeOtherUser();
    std::vector<char*> argv{const_cast<char*>(QUORLIN_BATCH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QUORLIN_BATCH, argv.data());
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(err);
  if (signal != 0) {
    auto temporaryExists = [&] {
      for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".quorlin-") != std::string::npos) return true;
      return false;
    };
    for (int i = 0; i < 2000 && !(ready ? ready() : temporaryExists()); ++i) ::usleep(5000);
    ::kill(pid, signal);
  }
  ::close(input[1]);
  if (holdErr) {
    std::string bytes;
    char block[4096];
    for (ssize_t n; (n = ::read(held[0], block, sizeof block)) > 0;) bytes.append(block, n);
    ::close(held[0]);
    std::ofstream(errPath, std::ios::binary) << bytes.substr(std::min(filler, bytes.size()));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Ways a run can end badly for its output file. In each the target is left
// whole (or replaced as it should be) and no temporary file stays behind.
TEST_F(BatchTest, OutputFaultsLeaveTheTargetWholeAndNoTemporaryFile) {
  const std::string big(100000, 'x');
  struct Row {
    const char* name;
    bool asOther;          // run by the other user, in a folder of theirs
    bool otherOwnsTarget;  // the target belongs to the other user
    mode_t targetMode;
    bool hardLink;         // the target has a second name
    rlim_t fileSizeLimit;  // 0: none
    int signal;            // sent while the run waits for input; 0: none
    int exitCode;          // when not ended by the signal
    std::string err;
    std::string target;  // the target's contents afterwards
  };
  const Row rows[] = {
      {"read-only target", true, true, 0444, false, 0, 0, 1, "File access denied\nout.txt\n",
       "old\n"},
      {"another user's target, run by root", false, true, 0640, false, 0, 0, 0, "", "new\n"},
      {"hard-linked target is replaced by rename", false, false, 0644, true, 0, 0, 0, "", "new\n"},
      {"file-size limit", false, false, 0644, false, 4096, 0, 1, "Disk full\nout.txt\n", "old\n"},
      {"SIGTERM", false, false, 0644, false, 0, SIGTERM, 0, "", "old\n"},
      {"SIGHUP", false, false, 0644, false, 0, SIGHUP, 0, "", "old\n"},
      {"SIGINT", false, false, 0644, false, 0, SIGINT, 0, "", "old\n"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.otherOwnsTarget && !other::CanSwitchUser() && !row.asOther) {
      std::cout << "[  SKIPPED ] " << row.name << ": writing another user's file needs root\n";
      continue;
    }
    const std::string folder = Path("row" + std::to_string(n++));
    fs::create_directory(folder);
    const std::string target = folder + "/out.txt", link = folder + "/link.txt";
    std::ofstream(folder + "/in.txt", std::ios::binary) << (row.fileSizeLimit ? big : "new\n");
    std::ofstream(target, std::ios::binary) << "old\n";
    ::chmod(target.c_str(), row.targetMode);
    if (row.hardLink) fs::create_hard_link(target, link);
    if (row.otherOwnsTarget && other::CanSwitchUser()) {
      ASSERT_EQ(::chown(target.c_str(), other::kOtherUser, other::kOtherGroup), 0);
      if (row.asOther) {
        ASSERT_EQ(::chown(folder.c_str(), other::kOtherUser, other::kOtherGroup), 0);
      }
    }
    const std::vector<std::string> args = row.signal
                                              ? std::vector<std::string>{"-", "out.txt"}
                                              : std::vector<std::string>{"in.txt", "out.txt"};
    const int status =
        RunBatchAs(folder, args, row.asOther, row.fileSizeLimit, row.signal, Path("err.txt"));
    if (row.signal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.signal) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.exitCode) << status;
      EXPECT_EQ(Read("err.txt"), row.err);
    }
    EXPECT_EQ(Read("row" + std::to_string(n - 1) + "/out.txt"), row.target);
    for (const auto& e : fs::directory_iterator(folder))
      EXPECT_EQ(e.path().filename().string().find(".quorlin-"), std::string::npos) << e.path();
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, row.targetMode);
    if (row.otherOwnsTarget && other::CanSwitchUser()) {
      EXPECT_EQ(st.st_uid, other::kOtherUser);
      EXPECT_EQ(st.st_gid, other::kOtherGroup);
    }
    if (row.hardLink) {
      std::ifstream in(link, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old\n");
    }
  }
}

// Many files in one call, three at a time: each failure is a line on
// standard error and stops none of the others; the exit status is 0 only when
// every file succeeded. Replaced files keep their mode; no temporary file
// stays behind.
TEST_F(BatchTest, ManyFilesFailOneByOne) {
  struct Row {
    const char* name;
    bool asOther;  // run by the other user, in a folder of theirs
    std::vector<std::string> args;
    int exitCode;
    std::set<std::string> err;
    std::vector<std::pair<std::string, std::string>> files;  // contents afterwards
  };
  const std::vector<std::string> add = {"-j", "3", "-a", "35", "-r", "!"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), add.begin(), add.end());
    return more;
  };
  const std::string stop = "Char positions have to be Positive, with Last char > First Char";
  // clang-format off
  const Row rows[] = {
      {"in place, every file", false, with({"--in-place", "a.txt", "b.txt", "empty.txt"}), 0, {},
       {{"a.txt", "a!\n"}, {"b.txt", "b!\r\n"}, {"empty.txt", ""}}},
      {"a missing file and a folder stop none of the others", false,
       with({"--in-place", "a.txt", "missing.txt", "dir", "b.txt"}), 1,
       {"quorlin-batch: dir: Not a plain file (a folder, device or pipe)",
        "quorlin-batch: missing.txt: File not found"},
       {{"a.txt", "a!\n"}, {"b.txt", "b!\r\n"}}},
      {"a file its user may not write", true, with({"--in-place", "ro.txt", "a.txt"}), 1,
       {"quorlin-batch: ro.txt: File access denied"}, {{"ro.txt", "r\n"}, {"a.txt", "a!\n"}}},
      {"a stopped run writes nothing", false,
       {"-a", "25", "--first-char", "0", "--last-char", "0", "--in-place", "a.txt", "empty.txt"}, 2,
       {"quorlin-batch: a.txt: " + stop}, {{"a.txt", "a\n"}}},
      {"-o DIR, same names; two inputs of one name", false,
       with({"-o", "out", "a.txt", "sub/a.txt", "b.txt"}), 1,
       {"quorlin-batch: sub/a.txt: out/a.txt is the output of a.txt too"},
       {{"out/a.txt", "a!\n"}, {"out/b.txt", "b!\r\n"}, {"a.txt", "a\n"}}},
      {"-o into a missing folder", false, with({"-o", "nowhere", "a.txt"}), 1,
       {"quorlin-batch: nowhere/a.txt: File not found"}, {{"a.txt", "a\n"}}},
      {"a dry run writes nothing and adds up the figures of the files it read", false,
       with({"--dry-run", "--in-place", "a.txt", "missing.txt", "b.txt"}), 1,
       {"quorlin-batch: missing.txt: File not found",
        "a.txt: passed 1, changed 1, deleted 0, added 0, lines in 1, lines out 1",
        "b.txt: passed 1, changed 1, deleted 0, added 0, lines in 1, lines out 1",
        "total: passed 2, changed 2, deleted 0, added 0, lines in 2, lines out 2"},
       {{"a.txt", "a\n"}, {"b.txt", "b\r\n"}}},
  };
  // clang-format on
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string folder = Path("many" + std::to_string(n++));
    for (const char* sub : {"", "/sub", "/dir", "/out"}) fs::create_directory(folder + sub);
    auto put = [&](const std::string& name, const std::string& bytes, mode_t mode) {
      std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
      ::chmod((folder + "/" + name).c_str(), mode);
      if (row.asOther && other::CanSwitchUser()) {
        EXPECT_EQ(::chown((folder + "/" + name).c_str(), other::kOtherUser, other::kOtherGroup), 0);
      }
    };
    put("a.txt", "a\n", 0640);
    put("b.txt", "b\r\n", 0644);
    put("empty.txt", "", 0644);
    put("sub/a.txt", "s\n", 0644);
    put("ro.txt", "r\n", 0444);
    if (row.asOther && other::CanSwitchUser()) {
      ASSERT_EQ(::chown(folder.c_str(), other::kOtherUser, other::kOtherGroup), 0);
    }
    const int status = RunBatchAs(folder, row.args, row.asOther, 0, 0, Path("err.txt"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.exitCode) << status;
    std::set<std::string> err;
    std::istringstream lines(Read("err.txt"));
    for (std::string line; std::getline(lines, line);) err.insert(line);
    EXPECT_EQ(err, row.err);
    for (const auto& [name, bytes] : row.files) {
      std::ifstream in(folder + "/" + name, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes) << name;
    }
    struct stat st {};
    ASSERT_EQ(::stat((folder + "/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
    for (const auto& e : fs::recursive_directory_iterator(folder))
      EXPECT_EQ(e.path().filename().string().find(".quorlin-"), std::string::npos) << e.path();
  }
}

// Signals that come once output files are in place: a run with nothing left
// to write finishes as if none had come; a run over many files that a signal
// stops names the files already written, so that a script can resume without
// changing a file twice.
TEST_F(BatchTest, LateSignalsKeepWhatIsWritten) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> ready;  // sent once these files hold these
    bool holdErr;  // the program then waits at its figures
    int exitCode;  // -1: ended by the signal
    std::string err;
  };
  const std::string one = "passed 1, changed 1, deleted 0, added 0, lines in 1, lines out 1";
  const std::vector<std::string> add = {"-a", "35", "-r", "!"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), add.begin(), add.end());
    return more;
  };
  // clang-format off
  const Row rows[] = {
      {"one file in place, then the signal: done", with({"--stats", "a.txt", "out.txt"}),
       {{"out.txt", "a!\n"}}, true, 0, one + "\n"},
      {"every file in place, then the signal: done",
       with({"--stats", "--in-place", "a.txt", "b.txt"}), {{"a.txt", "a!\n"}, {"b.txt", "b!\n"}},
       true, 0, "a.txt: " + one + "\nb.txt: " + one +
       "\ntotal: passed 2, changed 2, deleted 0, added 0, lines in 2, lines out 2\n"},
      {"a stop names the files written before it", with({"-o", "out", "a.txt", "fifo", "b.txt"}),
       {{"out/a.txt", "a!\n"}}, false, -1, "quorlin-batch: a.txt: written before the stop\n"},
  };
  // clang-format on
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string folder = Path("late" + std::to_string(n++));
    fs::create_directories(folder + "/out");
    std::ofstream(folder + "/a.txt") << "a\n";
    std::ofstream(folder + "/b.txt") << "b\n";
    ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0644), 0);
    auto ready = [&] {
      for (const auto& [name, bytes] : row.ready) {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        if (std::string(std::istreambuf_iterator<char>(in), {}) != bytes) return false;
      }
      return true;
    };
    const int status =
        RunBatchAs(folder, row.args, false, 0, SIGTERM, Path("err.txt"), ready, row.holdErr);
    if (row.exitCode < 0) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.exitCode) << status;
    }
    EXPECT_EQ(Read("err.txt"), row.err);
    EXPECT_TRUE(ready());
    EXPECT_FALSE(fs::exists(folder + "/out/fifo") || fs::exists(folder + "/out/b.txt"));
  }
}

// --encoding says what a character is: positions, lengths and tab stops count
// bytes (cp1252, the default) or UTF-8 characters; auto decides per file as
// the editor does.
TEST_F(BatchTest, TheEncodingSaysWhatACharacterIs) {
  const std::string utf8 =
      "caf\xC3\xA9\tx\n\xE2\x82\xAC"
      "5\n";
  const std::string western = "caf\xE9\tx\n";
  Write("utf8.txt", utf8);
  Write("western.txt", western);
  const struct {
    std::string args, input, out;
  } rows[] = {
      {"-a 16 -n 4", utf8,
       "caf\xC3\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding cp1252 -a 16 -n 4", utf8,
       "caf\xC3\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding utf8 -a 16 -n 4", utf8,
       "caf\xC3\xA9\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding utf8", utf8,
       "caf\xC3\xA9    x\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding utf8 -a 17 -n 3", utf8,
       "caf\xC3\xA9    x\n \xE2\x82\xAC"
       "5\n"},
      {"--encoding utf8 -t 4 -k 5 --first-char 2 -a 14", utf8, "caf\xC3\xA9    x\n"},
      {"--encoding utf8 -a 38 -r \"$(printf '\\303\\251')\"", utf8,
       "caf    x\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding auto -a 16 -n 4 utf8.txt", "",
       "caf\xC3\xA9\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding auto -a 16 -n 4 western.txt", "", "caf\xE9\n"},
      {"--encoding auto -j 3 -a 16 -n 4", utf8,
       "caf\xC3\xA9\n\xE2\x82\xAC"
       "5\n"},
      {"--encoding utf8 --lower", "\xC3\x89T\xC3\x89\n", "\xC3\x89t\xC3\x89\n"},
      // Lines after the first, which go many at once where bytes and
      // characters give the same: a character before a tab or a cut.
      {"--encoding utf8 -a 16 -n 4", "x\nabc\xC3\xA9z\nabcd\xC3\xA9\n\tb\xC3\xA9\n",
       "x\nabc\xC3\xA9\nabcd\n    \n"},
      {"--encoding utf8", "x\n\xC3\xA9\ty\ny\t\xC3\xA9\tz\n",
       "x\n\xC3\xA9       y\ny       \xC3\xA9       z\n"},
      {"--encoding utf8 --upper", "x\ncaf\xC3\xA9\tb\n", "X\nCAF\xC3\xA9    B\n"},
  };
  for (const auto& row : rows) {
    const Result r = Batch(row.args, row.input);
    EXPECT_EQ(r.exit, 0) << row.args << ": " << r.err;
    EXPECT_EQ(r.out, row.out) << row.args;
  }
  // Deciding reads the input before the run: a pipe cannot be read twice.
  const std::string cmd = "cd '" + dir_.string() +
                          "' && cat utf8.txt | '" QUORLIN_BATCH
                          "' --encoding auto > stdout 2> stderr";
  const int status = std::system(cmd.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
  EXPECT_EQ(Read("stderr"), "--encoding auto reads the input twice: give a file, not a pipe\n");
  EXPECT_EQ(Read("stdout"), "");
}

TEST_F(BatchTest, RefusalsAndBadUsage) {
  struct Case {
    std::string args;
    int exit;
    std::string err;
  };
  const std::string usage = "usage: quorlin-batch [options] [INPUT [OUTPUT]]\n";
  // clang-format off
  const Case cases[] = {
      {"-t 4 -a 19", 2,
       "Fill in Test Key Text and 1st Char Position\n"
       "Fill in Replacement Key Text and Repl Pos Char Position\n"},
      {"-a 21 -r ''", 2, "Fill In Replacement Key Text\n"},
      {"-a 14 --retain", 2,
       "Cannot Use Delete Lines Action and Retain Lines Checkbox at the Same Time\n"},
      {"-n 2000 --first-char 5 --last-char 2000", 2,
       "Valid range for LineLength Number of Characters is 0 to 1024\n"
       "Valid range for Character Position is 1 to 1024\n"
       "Last Char Position must be greater or equal to 1st Char Position\n"},
      {"--first-line abc", 2, "'abc' is not a valid integer value\n"},
      {"--first-line '$80000000'", 2, "'$80000000' is not a valid integer value\n"},
      {"-a 36", 2, "quorlin-batch: '36' is no change action code (see --list)\n" + usage},
      {"-t 15", 2, "quorlin-batch: '15' is no line test code (see --list)\n" + usage},
      {"--frobnicate", 2, "quorlin-batch: unknown option '--frobnicate'\n" + usage},
      {"-k", 2, "quorlin-batch: option '-k' needs a value\n" + usage},
      {"--lower --upper", 2, "quorlin-batch: --lower and --upper cannot be given together\n" + usage},
      {"--crlf --lf", 2, "quorlin-batch: --crlf and --lf cannot be given together\n" + usage},
      {"a b c", 2, "quorlin-batch: too many file names\n" + usage},
      {"--retain=1", 2, "quorlin-batch: option '--retain' takes no value\n" + usage},
      {"-a 22 --key=", 2, "Fill In Test Key Text\n"},
      {"-j x", 2, "quorlin-batch: 'x' is no number of jobs (0 to 1024)\n" + usage},
      {"--in-place -o d f", 2, "quorlin-batch: --in-place and -o cannot be given together\n" + usage},
      {"--encoding utf16", 2, "quorlin-batch: 'utf16' is no encoding (cp1252, utf8 or auto)\n" + usage},
      {"--encoding utf8 -t 3 -k \"$(printf '\\251')\"", 2, "Test Key Text is not valid UTF-8\n"},
      {"-E -t 3 -k '(ab'", 2, "The Test Key is not a valid pattern: missing ): (ab\n"},
      {"--pattern -a 31 -k 'a(b)' -r '\\2' -j 2", 2,
       "The Replacement Key Text is not a valid replacement for the pattern: \\2 names a group "
       "the pattern does not have (it has 1)\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Result r = Batch(c.args, "text\n");
    EXPECT_EQ(r.exit, c.exit) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  // Last char is compared with 1st char only when both are given.
  EXPECT_EQ(Batch("-a 26 --last-char 2", "abc\n").err,
            "Fill in 1st Char Position and Last Char Position\n");
  EXPECT_EQ(Batch("-a 26 --first-char 2 --last-char 3", "abcd\n").out, "bc\n");
  // Field texts are normalised as the window does: -7 and 3.9 are read as 7 and 3.
  EXPECT_EQ(Batch("-t 2 --first-line -2 --last-line 3.9 -a 14", "1\n2\n3\n4\n").out, "1\n4\n");
}

TEST_F(BatchTest, HelpVersionAndList) {
  Result r = Batch("--help");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "usage: quorlin-batch [options] [INPUT [OUTPUT]]");
  r = Batch("--version", "ignored\n");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), std::string("quorlin-batch ") + kVersion);
  EXPECT_NE(r.out.find("\nLicence: Apache License 2.0 (Apache-2.0)\n"), std::string::npos);
  r = Batch("--list");
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.out.find("  13  ends-with-key         Contains the Test Key Text at the end of the "
                       "line\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("  44  join-next             Move (Unwrap) next line to end of Test line\n"),
            std::string::npos);
  // The names stand wherever a code does.
  EXPECT_EQ(Batch("-t ends-with-key -k b -a delete-line", "ab\nba\n").out, "ba\n");
}

TEST_F(BatchTest, Recipes) {
  struct Row {
    const char* name;
    std::string recipe, args, input;
    int exit;
    std::string out, err;
  };
  const std::string head = "quorlin-recipe 1\n# drop the debug lines, then the tags\n";
  const std::string steps = head + "-t contains-key -k debug -a delete-line\n-a strip-tags --lf\n";
  const Row rows[] = {
      {"the steps one after another", steps, "", "a <b>x</b>\r\nDEBUG 1\r\n<i\r\n>y\r\n", 0,
       "a x\n\ny\n", ""},
      {"figures per step and in total", steps, "--stats", "debug\nz\n", 0, "z\n",
       "step 1: passed 1, changed 0, deleted 1, added 0, lines in 2, lines out 1\n"
       "step 2: passed 1, changed 0, deleted 0, added 0, lines in 1, lines out 1\n"
       "total: passed 2, changed 0, deleted 1, added 0, lines in 2, lines out 1\n"},
      {"a fault with its line", head + "-a trim\n-a trim -o out\n", "", "x\n", 2, "",
       "quorlin-batch: recipe:4: '-o' is not part of a request: give it on the command line\n"},
      {"a step that stops the recipe", steps + "-a keep-range --first-char 0 --last-char 0\n", "",
       "x\n", 2, "", "Char positions have to be Positive, with Last char > First Char\n"},
      {"request options beside it", steps, "-a 14", "x\n", 2, "",
       "quorlin-batch: --recipe takes the request from its file: -a cannot be given with it\n"
       "usage: quorlin-batch [options] [INPUT [OUTPUT]]\n"},
      {"what it needs", steps, "--explain", "", 0,
       "step 1 (line 3): split=independent test=3 action=14 needs=none\n"
       "step 2 (line 4): split=context test=1 action=30 needs=tag-state\n"
       "chain 1: steps 1-2 in one pass\n"
       "recipe: split=context steps=2 chains=1: in chunks on every thread; a chunk whose steps "
       "start otherwise than the chunk before leaves them runs again\n",
       ""},
  };
  for (const Row& row : rows) {
    Write("recipe", row.recipe);
    Write("file.txt", row.input);
    for (const char* jobs : {"", " -j 3"}) {
      const Result r = Batch("--recipe recipe " + row.args + jobs + " < file.txt", row.input);
      EXPECT_EQ(r.exit, row.exit) << row.name << jobs;
      EXPECT_EQ(r.out, row.out) << row.name << jobs;
      EXPECT_EQ(r.err, row.err) << row.name << jobs;
      // In place, a file is replaced only when every step ran.
      Batch("--recipe recipe " + row.args + jobs + " --in-place file.txt");
      EXPECT_EQ(Read("file.txt"), row.exit == 0 && row.args != "--explain" ? row.out : row.input)
          << row.name << jobs;
      Write("file.txt", row.input);
    }
  }
}

// A text like the exports users clean: words, tabs, repeated lines, blank
// lines, tag-like lines and a key; with or without tabs.
std::string SampleText(unsigned seed, bool tabs) {
  std::mt19937 rng(seed);
  static const char* words[] = {"alpha", "Beta", "key", "KEY",       "<b>", "x",
                                "data,", "42",   "-1",  "\xe9t\xe9", "end", "lines"};
  std::vector<std::string> made;
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    const unsigned kind = rng() % 10;
    if (kind == 0) {
      line = "";
    } else if (kind == 1 && !made.empty()) {
      line = made[rng() % made.size()];
    } else {
      const int n = int(rng() % 14);
      for (int w = 0; w < n; ++w) {
        if (w) line += (tabs && rng() % 4 == 0) ? '\t' : ' ';
        line += words[rng() % (sizeof words / sizeof words[0])];
      }
    }
    made.push_back(line);
    text += line + "\n";
  }
  return text;
}

TEST_F(BatchTest, AgreesWithTheStandardTools) {
  Write("tabs.txt", SampleText(1, true));
  Write("plain.txt", SampleText(2, false));
  struct Job {
    const char* batchArgs;
    const char* tool;
    const char* file;
  };
  const Job jobs[] = {
      {"-t 1 -a 13", "expand -t 8", "tabs.txt"},
      {"-t 3 -k KEY -a 14", "grep -v -i -F KEY", "plain.txt"},
      {"-t 3 -c -k KEY -a 14", "grep -v -F KEY", "plain.txt"},
      {"-a 22 -c -k KEY", "sed s/KEY//g", "plain.txt"},
      {"-a 16 -n 40", "cut -b 1-40", "plain.txt"},
      {"-a 43", "awk '!seen[$0]++'", "plain.txt"},
      {"-a 32", "sort", "plain.txt"},
      {"-a 20 -n 17", "fold -b -w 17", "plain.txt"},
      {"-a 20 -n 1", "fold -b -w 1", "plain.txt"},
      {"-t 9 -a 14", "grep -v -E '^ *$'", "plain.txt"},
      {"-a 30", "sed 's/<[^>]*>//g'", "plain.txt"},  // tags here never span lines
      {"-E -t 3 -k 'key|[0-9]+\\b' -a 14", "grep -v -i -E 'key|[0-9]+\\b'", "plain.txt"},
      {"-E -a 31 -c -k '([a-z]+) (-?[0-9]+)' -r '\\2=\\1'",
       "sed -E 's/([a-z]+) (-?[0-9]+)/\\2=\\1/g'", "plain.txt"},
      {"-E -a 22 -k '<[^>]*>|\\xe9'", "sed -E 's/<[^>]*>|[\\xe9]//g'", "plain.txt"},
  };
  // Also on three threads, in chunks of 4 kB.
  ::setenv("QUORLIN_CHUNK_BYTES", "4096", 1);
  for (const auto& j : jobs) {
    const std::string expected = Shell(std::string(j.tool) + " < " + j.file);
    for (const std::string threads : {"", "-j 3 "}) {
      const Result r = Batch(threads + j.batchArgs + " " + j.file);
      EXPECT_EQ(r.exit, 0) << threads << j.batchArgs;
      EXPECT_TRUE(r.out == expected) << threads << j.batchArgs << " differs from " << j.tool;
    }
  }
  ::unsetenv("QUORLIN_CHUNK_BYTES");
}

TEST(BatchOptions, ParsesIntoTheRequest) {
  const batch::ParseResult p =
      batch::ParseOptions({"-t", "2", "--first-line=3", "--last-line", "9", "-a", "31", "-k", "ab",
                           "-r", "", "--upper", "-c", "--retain", "-E", "in", "out"});
  ASSERT_EQ(p.status, batch::ParseResult::Status::Ok);
  const ChangeRequest& q = p.options.request;
  EXPECT_EQ(q.test, TestCode::LineRange);
  EXPECT_EQ(q.action, ActionCode::ReplaceKey);
  EXPECT_EQ(q[Field::FirstLineNum].text, "3");
  EXPECT_TRUE(q[Field::FirstLineNum].filled && q[Field::LastLineNum].filled &&
              q[Field::TestKey].filled);
  EXPECT_FALSE(q[Field::ReplacementKey].filled);
  EXPECT_FALSE(q[Field::LineLength].filled);
  EXPECT_TRUE(q.outputUpperCase && q.caseSensitive && q.retainPassingOnly && q.keyIsPattern);
  EXPECT_FALSE(q.outputLowerCase);
  EXPECT_EQ(p.options.input, "in");
  EXPECT_EQ(p.options.output, "out");
}

}  // namespace
