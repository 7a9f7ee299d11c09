// quorlin-batch as a script sees it: options, messages, exit codes, line
// terminators, and byte-for-byte agreement with the standard tools on the jobs
// they share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "cli/BatchOptions.h"
#include "quorlin/Version.h"

namespace fs = std::filesystem;
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
    const std::string cmd = "cd '" + dir_.string() + "' && '" QUORLIN_BATCH "' " + args +
                            " < stdin > stdout 2> stderr";
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

TEST_F(BatchTest, RefusalsAndBadUsage) {
  struct Case {
    std::string args;
    int exit;
    std::string err;
  };
  const std::string usage = "usage: quorlin-batch [options] [INPUT [OUTPUT]]\n";
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
  };
  for (const auto& c : cases) {
    const Result r = Batch(c.args, "text\n");
    EXPECT_EQ(r.exit, c.exit) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  // Last char is compared with 1st char only when both are given.
  EXPECT_EQ(Batch("-a 26 --last-char 2", "abc\n").err, "Fill in 1st Char Position and Last Char Position\n");
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
  EXPECT_EQ(r.out, std::string("quorlin-batch ") + kVersion + "\n");
  r = Batch("--list");
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.out.find("  13  Contains the Test Key Text at the end of the line\n"), std::string::npos);
  EXPECT_NE(r.out.find("  44  Move (Unwrap) next line to end of Test line\n"), std::string::npos);
}

// A text like the exports users clean: words, tabs, repeated lines, blank
// lines, tag-like lines and a key; with or without tabs.
std::string SampleText(unsigned seed, bool tabs) {
  std::mt19937 rng(seed);
  static const char* words[] = {"alpha", "Beta", "key", "KEY", "<b>", "x", "data,", "42", "-1",
                                "\xe9t\xe9", "end", "lines"};
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
  };
  for (const auto& j : jobs) {
    const std::string expected = Shell(std::string(j.tool) + " < " + j.file);
    const Result r = Batch(std::string(j.batchArgs) + " " + j.file);
    EXPECT_EQ(r.exit, 0) << j.batchArgs;
    EXPECT_TRUE(r.out == expected) << j.batchArgs << " differs from " << j.tool;
  }
}

TEST(BatchOptions, ParsesIntoTheRequest) {
  const batch::ParseResult p = batch::ParseOptions(
      {"-t", "2", "--first-line=3", "--last-line", "9", "-a", "31", "-k", "ab", "-r", "", "--upper",
       "-c", "--retain", "in", "out"});
  ASSERT_EQ(p.status, batch::ParseResult::Status::Ok);
  const ChangeRequest& q = p.options.request;
  EXPECT_EQ(q.testKind, 2);
  EXPECT_EQ(q.actionKind, 31);
  EXPECT_EQ(q.firstLineNum, "3");
  EXPECT_TRUE(q.firstLineNumFilled && q.lastLineNumFilled && q.testKeyFilled);
  EXPECT_FALSE(q.replacementKeyFilled);
  EXPECT_FALSE(q.lineLengthFilled);
  EXPECT_TRUE(q.outputUpperCase && q.caseSensitive && q.retainPassingOnly);
  EXPECT_FALSE(q.outputLowerCase);
  EXPECT_EQ(p.options.input, "in");
  EXPECT_EQ(p.options.output, "out");
}

}  // namespace
