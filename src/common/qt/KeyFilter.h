#pragma once
// The key filter of the number boxes: each typed character goes through the box's
// key-press handler, which turns a key the box must not take into '\0'.

#include <QKeyEvent>

namespace vexal {

// True when the key press is to be discarded. Shortcuts (paste, undo ...) and keys that type
// nothing (Enter, Tab, Esc) are the box's own business and always pass.
template <class KeyPress>
bool discardTypedKey(const QKeyEvent &event, KeyPress &&keyPress) {
  const QString text = event.text();
  if (text.isEmpty() || event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
  for (const QChar ch : text) {
    if (ch.unicode() < 0x20 && ch != QLatin1Char('\b')) return false;
    char key = ch.unicode() < 0x80 ? static_cast<char>(ch.unicode()) : '\0';
    if (key != '\0') keyPress(key);
    if (key == '\0') return true;
  }
  return false;
}

}  // namespace vexal
