#include "link/FrameAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexal {
namespace {

class FrameAssemblerTest : public ::testing::Test {
 protected:
  FrameAssembler assembler;
  std::vector<std::string> frames;

  void report(std::vector<std::uint8_t> data, std::uint8_t id = 0) {
    if (auto frame = assembler.ReadLusk(id, data.data(), static_cast<std::uint16_t>(data.size())))
      frames.push_back(*frame);
  }
  void idle() { report({0x00}); }
  // The 22 bytes of one transmission: 20 bytes of segment memory and CR LF.
  static std::vector<std::uint8_t> transmission(std::uint8_t fill = 0x11) {
    std::vector<std::uint8_t> t(20, fill);
    t.push_back(0x0D);
    t.push_back(0x0A);
    return t;
  }
  void send(const std::vector<std::uint8_t> &bytes, std::size_t chunk = 7) {
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
      std::size_t n = std::min(chunk, bytes.size() - i);
      std::vector<std::uint8_t> r{static_cast<std::uint8_t>(0xF0 | n)};
      r.insert(r.end(), bytes.begin() + i, bytes.begin() + i + n);
      report(r);
    }
  }
};

TEST_F(FrameAssemblerTest, FourReportsAndOneIdleGiveOneFrame) {
  send(transmission());  // 7 + 7 + 7 + 1
  EXPECT_TRUE(frames.empty());
  idle();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], std::string(40, '1') + "0D0A");
  idle();
  idle();
  EXPECT_EQ(frames.size(), 1u);
  EXPECT_TRUE(assembler.FrameBuffer().empty());
  EXPECT_FALSE(assembler.FrameInProgress());
}

TEST_F(FrameAssemblerTest, OnlyTheLowNibbleCountsAndHexIsUppercase) {
  report({0xF3, 0xAB, 0xCD, 0xEF, 0x99});
  EXPECT_EQ(assembler.FrameBuffer(), "ABCDEF");
  EXPECT_TRUE(assembler.FrameInProgress());
}

TEST_F(FrameAssemblerTest, NoDataReportsByCountOrSize) {
  for (std::uint8_t count : {0x00, 0xF0, 0x0A, 0xFF}) {
    send(transmission());
    report({count, 0x12, 0x34});
    EXPECT_EQ(assembler.FrameBuffer(), "") << int(count);
  }
  EXPECT_EQ(frames.size(), 4u);
  send(transmission());
  report({});  // Size 0
  EXPECT_EQ(frames.size(), 5u);
}

TEST_F(FrameAssemblerTest, CountBeyondTheReportAppendsWhatIsThere) {
  report({0x09, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(assembler.FrameBuffer(), "01020304050607");
  report({0x05});  // Size 1: starts nothing new but keeps the transmission going
  EXPECT_EQ(assembler.FrameBuffer(), "01020304050607");
  EXPECT_TRUE(assembler.FrameInProgress());
}

TEST_F(FrameAssemblerTest, TransmissionWithoutLineEndInPlaceIsDropped) {
  auto t = transmission();
  t.erase(t.begin());  // 21 bytes: CR LF at characters 39 to 42
  send(t);
  idle();
  EXPECT_TRUE(frames.empty());
  EXPECT_TRUE(assembler.FrameBuffer().empty());
  // Starting in the middle of a transmission loses it, the next one is whole.
  send({0x22, 0x0D, 0x0A});
  idle();
  send(transmission());
  idle();
  ASSERT_EQ(frames.size(), 1u);
}

TEST_F(FrameAssemblerTest, TwoTransmissionsWithoutIdleGiveOneLongFrame) {
  auto two = transmission(0x11);
  auto second = transmission(0x22);
  two.insert(two.end(), second.begin(), second.end());
  send(two);
  idle();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].size(), 88u);
  EXPECT_EQ(frames[0].substr(40, 4), "0D0A");
}

// A faulty cable that never sends a report without data: the buffer stays small, and the
// first transmission after the cable goes idle again is a frame of its own.
TEST_F(FrameAssemblerTest, CableThatNeverGoesIdleCostsNoMemoryNorTheNextFrame) {
  std::vector<std::uint8_t> noise(9, 0x5A);
  for (int i = 0; i < 200'000; ++i) {
    send(noise, 9);
    ASSERT_LE(assembler.FrameBuffer().size(), kFrameTextLimit) << "after report " << i;
  }
  // 44 characters without the line end can never become a frame: dropped at once.
  EXPECT_LT(assembler.FrameBuffer().size(), 44u);
  idle();
  send(transmission(0x44));
  idle();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], std::string(40, '4') + "0D0A");
}

TEST_F(FrameAssemblerTest, WholeTransmissionsWithoutIdleStopGrowingAtTheLimit) {
  for (int i = 0; i < 10'000; ++i) send(transmission(0x11));
  EXPECT_EQ(assembler.FrameBuffer().size(), kFrameTextLimit);
  idle();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].substr(0, 44), std::string(40, '1') + "0D0A");
  send(transmission(0x22));
  idle();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], std::string(40, '2') + "0D0A");
}

TEST_F(FrameAssemblerTest, TextWithoutLineEndIsDroppedWhenItReaches44Characters) {
  std::vector<std::uint8_t> bytes(21, 0x11);
  send(bytes);
  EXPECT_EQ(assembler.FrameBuffer().size(), 42u);
  report({0x01, 0x0D});
  EXPECT_TRUE(assembler.FrameBuffer().empty());
  EXPECT_TRUE(assembler.FrameInProgress());
  idle();
  EXPECT_TRUE(frames.empty());
}

TEST_F(FrameAssemblerTest, ReportIdNeverMatters) {
  for (std::uint8_t id : {0x00, 0x01, 0xFF}) {
    auto t = transmission();
    std::vector<std::uint8_t> r{0x07};
    r.insert(r.end(), t.begin(), t.begin() + 7);
    report(r, id);
  }
  EXPECT_EQ(assembler.FrameBuffer().size(), 42u);
}

// Whatever the receiver of a frame then does (it may fail), the assembler is already clean.
TEST(FrameAssemblerStandalone, FrameIsHandedOverWithTheBufferEmpty) {
  FrameAssembler a;
  std::vector<std::uint8_t> bytes(20, 0x33);
  bytes.push_back(0x0D);
  bytes.push_back(0x0A);
  auto sendAll = [&] {
    for (std::size_t i = 0; i < bytes.size(); i += 7) {
      std::size_t n = std::min<std::size_t>(7, bytes.size() - i);
      std::vector<std::uint8_t> r{static_cast<std::uint8_t>(n)};
      r.insert(r.end(), bytes.begin() + i, bytes.begin() + i + n);
      EXPECT_FALSE(a.ReadLusk(0, r.data(), static_cast<std::uint16_t>(r.size())));
    }
  };
  const std::uint8_t idleReport[] = {0};
  sendAll();
  const auto first = a.ReadLusk(0, idleReport, 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), 44u);
  EXPECT_TRUE(a.FrameBuffer().empty());
  EXPECT_FALSE(a.FrameInProgress());
  // The next transmission is a frame of its own, not glued to the first.
  sendAll();
  EXPECT_EQ(a.FrameBuffer().size(), 44u);
  EXPECT_EQ(a.ReadLusk(0, idleReport, 1), first);
}

}  // namespace
}  // namespace vexal
