// SPDX-License-Identifier: Apache-2.0
// Where File > Open and a change run spend their time, logged at info level:
// QT_LOGGING_RULES="quorlin.timing.info=true" shows it.
#pragma once

#include <QLoggingCategory>

namespace quorlin::ui {
Q_DECLARE_LOGGING_CATEGORY(lcTiming)
}  // namespace quorlin::ui
