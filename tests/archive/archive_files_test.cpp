// Where the archive is, and what is refused there: a file that is not an archive or is
// damaged is never written to; a full disk or a server that refuses says so and changes
// nothing.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ArchiveFixture.h"
#include "archive/Archive.h"
#include "archive/ArchiveEngine.h"
#include "archive/ArchiveLocation.h"
#include "support/ToolRun.h"

namespace vexal::archive_test {
namespace {

using test_tools::readFile;

TEST(ArchiveLocationTest, TheLocationNamesItsEngine) {
  const struct {
    const char *text;
    ArchiveEngineKind engine;
  } cases[] = {
      {"/home/ann/archive.sqlite", ArchiveEngineKind::Sqlite},
      {"archive.db", ArchiveEngineKind::Sqlite},
      {"./a=b.sqlite", ArchiveEngineKind::Sqlite},
      {"postgresql://vexal@db.example/archive", ArchiveEngineKind::Postgres},
      {"postgres://db/archive", ArchiveEngineKind::Postgres},
      {"service=vexal", ArchiveEngineKind::Postgres},
      {"host=db port=5432 dbname=archive", ArchiveEngineKind::Postgres},
      {" dbname = archive", ArchiveEngineKind::Postgres},
  };
  for (const auto &c : cases) EXPECT_EQ(archiveLocation(c.text).engine, c.engine) << c.text;
}

TEST(ArchiveLocationTest, PasswordsAreNeverShown) {
  const struct {
    const char *text, *shown;
  } cases[] = {
      {"postgresql://ann:s3cret@db/archive", "postgresql://ann:****@db/archive"},
      {"postgresql://db/archive?user=ann&password=s3cret&sslmode=verify-full",
       "postgresql://db/archive?user=ann&password=****&sslmode=verify-full"},
      {"host=db password=s3cret dbname=a", "host=db password=**** dbname=a"},
      {"host=db password = 'a s3cret' dbname=a", "host=db password = '****' dbname=a"},
      {"service=vexal", "service=vexal"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(describeLocation(archiveLocation(c.text)), c.shown) << c.text;
}

TEST(ArchiveLocationTest, OptionThenEnvironmentThenTheDefaultFile) {
  const char *saved[] = {std::getenv("VEXAL_ARCHIVE"), std::getenv("XDG_DATA_HOME"),
                         std::getenv("HOME")};
  const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                              saved[2] ? saved[2] : ""};
  ::setenv("VEXAL_ARCHIVE", "service=team", 1);
  ::setenv("XDG_DATA_HOME", "/data", 1);
  ::setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(chooseArchiveLocation(std::string("mine.sqlite")).text, "mine.sqlite");
  EXPECT_EQ(chooseArchiveLocation(std::nullopt),
            (ArchiveLocation{ArchiveEngineKind::Postgres, "service=team"}));
  ::unsetenv("VEXAL_ARCHIVE");
  EXPECT_EQ(chooseArchiveLocation(std::nullopt).text, "/data/vexal/archive.sqlite");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(chooseArchiveLocation(std::nullopt).text,
            "/home/ann/.local/share/vexal/archive.sqlite");
  const char *names[] = {"VEXAL_ARCHIVE", "XDG_DATA_HOME", "HOME"};
  for (int i = 0; i < 3; ++i)
    if (saved[i]) ::setenv(names[i], keep[i].c_str(), 1);
}

class ArchiveFileTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-archive-files-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  // An archive with one motor and one test, closed.
  fs::path filledArchive() {
    const fs::path file = dir / "archive.sqlite";
    auto archive = Archive::open({ArchiveEngineKind::Sqlite, file.string()});
    archive->addAsset(EngineArchiveTest::motor("M1"));
    archive->storeTest(EngineArchiveTest::test("M1", "2024-03-01", tenMinuteRun(200, 3)));
    return file;
  }

  void write(const fs::path &file, std::streamoff at, const std::string &bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(at);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
};

TEST_F(ArchiveFileTest, AFileThatIsNotAnArchiveIsRefusedAndNeverWritten) {
  const fs::path archive = filledArchive();
  // Another program's SQLite database.
  const fs::path foreign = dir / "other.sqlite";
  {
    auto engine = connectSqlite(foreign.string());
    engine->script("PRAGMA application_id = 42; CREATE TABLE notes (t TEXT)");
  }
  const fs::path damaged = dir / "damaged.sqlite";
  fs::copy_file(archive, damaged);
  write(damaged, 200, std::string(3000, '\x5a'));  // the first page: the list of tables
  const fs::path text = dir / "notes.txt";
  std::ofstream(text) << "Measurement No.\tTime\n1\t10:00:00\n";
  const fs::path shortFile = dir / "short.sqlite";
  std::ofstream(shortFile) << "SQLite";

  for (const fs::path &file : {foreign, damaged, text, shortFile}) {
    const std::string before = readFile(file);
    try {
      Archive::open({ArchiveEngineKind::Sqlite, file.string()});
      ADD_FAILURE() << file << " was opened";
    } catch (const EArchiveError &e) {
      EXPECT_NE(std::string(e.what()).find("left as it is"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(file), before) << file;
    EXPECT_FALSE(fs::exists(file.string() + "-wal")) << file;
  }
}

TEST_F(ArchiveFileTest, DamagedReadingsFailTheCheck) {
  const fs::path file = filledArchive();
  // The readings' blob is the largest thing in the file: damage the middle of it.
  std::string bytes = readFile(file);
  const std::size_t at = bytes.find(std::string("\x06"
                                                "200.0",
                                                6),
                                    bytes.size() / 4);
  ASSERT_NE(at, std::string::npos);
  write(file, static_cast<std::streamoff>(at + 1), "9");
  auto archive = Archive::open({ArchiveEngineKind::Sqlite, file.string()});
  EXPECT_FALSE(archive->check().whole());
}

// A small file system of its own for the archive (needs root, as CI runs).
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path &at) : at_(at) {
    fs::create_directories(at_);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=1m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  fs::path at_;
  bool mounted_ = false;
};

TEST_F(ArchiveFileTest, AFullDiskSaysSoAndTheTestCanBeSavedAgain) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  SmallDisk disk(dir / "small");
  ASSERT_TRUE(disk.mounted());
  const ArchiveLocation location{ArchiveEngineKind::Sqlite,
                                 (dir / "small/archive.sqlite").string()};
  auto archive = Archive::open(location);
  archive->addAsset(EngineArchiveTest::motor("M1"));
  const auto first =
      archive->storeTest(EngineArchiveTest::test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  {
    std::ofstream filler(dir / "small/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  const NewTest second = EngineArchiveTest::test("M1", "2025-03-01", tenMinuteRun(150, 3));
  try {
    archive->storeTest(second);
    ADD_FAILURE() << "stored on a full disk";
  } catch (const EArchiveError &e) {
    EXPECT_NE(std::string(e.what()).find("full"), std::string::npos) << e.what();
  }
  ASSERT_EQ(archive->history("M1").size(), 1u);
  EXPECT_EQ(archive->history("M1")[0].id, first.id);
  // Room again: the same test saves.
  fs::remove(dir / "small/filler");
  EXPECT_FALSE(archive->storeTest(second).alreadyStored);
  EXPECT_EQ(archive->history("M1").size(), 2u);
  EXPECT_TRUE(archive->check().whole());
}

TEST(ArchiveServerTest, AServerThatRefusesIsToldWithoutThePassword) {
  // A port where nothing listens: the connection is refused.
  const int port = [] {
    const std::string conninfo = test_pg::sharedServer();
    return std::stoi(conninfo.substr(conninfo.find("port=") + 5)) + 1;
  }();
  const std::string location = "host=127.0.0.1 port=" + std::to_string(port) +
                               " user=ann password=s3cret dbname=archive connect_timeout=5";
  try {
    Archive::open(archiveLocation(location));
    ADD_FAILURE() << "opened";
  } catch (const EArchiveError &e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("cannot connect"), std::string::npos) << message;
    EXPECT_EQ(message.find("s3cret"), std::string::npos) << message;
  }
}

TEST(ArchiveServerTest, ALostConnectionIsToldAndTheTestCanBeSavedAgain) {
  const std::string conninfo = test_pg::freshDatabase();
  auto archive = Archive::open(archiveLocation(conninfo));
  archive->addAsset(EngineArchiveTest::motor("M1"));
  const SqlValue backend = archive->engine().query("SELECT pg_backend_pid()", {}).at(0).at(0);
  connectPostgres(conninfo)->query("SELECT pg_terminate_backend($1)", {backend});
  const NewTest test = EngineArchiveTest::test("M1", "2024-03-01", tenMinuteRun(200, 3));
  try {
    archive->storeTest(test);
    ADD_FAILURE() << "stored without a connection";
  } catch (const EArchiveError &e) {
    EXPECT_NE(std::string(e.what()).find("lost"), std::string::npos) << e.what();
  }
  auto again = Archive::open(archiveLocation(conninfo));
  EXPECT_TRUE(again->history("M1").empty());
  EXPECT_FALSE(again->storeTest(test).alreadyStored);
  EXPECT_EQ(again->history("M1").size(), 1u);
}

// The check reads the server's pages where the role may (the tests' role is the server's
// superuser); a role that may not names what it did not check, and never calls it whole.
TEST(ArchiveServerTest, CheckNamesWhatTheServerDidNotLetItCheck) {
  const std::string conninfo = test_pg::freshDatabase();
  auto archive = Archive::open(archiveLocation(conninfo));
  archive->addAsset(EngineArchiveTest::motor("M1"));
  archive->storeTest(EngineArchiveTest::test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  const CheckReport full = archive->check();
  EXPECT_TRUE(full.whole() && full.complete()) << ::testing::PrintToString(full.notChecked);
  EXPECT_EQ(archive->engine()
                .query("SELECT count(*) FROM pg_extension WHERE extname = 'amcheck'", {})
                .at(0)
                .at(0),
            SqlValue(std::int64_t{1}));

  const std::string role = "clerk_" + std::to_string(::getpid());
  archive->engine().script("CREATE ROLE " + role +
                           " LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA "
                           "public TO " +
                           role + "; DROP EXTENSION amcheck");
  auto clerk = Archive::open(archiveLocation(conninfo + " user=" + role));
  const CheckReport partial = clerk->check();
  EXPECT_TRUE(partial.whole());
  EXPECT_EQ(partial.testsChecked, 1);
  ASSERT_EQ(partial.notChecked.size(), 1u);
  EXPECT_NE(partial.notChecked[0].find("amcheck"), std::string::npos) << partial.notChecked[0];
  archive->engine().script("CREATE EXTENSION amcheck");
  const CheckReport refused = clerk->check();
  ASSERT_EQ(refused.notChecked.size(), 2u);  // the indexes, the tables
  EXPECT_NE(refused.notChecked[0].find("tests_stored_once"), std::string::npos)
      << refused.notChecked[0];
  EXPECT_NE(refused.notChecked[1].find("test_readings"), std::string::npos)
      << refused.notChecked[1];
  clerk.reset();
  archive->engine().script("REASSIGN OWNED BY " + role + " TO postgres; DROP OWNED BY " + role +
                           "; DROP ROLE " + role);
}

// A damaged page of an index on the server's disk is found by check, never passed.
TEST(ArchiveServerTest, CheckFindsADamagedIndexPageOnTheServersDisk) {
  test_pg::PostgresServer server(
      (fs::temp_directory_path() / ("vexal-pg-damaged-" + std::to_string(::getpid()))).string());
  std::string indexFile;
  {
    auto archive = Archive::open(archiveLocation(server.conninfo()));
    archive->addAsset(EngineArchiveTest::motor("M1"));
    archive->storeTest(EngineArchiveTest::test("M1", "2024-03-01", tenMinuteRun(200, 3)));
    EXPECT_TRUE(archive->check().whole());
    indexFile = sqlText(archive->engine()
                            .query("SELECT pg_relation_filepath('tests_by_asset')", {})
                            .at(0)
                            .at(0))
                    .value_or("");
  }
  server.restart([&](const std::string &data) {
    std::fstream index(data + "/" + indexFile, std::ios::in | std::ios::out | std::ios::binary);
    index.seekp(8192);  // its first leaf page, after the index's own first page
    index << std::string(8192, 'Z');
    ASSERT_TRUE(index.good()) << indexFile;
  });
  const CheckReport report = Archive::open(archiveLocation(server.conninfo()))->check();
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(report.problems[0].starts_with("index tests_by_asset: ")) << report.problems[0];
}

TEST(ArchiveServerTest, ADatabaseOfAnotherProgramIsRefusedAndLeftAsItIs) {
  const std::string conninfo = test_pg::freshDatabase();
  {
    auto engine = connectPostgres(conninfo);
    engine->script(
        "CREATE TABLE archive_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
        "INSERT INTO archive_meta VALUES ('application', 'ledger')");
  }
  EXPECT_THROW(Archive::open(archiveLocation(conninfo)), EArchiveError);
  auto engine = connectPostgres(conninfo);
  EXPECT_EQ(engine->query("SELECT count(*) FROM pg_catalog.pg_tables WHERE tablename = 'tests'", {})
                .at(0)
                .at(0),
            SqlValue(std::int64_t{0}));
}

}  // namespace
}  // namespace vexal::archive_test
