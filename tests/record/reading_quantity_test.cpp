#include "record/ReadingQuantity.h"

#include <gtest/gtest.h>

#include <string>

#include "common/Cp936.h"

namespace vexal {
namespace {

const std::string kOhmText(kOhm);

TEST(ReadingNumberTest, DigitsWithOnePointOrComma) {
  EXPECT_EQ(readingNumber("12.34"), 12.34);
  EXPECT_EQ(readingNumber("12,34"), 12.34);
  EXPECT_EQ(readingNumber("-0.56"), -0.56);
  EXPECT_EQ(readingNumber("7."), 7.0);
  EXPECT_EQ(readingNumber(".5"), 0.5);
  EXPECT_EQ(readingNumber(",5"), 0.5);
  EXPECT_EQ(readingNumber("-.5"), -0.5);
  EXPECT_EQ(readingNumber("0000"), 0.0);
}

TEST(ReadingNumberTest, AnythingElseHasNoNumber) {
  for (const char *text : {"L", "", "-", ".", ",", "-.", "1.2.3", "1,2.3", " 12", "12 ", "1e3",
                           "inf", "nan", "+5", "--1", "1-", "0x10", "12\xA6\xB8", "OL"})
    EXPECT_FALSE(readingNumber(text).has_value()) << text;
}

TEST(ReadingQuantityTest, ResistanceInOhmsAndVoltageInVolts) {
  EXPECT_EQ(readingQuantity("470", kOhmText), (Quantity{QuantityKind::Resistance, 470.0}));
  EXPECT_EQ(readingQuantity("994.9", "M" + kOhmText),
            (Quantity{QuantityKind::Resistance, 994.9e6}));
  EXPECT_EQ(readingQuantity("1.050", "G" + kOhmText),
            (Quantity{QuantityKind::Resistance, 1.050e9}));
  EXPECT_EQ(readingQuantity("-230,5", "V"), (Quantity{QuantityKind::Voltage, -230.5}));
}

TEST(ReadingQuantityTest, OtherUnitsOrNoNumberGiveNothing) {
  EXPECT_FALSE(readingQuantity("L", "G" + kOhmText));
  EXPECT_FALSE(readingQuantity(std::nullopt, "V"));
  EXPECT_FALSE(readingQuantity("12", std::nullopt));
  // The UTF-8 ohm sign is not how the table stores it.
  for (const char *unit : {"", "mV", "kV", "k\xA6\xB8", "\xCE\xA9", "M\xCE\xA9", "v", "V "})
    EXPECT_FALSE(readingQuantity("12", std::string(unit))) << unit;
}

}  // namespace
}  // namespace vexal
