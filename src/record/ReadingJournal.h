#pragma once
// The journal of recorded readings: every reading the recorder appends is written, in the
// same step, as one line of the journal format (record/JournalFormat.h) to a file of this
// program run, so that a crash, a killed session or a power cut loses nothing that was
// recorded more than a second before. A row read back equals the row recorded, whatever the
// locale of the program that reads it.
//
// Each row goes to the file with one write(), so a killed program never leaves half a line;
// a thread of the journal's own flushes the file to the disk at most a second after a row,
// and the GUI thread never waits for it (Delete Data and exit hand it the last flush).
// While a program uses its journal it holds a lock on it (flock), so another program running
// at the same time never touches it; a journal whose lock is free was left by a program that
// no longer runs.
//
// The folder is the user's own: made 0700, and refused when it is a link, belongs to another
// user or can be written by others (recording then goes on in memory). Every file in it is
// opened without following links.
//
// A journal is "saved" when Save Data wrote every row it holds: a mark beside it
// (`<journal>.saved`) keeps the journal's length and rows at that moment, so any later row
// makes it unsaved again. A saved or empty journal is removed at a normal exit; any other one
// stays to be offered at the next start. A journal goes only when its rows are safe elsewhere.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "record/ReadingTable.h"

namespace vexal {

// The folder of the journals: $XDG_STATE_HOME/vexal/journal, or ~/.local/state/vexal/journal
// when XDG_STATE_HOME is unset, empty or not an absolute path. Empty when neither gives one.
std::string journalFolder(const char *xdgStateHome, const char *home);
// The same from the process environment.
std::string journalFolderFromEnvironment();

// A descriptor closed with its owner; moves along.
class OwnedFd {
 public:
  explicit OwnedFd(int fd = -1) : fd_(fd) {}
  OwnedFd(OwnedFd &&other) noexcept : fd_(other.release()) {}
  OwnedFd &operator=(OwnedFd &&other) noexcept;
  ~OwnedFd() { reset(); }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset();

 private:
  int fd_;
};

// A journal left by a program that no longer runs, holding readings that were not saved. Its
// lock is held while this object lives, so no other program offers it at the same time.
struct StrandedJournal {
  std::string path;
  ReadingTable readings;        // every readable row, in order
  std::size_t savedRows = 0;    // of them, the first ones a Save Data wrote
  std::size_t unreadable = 0;   // lines that could not be read
  bool tornTail = false;        // the last line was cut off when its program ended
  std::time_t lastWritten = 0;  // when the file last changed
  OwnedFd lock;

  std::size_t rows() const { return readings.rowCount(); }
  std::size_t unsavedRows() const { return rows() - savedRows; }
  bool whole() const { return unreadable == 0 && !tornTail; }
  // Where a journal that was not read whole stays once its readings are safe elsewhere:
  // beside it, under a name that is never offered.
  std::string keptPath() const;
  // Its readings are safe elsewhere (saved or taken over): a journal read whole is removed;
  // any other one moves to keptPath(), so nothing that could not be read is lost unasked.
  void retire();
  // Removes the journal and its saved mark (the user asked for it).
  void discard();
};

// The journals in `folder` of programs no longer running that hold unsaved readings, or that
// cannot be read whole, oldest first. On the way, journals of such programs that are empty or
// saved are removed, so are journals whose rows another journal took over whole, and hidden
// files that ended programs left; journals locked by a running program and `ownPath` are not
// touched. A folder that is a link, another user's or writable by others is not looked in.
std::vector<StrandedJournal> findStrandedJournals(const std::string &folder,
                                                  const std::string &ownPath);

class ReadingJournal {
 public:
  // How long the flusher waits at most between a row and its flush to the disk.
  static constexpr std::chrono::milliseconds kFlushDelay{1000};
  // How long a normal exit waits at most for the last flush.
  static constexpr std::chrono::milliseconds kExitWait{1000};

  // The steps of a take-over, in order (a test can stop the program at each).
  enum class TakeOverStep { Begun, RowsWritten, Ended, Synced, OldRemoved };

  // Starts a journal of this program run in `folder` (made when missing). When it cannot be
  // made, the journal is off from the start and failure() says why.
  explicit ReadingJournal(std::string folder);
  // Hands the file to the flusher for its last flush and lets go of it; waits for it at
  // most kExitWait. The file stays (see closeAtExit).
  ~ReadingJournal();
  ReadingJournal(const ReadingJournal &) = delete;
  ReadingJournal &operator=(const ReadingJournal &) = delete;

  // Writes one recorded row. Returns the reason, once, when the journal stops being written
  // (disk full, read-only folder ...); nothing otherwise. A failed row leaves nothing of it
  // in the file.
  std::optional<std::string> append(const TableRowView &row);
  // Takes the rows [first, first + count) of `table`, which came from `old`, into this
  // journal; once they are on the disk `old` is retired. When this journal is not written,
  // or fails on the way, `old` stays where it is and the text returned says so.
  std::optional<std::string> takeOver(StrandedJournal old, const ReadingTable &table,
                                      std::size_t first, std::size_t count);

  // Save Data wrote every row held: the journal is saved until the next row.
  void markSaved();
  // Delete Data: the journal goes with the rows and a new one starts. Returns why the new
  // one is not written, when it is not.
  std::optional<std::string> restart();
  // A normal exit: a saved or empty journal is removed, any other one kept (waits at most
  // kExitWait for its last flush).
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
  // Waits until everything written is on the disk; false when `timeout` passed first.
  bool waitUntilFlushed(std::chrono::milliseconds timeout);
  // The call that takes the file to the disk on the flusher's thread: fdatasync (a test
  // slows it down).
  void setFileSync(std::function<int(int)> sync);
  // Hears each step of a take-over as it is done.
  void setTakeOverObserver(std::function<void(TakeOverStep)> observer) {
    takeOverObserver_ = std::move(observer);
  }

 private:
  struct Flusher;

  void open();
  void letGo(bool flush);
  void stop(const std::string &why);
  std::optional<std::string> writeWhole(const std::string &bytes, std::size_t newRows);
  std::optional<std::string> writeRows(const ReadingTable &table, std::size_t first,
                                       std::size_t count);
  std::optional<std::string> reportOnce();
  void removeFiles();
  void observe(TakeOverStep step) {
    if (takeOverObserver_) takeOverObserver_(step);
  }

  std::string folder_;
  std::string name_;
  std::string path_;
  int fd_ = -1;  // owned by the flusher, which closes it
  std::size_t rows_ = 0;
  std::size_t length_ = 0;                  // bytes written, format line included
  std::optional<std::size_t> savedLength_;  // length_ at the last markSaved()
  std::string failure_;
  std::string folderFailure_;  // why the folder is not used, when it is not
  bool failureTold_ = false;
  std::shared_ptr<Flusher> flusher_;
  std::function<void(TakeOverStep)> takeOverObserver_;
};

}  // namespace vexal
