#include "record/TimeOfDay.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(TimeOfDay, TheWrittenFormReadsBack) {
  // The test runs in whatever locale CTest gives it; the round trip must hold in any.
  for (std::int32_t ms : {0, 1000, 45'296'000, kMsPerDay - 1000}) {
    std::string text = formatLongTime(ms);
    EXPECT_EQ(parseTimeOfDay(text), ms) << text;
  }
  EXPECT_EQ(longTimeFormat().find("%Z"), std::string::npos);
  EXPECT_EQ(longTimeFormat().find("%z"), std::string::npos);
}

TEST(TimeOfDay, AcceptedAndRefusedTexts) {
  EXPECT_EQ(parseTimeOfDay("1:02:03"), 3'723'000);
  EXPECT_EQ(parseTimeOfDay(" 13:02 "), (13 * 60 + 2) * 60'000);
  EXPECT_EQ(parseTimeOfDay("13:02:03.5"), (13 * 3600 + 2 * 60 + 3) * 1000 + 500);
  EXPECT_EQ(parseTimeOfDay("1:02:03 PM"), (13 * 3600 + 2 * 60 + 3) * 1000);
  EXPECT_EQ(parseTimeOfDay("12:00:00 AM"), 0);
  EXPECT_EQ(parseTimeOfDay("1:2:3"), 3'723'000);  // the locale form allows single digits
  for (const char *bad : {"", "NULL", "24:00:00", "12:60:00", "12:00:61", "12",
                          "13:00:00 PM", "12:00:00 XX", "99999999999:00"})
    EXPECT_FALSE(parseTimeOfDay(bad).has_value()) << bad;
}

}  // namespace
}  // namespace vexal
