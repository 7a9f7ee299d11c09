// SPDX-License-Identifier: Apache-2.0
// The work files of the editor: each created afresh and read back through the
// descriptor that wrote it, the check of the folder they go to, and the change
// run as the window performs it, through two work files in the work folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/FileError.h"
#include "engine/Files.h"
#include "engine/LineStream.h"
#include "engine/Recipe.h"

namespace quorlin {

inline constexpr const char* kRunInputFile = "~QLtmp1~.txt";
inline constexpr const char* kRunOutputFile = "~QLtmp2~.txt";
inline constexpr const char* kCleanedCopyFile = "Tempinfile~.txt";

// True when nobody but this user (and the system's administrator) can add,
// remove or rename names in the folder: it belongs to the effective user,
// who may write it, and neither its group nor others may. Work files go only
// into such a folder; in any other, another user could swap them.
bool FolderIsPrivate(const std::string& folder);

// A temporary file created fresh (CreateFreshFile), written, then read back
// through the same descriptor: a name swapped meanwhile for a link, a pipe or
// another file changes nothing that is read.
class WorkFile {
 public:
  explicit WorkFile(const std::string& path) : file_(CreateFreshFile(path)) {}
  std::FILE* get() const { return file_.get(); }
  const std::string& path() const { return file_.path(); }
  // Makes what was written readable from its first byte. Throws FileError.
  void rewind();
  // Everything written, read back. Throws FileError.
  std::string readAll();
  void close() { file_.close(); }

 private:
  File file_;
};

struct WorkRunResult {
  // True when the run completed and output holds the new text.
  bool completed = false;
  // A work file that could not be created, written or read (shown in the
  // error box).
  std::optional<FileError> fileError;
  // Otherwise why it did not complete, in the order to show them: the stop of
  // actions 25/26, or too little memory.
  std::vector<std::string> messages;
  // The output file's bytes as the run wrote them: every line followed by
  // CR LF. Empty unless completed.
  std::string output;
};

// Called with a work file's path once it is written, before it is read back.
using WorkFileWritten = std::function<void(const std::string& path)>;
// Called as the run reads the first work file and writes the second, with
// the bytes read or written since the call before (a line and its break
// counting as the line's length plus one; written lines as read, before tab
// expansion), every 64 KB or so. It may throw to stop the run.
using WorkRunRead = std::function<void(std::uint64_t bytes)>;

// Saves the lines of input to workFolder + "~QLtmp1~.txt" (each line
// followed by CR LF), streams that file through the run into workFolder +
// "~QLtmp2~.txt" (CR LF) and reads the result back in one read. Each file is
// read back through the descriptor that wrote it, never opened again by name.
// workFolder must end in a path separator. The request must have passed
// ValidateRequest. Both files are created fresh and owner-only; they stay on
// disk for the caller to delete at close.
WorkRunResult RunThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                  const ChangeRequest& request,
                                  const WorkFileWritten& written = nullptr,
                                  const WorkRunRead& read = nullptr);

// The same with every step of a recipe (read by ReadRecipe) in one run
// between the two work files; a step that stops the run stops the recipe.
WorkRunResult RecipeThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                     const Recipe& recipe, const WorkFileWritten& written = nullptr,
                                     const WorkRunRead& read = nullptr);

}  // namespace quorlin
