#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexal {

namespace {

std::string reason(int err) {
  return std::strerror(err);
}

// Whether the start of an existing file fits the format: the same header, or for jsonl
// an object on the first line.
bool holdsFormat(const std::string &path, LogFormat format) {
  const std::string start = logFileStart(format);
  const std::size_t want = start.empty() ? 1 : start.size();
  std::string head(want, '\0');
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t n = ::pread(fd, head.data(), want, 0);
  ::close(fd);
  if (n < 0 || static_cast<std::size_t>(n) != want) return false;
  return start.empty() ? head[0] == '{' : head == start;
}

}  // namespace

std::unique_ptr<LogFile> LogFile::open(const std::string &path, LogFormat format, bool append,
                                       std::string &why) {
  if (path == "-") {
    std::unique_ptr<LogFile> file(new LogFile(1, format, false, 0));
    if (!file->writeWhole(logFileStart(format))) {
      why = "cannot write to standard output: " + file->error_;
      file->fd_ = -1;
      return nullptr;
    }
    return file;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_EXCL);
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    const int err = errno;
    why = err == EEXIST ? "'" + path + "' exists; --append continues it"
                        : "cannot write '" + path + "': " + reason(err);
    return nullptr;
  }
  struct stat st {};
  ::fstat(fd, &st);
  const bool regular = S_ISREG(st.st_mode);
  const std::uint64_t size = regular ? static_cast<std::uint64_t>(st.st_size) : 0;
  if (append && size > 0 && !holdsFormat(path, format)) {
    ::close(fd);
    why = "'" + path + "' does not start as a file of this --format does; it is left as it is";
    return nullptr;
  }
  std::unique_ptr<LogFile> file(new LogFile(fd, format, regular, size));
  if (size == 0 && !file->writeWhole(logFileStart(format))) {
    why = "cannot write '" + path + "': " + file->error_;
    file.reset();
    // Only a file this call made is removed; an empty one given to append stays as it was.
    if (!append) ::unlink(path.c_str());
    return nullptr;
  }
  return file;
}

LogFile::~LogFile() {
  stopFlusher();
  if (fd_ > 1) ::close(fd_);
}

bool LogFile::writeWhole(const std::string &bytes) {
  if (bytes.empty()) return true;
  ssize_t n;
  do {
    n = ::write(fd_, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(bytes.size())) {
    size_ += bytes.size();
    unsynced_ = true;
    return true;
  }
  // A full disk may take part of the line: take it back so the file ends with a whole row.
  error_ = n < 0 ? reason(errno) : reason(ENOSPC);
  if (regular_ && n > 0 && ::ftruncate(fd_, static_cast<off_t>(size_)) != 0)
    error_ += " (and the part written could not be taken back)";
  return false;
}

bool LogFile::writeRow(const TableRowView &row) {
  if (!writeWhole(logLine(format_, row))) return false;
  ++rows_;
  return true;
}

bool LogFile::sync() {
  if (!regular_) return true;
  unsynced_ = false;
  if (::fdatasync(fd_) == 0) return true;
  error_ = reason(errno);
  return false;
}

bool LogFile::syncInBackground() {
  if (const int err = flushErrno_.load()) {
    error_ = reason(err);
    return false;
  }
  if (!regular_ || !unsynced_) return true;
  unsynced_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    flushWanted_ = true;
  }
  if (!flusher_.joinable()) flusher_ = std::thread([this] { flushLoop(); });
  wake_.notify_one();
  return true;
}

void LogFile::flushLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return flushWanted_ || flusherStopping_; });
    if (flusherStopping_) return;
    flushWanted_ = false;
    lock.unlock();
    if (::fdatasync(fd_) != 0) flushErrno_.store(errno);
    lock.lock();
  }
}

void LogFile::stopFlusher() {
  if (!flusher_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    flusherStopping_ = true;
  }
  wake_.notify_one();
  flusher_.join();
}

bool LogFile::close() {
  stopFlusher();
  if (fd_ <= 1) return true;
  const bool synced = sync();
  const int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 && error_.empty()) error_ = reason(errno);
  return synced && rc == 0;
}

}  // namespace vexal
