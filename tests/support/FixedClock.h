#pragma once
// A clock for tests: a fixed time of day that the test sets, optionally moving on by a
// fixed step at every reading.

#include <cstdint>

#include "record/TimeOfDay.h"

namespace vexal {

struct FixedClock : Clock {
  explicit FixedClock(std::int32_t startMs = 0, std::int32_t stepMs = 0)
      : now(startMs), step(stepMs) {}
  std::int32_t timeOfDayMs() override { return now += step; }

  std::int32_t now;
  std::int32_t step;
};

}  // namespace vexal
