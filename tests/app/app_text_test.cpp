// Texts of the error boxes, the file-type lists of the file dialogs and the process clock.
#include <gtest/gtest.h>

#include "app/FileFilter.h"
#include "app/ProcessClock.h"
#include "common/ErrorText.h"

namespace vexal {
namespace {

TEST(FullStopRule, AppendsAfterCharactersThatSortAfterFullStop) {
  EXPECT_EQ(withFullStop("'99999999999' is not a valid integer value"),
            "'99999999999' is not a valid integer value.");
  EXPECT_EQ(withFullStop("code 7"), "code 7.");  // '7' sorts after '.'
  EXPECT_EQ(withFullStop("Cannot create file \"/x/y.xml\". No such file or directory"),
            "Cannot create file \"/x/y.xml\". No such file or directory.");
  // UTF-8 bytes of a non-ASCII last character compare above '.'.
  EXPECT_EQ(withFullStop("100 G\xCE\xA9"), "100 G\xCE\xA9.");
}

TEST(FullStopRule, LeavesMessagesEndingAtOrBeforeFullStop) {
  EXPECT_EQ(withFullStop("Done."), "Done.");
  EXPECT_EQ(withFullStop("Failed!"), "Failed!");
  EXPECT_EQ(withFullStop("(code 3)"), "(code 3)");
  EXPECT_EQ(withFullStop("a-"), "a-");
  EXPECT_EQ(withFullStop("path/"), "path/.");  // '/' is the character after '.'
  EXPECT_EQ(withFullStop(""), "");
}

TEST(RepeatedErrorFilter, LetsEachDistinctMessageThroughOnce) {
  RepeatedErrorFilter filter;
  EXPECT_TRUE(filter.shouldShow("'x' is not a valid integer value"));
  EXPECT_FALSE(filter.shouldShow("'x' is not a valid integer value"));
  EXPECT_FALSE(filter.shouldShow("'x' is not a valid integer value"));
  EXPECT_TRUE(filter.shouldShow("'y' is not a valid integer value"));
  EXPECT_TRUE(filter.shouldShow("'x' is not a valid integer value"));
  filter.reset();
  EXPECT_TRUE(filter.shouldShow("'x' is not a valid integer value"));
}

TEST(FileTypeList, ParsesDescriptionsAndPatterns) {
  const auto entries =
      parseFileTypeList("Excel File(*.xls)|*.xls|XML (*.xml)|*.xml|Data|*.txt;*.csv|Odd");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].description, "Excel File(*.xls)");
  EXPECT_EQ(entries[0].patterns, std::vector<std::string>{"*.xls"});
  EXPECT_EQ(entries[1].description, "XML (*.xml)");
  EXPECT_EQ(entries[2].patterns, (std::vector<std::string>{"*.txt", "*.csv"}));
  EXPECT_EQ(entries[3].description, "Odd");
  EXPECT_TRUE(entries[3].patterns.empty());
  EXPECT_TRUE(parseFileTypeList("").empty());
}

TEST(FileTypeList, KeepsDescriptionsThatAlreadyNameTheirPatterns) {
  EXPECT_EQ(dialogNameFilters("Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt"),
            (std::vector<std::string>{"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)"}));
  EXPECT_EQ(dialogNameFilters("XML (*.xml)|*.xml"), std::vector<std::string>{"XML (*.xml)"});
  EXPECT_EQ(dialogNameFilters("Data|*.txt;*.csv"), std::vector<std::string>{"Data (*.txt *.csv)"});
  EXPECT_EQ(dialogNameFilters("Excel|*.xls"), std::vector<std::string>{"Excel (*.xls)"});
}

TEST(ProcessClock, ReadsStartTimeAfterTheCommandName) {
  // Field 22 is the start time; the command name may hold blanks and parentheses.
  const std::string fields = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 424242 19 20\n";
  EXPECT_EQ(startTicksFromStat("1234 (vexal)" + fields), 424242);
  EXPECT_EQ(startTicksFromStat("1234 (a) b (c)" + fields), 424242);
  EXPECT_EQ(startTicksFromStat("1234 (vexal) S 1 2 3"), std::nullopt);
  EXPECT_EQ(startTicksFromStat("no parenthesis"), std::nullopt);
  EXPECT_EQ(startTicksFromStat("1 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 4x2"),
            std::nullopt);
}

TEST(ProcessClock, MeasuresThisProcess) {
  const auto first = msSinceProcessStart();
  ASSERT_TRUE(first.has_value());
  EXPECT_GE(*first, -10.0);  // one clock tick of rounding
  EXPECT_LT(*first, 10 * 60 * 1000.0);
  const auto later = msSinceProcessStart();
  ASSERT_TRUE(later.has_value());
  EXPECT_GE(*later, *first);
}

}  // namespace
}  // namespace vexal
