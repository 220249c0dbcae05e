#pragma once
// The logger's output: a file (or standard output) that receives each recorded row as it is
// recorded, whole, with one write. An existing file is never replaced: it is refused, or
// continued when asked to append (without a second header, and from its last whole line). A
// write that fails part-way is taken back, so the file never ends in half a line. A new file's
// folder is synced as soon as it is made, so the file itself outlives a power cut.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/LogFormat.h"
#include "record/ReadingTable.h"

namespace vexal {

class LogFile {
 public:
  // Opens `path` ("-" = standard output) and writes the format's header where the file is
  // new or empty. Returns nothing and sets `why` when it cannot: the file exists and
  // `append` is not set, it cannot be opened or written, or it holds another format. A file
  // appended to whose last line was cut off (a power cut while a row was only partly on the
  // disk, a copy cut short) is cut back to its last line end first; notice() then says so.
  static std::unique_ptr<LogFile> open(const std::string &path, LogFormat format, bool append,
                                       std::string &why);
  ~LogFile();
  LogFile(const LogFile &) = delete;
  LogFile &operator=(const LogFile &) = delete;

  // Writes one row's line with one write. False when it failed (`error()` says why); the
  // file then ends with the row before.
  bool writeRow(const TableRowView &row);
  // Hands what was written to the disk (a regular file only); false when that failed.
  bool sync();
  // The same off the calling thread, which never waits for the disk: a thread of the file's
  // own hands it over soon. False when an earlier hand-over failed (`error()` says why).
  bool syncInBackground();
  // Closes the file; false when the last writes failed.
  bool close();
  // Closes and removes the file when this run made it and wrote no row into it: a run that
  // failed before its first reading leaves no header-only file to refuse the next run.
  // True when it was removed.
  bool removeIfNoRows();

  // What open did to an existing file that the user should hear of; empty when nothing.
  const std::string &notice() const { return notice_; }
  const std::string &error() const { return error_; }
  std::uint64_t rowsWritten() const { return rows_; }
  bool isStandardOutput() const { return fd_ == 1; }

 private:
  LogFile(int fd, LogFormat format, bool regular, std::uint64_t size)
      : fd_(fd), format_(format), regular_(regular), size_(size) {}
  bool writeWhole(const std::string &bytes);
  bool cutTornLastLine();

  int fd_;
  LogFormat format_;
  bool regular_;
  std::uint64_t size_;  // bytes in a regular file
  std::uint64_t rows_ = 0;
  bool unsynced_ = false;
  std::string error_;
  std::string path_;
  bool created_ = false;  // this open made the file
  std::string notice_;

  // The background hand-over.
  void flushLoop();
  void stopFlusher();
  std::thread flusher_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool flushWanted_ = false;
  bool flusherStopping_ = false;
  std::atomic<int> flushErrno_{0};
};

}  // namespace vexal
