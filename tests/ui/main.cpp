// SPDX-License-Identifier: Apache-2.0
// Widget tests run headless unless told otherwise; one application for all.
#include <QApplication>
#include <gtest/gtest.h>

#include "ui/Fonts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quorlin::ui::RegisterFontSubstitutes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
