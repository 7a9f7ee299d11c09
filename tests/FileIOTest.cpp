// The file layer: line splitting across block boundaries, what the reader
// tells about lines, temporary files that never follow a planted link, the
// zero-byte scan and cleaned copy, safe replacement of an output file, and the
// change run through the two work files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/FileIO.h"
#include "engine/LineList.h"
#include "engine/WorkFiles.h"

using namespace quorlin;
namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("quorlin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string folder() const { return path_.string() + "/"; }

 private:
  fs::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The line rule stated plainly: CR LF, LF or CR end a line; a final break
// adds no empty line.
std::vector<std::string> SplitPlainly(const std::string& s) {
  std::vector<std::string> lines;
  std::string cur;
  bool open = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      lines.push_back(cur);
      cur.clear();
      open = false;
    } else {
      cur += s[i];
      open = true;
    }
  }
  if (open) lines.push_back(cur);
  return lines;
}

std::string RandomText(std::mt19937& rng, std::size_t size) {
  static const char alphabet[] = {'a', 'b', 'K', 'E', 'Y', ' ', '\t', '\r', '\n', '\n', 'x', 0};
  std::string s;
  for (std::size_t i = 0; i < size; ++i) s += alphabet[rng() % sizeof alphabet];
  return s;
}

TEST(BlockLineReader, SplitsLikeThePlainRuleAtEveryBlockSize) {
  TempDir dir;
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    const std::string text = RandomText(rng, rng() % 300);
    const std::string path = dir / "in.txt";
    WriteBytes(path, text);
    const std::vector<std::string> expected = SplitPlainly(text);
    for (std::size_t block : {16, 17, 64, 1 << 16}) {
      File f = OpenForReading(path);
      BlockLineReader reader(f.get(), path, block);
      reader.watchKey("KEY");
      std::vector<std::string> got;
      std::string_view line;
      LineFacts facts;
      while (reader.next(line, facts)) {
        got.emplace_back(line);
        EXPECT_EQ(facts.hasTab, line.find('\t') != std::string_view::npos);
        EXPECT_EQ(facts.hasKey, line.find("KEY") != std::string_view::npos ? 1 : 0);
      }
      ASSERT_EQ(got, expected) << "round " << round << " block " << block;
    }
    LineList list = LineList::FromBytes(text);
    ASSERT_EQ(list.size(), expected.size());
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], expected[i]);
  }
}

TEST(BlockLineReader, FirstTerminator) {
  TempDir dir;
  const struct {
    std::string text, first;
  } cases[] = {{"a\r\nb\n", "\r\n"}, {"a\nb\r\n", "\n"}, {"a\rb\n", "\r"}, {"abc", ""}, {"", ""},
               {"\r", "\r"},         {"x\r", "\r"}};
  for (const auto& c : cases) {
    const std::string path = dir / "t.txt";
    WriteBytes(path, c.text);
    File f = OpenForReading(path);
    BlockLineReader reader(f.get(), path, 16);
    std::string_view line;
    while (reader.next(line)) {
    }
    EXPECT_EQ(reader.firstTerminator(), c.first);
  }
}

TEST(BlockLineWriter, TerminatorsAndLongLines) {
  TempDir dir;
  const std::string path = dir / "out.txt";
  {
    File f = CreateFreshFile(path);
    BlockLineWriter w(f.get(), path, "\r\n", 64);
    w.write("short");
    w.write(std::string(200, 'x'));  // longer than a block
    w.write("");
    w.Finish();
    f.Close();
  }
  EXPECT_EQ(ReadBytes(path), "short\r\n" + std::string(200, 'x') + "\r\n\r\n");
  {
    File f = CreateFreshFile(path);
    BlockLineWriter w(f.get(), path, "\n", 64);
    w.setTerminatorOnFirstWrite([] { return std::string_view("\r"); });
    w.write("a");
    w.write("b");
    w.Finish();
    f.Close();
  }
  EXPECT_EQ(ReadBytes(path), "a\rb\r");
}

TEST(FreshFiles, NeverWriteThroughAPlantedLink) {
  TempDir dir;
  const std::string victim = dir / "victim.txt";
  WriteBytes(victim, "precious");
  const std::string name = dir / "~QLtmp2~.txt";
  fs::create_symlink(victim, name);
  {
    File f = CreateFreshFile(name);
    std::fputs("new", f.get());
    f.Close();
  }
  EXPECT_EQ(ReadBytes(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(name)));
  EXPECT_EQ(ReadBytes(name), "new");
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A folder at the name is left alone and reported.
  const std::string folder = dir / "~QLtmp1~.txt";
  fs::create_directory(folder);
  EXPECT_THROW(CreateFreshFile(folder), FileError);
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST(ZeroBytes, ScanAndCleanedCopy) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
    bool hasNulls;
    std::string cleaned;
  } cases[] = {
      {"empty", "", false, ""},
      {"clean", "abc\r\n", false, "abc\r\n"},
      {"last byte zero", std::string("abc\0", 4), true, "abc"},
      {"zero in the middle", std::string("a\0b", 3), true, "ab"},
      {"crlf kept", std::string("a\0\r\0\n\0", 6), true, "a\r\n"},
      {"utf-16le with mark", std::string("\xff\xfeH\0i\0", 6), true, "\xff\xfeHi"},
      {"zeros only", std::string(5, '\0'), true, ""},
  };
  for (const auto& c : cases) {
    const std::string src = dir / "src.bin";
    WriteBytes(src, c.bytes);
    EXPECT_EQ(FileHasNulls(src), c.hasNulls) << c.name;
    const std::string copy = dir / "Tempinfile~.txt";
    CopyWithoutNulls(src, copy);
    EXPECT_EQ(ReadBytes(copy), c.cleaned) << c.name;
  }
  // A zero byte far beyond the first block is still found.
  std::string big(3 << 20, 'x');
  big[big.size() - 2] = '\0';
  WriteBytes(dir / "big.bin", big);
  EXPECT_TRUE(FileHasNulls(dir / "big.bin"));
  CopyWithoutNulls(dir / "big.bin", dir / "big.out");
  EXPECT_EQ(fs::file_size(dir / "big.out"), big.size() - 1);
}

