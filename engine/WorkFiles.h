// The change run as the editor window performs it: through two work files in
// the work folder.
#pragma once

#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "engine/LineStream.h"

namespace quorlin {

inline constexpr const char* kRunInputFile = "~QLtmp1~.txt";
inline constexpr const char* kRunOutputFile = "~QLtmp2~.txt";
inline constexpr const char* kCleanedCopyFile = "Tempinfile~.txt";

struct WorkRunResult {
  // True when the run completed and output holds the new text.
  bool completed = false;
  // True when what stopped it was a file that could not be created, written or
  // read (shown in the error box), false for the run's own stop message.
  bool fileError = false;
  // Why it did not complete, in the order to show them: the stop of actions
  // 25/26, or a file error ("Disk full\n/path/~QLtmp2~.txt").
  std::vector<std::string> messages;
  // The output file's bytes as the run wrote them: every line followed by
  // CR LF. Empty unless completed.
  std::string output;
};

// Saves the lines of input to workFolder + "~QLtmp1~.txt" (each line
// followed by CR LF), streams that file through the run into workFolder +
// "~QLtmp2~.txt" (CR LF) and reads the result back in one read. workFolder must end in a path
// separator. The request must have passed ValidateRequest. Both files are created fresh and
// owner-only; they stay on disk for the caller to delete at close.
WorkRunResult RunThroughWorkFiles(const std::string& workFolder, LineSource& input,
                                  const ChangeRequest& request);

}  // namespace quorlin
