#include "engine/WorkFiles.h"

#include "engine/ChangeRun.h"
#include "engine/FileIO.h"

#include <new>

namespace quorlin {

WorkRunResult RunThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                  const ChangeRequest& request) {
  WorkRunResult r;
  const std::string inPath = workFolder + kRunInputFile;
  const std::string outPath = workFolder + kRunOutputFile;
  try {
    {
      File in = CreateFreshFile(inPath);
      BlockLineWriter w(in.get(), inPath, "\r\n");
      std::string_view line;
      while (input.next(line)) w.write(line);
      w.Finish();
      in.Close();
    }
    File in = OpenForReading(inPath);
    File out = CreateFreshFile(outPath);
    BlockLineReader reader(in.get(), inPath);
    BlockLineWriter writer(out.get(), outPath, "\r\n");
    RunResult run = RunChange(request, reader, writer);
    writer.Finish();
    out.Close();
    in.Close();
    if (!run.completed) {
      r.messages = std::move(run.messages);
      return r;
    }
    r.output = ReadFileBytes(outPath);
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
