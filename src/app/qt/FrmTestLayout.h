#pragma once
// The main window's design: where each control sits on the design surface (or on the panel
// that holds it), whether it shows, and the window's timers. The window builds itself from
// these tables.

#include <QRect>
#include <span>
#include <string_view>

namespace vexal {

struct DesignPlace {
  const char *name;  // the control's name, also its object name
  QRect geometry;    // an empty rectangle: the control has no place of its own
  bool shown;
};

struct TimerDesign {
  const char *name;
  int intervalMs;
  bool running;  // from the window's creation on
};

std::span<const DesignPlace> mainWindowPlaces();
// The entry of `name`; every control the window creates has one.
const DesignPlace &mainWindowPlace(std::string_view name);
std::span<const TimerDesign> mainWindowTimers();
const TimerDesign &mainWindowTimer(std::string_view name);

}  // namespace vexal
