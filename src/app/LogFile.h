#pragma once
// The logger's output: a file (or standard output) that receives each recorded row as it is
// recorded, whole, with one write. An existing file is never replaced: it is refused, or
// continued when asked to append (without a second header). A write that fails part-way is
// taken back, so the file never ends in half a line.

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
  // `append` is not set, it cannot be opened or written, or it holds another format.
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

  const std::string &error() const { return error_; }
  std::uint64_t rowsWritten() const { return rows_; }
  bool isStandardOutput() const { return fd_ == 1; }

 private:
  LogFile(int fd, LogFormat format, bool regular, std::uint64_t size)
      : fd_(fd), format_(format), regular_(regular), size_(size) {}
  bool writeWhole(const std::string &bytes);

  int fd_;
  LogFormat format_;
  bool regular_;
  std::uint64_t size_;  // bytes in a regular file
  std::uint64_t rows_ = 0;
  bool unsynced_ = false;
  std::string error_;

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
