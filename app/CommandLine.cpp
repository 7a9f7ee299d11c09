// SPDX-License-Identifier: Apache-2.0
#include "app/CommandLine.h"

#include "quorlin/Version.h"

namespace quorlin::app {

StartRequest ReadStartRequest(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return StartRequest::OpenWindow;
  if (arguments.front() == "--help") return StartRequest::Help;
  if (arguments.front() == "--version") return StartRequest::Version;
  return StartRequest::OpenWindow;
}

std::string EditorHelpText() {
  return "Usage: quorlin [--] [FILE]\n"
         "  or:  quorlin --help | --version\n"
         "Opens FILE in the Quorlin editor, a window for stripping and simplifying plain\n"
         "text and data files with global changes; with no FILE it starts empty. All\n"
         "arguments are joined with single blanks into the one file name, so a name\n"
         "with blanks arrives whole even unquoted.\n"
         "\n"
         "      --help       print this help and exit\n"
         "      --version    print the name and version and exit\n"
         "      --           end of options: what follows names the file, even when\n"
         "                   it starts with \"-\"\n"
         "These options count only as the first argument. Qt's own options, such as\n"
         "-platform NAME and -style NAME, may come before FILE.\n"
         "\n"
         "Work files \"~QLtmp1~.txt\", \"~QLtmp2~.txt\" and \"Tempinfile~.txt\" go to FILE's\n"
         "folder when FILE is given, or to the program's folder when it runs from a\n"
         "build or an unpacked folder of its own; when that folder is one others may\n"
         "write, or the program is installed (under /usr, /opt or ~/.local), to the\n"
         "folder \"quorlin\" in the temporary folder. Closing the window deletes them.\n"
         "\n"
         "quorlin-batch(1) makes the same changes without a window.\n";
}

std::string EditorVersionText() {
  return std::string("quorlin ") + kVersion + "\n" + kCopyright + "\n" + kLicenceLine + "\n";
}

}  // namespace quorlin::app
