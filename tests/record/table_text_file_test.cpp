#include "record/TableTextFile.h"

#include <gtest/gtest.h>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::at;
using test_rows::makeRow;

const std::string kHeaderLine = "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
const std::string kMegaOhm = "M" + std::string(kOhm);
const std::string kIr500 = "IR:500V 20G" + std::string(kOhm);

// ------------------------------------------------------------------ writing

TEST(TableTextWriter, EmptyTableIsTheHeaderLineAlone) {
  ReadingTable table;
  EXPECT_EQ(tableToText(table), kHeaderLine);
}

TEST(TableTextWriter, RowFieldsInOrderWithTabsAndCrLf) {
  ReadingTable table;
  table.appendRow(makeRow(12, at(13, 5, 9, 250), "1.234", kMegaOhm, kIr500, "Continuous"));
  table.appendRow(makeRow(-7, at(0, 0, 1), "L", "G" + std::string(kOhm), "ACV  600V", "PI"));
  std::string expected = kHeaderLine + "12\t" + formatLongTime(at(13, 5, 9)) + "\t1.234\t" +
                         kMegaOhm + "\t" + kIr500 + "\tContinuous\r\n" + "-7\t" +
                         formatLongTime(at(0, 0, 1)) + "\tL\tG" + std::string(kOhm) +
                         "\tACV  600V\tPI\r\n";
  EXPECT_EQ(tableToText(table), expected);
}

TEST(TableTextWriter, MissingAndEmptyFieldsAndTrimming) {
  ReadingTable table;
  // No number: empty field, never "NULL"; no time and empty texts: "NULL".
  table.appendRow(makeRow(std::nullopt, std::nullopt, "", std::nullopt, " \t\x01", "  x y  "));
  // Bytes above 127 are not blanks, even at the ends.
  table.appendRow(makeRow(0, at(1, 2, 3), std::string(kOhm) + " ", "\x1f" + kMegaOhm, "a", "\x7f"));
  std::string expected = kHeaderLine + "\tNULL\tNULL\tNULL\tNULL\tx y\r\n" + "0\t" +
                         formatLongTime(at(1, 2, 3)) + "\t" + std::string(kOhm) + "\t" + kMegaOhm +
                         "\ta\t\x7f\r\n";
  EXPECT_EQ(tableToText(table), expected);
}