TEST(FileErrors, TextsAndPaths) {
  EXPECT_EQ(FileErrorText(ENOENT), "File not found");
  EXPECT_EQ(FileErrorText(EACCES), "File access denied");
  EXPECT_EQ(FileErrorText(ENOSPC), "Disk full");
  EXPECT_EQ(FileErrorText(EIO), "I/O error " + std::to_string(EIO));
  try {
    OpenForReading("/no/such/folder/file.txt");
    FAIL() << "opened a missing file";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found\n/no/such/folder/file.txt");
  }
}

TEST(SafeOutput, CommitReplacesAndFailureKeepsTheOldFile) {
  TempDir dir;
  const std::string target = dir / "out.txt";
  WriteBytes(target, "old");
  ::chmod(target.c_str(), 0640);
  {
    SafeOutputFile out(target);
    std::fputs("partial", out.get());
    // destroyed without Commit: as if the run had failed
  }
  EXPECT_EQ(ReadBytes(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()), {}), 1)
      << "the temporary file was left behind";
  {
    SafeOutputFile out(target);
    std::fputs("new", out.get());
    out.Commit();
  }
  EXPECT_EQ(ReadBytes(target), "new");
  struct stat st {};
  ::stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SafeOutput, UnwritableFolderFailsCleanly) {
  TempDir dir;
  WriteBytes(dir / "plain", "a file, not a folder");
  EXPECT_THROW(SafeOutputFile(dir / "plain/out.txt"), FileError);
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  fs::create_directory(dir / "ro");
  WriteBytes(dir / "ro/out.txt", "old");
  fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(SafeOutputFile(dir / "ro/out.txt"), FileError);
  EXPECT_EQ(ReadBytes(dir / "ro/out.txt"), "old");
}

ChangeRequest Upper() {
  ChangeRequest q;
  q.outputUpperCase = true;
  return q;
}

TEST(WorkFiles, RunThroughTheTwoFiles) {
  TempDir dir;
  LineList lines;
  for (const char* l : {"a\tb", "", "x\xe9y"}) lines.push_back(l);
  LineListSource source(lines);
  const WorkRunResult r = RunThroughWorkFiles(dir.folder(), source, Upper());
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.output, "A       B\r\n\r\nX\xe9Y\r\n");
  EXPECT_EQ(ReadBytes(dir / "~QLtmp1~.txt"), "a\tb\r\n\r\nx\xe9y\r\n");
  EXPECT_EQ(ReadBytes(dir / "~QLtmp2~.txt"), "A       B\r\n\r\nX\xe9Y\r\n");
}

TEST(WorkFiles, StopAndFileErrorsLeaveNoOutput) {
  TempDir dir;
  LineList lines;
  lines.push_back("abc");
  ChangeRequest bad;
  bad.actionKind = 25;
  bad.firstCharPos = "3";
  bad.lastCharPos = "2";
  bad.firstCharPosFilled = bad.lastCharPosFilled = true;
  LineListSource source(lines);
  WorkRunResult r = RunThroughWorkFiles(dir.folder(), source, bad);
  EXPECT_FALSE(r.completed);
  EXPECT_FALSE(r.fileError);
  EXPECT_EQ(r.messages, (std::vector<std::string>{
                            "Char positions have to be Positive, with Last char > First Char"}));
  EXPECT_TRUE(r.output.empty());

  const std::string missing = dir / "gone/";
  LineListSource again(lines);
  r = RunThroughWorkFiles(missing, again, ChangeRequest{});
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(r.fileError);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"File not found\n" + missing + "~QLtmp1~.txt"}));
}

}  // namespace

namespace {

TEST(LineListText, JoinedTextSplitsAtEachLineFeed) {
  const struct {
    std::string joined;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}}, {"\n", {""}}, {"a\nb\n", {"a", "b"}}, {"a\nb", {"a", "b"}}, {"\r\n\n", {"\r", ""}}};
  for (const auto& c : cases) {
    const LineList list = LineList::FromJoined(c.joined);
    ASSERT_EQ(list.size(), c.lines.size()) << c.joined;
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], c.lines[i]);
    EXPECT_EQ(list.joined().size(),
              c.joined.size() + (c.joined.empty() || c.joined.back() == '\n' ? 0 : 1));
  }
}

}  // namespace
