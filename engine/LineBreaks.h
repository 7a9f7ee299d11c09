// SPDX-License-Identifier: Apache-2.0
// Line breaks in bytes: CR LF, LF and a lone CR each end a line.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorlin {

// The first CR or LF in [from, end), or end when there is none.
const char* FindLineBreak(const char* from, const char* end);

// The terminator that starts at bytes[at], a CR or an LF: "\r\n", "\n" or
// "\r" (static). A CR that ends bytes counts as a lone CR: bytes that may go
// on check for it first.
std::string_view TerminatorAt(std::string_view bytes, std::size_t at);

// The first line terminator in bytes, as TerminatorAt tells it; "" when bytes
// hold no line break.
std::string_view FirstTerminator(std::string_view bytes);

}  // namespace quorlin
