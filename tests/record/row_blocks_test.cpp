// The reading table's row storage: records across the small first block and the large
// ones, cutting back, copying the first rows, and records that never move while appending.
#include "record/RowBlocks.h"

#include <gtest/gtest.h>

#include <cstdint>

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
// Past the small block and two large ones, into a third.
const std::size_t kMany = Blocks::kSmallRows + 2 * Blocks::kLargeRows + 5;

TEST(RowBlocks, HoldsEveryRecordAcrossTheBlocks) {
  Blocks blocks;
  EXPECT_TRUE(blocks.empty());
  for (std::size_t i = 0; i < kMany; ++i) blocks.push_back(recordFor(i));
  ASSERT_EQ(blocks.size(), kMany);
  for (std::size_t i = 0; i < kMany; ++i) ASSERT_TRUE(same(blocks[i], i)) << i;
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
  for (std::size_t keep : {kMany, Blocks::kSmallRows + Blocks::kLargeRows + 1,
                           Blocks::kSmallRows + 1, Blocks::kSmallRows, std::size_t{3}}) {
    blocks.resize(keep);
    ASSERT_EQ(blocks.size(), keep);
    EXPECT_TRUE(same(blocks[keep - 1], keep - 1));
    // Appending after a cut goes on from there.
    blocks.push_back(recordFor(keep));
    EXPECT_TRUE(same(blocks[keep], keep));
    blocks.resize(keep);
  }
  blocks.resize(0);
  EXPECT_TRUE(blocks.empty());
  blocks.push_back(recordFor(9));
  EXPECT_TRUE(same(blocks[0], 9));

  Blocks source;
  for (std::size_t i = 0; i < Blocks::kSmallRows + 10; ++i) source.push_back(recordFor(i));
  const Blocks copy(source, Blocks::kSmallRows + 2);
  ASSERT_EQ(copy.size(), Blocks::kSmallRows + 2);
  for (std::size_t i = 0; i < copy.size(); ++i) ASSERT_TRUE(same(copy[i], i));
  EXPECT_NE(&copy[0], &source[0]);
}

}  // namespace
}  // namespace vexal
