// SPDX-License-Identifier: Apache-2.0
// Where the main window's controls stand: the design places as data, the
// growth of the window with the screen at first show, and the one function
// that puts the controls there. Places are in pixels at 96 dots per inch,
// relative to the control's parent; "Form1" is the window itself, as the
// system's own window frame measures it.
#pragma once

#include <string_view>
#include <vector>

class QWidget;

namespace quorlin::ui {

// A width or height that the control takes from its own contents (labels).
inline constexpr int kOwnSize = -1;

struct Place {
  std::string_view name;  // the control's objectName
  int left, top, width, height;
};

// Every placed control as designed, before any growth.
std::vector<Place> DesignPlaces();

// The places after the growth for a screen of this size. Tests "above" these
// thresholds apply, in this order: height 763, width 1019, height 859, width
// 1147, height 1019, width 1275; a later tier overwrites an earlier one.
std::vector<Place> PlacesForScreen(int screenWidth, int screenHeight);

// The place of a named control; nullptr when it has none.
const Place* FindPlace(const std::vector<Place>& places, std::string_view name);

// The window frame that the design's window sizes include (borders and title
// bar): the window's own widget is smaller by this much.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 30;

// Moves and sizes window and every named control below it to its place.
void ApplyPlaces(QWidget* window, const std::vector<Place>& places);

}  // namespace quorlin::ui
