// SPDX-License-Identifier: Apache-2.0
#include "ui/Timing.h"

namespace quorlin::ui {
Q_LOGGING_CATEGORY(lcTiming, "quorlin.timing", QtWarningMsg)
}  // namespace quorlin::ui
