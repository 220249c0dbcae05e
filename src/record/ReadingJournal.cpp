#include "record/ReadingJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "record/TimeOfDay.h"

namespace vexal {

namespace {

constexpr std::string_view kJournalPrefix = "journal-";
constexpr std::string_view kJournalSuffix = ".tsv";
constexpr std::string_view kSavedMarkSuffix = ".saved";
// Pause of the flusher after a flush, so that rows arriving quickly share one.
constexpr std::chrono::milliseconds kFlushGap{500};
static_assert(kFlushGap < ReadingJournal::kFlushDelay, "a row waits at most a gap for its flush");
// Rows taken over from another journal go to the file in writes of about this size.
constexpr std::size_t kBulkWriteBytes = 64 * 1024;

std::string systemReason(int err) {
  return std::strerror(err);
}

// Makes `folder` and the folders above it that are missing (owner only).
bool makeFolders(const std::string &folder, int &err) {
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      err = errno;
      return false;
    }
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    err = ENOTDIR;
    return false;
  }
  return true;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void syncFolder(const std::string &folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string savedMarkPath(const std::string &journal) {
  return journal + std::string(kSavedMarkSuffix);
}

// The journal's length when Save Data last wrote all of it; nothing without a mark.
std::optional<std::size_t> readSavedMark(const std::string &journal) {
  const int fd = ::open(savedMarkPath(journal).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char text[32] = {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return std::nullopt;
  char *end = nullptr;
  const unsigned long long length = std::strtoull(text, &end, 10);
  if (end == text) return std::nullopt;
  return static_cast<std::size_t>(length);
}

void removeJournalFiles(const std::string &journal) {
  ::unlink(journal.c_str());
  ::unlink(savedMarkPath(journal).c_str());
}

// A name no other journal has: the start time, the process and a count within it.
std::string newJournalName() {
  static std::atomic<unsigned> counter{0};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string(kJournalPrefix) + stamp + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(++counter) + std::string(kJournalSuffix);
}

bool isJournalName(std::string_view name) {
  return name.size() > kJournalPrefix.size() + kJournalSuffix.size() &&
         name.starts_with(kJournalPrefix) && name.ends_with(kJournalSuffix);
}

std::optional<std::string> readWholeFile(int fd) {
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

// Appends the complete rows of journal bytes to `table`; returns how many.
std::size_t appendJournalRows(std::string bytes, ReadingTable &table) {
  // Only whole lines count: what follows the last line end was cut short.
  const std::size_t lastEnd = bytes.find_last_of('\n');
  if (lastEnd == std::string::npos) return 0;
  bytes.resize(lastEnd + 1);
  const std::size_t first = table.rowCount();
  const TextReadResult result = appendTableText(bytes, table);
  if (!result.ok && table.rowCount() > first) {
    // A line the disk garbled: its partial row goes, the rows before it stay.
    table.removeRowsFrom(first + result.rowsAdded - 1);
  }
  return table.rowCount() - first;
}

}  // namespace

std::string journalFolder(const char *xdgStateHome, const char *home) {
  if (xdgStateHome && xdgStateHome[0] == '/') return std::string(xdgStateHome) + "/vexal/journal";
  if (home && home[0] == '/') return std::string(home) + "/.local/state/vexal/journal";
  return {};
}

std::string journalFolderFromEnvironment() {
  return journalFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

// --- The journal of this program run ------------------------------------------------------

ReadingJournal::ReadingJournal(std::string folder) : folder_(std::move(folder)) {
  open();
}

ReadingJournal::~ReadingJournal() {
  close();
}

// The file is written under a hidden name, locked and given its header, and only then takes
// its journal name: no other program ever sees it unlocked or without its header.
void ReadingJournal::open() {
  rows_ = 0;
  length_ = 0;
  failure_.clear();
  syncFailure_.clear();
  savedLength_.reset();
  if (folder_.empty()) {
    failure_ = "There is no home folder to keep the journal in.";
    return;
  }
  int err = 0;
  if (!makeFolders(folder_, err)) {
    failure_ = "Cannot create the journal folder \"" + folder_ + "\". " + systemReason(err);
    return;
  }
  const std::string name = newJournalName();
  const std::string hidden = folder_ + "/." + name;
  const std::string path = folder_ + "/" + name;
  const int fd = ::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) {
    failure_ = "Cannot create the journal \"" + path + "\". " + systemReason(errno);
    return;
  }
  const std::string header = std::string(kTextHeader) + std::string(kLineEnd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !writeAll(fd, header) ||
      ::rename(hidden.c_str(), path.c_str()) != 0) {
    failure_ = "Cannot write the journal \"" + path + "\". " + systemReason(errno);
    ::close(fd);
    ::unlink(hidden.c_str());
    return;
  }
  fd_ = fd;
  path_ = path;
  length_ = header.size();
  quit_ = false;
  dirty_ = true;  // the header goes to the disk too
  folderUnsynced_ = true;
  flusher_ = std::thread([this] { flusherLoop(); });
}

void ReadingJournal::close() {
  if (flusher_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    flusher_.join();
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<std::string> ReadingJournal::append(const TableRowView &row) {
  if (!writing()) return reportOnce();
  return writeWhole(tableTextLine(row), 1);
}

std::optional<std::string> ReadingJournal::appendRows(const ReadingTable &table, std::size_t first,
                                                      std::size_t count) {
  std::string chunk;
  std::size_t chunkRows = 0;
  for (std::size_t row = first; row < first + count; ++row) {
    chunk += tableTextLine(table.view(row));
    ++chunkRows;
    if (chunk.size() >= kBulkWriteBytes || row + 1 == first + count) {
      if (auto failure = writing() ? writeWhole(chunk, chunkRows) : reportOnce()) return failure;
      chunk.clear();
      chunkRows = 0;
    }
  }
  return std::nullopt;
}

// One write() for the whole text. When the disk takes only part of it, the file is cut back
// to where it was, so no half line remains.
std::optional<std::string> ReadingJournal::writeWhole(const std::string &bytes,
                                                      std::size_t newRows) {
  {
    std::lock_guard lock(mutex_);
    if (!syncFailure_.empty()) {
      stop(syncFailure_);
      return reportOnce();
    }
  }
  ssize_t n;
  do {
    n = ::write(fd_, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  if (n != static_cast<ssize_t>(bytes.size())) {
    const int err = n < 0 ? errno : ENOSPC;
    if (n > 0 && ::ftruncate(fd_, static_cast<off_t>(length_)) != 0) {
      // The file cannot even be cut back; its last line stays unfinished and the reader of
      // the journal leaves it out.
    }
    stop("Cannot write the journal \"" + path_ + "\". " + systemReason(err));
    return reportOnce();
  }
  length_ += bytes.size();
  rows_ += newRows;
  {
    std::lock_guard lock(mutex_);
    dirty_ = true;
  }
  wake_.notify_one();
  return std::nullopt;
}

// The journal is no longer written; the file stays locked and holds the rows written so far.
void ReadingJournal::stop(const std::string &why) {
  if (failure_.empty()) failure_ = why;
}

std::optional<std::string> ReadingJournal::reportOnce() {
  if (failure_.empty() || failureTold_) return std::nullopt;
  failureTold_ = true;
  return failure_;
}

void ReadingJournal::flusherLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return dirty_ || quit_; });
    if (!dirty_) return;  // told to quit with everything on the disk
    dirty_ = false;
    const int fd = fd_;
    const bool folderToo = std::exchange(folderUnsynced_, false);
    lock.unlock();
    // The descriptor stays open while this thread runs: close() joins it first.
    const bool synced = ::fdatasync(fd) == 0;
    const int err = errno;
    // The journal's name, too, must survive a power cut: its folder goes to the disk once.
    if (folderToo) syncFolder(folder_);
    lock.lock();
    if (!synced && syncFailure_.empty())
      syncFailure_ = "Cannot write the journal \"" + path_ + "\" to the disk. " + systemReason(err);
    if (!quit_) wake_.wait_for(lock, kFlushGap, [this] { return quit_; });
  }
}

void ReadingJournal::markSaved() {
  if (path_.empty()) return;
  savedLength_ = length_;
  // The mark is written beside the journal and takes its name in one step.
  const std::string mark = savedMarkPath(path_);
  const std::string hidden = mark + ".new";
  const int fd = ::open(hidden.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;  // without a mark the journal is offered again: nothing is lost
  const bool written = writeAll(fd, std::to_string(length_));
  if (::close(fd) == 0 && written && ::rename(hidden.c_str(), mark.c_str()) == 0) return;
  ::unlink(hidden.c_str());
}

bool ReadingJournal::saved() const {
  return savedLength_ && *savedLength_ == length_;
}

std::optional<std::string> ReadingJournal::restart() {
  if (!path_.empty()) removeJournalFiles(path_);
  close();
  path_.clear();
  open();
  return reportOnce();
}

void ReadingJournal::closeAtExit() {
  const bool keep = rows_ > 0 && !saved();
  if (!path_.empty()) {
    if (keep)
      ::unlink(savedMarkPath(path_).c_str());  // an earlier save's mark no longer holds
    else
      removeJournalFiles(path_);
  }
  close();
}

// --- Journals left behind -----------------------------------------------------------------

StrandedJournal::StrandedJournal(StrandedJournal &&other) noexcept
    : path(std::move(other.path)),
      rows(other.rows),
      firstTime(std::move(other.firstTime)),
      lastTime(std::move(other.lastTime)),
      lastWritten(other.lastWritten),
      lockFd(std::exchange(other.lockFd, -1)) {}

StrandedJournal &StrandedJournal::operator=(StrandedJournal &&other) noexcept {
  if (this != &other) {
    if (lockFd >= 0) ::close(lockFd);
    path = std::move(other.path);
    rows = other.rows;
    firstTime = std::move(other.firstTime);
    lastTime = std::move(other.lastTime);
    lastWritten = other.lastWritten;
    lockFd = std::exchange(other.lockFd, -1);
  }
  return *this;
}

StrandedJournal::~StrandedJournal() {
  if (lockFd >= 0) ::close(lockFd);
}

std::size_t StrandedJournal::readInto(ReadingTable &table) const {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::optional<std::string> bytes = readWholeFile(fd);
  ::close(fd);
  return bytes ? appendJournalRows(std::move(*bytes), table) : 0;
}

void StrandedJournal::discard() {
  removeJournalFiles(path);
  if (lockFd >= 0) ::close(lockFd);
  lockFd = -1;
}

namespace {

// The length of the file up to its last line end.
std::optional<std::size_t> completeLength(int fd) {
  const std::optional<std::string> bytes = readWholeFile(fd);
  if (!bytes) return std::nullopt;
  const std::size_t lastEnd = bytes->find_last_of('\n');
  return lastEnd == std::string::npos ? 0 : lastEnd + 1;
}

std::string timeText(std::optional<std::int32_t> ms) {
  return ms ? formatLongTime(*ms) : std::string();
}

// The journal at `path` when its program no longer runs; its lock is then held by the
// result. Journals left without unsaved readings are removed here.
std::optional<StrandedJournal> strandedJournalAt(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  StrandedJournal journal;
  journal.path = path;
  journal.lockFd = fd;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return std::nullopt;  // its program runs
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  journal.lastWritten = st.st_mtime;
  const std::optional<std::size_t> savedLength = readSavedMark(path);
  // A line cut short by a power cut is taken off the file, so that opening it as a data file
  // gives exactly the rows offered.
  if (const auto complete = completeLength(fd); complete && *complete < std::size_t(st.st_size))
    if (::truncate(path.c_str(), static_cast<off_t>(*complete)) == 0)
      st.st_size = static_cast<off_t>(*complete);
  ReadingTable rows;
  journal.rows = journal.readInto(rows);
  if (journal.rows == 0 || (savedLength && *savedLength >= static_cast<std::size_t>(st.st_size))) {
    journal.discard();
    return std::nullopt;
  }
  journal.firstTime = timeText(rows.timeMs(0));
  journal.lastTime = timeText(rows.timeMs(rows.rowCount() - 1));
  return journal;
}

}  // namespace

std::vector<StrandedJournal> findStrandedJournals(const std::string &folder,
                                                  const std::string &ownPath) {
  std::vector<StrandedJournal> found;
  if (folder.empty()) return found;
  DIR *dir = ::opendir(folder.c_str());
  if (!dir) return found;
  std::vector<std::string> paths;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!isJournalName(name)) continue;
    std::string path = folder + "/" + std::string(name);
    if (path != ownPath) paths.push_back(std::move(path));
  }
  ::closedir(dir);
  std::sort(paths.begin(), paths.end());
  for (const std::string &path : paths)
    if (auto journal = strandedJournalAt(path)) found.push_back(std::move(*journal));
  std::stable_sort(found.begin(), found.end(),
                   [](const auto &a, const auto &b) { return a.lastWritten < b.lastWritten; });
  return found;
}

}  // namespace vexal
