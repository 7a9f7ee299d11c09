#include "engine/WorkFiles.h"

#include "engine/ChangeRun.h"
#include "engine/FileIO.h"

#include <new>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorlin {

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

WorkRunResult RunThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                  const ChangeRequest& request, const WorkFileWritten& written) {
  WorkRunResult r;
  const std::string inPath = workFolder + kRunInputFile;
  const std::string outPath = workFolder + kRunOutputFile;
  try {
    WorkFile in(inPath);
    {
      BlockLineWriter w(in.get(), inPath, "\r\n");
      std::string_view line;
      while (input.next(line)) w.write(line);
      w.Finish();
    }
    if (written) written(inPath);
    in.Rewind();
    WorkFile out(outPath);
    RunResult run;
    {
      BlockLineReader reader(in.get(), inPath);
      BlockLineWriter writer(out.get(), outPath, "\r\n");
      run = RunChange(request, reader, writer);
      writer.Finish();
    }
    in.Close();
    if (!run.completed) {
      out.Close();
      r.messages = std::move(run.messages);
      return r;
    }
    if (written) written(outPath);
    r.output = out.ReadAll();
    out.Close();
    r.completed = true;
  } catch (const FileError& e) {
    r.fileError = true;
    r.messages.assign(1, e.what());
    r.output.clear();
  } catch (const std::bad_alloc&) {
    r.messages.assign(1, "Not enough memory to change this text");
    r.output.clear();
  }
  return r;
}

}  // namespace quorlin
