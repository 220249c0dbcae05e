#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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

// The bytes of a file of `size` bytes up to and with its last line end (0 when it has none).
// The file's own size when it cannot be read: nothing is cut then.
std::uint64_t wholeLinesSize(const std::string &path, std::uint64_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return size;
  char buf[4096];
  std::uint64_t end = size;
  std::uint64_t whole = 0;
  bool found = false;
  while (end > 0 && !found) {
    const std::uint64_t start = end > sizeof buf ? end - sizeof buf : 0;
    const ssize_t n = ::pread(fd, buf, end - start, static_cast<off_t>(start));
    if (n != static_cast<ssize_t>(end - start)) {
      whole = size;
      break;
    }
    for (std::uint64_t i = end - start; i-- > 0;) {
      if (buf[i] == '\n') {
        whole = start + i + 1;
        found = true;
        break;
      }
    }
    end = start;
  }
  ::close(fd);
  return whole;
}

// Hands the folder's entry of a file just made or removed to the disk. 0, or the error.
// A folder this user may write but not read cannot be synced: that is left as it is.
int syncFolderOf(const std::string &path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  const int fd = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return err;
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
  // Made here, or (when appending) an existing one continued: only a file made here may be
  // removed again.
  bool created = true;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST && append) {
    created = false;
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
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
  if (!created && size > 0 && !holdsFormat(path, format)) {
    ::close(fd);
    why = "'" + path + "' does not start as a file of this --format does; it is left as it is";
    return nullptr;
  }
  std::unique_ptr<LogFile> file(new LogFile(fd, format, regular, size));
  file->path_ = path;
  file->created_ = created;
  const auto fail = [&](const std::string &error) {
    why = "cannot write '" + path + "': " + error;
    // Only a file this call made is removed; one given to append stays as it was.
    file->removeIfNoRows();
    return nullptr;
  };
  if (created) {
    if (const int err = syncFolderOf(path)) return fail(reason(err));
  } else if (regular && size > 0 && !file->cutTornLastLine()) {
    return fail(file->error_);
  }
  if (file->size_ == 0 && !file->writeWhole(logFileStart(format))) return fail(file->error_);
  return file;
}

// Each row is one write, and a write the disk took only part of is taken back; still, a power
// cut, a kill before the taking back or a copy cut short can leave a last line without its
// line end. Rows written after it would be glued to it and lost with it: the torn tail goes,
// and the user is told how much of it there was.
bool LogFile::cutTornLastLine() {
  const std::uint64_t whole = wholeLinesSize(path_, size_);
  if (whole == size_) return true;
  if (::ftruncate(fd_, static_cast<off_t>(whole)) != 0) {
    error_ = reason(errno);
    return false;
  }
  notice_ = "the last line of '" + path_ + "' was cut off (" + std::to_string(size_ - whole) +
            " bytes without a line end): it is removed, and the rows go on after the last "
            "whole line";
  size_ = whole;
  return true;
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

bool LogFile::removeIfNoRows() {
  if (!created_ || rows_ > 0) return false;
  stopFlusher();
  if (fd_ > 1) ::close(fd_);
  fd_ = -1;
  created_ = false;
  if (::unlink(path_.c_str()) != 0) return false;
  syncFolderOf(path_);
  return true;
}

}  // namespace vexal
