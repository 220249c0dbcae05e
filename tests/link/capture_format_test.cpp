#include "link/CaptureFormat.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

std::vector<std::uint8_t> bytesOf(const CaptureItem &item) {
  return std::get<CaptureReport>(item).data;
}

TEST(CaptureFormat, ReportsInTheToleratedForms) {
  const std::vector<std::uint8_t> expected{0xF3, 0xAB, 0x0D};
  for (const char *line : {"R 00  F3 AB 0D ", "R 00  F3 AB 0D", "R 00 f3   ab 0d\r",
                           "  R\t00  F3 AB 0D  "})
    EXPECT_EQ(bytesOf(parseCaptureLine(line)), expected) << line;
  auto empty = parseCaptureLine("R 7F");
  EXPECT_EQ(std::get<CaptureReport>(empty).reportId, 0x7F);
  EXPECT_TRUE(std::get<CaptureReport>(empty).data.empty());
}

TEST(CaptureFormat, WaitsCommentsAndErrors) {
  EXPECT_EQ(std::get<CaptureWait>(parseCaptureLine("W 250")).ms, 250u);
  EXPECT_TRUE(std::holds_alternative<CaptureNothing>(parseCaptureLine("   # note")));
  EXPECT_TRUE(std::holds_alternative<CaptureNothing>(parseCaptureLine("")));
  for (const char *bad : {"R", "R 0", "R 00  F", "R 00  FFF", "W", "W x", "W 1 2", "Q 00"})
    EXPECT_TRUE(std::holds_alternative<CaptureError>(parseCaptureLine(bad))) << bad;
}

TEST(CaptureFormat, WrittenFormReadsBack) {
  const std::uint8_t data[] = {0xF7, 0x00, 0x0A};
  std::string line = formatCaptureReport(0x05, data, 3);
  EXPECT_EQ(line, "R 05  F7 00 0A ");
  auto item = parseCaptureLine(line);
  EXPECT_EQ(std::get<CaptureReport>(item).reportId, 5);
  EXPECT_EQ(bytesOf(item), std::vector<std::uint8_t>(data, data + 3));
}

}  // namespace
}  // namespace vexal
