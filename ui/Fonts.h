// SPDX-License-Identifier: Apache-2.0
// The window's fonts. The window asks for "MS Sans Serif" and "Trebuchet MS"
// by name; where those are not installed, substitutes of similar width stand
// in for them, so that no caption outgrows the place it is given.
#pragma once

#include <QFont>

namespace quorlin::ui {

inline constexpr char kSansSerifFamily[] = "MS Sans Serif";
inline constexpr char kPaneFamily[] = "Trebuchet MS";

// Registers the substitutes; call once before the first window is built.
void RegisterFontSubstitutes();

// "MS Sans Serif" at a pixel size.
QFont SansSerifFont(int pixelSize, bool bold);
// The pane's start font: "Trebuchet MS", 13 pixels, regular.
QFont PaneFont();

}  // namespace quorlin::ui
