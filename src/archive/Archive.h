#pragma once
// The insulation test archive: assets and every test stored for each, on SQLite or
// PostgreSQL with one code. A stored test never changes; a correction is a new test that
// names the one it supersedes. Every write is one transaction, waited for while another
// program writes; every failure is an EArchiveError with a message to show, and leaves the
// archive as it was.
//
// An Archive is used from one thread at a time; a window runs it on a worker thread of its
// own so that a slow server never blocks it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveLocation.h"
#include "archive/ArchiveTypes.h"

namespace vexal {

class ArchiveEngine;

class Archive {
 public:
  // Opens (creating a new file or an empty database) the archive at `location`. Refuses,
  // leaving it untouched, an archive of a newer version, a damaged file and a file or
  // database that is not an archive; migrates an older one forward.
  static std::unique_ptr<Archive> open(const ArchiveLocation &location);
  // The same over an engine already connected (tests).
  explicit Archive(std::unique_ptr<ArchiveEngine> engine);
  ~Archive();
  Archive(const Archive &) = delete;
  Archive &operator=(const Archive &) = delete;

  ArchiveEngineKind engineKind() const;
  int schemaVersion() const;

  // Assets. addAsset refuses a tag that is taken; editAsset one that is unknown.
  void addAsset(const Asset &asset);
  void editAsset(const std::string &tag, const AssetChange &change);
  std::optional<Asset> findAsset(const std::string &tag);
  // Assets whose tag, name or location contains `search` (case-insensitive; all when empty),
  // by tag, each with its number of tests, last test date and last verdict.
  std::vector<AssetSummary> assets(const std::string &search = {});
  std::vector<AssetChangeRecord> assetChanges(const std::string &tag);

  // Stores a test of an existing asset, judged with the asset's particulars and the test's
  // winding temperature. A test with the same asset, date, start and readings is not stored
  // twice: its id comes back with alreadyStored.
  StoreOutcome storeTest(const NewTest &test);
  // Several tests in one transaction: all are stored, or (on any failure) none.
  std::vector<StoreOutcome> storeTests(const std::vector<NewTest> &tests);

  // An asset's tests in date and start order (tests superseded by a correction left out),
  // each with its "halved" mark.
  std::vector<TestSummary> history(const std::string &tag);
  // Every test of the asset, superseded ones too, in the same order (export).
  std::vector<TestSummary> allTests(const std::string &tag);
  // The points of its trend, in the same order.
  std::vector<TrendPoint> trend(const std::string &tag);
  // One test, with or without its readings.
  std::optional<TestSummary> findTest(const std::string &id);
  std::optional<TestReadings> testReadings(const std::string &id);

  // The engine's own integrity check, and every test's stored results against the results
  // recomputed from its readings.
  CheckReport check();

  // Asks the call running now on another thread to stop: it fails, and whatever it was
  // writing is rolled back. Safe from any thread.
  void cancel() noexcept;

  // Statements of the engine, for tests and tools that look underneath.
  ArchiveEngine &engine() { return *engine_; }

 private:
  std::vector<TestSummary> listTests(const std::string &tag, bool withSuperseded);
  // Stores one test inside the caller's transaction.
  StoreOutcome insertTest(const NewTest &test);

  std::unique_ptr<ArchiveEngine> engine_;
  int version_ = 0;
};

}  // namespace vexal
