// SPDX-License-Identifier: Apache-2.0
// A failing cross-check case, shown and made small: texts with their bytes
// escaped, requests with their filled fields, and a greedy shrinker.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/ChangeRequest.h"
#include "tests/reference/ReferenceRun.h"

namespace quorlin::testing {

using Lines = std::vector<std::string>;

// In double quotes, bytes outside 32..126 as \xNN.
std::string Show(const std::string& s);
std::string Show(const Lines& lines);
std::string Show(const ChangeRequest& r);
std::string Show(const refimpl::Outcome& o);

// Greedy shrinking of a failing case: drops lines, bytes of lines and keys,
// and turns options off, while fails still holds.
void Shrink(ChangeRequest& r, Lines& lines,
            const std::function<bool(const ChangeRequest&, const Lines&)>& fails);

}  // namespace quorlin::testing
