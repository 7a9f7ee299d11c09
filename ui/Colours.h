// SPDX-License-Identifier: Apache-2.0
// The window's colours, as red, green and blue from 0 to 255.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace quorlin::ui {

inline const QColor kMaroon(128, 0, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 128, 0);
inline const QColor kBlack(0, 0, 0);
inline const QColor kWindowCream(233, 230, 215);
inline const QColor kPaneBackground(255, 255, 253);
inline const QColor kReminderBackground(250, 200, 200);
inline const QColor kAboutBackground(235, 230, 215);

// Sets one colour role of a widget in every state (active, inactive,
// disabled); children that do not set it themselves take it over.
inline void SetRole(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

// The colour a caption is drawn in; also the colour a group's title and its
// buttons' captions take.
inline void SetCaptionColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

inline QColor CaptionColour(const QWidget* widget) {
  return widget->palette().color(QPalette::WindowText);
}

}  // namespace quorlin::ui
