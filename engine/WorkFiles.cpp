// SPDX-License-Identifier: Apache-2.0
#include "engine/WorkFiles.h"

#include <cassert>
#include <cerrno>
#include <new>

#include "engine/BlockLines.h"
#include "engine/ChangeRun.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

void WorkFile::rewind() {
  errno = 0;
  if (std::fflush(file_.get()) != 0 || std::fseek(file_.get(), 0, SEEK_SET) != 0)
    throw FileError(LastError(), path());
}

std::string WorkFile::readAll() {
  rewind();
  // Straight into one buffer of the file's size (a change run's output
  // becomes the editor's text as it is read), then on in larger blocks should
  // the size not be known.
  std::size_t size = std::size_t(1) << 20;
#ifndef _WIN32
  struct stat st {};
  if (::fstat(::fileno(file_.get()), &st) == 0) size = std::size_t(st.st_size) + 1;
#endif
  std::string bytes(size, '\0');
  std::size_t used = 0;
  for (;;) {
    errno = 0;
    const std::size_t room = bytes.size() - used;
    const std::size_t n = std::fread(bytes.data() + used, 1, room, file_.get());
    used += n;
    if (n < room) {
      if (std::ferror(file_.get())) throw FileError(LastError(), path());
      bytes.resize(used);
      return bytes;
    }
    bytes.resize(bytes.size() * 2);
  }
}

namespace {

// The run's input, told to `read` as it goes.
class ToldSource final : public LineSource {
 public:
  ToldSource(LineSource& in, const WorkRunRead& read) : source_(in), read_(read) {}
  bool next(std::string_view& line) override { return tell(source_.next(line), line); }
  bool next(std::string_view& line, LineFacts& facts) override {
    return tell(source_.next(line, facts), line);
  }
  void watchKey(std::string_view key, bool caseBlind) override { source_.watchKey(key, caseBlind); }
  void watchPattern(const KeyPattern* pattern) override { source_.watchPattern(pattern); }

 private:
  bool tell(bool more, std::string_view line) {
    if (more) pending_ += line.size() + 1;
    if (pending_ >= kEvery || (!more && pending_ > 0)) {
      const std::uint64_t n = pending_;
      pending_ = 0;
      read_(n);
    }
    return more;
  }
  static constexpr std::uint64_t kEvery = 1 << 16;
  LineSource& source_;
  const WorkRunRead& read_;
  std::uint64_t pending_ = 0;
};

// The run's output, told to `read` as well: a sort writes all its lines
// after the last one is read.
class ToldSink final : public LineSink {
 public:
  ToldSink(LineSink& out, const WorkRunRead& told) : out_(out), told_(told) {}
  void write(std::string_view line) override {
    out_.write(line);
    tell(line.size() + 1);
  }
  void writeExpanded(std::string_view raw, int tabWidth) override {
    out_.writeExpanded(raw, tabWidth);
    tell(raw.size() + 1);
  }

 private:
  void tell(std::uint64_t n) {
    pending_ += n;
    if (pending_ >= kEvery) {
      const std::uint64_t all = pending_;
      pending_ = 0;
      told_(all);
    }
  }
  static constexpr std::uint64_t kEvery = 1 << 16;
  LineSink& out_;
  const WorkRunRead& told_;
  std::uint64_t pending_ = 0;
};

}  // namespace

bool FolderIsPrivate(const std::string& folder) {
#ifdef _WIN32
  (void)folder;
  return true;  // folders there carry access lists, not these mode bits
#else
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) != 0 &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
#endif
}

namespace {

// The run of RunThroughWorkFiles, whatever runs between the two files.
using RunBetween = std::function<RunResult(LineSource& source, LineSink& sink)>;

WorkRunResult RunBetweenWorkFiles(const std::string& workFolder, LineSource& input,
                                  const RunBetween& runBetween, const WorkFileWritten& written,
                                  const WorkRunRead& read) {
  assert(!workFolder.empty() && (workFolder.back() == '/' || workFolder.back() == '\\'));
  WorkRunResult r;
  const std::string inPath = workFolder + kRunInputFile;
  const std::string outPath = workFolder + kRunOutputFile;
  try {
    WorkFile in(inPath);
    {
      BlockLineWriter w(in.get(), inPath, "\r\n");
      std::string_view line;
      while (input.next(line)) w.write(line);
      w.finish();
    }
    if (written) written(inPath);
    in.rewind();
    WorkFile out(outPath);
    RunResult run;
    {
      BlockLineReader reader(in.get(), inPath);
      BlockLineWriter writer(out.get(), outPath, "\r\n");
      if (read) {
        ToldSource told(reader, read);
        ToldSink toldOut(writer, read);
        run = runBetween(told, toldOut);
      } else {
        run = runBetween(reader, writer);
      }
      writer.finish();
    }
    in.close();
    if (!run.completed) {
      out.close();
      r.messages = std::move(run.messages);
      return r;
    }
    if (written) written(outPath);
    r.output = out.readAll();
    out.close();
    r.completed = true;
  } catch (const FileError& e) {
    r.fileError = e;
    r.messages.clear();
    r.output.clear();
  } catch (const std::bad_alloc&) {
    r.messages.assign(1, "Not enough memory to change this text");
    r.output.clear();
  }
  return r;
}

}  // namespace

WorkRunResult RunThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                  const ChangeRequest& request, const WorkFileWritten& written,
                                  const WorkRunRead& read) {
  return RunBetweenWorkFiles(
      workFolder, input,
      [&request](LineSource& source, LineSink& sink) { return RunChange(request, source, sink); },
      written, read);
}

WorkRunResult RecipeThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                     const Recipe& recipe, const WorkFileWritten& written,
                                     const WorkRunRead& read) {
  return RunBetweenWorkFiles(
      workFolder, input,
      [&recipe](LineSource& source, LineSink& sink) { return RunRecipe(recipe, source, sink); },
      written, read);
}

}  // namespace quorlin
