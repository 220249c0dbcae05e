#pragma once
// The pictures of the virtual front panel, drawn as vector shapes: the battery outline,
// the IMoff and IMmike symbols, the high-voltage sign, the timer clock and the two link
// indicators.

#include <QRectF>

#include "decode/PanelState.h"

class QPainter;

namespace vexal {

// The cyan of the active link indicator; the idle one has none of it.
inline constexpr unsigned kLinkCyan = 0x00FFFF;

// Draws the picture of element e stretched to box. The link indicators (CONok, CONokN)
// are drawn at their own 32 x 32 size at the box's top-left corner. Elements without a
// picture draw nothing.
void drawPanelPicture(QPainter &painter, Element e, const QRectF &box);

}  // namespace vexal
