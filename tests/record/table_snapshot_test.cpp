// Snapshots of the reading table: the rows held when it was taken, whatever the table does
// afterwards.
#include <gtest/gtest.h>

#include "record/ReadingTable.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::makeRow;

ReadingTable tableOf(int rows, const std::string &unit = "V") {
  ReadingTable t;
  for (int i = 1; i <= rows; ++i)
    t.appendRow(makeRow(i, i * 1000, std::to_string(i * 10), unit, "DCV  600V", "Continuous"));
  return t;
}

TEST(TableSnapshot, KeepsItsRowCountWhileRowsAreAppended) {
  ReadingTable t = tableOf(3);
  TableSnapshot s = t.snapshot();
  t.appendRow(makeRow(4, 4000, "40", "new unit", "new range", "new mode"));
  ASSERT_EQ(s.rowCount(), 3u);
  EXPECT_EQ(*s.view(2).no, 3);
  EXPECT_EQ(*s.view(2).value, "30");
  EXPECT_EQ(t.rowCount(), 4u);
}

TEST(TableSnapshot, SurvivesTheTableBeingCleared) {
  ReadingTable t = tableOf(50);
  TableSnapshot s = t.snapshot();
  t.clear();
  t.appendRow(makeRow(99, 0, "other", "MΩ", "x", "y"));
  ASSERT_EQ(s.rowCount(), 50u);
  for (int i = 0; i < 50; ++i) {
    const TableRowView v = s.view(static_cast<std::size_t>(i));
    EXPECT_EQ(*v.no, i + 1);
    EXPECT_EQ(*v.unit, "V");
    EXPECT_EQ(*v.iRange, "Continuous");
  }
  EXPECT_EQ(t.rowCount(), 1u);
  EXPECT_EQ(*t.view(0).unit, "MΩ");
}

TEST(TableSnapshot, SurvivesTheTableBeingReplaced) {
  ReadingTable t = tableOf(5, "GΩ");
  TableSnapshot s = t.snapshot();
  ReadingTable other = tableOf(2, "V");
  t.replaceWith(std::move(other));
  ASSERT_EQ(s.rowCount(), 5u);
  EXPECT_EQ(*s.view(4).unit, "GΩ");
  EXPECT_EQ(*s.view(4).no, 5);
  EXPECT_EQ(t.rowCount(), 2u);
  EXPECT_EQ(*t.view(1).unit, "V");
  // The table given up is empty and still usable.
  other.appendRow(makeRow(1, 1, "1", "A"));
  EXPECT_EQ(other.rowCount(), 1u);
  EXPECT_EQ(*other.view(0).unit, "A");
}

TEST(TableSnapshot, KeepsMissingFieldsMissing) {
  ReadingTable t;
  t.appendRow(makeRow(std::nullopt, std::nullopt, std::nullopt));
  TableSnapshot s = t.snapshot();
  const TableRowView v = s.view(0);
  EXPECT_FALSE(v.no);
  EXPECT_FALSE(v.timeMs);
  EXPECT_FALSE(v.value);
  EXPECT_FALSE(v.unit);
}

TEST(TableSnapshot, OfAnEmptyTableHasNoRows) {
  ReadingTable t;
  TableSnapshot s = t.snapshot();
  t.appendRow(makeRow(1, 1, "1"));
  EXPECT_EQ(s.rowCount(), 0u);
  EXPECT_EQ(TableSnapshot().rowCount(), 0u);
}

}  // namespace
}  // namespace vexal
