#include "app/qt/FrmTestLayout.h"

#include <stdexcept>
#include <string>

namespace vexal {

namespace {

constexpr DesignPlace kPlaces[] = {
    // On the design surface.
    {"Panel2", {414, 2, 119, 27}, true},
    {"Panel3", {536, 2, 81, 27}, true},
    {"Panel4", {2, 30, 615, 289}, true},
    {"Panel7", {2, 320, 615, 33}, true},
    {"Label6", {12, 492, 96, 16}, true},
    {"SpeedButton4", {200, 488, 17, 17}, true},
    {"SpeedButton6", {216, 488, 33, 21}, true},
    {"SpeedButton8", {248, 488, 33, 21}, true},
    {"SpeedButton9", {280, 488, 33, 21}, true},
    {"SpeedButton7", {312, 488, 33, 21}, true},
    {"DBGrid1", {0, 348, 617, 177}, true},
    {"Chtshow", {18, 612, 361, 209}, true},
    {"SetFeature", {698, 694, 59, 33}, true},
    {"DBGrid2", {340, 714, 341, 49}, true},
    {"Panel1", {}, false},
    {"USBCon", {}, false},
    {"ReadBtn", {}, false},
    {"DevListBox", {}, false},
    {"HistoryListBox", {}, false},
    // On the recording tool bar Panel7.
    {"RepeatSet", {5, 5, 54, 20}, true},
    {"RecordSI", {60, 4, 167, 19}, true},
    {"RecordSITime", {166, 0, 29, 22}, true},
    {"SpeedButton5", {474, 4, 25, 21}, false},
    {"SpeedButton2", {501, 4, 25, 21}, true},
    {"SpeedButton1", {528, 4, 25, 21}, true},
    {"SpeedButton3", {555, 4, 25, 21}, true},
    {"MajPrint", {582, 4, 29, 21}, true},
};

constexpr TimerDesign kTimers[] = {
    {"SampInterTime", 1000, true},  // never stopped
    {"ConTimer", 100, false},
    {"Timer2", 1000, false},  // the link watchdog
};

}  // namespace

std::span<const DesignPlace> mainWindowPlaces() {
  return kPlaces;
}

const DesignPlace &mainWindowPlace(std::string_view name) {
  for (const DesignPlace &place : kPlaces)
    if (name == place.name) return place;
  throw std::logic_error("no design place for " + std::string(name));
}

std::span<const TimerDesign> mainWindowTimers() {
  return kTimers;
}

const TimerDesign &mainWindowTimer(std::string_view name) {
  for (const TimerDesign &timer : kTimers)
    if (name == timer.name) return timer;
  throw std::logic_error("no timer design for " + std::string(name));
}

}  // namespace vexal
