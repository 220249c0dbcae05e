#include "record/GraphSnapshot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "record/DataFiles.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

TEST(GraphSnapshotTest, StampIsYearMonthDayHourMinuteInTwoDigitsEach) {
  EXPECT_EQ(SnapshotStamp({2024, 8, 15, 14, 30}), "2408151430");
  EXPECT_EQ(SnapshotStamp({2024, 8, 15, 9, 5}), "2408150905");
  EXPECT_EQ(SnapshotStamp({2000, 1, 2, 0, 0}), "0001020000");
  EXPECT_EQ(SnapshotStamp({2099, 12, 31, 23, 59}), "9912312359");
}

TEST(GraphSnapshotTest, FileNamesInTheFolder) {
  const std::string folder = snapshotFolderIn("/home/tester");
  EXPECT_EQ(folder, "/home/tester/TestGraph/");
  EXPECT_EQ(snapshotFolderIn("/root/"), "/root/TestGraph/");
  EXPECT_EQ(activeSnapshotPath(folder, "2408151430", "1"),
            "/home/tester/TestGraph/2408151430page1.bmp");
  EXPECT_EQ(activeSnapshotPath(folder, "2408150905", "12"),
            "/home/tester/TestGraph/2408150905page12.bmp");
  EXPECT_EQ(wholeSnapshotPath(folder, "2408151430"),
            "/home/tester/TestGraph/2408151430Fullpage.bmp");
  EXPECT_EQ(snapshotSavedText("/x/2408151430page1.bmp"),
            "graphic has saved on /x/2408151430page1.bmp");
}

TEST(GraphSnapshotTest, FolderFollowsTheHomeFolder) {
  const char *before = std::getenv("HOME");
  const std::string saved = before ? before : "";
  ::setenv("HOME", "/tmp/somebody", 1);
  EXPECT_EQ(snapshotFolder(), "/tmp/somebody/TestGraph/");
  ::setenv("HOME", saved.c_str(), 1);
}

class WriteReplacingTest : public ::testing::Test {
 protected:
  WriteReplacingTest() {
    dir = fs::temp_directory_path() / ("graph_snapshot_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~WriteReplacingTest() override { fs::remove_all(dir); }

  static std::string contentOf(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::size_t entries(const fs::path &p) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(p), {}));
  }
  fs::path dir;
};

TEST_F(WriteReplacingTest, WritesAndReplacesWithoutLeavingATemporaryFile) {
  const std::string path = (dir / "a.bmp").string();
  writeFileReplacing(path, std::string("first\0bytes", 11));
  EXPECT_EQ(contentOf(path), std::string("first\0bytes", 11));
  writeFileReplacing(path, "second");
  EXPECT_EQ(contentOf(path), "second");
  EXPECT_EQ(entries(dir), 1u);
}

TEST_F(WriteReplacingTest, AMissingFolderFailsWithTheSystemsReasonAndLeavesNothing) {
  const std::string path = (dir / "TestGraph" / "2408151430page1.bmp").string();
  try {
    writeFileReplacing(path, "x");
    FAIL() << "no error";
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + path + "\". No such file or directory");
  }
  EXPECT_FALSE(fs::exists(dir / "TestGraph"));
  EXPECT_EQ(entries(dir), 0u);
}

TEST_F(WriteReplacingTest, AFolderInTheWayOfTheNameFailsAndKeepsTheFolder) {
  fs::create_directories(dir / "taken.bmp");
  EXPECT_THROW(writeFileReplacing((dir / "taken.bmp").string(), "x"), EFileError);
  EXPECT_TRUE(fs::is_directory(dir / "taken.bmp"));
  EXPECT_EQ(entries(dir), 1u);  // the temporary file went again
}

}  // namespace
}  // namespace vexal