TEST(TableTextWriter, ManyRowsCrossBlockBoundaries) {
  ReadingTable table;
  for (int i = 0; i < 5000; ++i)
    table.appendRow(
        makeRow(i, at(10, 0, i % 60), std::to_string(i * 3), kMegaOhm, kIr500, "Timed"));
  std::string text = tableToText(table);
  ASSERT_GT(text.size(), BlockWriter::kBlock * 2);
  std::size_t lines = 0;
  for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
  EXPECT_EQ(lines, 5001u);
  EXPECT_NE(text.find("\r\n4999\t"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\tTimed\r\n"));
}

// ------------------------------------------------------------------ reading

TEST(TableTextReader, ReadsRowsAfterTheHeaderWithStateFour) {
  ReadingTable table;
  std::string text = kHeaderLine + "1\t12:00:01\t0.5\t" + kMegaOhm + "\t" + kIr500 +
                     "\tContinuous\r\n2\t12:00:02\t0.6\tV\tDCV  600V\tTimed\r\n";
  TextReadResult r = appendTableText(text, table);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.rowsAdded, 2u);
  ASSERT_EQ(table.rowCount(), 2u);
  EXPECT_EQ(table.row(0), makeRow(1, at(12, 0, 1), "0.5", kMegaOhm, kIr500, "Continuous"));
  EXPECT_EQ(table.row(1), makeRow(2, at(12, 0, 2), "0.6", "V", "DCV  600V", "Timed"));
  EXPECT_EQ(table.rowState(0), 4);
  EXPECT_EQ(table.rowState(1), 4);
  ASSERT_EQ(table.changeLog().size(), 2u);
  EXPECT_EQ(table.changeLog()[1], (ChangeLogEntry{2, 0, 4}));
}

TEST(TableTextReader, HeaderIsSkippedWhateverItHolds) {
  ReadingTable table;
  // A file whose first line is data loses that row.
  ASSERT_TRUE(appendTableText("5\t10:00:00\ta\tb\tc\td\r\n6\t10:00:01\te\tf\tg\th\r\n", table).ok);
  ASSERT_EQ(table.rowCount(), 1u);
  EXPECT_EQ(table.no(0), 6);
}

TEST(TableTextReader, LineEndsCrLfCrOrLfAndLastLineWithoutEnd) {
  ReadingTable table;
  ASSERT_TRUE(appendTableText("h\n1\r2\r\n3\n4", table).ok);
  ASSERT_EQ(table.rowCount(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(table.no(i), i + 1);
}

TEST(TableTextReader, HeaderOnlyAndEmptyFiles) {
  ReadingTable table;
  EXPECT_TRUE(appendTableText(kHeaderLine, table).ok);
  EXPECT_TRUE(appendTableText("\r\n", table).ok);
  EXPECT_TRUE(appendTableText("no line end", table).ok);
  EXPECT_EQ(table.rowCount(), 0u);
  // A file with no lines at all fails.
  TextReadResult r = appendTableText("", table);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(table.rowCount(), 0u);
}

TEST(TableTextReader, ShortLinesLeaveTheOtherFieldsEmpty) {
  ReadingTable table;
  ASSERT_TRUE(appendTableText(kHeaderLine + "3\r\n4\t10:00:00\tv\r\n", table).ok);
  EXPECT_EQ(table.row(0),
            makeRow(3, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(table.row(1), makeRow(4, at(10, 0, 0), "v", std::nullopt, std::nullopt, std::nullopt));
}

TEST(TableTextReader, EmptyNoAndNullTimeGiveEmptyFieldsButTextNullStays) {
  ReadingTable table;
  ASSERT_TRUE(appendTableText(kHeaderLine + "\tNULL\tNULL\tNULL\tNULL\tNULL\r\n", table).ok);
  EXPECT_EQ(table.row(0), makeRow(std::nullopt, std::nullopt, "NULL", "NULL", "NULL", "NULL"));
}

TEST(TableTextReader, TextsAreKeptAsTheyAreButCutTo20Bytes) {
  ReadingTable table;
  std::string longText(25, 'x');
  ASSERT_TRUE(appendTableText(kHeaderLine + "1\t10:00:00\t a \t\t" + longText + "\t" +
                                  std::string(9, '\xA6') + "\r\n",
                              table)
                  .ok);
  EXPECT_EQ(table.row(0),
            makeRow(1, at(10, 0, 0), " a ", "", std::string(20, 'x'), std::string(9, '\xA6')));
}

TEST(TableTextReader, FailingLineKeepsEarlierRowsAndItsAssignedFields) {
  struct Case {
    std::string line;
    TableRow kept;  // the row of the failing line
  };
  const Case cases[] = {
      // "NULL" is no number, so nothing of the row is assigned.
      {"NULL\t10:00:00\ta\tb\tc\td", {}},
      {"12x\t10:00:00", {}},
      {"2147483648", {}},
      {"  ", {}},
      // An invalid time keeps the number before it.
      {"9\t25:00:00\ta",
       makeRow(9, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)},
      {"9\t\ta", makeRow(9, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)},
      // A seventh part fails after all six fields are assigned.
      {"9\t10:00:00\ta\tb\tc\td\te", makeRow(9, at(10, 0, 0), "a", "b", "c", "d")},
      {"9\t10:00:00\ta\tb\tc\td\t", makeRow(9, at(10, 0, 0), "a", "b", "c", "d")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    ReadingTable table;
    std::string text = kHeaderLine + "1\t10:00:00\tok\r\n" + c.line + "\r\n3\t10:00:00\tnever\r\n";
    TextReadResult r = appendTableText(text, table);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedLine, 3u);
    EXPECT_EQ(r.rowsAdded, 2u);
    ASSERT_EQ(table.rowCount(), 2u);
    EXPECT_EQ(table.text(0, Field::Value), "ok");
    EXPECT_EQ(table.row(1), c.kept);
  }
}

TEST(TableTextReader, WhollyEmptyLineFailsAfterTheRowsBeforeIt) {
  ReadingTable table;
  TextReadResult r = appendTableText(kHeaderLine + "1\t10:00:00\r\n2\t10:00:01\r\n\r\n", table);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failedLine, 4u);
  ASSERT_EQ(table.rowCount(), 3u);
  EXPECT_EQ(table.no(1), 2);
  EXPECT_EQ(table.row(2), TableRow{});
}

TEST(TableTextReader, SameTextTwiceDoublesTheRows) {
  ReadingTable table;
  std::string text = kHeaderLine + "1\t10:00:00\ta\r\n2\t10:00:01\tb\r\n";
  ASSERT_TRUE(appendTableText(text, table).ok);
  ASSERT_TRUE(appendTableText(text, table).ok);
  ASSERT_EQ(table.rowCount(), 4u);
  EXPECT_EQ(table.row(2), table.row(0));
  EXPECT_EQ(table.row(3), table.row(1));
  EXPECT_EQ(table.changeLog().back(), (ChangeLogEntry{4, 0, 4}));
}

TEST(TableTextReader, HugeSingleLineFailsQuicklyWithoutCopies) {
  ReadingTable table;
  std::string text = kHeaderLine + "1\t" + std::string(100u << 20, '7');
  TextReadResult r = appendTableText(text, table);
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(table.rowCount(), 1u);
  EXPECT_EQ(table.no(0), 1);
}

TEST(TableTextReader, ManyTabsStopAtTheSeventhPart) {
  ReadingTable table;
  std::string text = kHeaderLine + "1\t10:00:00" + std::string(1'000'000, '\t');
  EXPECT_FALSE(appendTableText(text, table).ok);
  EXPECT_EQ(table.row(0), makeRow(1, at(10, 0, 0), "", "", "", ""));
}

// Feeds `text` in pieces of `step` bytes the way a file is read: the unused rest of each
// call is given again in front of the next piece.
TextReadResult readInPieces(const std::string &text, std::size_t step, ReadingTable &table) {
  TextTableReader reader(table);
  std::string pending;
  for (std::size_t at = 0;; at += step) {
    bool last = at >= text.size();
    if (!last) pending += text.substr(at, step);
    pending.erase(0, reader.feed(pending, last));
    if (last || !reader.result().ok) break;
  }
  return reader.result();
}

TEST(TableTextReader, PiecesOfAnySizeGiveTheSameRows) {
  const std::string texts[] = {
      kHeaderLine + "1\t10:00:00\ta\r\n2\t10:00:01\tb\r3\n\r\n4\t11:00:00\tlast",
      kHeaderLine + "1\t10:00:00\r\n\r\n5\r\n",  // fails at its empty line
      "\r", "", "header only\r\n"};
  for (const std::string &text : texts) {
    ReadingTable whole;
    TextReadResult expected = appendTableText(text, whole);
    for (std::size_t step = 1; step <= text.size() + 1; ++step) {
      SCOPED_TRACE(testing::Message() << text << " in pieces of " << step);
      ReadingTable table;
      TextReadResult r = readInPieces(text, step, table);
      EXPECT_EQ(r.ok, expected.ok);
      EXPECT_EQ(r.failedLine, expected.failedLine);
      ASSERT_EQ(table.rowCount(), whole.rowCount());
      for (std::size_t i = 0; i < table.rowCount(); ++i) EXPECT_EQ(table.row(i), whole.row(i));
    }
  }
}

// ------------------------------------------------------------------ round trip

TEST(TableTextRoundTrip, WrittenTableReadsBackWithTrimmingAndNull) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(9, 30, 15, 999), "<1&2>", kMegaOhm, "\"q\" 'a' \\", kIr500));
  table.appendRow(makeRow(2, at(23, 59, 59), "  pad  ", "", std::nullopt, "Continuous"));
  table.appendRow(makeRow(std::nullopt, std::nullopt, "x", "y", "z", "w"));
  table.appendRow(
      makeRow(-2147483647 - 1, 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt));

  ReadingTable back;
  TextReadResult r = appendTableText(tableToText(table), back);
  ASSERT_TRUE(r.ok) << "line " << r.failedLine;
  ASSERT_EQ(back.rowCount(), 4u);
  // Times lose their milliseconds in the long time format.
  EXPECT_EQ(back.row(0), makeRow(1, at(9, 30, 15), "<1&2>", kMegaOhm, "\"q\" 'a' \\", kIr500));
  EXPECT_EQ(back.row(1), makeRow(2, at(23, 59, 59), "pad", "NULL", "NULL", "Continuous"));
  EXPECT_EQ(back.row(2), makeRow(std::nullopt, std::nullopt, "x", "y", "z", "w"));
  EXPECT_EQ(back.row(3), makeRow(-2147483647 - 1, 0, "NULL", "NULL", "NULL", "NULL"));
  // Writing what was read gives the same file again.
  EXPECT_EQ(tableToText(back), tableToText(table));
}

// ------------------------------------------------------------------ helpers

TEST(TableTextHelpers, WholeNumbers) {
  EXPECT_EQ(parseWholeNumber("0"), 0);
  EXPECT_EQ(parseWholeNumber("-17"), -17);
  EXPECT_EQ(parseWholeNumber("+17"), 17);
  EXPECT_EQ(parseWholeNumber(" 42 "), 42);
  EXPECT_EQ(parseWholeNumber("2147483647"), 2147483647);
  EXPECT_EQ(parseWholeNumber("-2147483648"), -2147483647 - 1);
  for (const char *bad : {"", " ", "-", "+", "+-1", "2147483648", "-2147483649", "1.5", "1e3",
                          "0x10", "12 3", "NULL", "99999999999999999999999"})
    EXPECT_EQ(parseWholeNumber(bad), std::nullopt) << bad;
}

TEST(TableTextHelpers, Trimming) {
  EXPECT_EQ(trimControls("\x01\t x \r\n"), "x");
  EXPECT_EQ(trimControls(" \x80 "), "\x80");
  EXPECT_EQ(trimControls(" \x1f "), "");
}

}  // namespace
}  // namespace vexal
