// The reading table's row storage: records across the growing first blocks and the large
// ones, what a small store costs, cutting back, copying the first rows, and records that never
// move while appending.
#include "record/RowBlocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>

namespace vexal {
namespace {

struct Record {
  std::uint32_t a;
  std::uint32_t b;
  char text[32];
};

Record recordFor(std::size_t i) {
  Record r{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i * 7), {}};
  r.text[i % sizeof r.text] = static_cast<char>('a' + i % 26);
  return r;
}

bool same(const Record &r, std::size_t i) {
  const Record e = recordFor(i);
  return r.a == e.a && r.b == e.b && r.text[i % sizeof r.text] == e.text[i % sizeof e.text];
}

using Blocks = RowBlocks<Record>;
// Past the growing blocks and two large ones, into a third.
const std::size_t kMany = Blocks::kGrowingRows + 2 * Blocks::kLargeRows + 5;

// Counts on either side of where one block ends and the next begins.
const std::size_t kFirst = Blocks::kFirstRows, kGrowing = Blocks::kGrowingRows,
                  kLarge = Blocks::kLargeRows;
const std::size_t kAroundBoundaries[] = {1,
                                         kFirst - 1,
                                         kFirst,
                                         kFirst + 1,
                                         3 * kFirst - 1,
                                         3 * kFirst,
                                         3 * kFirst + 1,
                                         7 * kFirst - 1,
                                         7 * kFirst,
                                         7 * kFirst + 1,
                                         kGrowing - 1,
                                         kGrowing,
                                         kGrowing + 1,
                                         kGrowing + kLarge,
                                         kGrowing + kLarge + 1,
                                         kMany};

TEST(RowBlocks, HoldsEveryRecordInOrderAcrossTheBlocks) {
  for (std::size_t count : kAroundBoundaries) {
    Blocks blocks;
    EXPECT_TRUE(blocks.empty());
    for (std::size_t i = 0; i < count; ++i) blocks.push_back(recordFor(i));
    ASSERT_EQ(blocks.size(), count);
    std::size_t i = 0;
    for (const Record &r : blocks) ASSERT_TRUE(same(r, i++)) << count << " records, #" << i - 1;
    ASSERT_TRUE(same(blocks[count - 1], count - 1)) << count;
  }
}

// A store costs about what it holds: its first few records take one small block, and a
// growing store never holds more than twice its records plus one block.
TEST(RowBlocks, ReservesAboutWhatItHolds) {
  Blocks empty;
  EXPECT_EQ(empty.reservedBytes(), 0u);
  for (std::size_t count : kAroundBoundaries) {
    Blocks blocks;
    for (std::size_t i = 0; i < count; ++i) blocks.push_back(recordFor(i));
    const std::size_t held = count * sizeof(Record);
    EXPECT_GE(blocks.reservedBytes(), held) << count;
    if (count <= kFirst) {
      EXPECT_LE(blocks.reservedBytes(), kFirst * sizeof(Record)) << count;
    }
    const std::size_t slack = count < Blocks::kGrowingRows ? held : std::size_t{2} << 20;
    EXPECT_LE(blocks.reservedBytes(), held + slack + kFirst * sizeof(Record)) << count;
  }
}

TEST(RowBlocks, RecordsStayWhereTheyAreWhileMoreAreAppended) {
  Blocks blocks;
  blocks.push_back(recordFor(0));
  const Record *first = &blocks[0];
  for (std::size_t i = 1; i < kMany; ++i) blocks.push_back(recordFor(i));
  EXPECT_EQ(first, &blocks[0]);
  EXPECT_TRUE(same(*first, 0));
}

TEST(RowBlocks, CuttingBackAndCopyingTheFirstRecords) {
  Blocks blocks;
  for (std::size_t i = 0; i < kMany; ++i) blocks.push_back(recordFor(i));
  for (auto it = std::rbegin(kAroundBoundaries); it != std::rend(kAroundBoundaries); ++it) {
    const std::size_t keep = *it;
    blocks.resize(keep);
    ASSERT_EQ(blocks.size(), keep);
    EXPECT_TRUE(same(blocks[keep - 1], keep - 1));
    // Appending after a cut goes on from there, into the block that follows when it is full.
    blocks.push_back(recordFor(keep));
    blocks.push_back(recordFor(keep + 1));
    EXPECT_TRUE(same(blocks[keep - 1], keep - 1)) << keep;
    EXPECT_TRUE(same(blocks[keep], keep)) << keep;
    EXPECT_TRUE(same(blocks[keep + 1], keep + 1)) << keep;
    blocks.resize(keep);
  }
  blocks.resize(0);
  EXPECT_TRUE(blocks.empty());
  blocks.push_back(recordFor(9));
  EXPECT_TRUE(same(blocks[0], 9));

  Blocks source;
  for (std::size_t i = 0; i < Blocks::kGrowingRows + 10; ++i) source.push_back(recordFor(i));
  const Blocks copy(source, Blocks::kGrowingRows + 2);
  ASSERT_EQ(copy.size(), Blocks::kGrowingRows + 2);
  for (std::size_t i = 0; i < copy.size(); ++i) ASSERT_TRUE(same(copy[i], i));
  EXPECT_NE(&copy[0], &source[0]);
}

}  // namespace
}  // namespace vexal
