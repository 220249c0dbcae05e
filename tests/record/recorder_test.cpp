#include "record/Recorder.h"

#include <gtest/gtest.h>

#include "decode/FrameDecoder.h"
#include "support/FixedClock.h"

namespace vexal {
namespace {

class RecorderTest : public ::testing::Test {
 protected:
  ReadingTable table;
  Reading reading;
  FixedClock clock{3'600'000};
  Recorder recorder{table, reading, clock};

  bool record(const std::string &value) {
    reading.ValueText = value;
    return recorder.INDataToTable(1);
  }
};

TEST_F(RecorderTest, StartUpStateAndOneRow) {
  EXPECT_EQ(recorder.RecordNo, 1);
  EXPECT_EQ(recorder.MaxRecords, 10000);
  EXPECT_TRUE(recorder.repeatSet());
  EXPECT_FALSE(recorder.recordSI());
  EXPECT_EQ(recorder.recordSITimeText(), "10");
  reading.UnitText = "M" + std::string(kOhm);
  reading.ModeText = "PI";
  ASSERT_TRUE(record("12.34"));
  ASSERT_EQ(table.rowCount(), 1u);
  TableRow row = table.row(0);
  EXPECT_EQ(row.no, 1);
  EXPECT_EQ(row.timeMs, 3'600'000);
  EXPECT_EQ(row.value, "12.34");
  EXPECT_EQ(row.unit, "M" + std::string(kOhm));
  EXPECT_EQ(row.vRange, reading.FunctionText);
  EXPECT_EQ(row.iRange, "PI");
  EXPECT_EQ(recorder.RecordNo, 2);
  EXPECT_EQ(recorder.LastRecordedValue, "12.34");
  EXPECT_FALSE(recorder.INDataToTable(0));
  EXPECT_FALSE(recorder.INDataToTable(2));
  EXPECT_EQ(table.rowCount(), 1u);
}

TEST_F(RecorderTest, EmptyTextsAreHeldAsNoValue) {
  reading.UnitText.clear();
  ASSERT_TRUE(record(""));
  EXPECT_FALSE(table.row(0).value.has_value());
  EXPECT_FALSE(table.row(0).unit.has_value());
}

TEST_F(RecorderTest, LimitStopsAndResumes) {
  recorder.setLimit(RecordLimit::k1000);
  for (int i = 0; i < 1500; ++i) record("1");
  EXPECT_EQ(table.rowCount(), 1000u);  // number 1000 is still recorded, 1001 not
  recorder.setLimit(RecordLimit::k10000);
  EXPECT_TRUE(record("1"));
  EXPECT_EQ(table.row(1000).no, 1001);
  recorder.setLimit(RecordLimit::k1000);
  EXPECT_FALSE(record("1"));
  EXPECT_EQ(table.rowCount(), 1001u);  // choosing a lower limit keeps every row
  EXPECT_EQ(maxRecordsFor(RecordLimit::Limitless), 10'000'000);
  recorder.setLimit(RecordLimit::Limitless);
  recorder.RecordNo = 10'000'000;
  EXPECT_TRUE(record("1"));
  EXPECT_FALSE(record("1"));
}

TEST_F(RecorderTest, RepeatFilterComparesWithLastRecordedValue) {
  recorder.setRepeatSet(false);
  for (const char *v : {"A", "A", "B", "A"}) record(v);
  ASSERT_EQ(table.rowCount(), 3u);
  EXPECT_EQ(table.row(2).value, "A");
  EXPECT_TRUE(record("a"));  // case-sensitive
  // Delete Data keeps the last recorded value: an equal first reading is filtered.
  recorder.ClearData();
  EXPECT_EQ(table.rowCount(), 0u);
  EXPECT_EQ(recorder.RecordNo, 1);
  EXPECT_FALSE(record("a"));
  EXPECT_TRUE(record("b"));
  EXPECT_EQ(table.row(0).no, 1);
}

TEST_F(RecorderTest, IntervalGateAndCountdown) {
  recorder.setRecordSI(true);
  EXPECT_TRUE(record("1"));  // countdown 0 at first: recorded at once
  EXPECT_EQ(recorder.SampleInterval, 10);
  for (int t = 0; t < 9; ++t) {
    recorder.SampInterTimeTimer();
    EXPECT_FALSE(record("1"));
  }
  recorder.SampInterTimeTimer();
  EXPECT_EQ(recorder.SampleInterval, 0);
  EXPECT_TRUE(record("1"));
  EXPECT_EQ(table.rowCount(), 2u);
}

TEST_F(RecorderTest, CountdownLoadedWhileIntervalOffAndStandsStill) {
  EXPECT_TRUE(record("1"));
  EXPECT_EQ(recorder.SampleInterval, 10);
  recorder.SampInterTimeTimer();
  EXPECT_EQ(recorder.SampleInterval, 10);  // stands still while interval recording is off
  recorder.setRecordSI(true);
  EXPECT_FALSE(record("2"));
}

TEST_F(RecorderTest, FilteredReadingDoesNotReloadTheCountdown) {
  recorder.setRecordSI(true);
  recorder.setRepeatSet(false);
  recorder.RecordSITimeChange("2");
  EXPECT_EQ(recorder.SampleInterval, 2);
  recorder.SampInterTimeTimer();
  recorder.SampInterTimeTimer();
  EXPECT_TRUE(record("5"));
  recorder.SampInterTimeTimer();
  recorder.SampInterTimeTimer();
  EXPECT_FALSE(record("5"));
  EXPECT_EQ(recorder.SampleInterval, 0);
  EXPECT_TRUE(record("6"));
}

TEST_F(RecorderTest, BoxTextsThatRecordEveryReading) {
  recorder.setRecordSI(true);
  for (const char *text : {"0", "-", "+", ""}) {
    recorder.RecordSITimeChange(text);
    EXPECT_TRUE(record("1")) << text;
    EXPECT_TRUE(record("1")) << text;
  }
}

TEST_F(RecorderTest, BadBoxTextFailsAndRecordsNothing) {
  recorder.RecordSITimeChange("5");
  try {
    recorder.RecordSITimeChange("99999999999");
    FAIL() << "expected a conversion error";
  } catch (const EConvertError &e) {
    EXPECT_STREQ(e.what(), "'99999999999' is not a valid integer value");
  }
  EXPECT_EQ(recorder.SampleInterval, 5);
  EXPECT_THROW(record("1"), EConvertError);
  EXPECT_EQ(table.rowCount(), 0u);
  EXPECT_EQ(recorder.RecordNo, 1);
  EXPECT_EQ(recorder.LastRecordedValue, "");
  EXPECT_EQ(intervalFromText("2147483647"), 2147483647);
  EXPECT_THROW(intervalFromText("1a"), EConvertError);
  EXPECT_THROW(intervalFromText("+-1"), EConvertError);
}

TEST_F(RecorderTest, KeyFilter) {
  EXPECT_EQ(Recorder::RecordSITimeKeyPress('7'), '7');
  EXPECT_EQ(Recorder::RecordSITimeKeyPress('\b'), '\b');
  EXPECT_EQ(Recorder::RecordSITimeKeyPress('a'), '\0');
  EXPECT_EQ(Recorder::RecordSITimeKeyPress('-'), '\0');
}

TEST(ReadingTableTest, CutsTextsAndKeepsChangeLog) {
  ReadingTable table;
  TableRow row;
  row.no = 7;
  row.value = std::string(25, 'x');
  row.unit = "V";
  table.appendRow(row);
  table.appendRow(row);
  EXPECT_EQ(table.row(0).value->size(), 20u);
  EXPECT_EQ(table.row(1).unit, "V");
  EXPECT_FALSE(table.row(1).timeMs.has_value());
  EXPECT_FALSE(table.row(1).vRange.has_value());
  ASSERT_EQ(table.changeLog().size(), 2u);
  EXPECT_EQ(table.changeLog()[1], (ChangeLogEntry{2, 0, 4}));
  EXPECT_EQ(table.rowState(0), 4);
  table.clear();
  table.appendRow(row);
  EXPECT_EQ(table.changeLog().front(), (ChangeLogEntry{1, 0, 4}));
}

}  // namespace
}  // namespace vexal
