// The meter session without a link: reports in, what changed out.
#include "app/MeterSession.h"

#include <gtest/gtest.h>

#include "support/FixedClock.h"
#include "support/MeterFrames.h"

namespace vexal {
namespace {

struct Told : SessionObserver {
  std::vector<ReportOutcome> frames;
  std::vector<std::string> errors;
  void frameDecoded(const ReportOutcome &outcome) override { frames.push_back(outcome); }
  void errorRaised(const std::string &message) override { errors.push_back(message); }
};

class MeterSessionTest : public ::testing::Test {
 protected:
  MeterSessionTest() { session.setObserver(&told); }

  // Feeds a frame's reports; returns what the last one (the closing report) did.
  ReportOutcome feed(std::string_view hex) {
    ReportOutcome last;
    for (const auto &report : cableReportsFor(hex))
      last = session.ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
    return last;
  }

  FixedClock clock{36'000'000};
  MeterSession session{clock};
  Told told;
};

TEST_F(MeterSessionTest, AFrameFromTheCableBecomesARow) {
  const auto reports = cableReportsFor(kWorkedExampleFrame);
  for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
    const ReportOutcome partial =
        session.ReadLusk(0, reports[i].data(), static_cast<std::uint16_t>(reports[i].size()));
    EXPECT_FALSE(partial.frameDecoded || partial.holdLink);
  }
  const ReportOutcome closing =
      session.ReadLusk(0, reports.back().data(), static_cast<std::uint16_t>(1));
  EXPECT_TRUE(closing.frameDecoded);
  EXPECT_TRUE(closing.recorded);
  EXPECT_TRUE(closing.holdLink);
  ASSERT_EQ(session.cds1.rowCount(), 1u);
  EXPECT_EQ(session.cds1.text(0, Field::Value), "12.34");
  EXPECT_EQ(session.cds1.timeMs(0), 36'000'000);
  ASSERT_EQ(told.frames.size(), 1u);
  EXPECT_TRUE(told.frames[0].recorded);
  // With "Repeat" unticked the same value stays out; the frame still holds the link.
  session.recorder.setRepeatSet(false);
  const ReportOutcome again = feed(kWorkedExampleFrame);
  EXPECT_TRUE(again.holdLink);
  EXPECT_FALSE(again.recorded);
  EXPECT_EQ(session.cds1.rowCount(), 1u);
}

TEST_F(MeterSessionTest, ReportsWaitWhileTheTableIsHeldAndComeInOrder) {
  session.holdTable();
  EXPECT_FALSE(feed(kWorkedExampleFrame).frameDecoded);
  feed(kWorkedExampleFrame);
  EXPECT_EQ(session.cds1.rowCount(), 0u);
  EXPECT_TRUE(told.frames.empty());
  session.releaseTable();
  EXPECT_FALSE(session.tableHeld());
  EXPECT_EQ(session.cds1.rowCount(), 2u);
  EXPECT_EQ(told.frames.size(), 2u);
  session.releaseTable();  // releasing twice changes nothing
  EXPECT_EQ(session.cds1.rowCount(), 2u);
}

TEST_F(MeterSessionTest, ARecordingFailureIsToldOncePerTextAndTheFrameStillShows) {
  session.recorder.setRecordSI(true);
  EXPECT_THROW(session.RecordSITimeChange("1x"), EConvertError);
  // The box's own error was shown by the box; the frames failing the same way stay quiet.
  feed(kWorkedExampleFrame);
  feed(kWorkedExampleFrame);
  EXPECT_TRUE(told.errors.empty());
  EXPECT_EQ(told.frames.size(), 2u);
  EXPECT_EQ(session.reading.ValueText, "12.34");
  EXPECT_EQ(session.cds1.rowCount(), 0u);
  // Once the box held a number, a failure that only frames meet is told, once.
  session.RecordSITimeChange("0");
  EXPECT_THROW(session.recorder.RecordSITimeChange("2y"), EConvertError);  // past the session
  feed(kWorkedExampleFrame);
  feed(kWorkedExampleFrame);
  ASSERT_EQ(told.errors.size(), 1u);
  EXPECT_EQ(told.errors[0], "'2y' is not a valid integer value");
}

TEST_F(MeterSessionTest, AFrameThatDoesNotConvertIsToldAndNotRecorded) {
  std::string frame = kWorkedExampleFrame;
  frame[28] = 'G';  // character 29: the unit signs
  const ReportOutcome outcome = session.decodeFrame(frame);
  EXPECT_TRUE(outcome.frameDecoded);
  EXPECT_TRUE(outcome.holdLink);
  EXPECT_FALSE(outcome.recorded);
  ASSERT_EQ(told.errors.size(), 1u);
  EXPECT_EQ(told.errors[0], "'$G' is not a valid integer value");
  session.decodeFrame(frame);
  EXPECT_EQ(told.errors.size(), 1u);  // the same message again stays quiet
  EXPECT_EQ(session.cds1.rowCount(), 0u);
}

}  // namespace
}  // namespace vexal
