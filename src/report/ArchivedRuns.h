#pragma once
// Runs between the reading table and the archive: a run's readings exactly as recorded, as
// the archive stores them; whether it was recorded now (stored with today's date) or came
// from a data file (the date it was made on is to be confirmed: a data file keeps times but
// no date); and a stored test's readings as a table again, to be shown and reported.

#include <cstddef>

#include "analysis/InsulationRuns.h"
#include "archive/ArchiveTypes.h"
#include "record/ReadingTable.h"

namespace vexal {

// Which rows of a table came from data files: those up to the end of the latest file
// opened, until the table is emptied. Rows recorded after it follow them.
class TableOrigin : private TableObserver {
 public:
  explicit TableOrigin(ReadingTable &table);
  ~TableOrigin() override;
  TableOrigin(const TableOrigin &) = delete;
  TableOrigin &operator=(const TableOrigin &) = delete;

  // A data file was opened into the table (its rows are in it now).
  void fileOpened();
  // Whether any row of `run` came from a data file.
  bool fromFile(const InsulationRun &run) const { return run.firstRow < fileRows_; }

 private:
  void rowsAppended(std::size_t, std::size_t) override {}
  void tableReset() override;

  ReadingTable &table_;
  std::size_t fileRows_ = 0;
};

// The run's readings as the archive keeps them: elapsed times from its first row, the value
// and unit texts byte for byte, its function, mode and start.
TestReadings testReadingsOfRun(const TableSnapshot &table, const InsulationRun &run);

// A stored test's readings as table rows numbered from 1, at their times of day (the start
// plus the elapsed time, past midnight wrapping to the next day's times).
void fillTableWithTest(ReadingTable &table, const TestReadings &readings);

}  // namespace vexal
