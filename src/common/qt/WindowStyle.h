#pragma once
// The look every window of the program is drawn in: the platform's own style, with the room
// between a check box's (or radio button's) box and its caption narrowed, so that the
// captions fit the sizes the windows were designed at ("Repeat" in its 54 pixels).

class QApplication;
class QStyle;

namespace vexal {

// The gap between a check box's box and its caption, in pixels.
inline constexpr int kIndicatorCaptionGap = 3;

// A new style object: the platform's style with the narrower gap. The caller owns it.
QStyle *makeWindowStyle();
// Gives `app` that style (the application owns it).
void useWindowStyle(QApplication &app);

}  // namespace vexal
