// SPDX-License-Identifier: Apache-2.0
// What the editor's command line asks for before any window exists: --help
// and --version are answered on standard output without a window, so without
// a display.
#pragma once

#include <string>
#include <vector>

namespace quorlin::app {

enum class StartRequest { OpenWindow, Help, Version };

// The options count only as the first argument (the program's name left out):
// any other arguments, and all those after a first "--", name the file.
StartRequest ReadStartRequest(const std::vector<std::string>& arguments);

std::string EditorHelpText();
std::string EditorVersionText();

}  // namespace quorlin::app
