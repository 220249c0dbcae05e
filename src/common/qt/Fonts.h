#pragma once
// The face every window is designed in. "Arial" maps to the installed metric-compatible face
// through fontconfig, so texts take the widths they were laid out for.

#include <QFont>

namespace vexal {

inline QFont arial(int pixelSize, bool bold = false, bool italic = false, bool underline = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  return font;
}

}  // namespace vexal
