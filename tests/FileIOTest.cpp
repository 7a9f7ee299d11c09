// SPDX-License-Identifier: Apache-2.0
// The file layer: line splitting across block boundaries, what the reader
// tells about lines, temporary files that never follow a planted link, the
// zero-byte scan and cleaned copy, safe replacement of an output file, and the
// change run through the two work files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "OtherUser.h"
#include "engine/BlockLines.h"
#include "engine/ByteBuffer.h"
#include "engine/DocumentReading.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "engine/LineList.h"
#include "engine/WorkFiles.h"
#include "tests/support/RunHarness.h"
#include "textutil/QuorlinUtils.h"
#include "textutil/Utf8.h"

using namespace quorlin;
using quorlin::testing::Req;
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
  static const char alphabet[] = {'a', 'b', 'K', 'E', 'Y', 'k',  'e',  'y',  ' ', '\t',
                                  '@', '`', '[', '{', 'x', '\r', '\n', '\n', 0};
  std::string s;
  for (std::size_t i = 0; i < size; ++i) s += alphabet[rng() % sizeof alphabet];
  return s;
}

TEST(BlockLineReader, SplitsLikeThePlainRuleAtEveryBlockSize) {
  TempDir dir;
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    std::string text = RandomText(rng, rng() % 600);
    // The first 16-byte block ends in the CR of a CR LF, on a line with the key.
    if (round == 0) text = "zzzzzzzzz\r\naKEY\r\nq\r\n";
    const std::string path = dir / "in.txt";
    WriteBytes(path, text);
    const std::vector<std::string> expected = SplitPlainly(text);
    for (std::size_t block : {16, 17, 64, 1 << 16}) {
      File f = OpenForReading(path);
      BlockLineReader reader(f.get(), path, block);
      // The key compared exactly, or folding A-Z ("kEy" holds "KEY" then,
      // "`" never holds "@").
      const bool caseBlind = round % 2 == 1;
      static const char* const kKeys[] = {"KEY", "k", "@k", "Y[", "e Ey", "{x`"};
      const std::string key = kKeys[(round / 2) % std::size(kKeys)];
      reader.watchKey(key, caseBlind);
      const auto holdsKey = [&](std::string_view x) {
        const auto fold = [&](std::string_view y) {
          return caseBlind ? QuorlinUtils::UpperCase(y) : std::string(y);
        };
        return fold(x).find(fold(key)) != std::string::npos;
      };
      std::vector<std::string> got;
      std::string_view line;
      LineFacts facts;
      for (;;) {
        // In half the rounds (both ways of comparing), the lines up to the
        // next with the key, and that line when whole, at once where the
        // reader has them at hand.
        bool keyLine = false;
        const std::string_view lines = round % 4 < 2 ? reader.nextLinesAndKeyLine(keyLine) : "";
        if (!lines.empty()) {
          ASSERT_TRUE(lines.back() == '\n' || lines.back() == '\r');
          const std::vector<std::string> some = SplitPlainly(std::string(lines));
          for (std::size_t i = 0; i < some.size(); ++i)
            EXPECT_EQ(holdsKey(some[i]), keyLine && i + 1 == some.size()) << some[i];
          got.insert(got.end(), some.begin(), some.end());
          continue;
        }
        if (!reader.next(line, facts)) break;
        got.emplace_back(line);
        EXPECT_EQ(facts.hasTab, line.find('\t') != std::string_view::npos);
        EXPECT_EQ(facts.hasHigh, QuorlinUtils::AllAscii(line) ? 0 : 1);
        EXPECT_EQ(facts.hasKey, holdsKey(line) ? 1 : 0) << key;
      }
      ASSERT_EQ(got, expected) << "round " << round << " block " << block;
    }
    LineList list = LineList::fromBytes(text);
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

// Inputs that take quadratic time when the unfinished part of a line is moved
// or searched again at every block: one line far longer than a block, from a
// file and from a pipe, and a text whose lines end in a lone CR. Read in
// linear time they take a second or two; in quadratic time, an hour (CTest's
// time limit for this test ends it).
TEST(LongInput, ReadInLinearTime) {
  TempDir dir;
  const std::string longLine(32 << 20, 'x');
  std::string loneCr;
  for (int i = 0; i < 500000; ++i) loneCr += "ab\r";
  const struct {
    const char* name;
    std::string text;
    bool pipe;
    std::size_t lines, firstLength;
  } rows[] = {
      {"one long line from a file", longLine + "\r\nz", false, 2, longLine.size()},
      {"one long line from a pipe", longLine + "\r", true, 1, longLine.size()},
      {"lone CR line ends", loneCr, false, 500000, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    File f;
    std::thread writer;
    if (row.pipe) {
      int fds[2];
      ASSERT_EQ(::pipe(fds), 0);
      f = File(::fdopen(fds[0], "rb"), "pipe");
      writer = std::thread([&, fd = fds[1]] {
        for (std::size_t at = 0; at < row.text.size();) {
          const ssize_t n = ::write(fd, row.text.data() + at, row.text.size() - at);
          if (n <= 0) break;
          at += std::size_t(n);
        }
        ::close(fd);
      });
    } else {
      WriteBytes(dir / "in.txt", row.text);
      f = OpenForReading(dir / "in.txt");
    }
    BlockLineReader reader(f.get(), "in", 256);
    std::size_t lines = 0, firstLength = 0;
    std::string_view line;
    while (reader.next(line)) {
      if (lines++ == 0) firstLength = line.size();
    }
    if (writer.joinable()) writer.join();
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(firstLength, row.firstLength);
    EXPECT_EQ(LineList::fromBytes(row.text).size(), row.lines);
  }
}

// A buffer keeps its bytes however it grows: in steps small and large from
// the heap into mapped memory, by resizing, and swapped with one held
// elsewhere, as the runs' pools hand buffers from chunk to chunk.
TEST(ByteBuffer, KeepsItsBytesAsItGrows) {
  for (const std::size_t step :
       {std::size_t(1), std::size_t(4093), std::size_t(70000), std::size_t(300000)}) {
    SCOPED_TRACE(step);
    std::mt19937 rng{static_cast<unsigned>(step)};
    ByteBuffer b, small;
    small.append("kept");
    std::string want;
    for (int i = 0; want.size() < 600000; ++i) {
      std::string piece(step, '\0');
      for (char& c : piece) c = char(rng());
      if (i % 2 == 0) {
        b.append(piece);
      } else {
        std::memcpy(b.room(piece.size()), piece.data(), piece.size());
        b.commit(piece.size());
      }
      want += piece;
      if (i == 3) {  // there and back, both kept
        b.swap(small);
        small.swap(b);
      }
    }
    EXPECT_EQ(b.view(), want);
    EXPECT_EQ(small.view(), "kept");
    b.resize(want.size() * 2);
    b.truncate(want.size() - 1);
    want.pop_back();
    b.swap(small);
    EXPECT_EQ(small.view(), want);
    EXPECT_EQ(b.view(), "kept");
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
    w.finish();
    f.close();
  }
  EXPECT_EQ(ReadBytes(path), "short\r\n" + std::string(200, 'x') + "\r\n\r\n");
  {
    File f = CreateFreshFile(path);
    BlockLineWriter w(f.get(), path, "\n", 64);
    w.setTerminatorOnFirstWrite([] { return std::string_view("\r"); });
    w.write("a");
    w.write("b");
    w.finish();
    f.close();
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
    f.close();
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
    std::string bytes = ReadDocument(src);
    EXPECT_EQ(bytes, c.bytes) << c.name;
    EXPECT_EQ(bytes.find('\0') != std::string::npos, c.hasNulls) << c.name;
    const std::string copy = dir / "Tempinfile~.txt";
    WriteCleanedCopy(bytes, copy);
    EXPECT_EQ(ReadBytes(copy), c.cleaned) << c.name;
  }
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
    out.commit();
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
  // A folder its owner may not write into, holding a file the owner may
  // write. Root writes anywhere: as root, folder and file go to another user,
  // who makes the attempt.
  ASSERT_EQ(::chmod(dir.folder().c_str(), 0755), 0);
  fs::create_directory(dir / "ro");
  WriteBytes(dir / "ro/out.txt", "old");
  if (quorlin::testing::CanSwitchUser()) {
    for (const char* name : {"ro", "ro/out.txt"}) {
      ASSERT_EQ(::chown((dir / name).c_str(), quorlin::testing::kOtherUser,
                        quorlin::testing::kOtherGroup),
                0);
    }
  }
  fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_TRUE(quorlin::testing::AsOtherUser([&] {
    try {
      SafeOutputFile out(dir / "ro/out.txt");
      return false;
    } catch (const FileError&) {
      return true;
    }
  }));
  EXPECT_EQ(ReadBytes(dir / "ro/out.txt"), "old");
  fs::permissions(dir / "ro", fs::perms::owner_all);
}

TEST(WorkFiles, RunThroughTheTwoFiles) {
  TempDir dir;
  LineList lines;
  for (const char* l : {"a\tb", "", "x\xe9y"}) lines.push_back(l);
  LineListSource source(lines);
  const WorkRunResult r = RunThroughWorkFiles(dir.folder(), source, Req{.upper = true});
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.output, "A       B\r\n\r\nX\xe9Y\r\n");
  EXPECT_EQ(ReadBytes(dir / "~QLtmp1~.txt"), "a\tb\r\n\r\nx\xe9y\r\n");
  EXPECT_EQ(ReadBytes(dir / "~QLtmp2~.txt"), "A       B\r\n\r\nX\xe9Y\r\n");
}

TEST(WorkFiles, StopAndFileErrorsLeaveNoOutput) {
  TempDir dir;
  LineList lines;
  lines.push_back("abc");
  LineListSource source(lines);
  WorkRunResult r = RunThroughWorkFiles(dir.folder(), source,
                                        Req{.action = 25, .firstChar = "3", .lastChar = "2"});
  EXPECT_FALSE(r.completed);
  EXPECT_FALSE(r.fileError);
  EXPECT_EQ(r.messages, (std::vector<std::string>{
                            "Char positions have to be Positive, with Last char > First Char"}));
  EXPECT_TRUE(r.output.empty());

  const std::string missing = dir / "gone/";
  LineListSource again(lines);
  r = RunThroughWorkFiles(missing, again, ChangeRequest{});
  EXPECT_FALSE(r.completed);
  ASSERT_TRUE(r.fileError);
  EXPECT_EQ(r.fileError->text(), "File not found");
  EXPECT_EQ(r.fileError->path(), missing + "~QLtmp1~.txt");
  EXPECT_TRUE(r.messages.empty());
}

// A reader that ends while its next block is still being read ahead (a run
// that stops at its first line, refuses it, or throws): the read must finish
// before the reader's buffers go. Under the address sanitizer a read into a
// freed buffer is reported.
TEST(BlockLineReader, EndsWhileReadingAhead) {
  TempDir dir;
  std::string text;
  while (text.size() < (4 << 20)) text += "a short line\n";
  WriteBytes(dir / "big.txt", text);
  for (int round = 0; round < 20; ++round) {
    File f = OpenForReading(dir / "big.txt");
    BlockLineReader reader(f.get(), "big.txt", 1 << 16);
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
  }
}

// Names that are no plain file: refused before a byte is read (a named pipe
// without a writer would otherwise wait for ever, /dev/zero never ends), and
// a pipe, where allowed, read to its end within its bounds.
TEST(SpecialFiles, RefusedOrReadOnceWithinBounds) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  WriteBytes(dir / "plain.txt", std::string("a\0b\n", 4));
  const std::string sent = std::string("x\0y\r\n", 5);
  const struct {
    const char* name;
    std::string path;  // empty: a pipe the test writes sent to, and closes unless silent
    bool pipesAllowed;
    std::size_t maxBytes;
    bool silent;
    std::string bytes, error;
  } rows[] = {
      {"a plain file", dir / "plain.txt", false, 0, false, std::string("a\0b\n", 4), ""},
      {"a named pipe", dir / "fifo", false, 0, false, "", kNotPlainFileText},
      {"a folder", dir.folder(), false, 0, false, "", kNotPlainFileText},
      {"an endless device", "/dev/zero", true, 0, false, "", kNotPlainFileText},
      {"a pipe where allowed", "", true, 1 << 20, false, sent, ""},
      {"a pipe beyond the bound", "", true, 3, false, "", kPipeTooLargeText},
      {"a pipe that sends nothing", "", true, 1 << 20, true, "", kPipeSilentText},
      {"a pipe where not allowed", "", false, 1 << 20, false, "", kNotPlainFileText},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string path = row.path;
    int fds[2] = {-1, -1};
    if (path.empty()) {
      ASSERT_EQ(::pipe(fds), 0);
      if (!row.silent) {
        ASSERT_EQ(::write(fds[1], sent.data(), sent.size()), ssize_t(sent.size()));
        ::close(fds[1]);
        fds[1] = -1;
      }
      path = "/dev/fd/" + std::to_string(fds[0]);
    }
    PipeLimits limits;
    limits.allowed = row.pipesAllowed;
    limits.maxBytes = row.maxBytes;
    limits.silentMs = 200;
    try {
      EXPECT_EQ(ReadDocument(path, limits), row.bytes);
      EXPECT_EQ(row.error, "");
    } catch (const FileError& e) {
      EXPECT_EQ(e.text(), row.error);
      EXPECT_EQ(e.path(), path);
    }
    for (int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
}

// Another user at work in a folder that others may write: once a work file is
// written, its name is swapped for a link to the other user's file or for a
// pipe before it is read back. The run reads what it wrote, and neither
// follows the link nor waits on the pipe.
TEST(HostileFolder, SwappedWorkFilesAreNotRead) {
  TempDir dir;
  ::chmod(dir.folder().c_str(), 0777);
  const std::string theirs = dir / "theirs.txt";
  WriteBytes(theirs, "their line\r\nand another\r\n");
  LineList lines;
  for (const char* l : {"ours", "all of it"}) lines.push_back(l);
  const struct {
    const char* name;
    const char* file;
    bool pipe;
  } rows[] = {
      {"input swapped for a link", kRunInputFile, false},
      {"output swapped for a link", kRunOutputFile, false},
      {"input swapped for a pipe", kRunInputFile, true},
      {"output swapped for a pipe", kRunOutputFile, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    LineListSource source(lines);
    const WorkRunResult r =
        RunThroughWorkFiles(dir.folder(), source, Req{.upper = true}, [&](const std::string& path) {
          if (path != dir.folder() + row.file) return;
          ASSERT_TRUE(quorlin::testing::AsOtherUser([&] {
            return ::unlink(path.c_str()) == 0 &&
                   (row.pipe ? ::mkfifo(path.c_str(), 0666)
                             : ::symlink(theirs.c_str(), path.c_str())) == 0;
          }));
        });
    ASSERT_TRUE(r.completed) << (r.messages.empty() ? "" : r.messages[0]);
    EXPECT_EQ(r.output, "OURS\r\nALL OF IT\r\n");
    EXPECT_EQ(ReadBytes(theirs), "their line\r\nand another\r\n");
  }
}

// Which folders may hold work files: only those that nobody but this user may
// write into.
TEST(HostileFolder, OnlyPrivateFoldersHoldWorkFiles) {
  TempDir dir;
  const struct {
    const char* name;
    mode_t mode;
    bool otherOwner;
    bool isPrivate;
  } rows[] = {
      {"owner only", 0700, false, true},
      {"others may read", 0755, false, true},
      {"group may write", 0775, false, false},
      {"everybody may write", 0777, false, false},
      {"shared sticky folder", 01777, false, false},
      {"owner may not write", 0555, false, false},
      {"another user's folder", 0755, true, false},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.otherOwner && !quorlin::testing::CanSwitchUser()) continue;  // needs root to give away
    const std::string folder = dir / std::to_string(n++);
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), row.mode), 0);
    if (row.otherOwner) {
      ASSERT_EQ(
          ::chown(folder.c_str(), quorlin::testing::kOtherUser, quorlin::testing::kOtherGroup), 0);
    }
    EXPECT_EQ(FolderIsPrivate(folder + "/"), row.isPrivate);
  }
  EXPECT_FALSE(FolderIsPrivate(dir / "missing/"));
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
    const LineList list = LineList::fromJoined(c.joined);
    ASSERT_EQ(list.size(), c.lines.size()) << c.joined;
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], c.lines[i]);
    EXPECT_EQ(list.joined().size(),
              c.joined.size() + (c.joined.empty() || c.joined.back() == '\n' ? 0 : 1));
  }
}

}  // namespace
