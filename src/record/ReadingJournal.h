#pragma once
// The journal of recorded readings: every reading the recorder appends is written, in the
// same step, as one line of the text data format to a file of this program run, so that a
// crash, a killed session or a power cut loses nothing that was recorded more than a second
// before. The file opens with Open Data and any spreadsheet.
//
// Each row goes to the file with one write(), so a killed program never leaves half a line;
// a thread of the journal's own flushes the file to the disk at most a second after a row.
// While a program uses its journal it holds a lock on it (flock), so another program running
// at the same time never touches it; a journal whose lock is free was left by a program that
// no longer runs.
//
// A journal is "saved" when Save Data wrote every row it holds: a mark beside it
// (`<journal>.saved`) keeps the journal's length at that moment, so any later row makes it
// unsaved again. A saved or empty journal is removed at a normal exit; any other one stays
// to be offered at the next start.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "record/ReadingTable.h"
#include "record/TableTextFile.h"

namespace vexal {

// The folder of the journals: $XDG_STATE_HOME/vexal/journal, or ~/.local/state/vexal/journal
// when XDG_STATE_HOME is unset, empty or not an absolute path. Empty when neither gives one.
std::string journalFolder(const char *xdgStateHome, const char *home);
// The same from the process environment.
std::string journalFolderFromEnvironment();

class ReadingJournal {
 public:
  // How long the flusher waits at most between a row and its flush to the disk.
  static constexpr std::chrono::milliseconds kFlushDelay{1000};

  // Starts a journal of this program run in `folder` (made when missing). When it cannot be
  // made, the journal is off from the start and failure() says why.
  explicit ReadingJournal(std::string folder);
  // Flushes and closes the file and lets go of its lock; the file stays (see closeAtExit).
  ~ReadingJournal();
  ReadingJournal(const ReadingJournal &) = delete;
  ReadingJournal &operator=(const ReadingJournal &) = delete;

  // Writes one recorded row. Returns the reason, once, when the journal stops being written
  // (disk full, read-only folder ...); nothing otherwise. A failed row leaves nothing of it
  // in the file.
  std::optional<std::string> append(const TableRowView &row);
  // Writes rows [first, first + count) of `table` (rows taken over from another journal).
  std::optional<std::string> appendRows(const ReadingTable &table, std::size_t first,
                                        std::size_t count);

  // Save Data wrote every row held: the journal is saved until the next row.
  void markSaved();
  // Delete Data: the journal goes with the rows and a new one starts.
  std::optional<std::string> restart();
  // A normal exit: a saved or empty journal is removed, any other one kept.
  void closeAtExit();

  bool writing() const { return fd_ >= 0 && failure_.empty(); }
  bool saved() const;
  std::size_t rows() const { return rows_; }
  const std::string &path() const { return path_; }
  const std::string &folder() const { return folder_; }
  // Why the journal is not written, the first time it is asked after the journal stopped;
  // nothing while it is written or once told.
  std::optional<std::string> takeFailure() { return reportOnce(); }
  // Why the journal is not written; empty while it is.
  const std::string &failure() const { return failure_; }

 private:
  void open();
  void close();
  void stop(const std::string &why);
  std::optional<std::string> writeWhole(const std::string &bytes, std::size_t newRows);
  std::optional<std::string> reportOnce();
  void flusherLoop();

  std::string folder_;
  std::string path_;
  int fd_ = -1;
  std::size_t rows_ = 0;
  std::size_t length_ = 0;                  // bytes written, header included
  std::optional<std::size_t> savedLength_;  // length_ at the last markSaved()
  std::string failure_;
  bool failureTold_ = false;

  // The flusher: fdatasync of the file, at most kFlushDelay after the write that made it
  // dirty. `mutex_` guards the fields below and the descriptor while it is synced.
  std::mutex mutex_;
  std::condition_variable wake_;
  bool dirty_ = false;
  bool folderUnsynced_ = false;  // the journal's new name is not on the disk yet
  bool quit_ = false;
  std::string syncFailure_;
  std::thread flusher_;
};

// A journal left by a program that no longer runs, holding readings that were not saved. Its
// lock is held while this object lives, so no other program offers it at the same time.
struct StrandedJournal {
  std::string path;
  std::size_t rows = 0;
  std::string firstTime, lastTime;  // Time fields of the first and last row
  std::time_t lastWritten = 0;      // when the file last changed
  int lockFd = -1;

  StrandedJournal() = default;
  StrandedJournal(StrandedJournal &&other) noexcept;
  StrandedJournal &operator=(StrandedJournal &&other) noexcept;
  ~StrandedJournal();

  // Appends the journal's rows to `table` as Open Data does for a text file. A row cut short
  // by a power cut at the end is left out. Returns the number of rows added.
  std::size_t readInto(ReadingTable &table) const;
  // Removes the journal and its saved mark.
  void discard();
};

// The journals in `folder` of programs no longer running that hold unsaved readings, oldest
// first. Journals of such programs that are empty or saved are removed on the way; journals
// locked by a running program and `ownPath` are not touched.
std::vector<StrandedJournal> findStrandedJournals(const std::string &folder,
                                                  const std::string &ownPath);

}  // namespace vexal
