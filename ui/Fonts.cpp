// SPDX-License-Identifier: Apache-2.0
#include "ui/Fonts.h"

#include <QStringList>

namespace quorlin::ui {

void RegisterFontSubstitutes() {
  // Liberation Sans has the widths of the common Windows sans serif face, a
  // little narrower than "MS Sans Serif" at small sizes; DejaVu Sans is wider
  // and comes second.
  QFont::insertSubstitutions(
      QString::fromLatin1(kSansSerifFamily),
      {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(
      QString::fromLatin1(kPaneFamily),
      {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
}

QFont SansSerifFont(int pixelSize, bool bold) {
  QFont font(QString::fromLatin1(kSansSerifFamily));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFont PaneFont() {
  QFont font(QString::fromLatin1(kPaneFamily));
  font.setPixelSize(13);
  return font;
}

}  // namespace quorlin::ui
