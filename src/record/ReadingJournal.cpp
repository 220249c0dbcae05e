#include "record/ReadingJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "record/JournalFormat.h"

namespace vexal {

namespace {

constexpr std::string_view kJournalPrefix = "journal-";
constexpr std::string_view kJournalSuffix = ".tsv";
constexpr std::string_view kSavedMarkSuffix = ".saved";
constexpr std::string_view kNewSuffix = ".new";
constexpr std::string_view kKeptPrefix = "kept-";
// Every file of the folder opens this way: a link planted at its name is not followed.
constexpr int kNoFollow = O_NOFOLLOW | O_CLOEXEC;
// Pause of the flusher after a flush, so that rows arriving quickly share one.
constexpr std::chrono::milliseconds kFlushGap{500};
static_assert(kFlushGap < ReadingJournal::kFlushDelay, "a row waits at most a gap for its flush");
// Rows taken over from another journal go to the file in writes of about this size.
constexpr std::size_t kBulkWriteBytes = 64 * 1024;

std::string systemReason(int err) {
  return std::strerror(err);
}

std::string quoted(const std::string &path) {
  return "\"" + path + "\"";
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

// Makes the folders of `folder` that are missing, each 0700; tells whether the last one was
// made here.
bool makeFolders(const std::string &folder, bool &madeLast, int &err) {
  madeLast = false;
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) == 0) {
      madeLast = at == folder.size();
    } else if (errno != EEXIST) {
      err = errno;
      return false;
    }
  }
  return true;
}

// The journal folder, opened without following a link, when it is the user's own: owned by
// this user and writable by nobody else. `why` says what is wrong otherwise.
OwnedFd openJournalFolder(const std::string &folder, bool create, std::string &why) {
  if (folder.empty()) {
    why = "There is no home folder to keep the journal in.";
    return OwnedFd();
  }
  bool made = false;
  int err = 0;
  if (create && !makeFolders(folder, made, err)) {
    why = "Cannot create the journal folder " + quoted(folder) + ". " + systemReason(err);
    return OwnedFd();
  }
  OwnedFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | kNoFollow));
  if (fd.get() < 0) {
    err = errno;
    struct stat link {};
    const bool isLink = ::lstat(folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    why = "Cannot use the journal folder " + quoted(folder) + ". " +
          (isLink ? std::string("It is a link; links are not followed.") : systemReason(err));
    return OwnedFd();
  }
  struct stat st {};
  if (made) ::fchmod(fd.get(), 0700);
  if (::fstat(fd.get(), &st) != 0) {
    why = "Cannot use the journal folder " + quoted(folder) + ". " + systemReason(errno);
    return OwnedFd();
  }
  if (st.st_uid != ::geteuid()) {
    why = "The journal folder " + quoted(folder) + " belongs to another user; it is not used.";
    return OwnedFd();
  }
  if (st.st_mode & (S_IWGRP | S_IWOTH)) {
    why =
        "The journal folder " + quoted(folder) + " can be written by other users; it is not used.";
    return OwnedFd();
  }
  return fd;
}

std::string savedMarkName(const std::string &journal) {
  return journal + std::string(kSavedMarkSuffix);
}

std::string baseName(const std::string &path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string &path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

struct SavedMark {
  std::size_t length = 0;
  std::size_t rows = 0;
};

// The journal's length and rows when Save Data last wrote all of it; nothing without a mark.
std::optional<SavedMark> readSavedMark(const std::string &journalPath) {
  const OwnedFd fd(::open(savedMarkName(journalPath).c_str(), O_RDONLY | kNoFollow));
  if (fd.get() < 0) return std::nullopt;
  char text[64] = {};
  const ssize_t n = ::read(fd.get(), text, sizeof text - 1);
  if (n <= 0) return std::nullopt;
  SavedMark mark;
  const char *end = text + n;
  auto [at, error] = std::from_chars(text, end, mark.length);
  if (error != std::errc()) return std::nullopt;
  if (at < end && *at == ' ') std::from_chars(at + 1, end, mark.rows);
  return mark;
}

void removeJournalFiles(const std::string &journalPath) {
  ::unlink(journalPath.c_str());
  ::unlink(savedMarkName(journalPath).c_str());
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

// The process that made a journal name (journal-DATE-TIME-PID-N.tsv), hidden or not.
std::optional<pid_t> journalProcess(std::string_view name) {
  if (name.starts_with('.')) name.remove_prefix(1);
  if (!name.starts_with(kJournalPrefix)) return std::nullopt;
  // After the prefix: DATE-TIME-PID-N...
  std::size_t at = kJournalPrefix.size();
  for (int dash = 0; dash < 2; ++dash) {
    at = name.find('-', at);
    if (at == std::string_view::npos) return std::nullopt;
    ++at;
  }
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(name.data() + at, name.data() + name.size(), pid);
  if (error != std::errc() || end == name.data() + at || pid <= 0) return std::nullopt;
  return pid;
}

bool processEnded(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
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

}  // namespace

// --- Descriptors -------------------------------------------------------------------------------

OwnedFd &OwnedFd::operator=(OwnedFd &&other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

void OwnedFd::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string journalFolder(const char *xdgStateHome, const char *home) {
  if (xdgStateHome && xdgStateHome[0] == '/') return std::string(xdgStateHome) + "/vexal/journal";
  if (home && home[0] == '/') return std::string(home) + "/.local/state/vexal/journal";
  return {};
}

std::string journalFolderFromEnvironment() {
  return journalFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

// --- The flusher -----------------------------------------------------------------------------

// The thread that takes the journal to the disk. It shares this state with the journal and
// outlives it when the last flush takes longer than an exit may wait: it owns the folder and
// the journal's descriptors and closes them itself.
struct ReadingJournal::Flusher {
  std::mutex mutex;
  std::condition_variable wake, progress;
  OwnedFd folder;
  int fd = -1;                  // the journal being written
  std::vector<int> retired;     // journals no longer written, to close without a flush
  bool dirty = false;           // written since the last flush
  bool folderUnsynced = false;  // the journal's new name is not on the disk yet
  bool quit = false, finished = false;
  std::uint64_t written = 0, flushed = 0;  // count of writes, and of those on the disk
  std::string syncFailure;
  std::function<int(int)> sync = ::fdatasync;

  void run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return dirty || quit || !retired.empty(); });
      closeRetired(lock);
      if (fd < 0) dirty = false;  // nothing being written
      if (dirty) {
        flush(lock);
        if (!quit) wake.wait_for(lock, kFlushGap, [this] { return quit; });
      } else if (quit) {
        break;
      }
    }
    if (fd >= 0) ::close(fd);
    fd = -1;
    folder.reset();
    finished = true;
    progress.notify_all();
  }

  void closeRetired(std::unique_lock<std::mutex> &lock) {
    std::vector<int> fds = std::exchange(retired, {});
    lock.unlock();
    for (int old : fds) ::close(old);
    lock.lock();
  }

  void flush(std::unique_lock<std::mutex> &lock) {
    dirty = false;
    const int journal = fd;
    const bool folderToo = std::exchange(folderUnsynced, false);
    const std::uint64_t upTo = written;
    const std::function<int(int)> syncFile = sync;
    lock.unlock();
    // The descriptor stays open meanwhile: only this thread closes it.
    const bool synced = syncFile(journal) == 0;
    const int err = errno;
    // The journal's name, too, must survive a power cut: its folder goes to the disk once.
    if (folderToo) ::fsync(folder.get());
    lock.lock();
    if (!synced && syncFailure.empty())
      syncFailure = "Cannot write the journal to the disk. " + systemReason(err);
    flushed = std::max(flushed, upTo);
    progress.notify_all();
  }
};

// --- The journal of this program run ---------------------------------------------------------

ReadingJournal::ReadingJournal(std::string folder) : folder_(std::move(folder)) {
  flusher_ = std::make_shared<Flusher>();
  flusher_->folder = openJournalFolder(folder_, true, folderFailure_);
  if (flusher_->folder.get() < 0) {
    failure_ = folderFailure_;
    flusher_->finished = true;  // no thread to wait for
    return;
  }
  std::thread([flusher = flusher_] { flusher->run(); }).detach();
  open();
}

ReadingJournal::~ReadingJournal() {
  letGo(true);
  std::unique_lock lock(flusher_->mutex);
  flusher_->quit = true;
  flusher_->wake.notify_one();
  flusher_->progress.wait_for(lock, kExitWait, [this] { return flusher_->finished; });
}

// The file is written under a hidden name, locked and given its format line, and only then
// takes its journal name: no other program ever sees it unlocked or without its first line.
void ReadingJournal::open() {
  rows_ = 0;
  length_ = 0;
  failure_.clear();
  failureTold_ = false;  // a journal that fails again after Delete Data is told again
  savedLength_.reset();
  const int dir = flusher_->folder.get();
  if (dir < 0) {
    failure_ = folderFailure_;
    return;
  }
  name_ = newJournalName();
  const std::string hidden = "." + name_;
  const std::string path = folder_ + "/" + name_;
  const int fd =
      ::openat(dir, hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | kNoFollow, 0600);
  if (fd < 0) {
    failure_ = "Cannot create the journal " + quoted(path) + ". " + systemReason(errno);
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !writeAll(fd, kJournalFormatLine) ||
      ::renameat(dir, hidden.c_str(), dir, name_.c_str()) != 0) {
    failure_ = "Cannot write the journal " + quoted(path) + ". " + systemReason(errno);
    ::close(fd);
    ::unlinkat(dir, hidden.c_str(), 0);
    return;
  }
  fd_ = fd;
  path_ = path;
  length_ = kJournalFormatLine.size();
  std::lock_guard lock(flusher_->mutex);
  flusher_->fd = fd;
  flusher_->syncFailure.clear();
  flusher_->dirty = true;  // the first line goes to the disk too
  flusher_->folderUnsynced = true;
  ++flusher_->written;
  flusher_->wake.notify_one();
}

// The file is no longer written here: the flusher flushes it first when `flush` says so,
// and closes it; the GUI thread never waits for that.
void ReadingJournal::letGo(bool flush) {
  if (fd_ < 0) return;
  std::lock_guard lock(flusher_->mutex);
  if (!flush) {
    flusher_->retired.push_back(fd_);
    flusher_->fd = -1;
    flusher_->dirty = false;
  }
  flusher_->wake.notify_one();
  fd_ = -1;
}

std::optional<std::string> ReadingJournal::append(const TableRowView &row) {
  if (!writing()) return reportOnce();
  return writeWhole(journalLine(row), 1);
}

std::optional<std::string> ReadingJournal::writeRows(const ReadingTable &table, std::size_t first,
                                                     std::size_t count) {
  std::string chunk;
  std::size_t chunkRows = 0;
  for (std::size_t row = first; row < first + count; ++row) {
    chunk += journalLine(table.view(row));
    ++chunkRows;
    if (chunk.size() >= kBulkWriteBytes || row + 1 == first + count) {
      if (auto failure = writeWhole(chunk, chunkRows)) return failure;
      observe(TakeOverStep::RowsWritten);
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
  if (!writing()) return failure_;
  {
    std::lock_guard lock(flusher_->mutex);
    if (!flusher_->syncFailure.empty()) {
      stop(flusher_->syncFailure + " (" + path_ + ")");
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
    stop("Cannot write the journal " + quoted(path_) + ". " + systemReason(err));
    return reportOnce();
  }
  length_ += bytes.size();
  rows_ += newRows;
  std::lock_guard lock(flusher_->mutex);
  flusher_->dirty = true;
  ++flusher_->written;
  flusher_->wake.notify_one();
  return std::nullopt;
}

// The steps, each of which may be the last when the program is killed:
//  1. "take-begin", the rows, "take-end": a reader leaves out rows of a take-over without
//     its end, which the old journal still holds;
//  2. this journal goes to the disk;
//  3. the old journal is retired. A reader that finds both with the take-over ended retires
//     the old one itself, so its rows are never offered twice.
std::optional<std::string> ReadingJournal::takeOver(StrandedJournal old, const ReadingTable &table,
                                                    std::size_t first, std::size_t count) {
  const std::string name = baseName(old.path);
  auto failed = [&](const std::string &why) -> std::optional<std::string> {
    failureTold_ = true;  // said here, with what it means for the old journal
    return "This run's journal is not written (" + why + "), so the journal " + quoted(old.path) +
           " is kept for the next start. Save the data to keep its readings.";
  };
  if (!writing()) return failed(failure_);
  if (auto why = writeWhole(journalTakeBeginLine(name), 0)) return failed(failure_);
  observe(TakeOverStep::Begun);
  if (auto why = writeRows(table, first, count)) return failed(failure_);
  if (auto why = writeWhole(journalTakeEndLine(name, count), 0)) return failed(failure_);
  observe(TakeOverStep::Ended);
  // The rows must be on the disk before the old journal goes.
  if (::fdatasync(fd_) != 0) {
    stop("Cannot write the journal " + quoted(path_) + " to the disk. " + systemReason(errno));
    return failed(failure_);
  }
  observe(TakeOverStep::Synced);
  old.retire();
  observe(TakeOverStep::OldRemoved);
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

void ReadingJournal::setFileSync(std::function<int(int)> sync) {
  std::lock_guard lock(flusher_->mutex);
  flusher_->sync = std::move(sync);
}

bool ReadingJournal::waitUntilFlushed(std::chrono::milliseconds timeout) {
  std::unique_lock lock(flusher_->mutex);
  return flusher_->progress.wait_for(lock, timeout, [this] {
    return flusher_->finished || (!flusher_->dirty && flusher_->flushed >= flusher_->written);
  });
}

void ReadingJournal::markSaved() {
  const int dir = flusher_->folder.get();
  if (path_.empty() || dir < 0) return;
  savedLength_ = length_;
  // The mark is written beside the journal and takes its name in one step. A file planted at
  // the temporary name goes first; a link there is never followed.
  const std::string mark = savedMarkName(name_);
  const std::string hidden = mark + std::string(kNewSuffix);
  ::unlinkat(dir, hidden.c_str(), 0);
  const int fd = ::openat(dir, hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | kNoFollow, 0600);
  if (fd < 0) return;  // without a mark the journal is offered again: nothing is lost
  const bool written = writeAll(fd, std::to_string(length_) + " " + std::to_string(rows_));
  if (::close(fd) == 0 && written && ::renameat(dir, hidden.c_str(), dir, mark.c_str()) == 0)
    return;
  ::unlinkat(dir, hidden.c_str(), 0);
}

bool ReadingJournal::saved() const {
  return savedLength_ && *savedLength_ == length_;
}

void ReadingJournal::removeFiles() {
  const int dir = flusher_->folder.get();
  if (name_.empty() || dir < 0) return;
  ::unlinkat(dir, name_.c_str(), 0);
  ::unlinkat(dir, savedMarkName(name_).c_str(), 0);
}

// The rows went with Delete Data: the old file is removed and closed without a flush.
std::optional<std::string> ReadingJournal::restart() {
  if (!path_.empty()) removeFiles();
  letGo(false);
  path_.clear();
  name_.clear();
  open();
  return reportOnce();
}

void ReadingJournal::closeAtExit() {
  const bool keep = rows_ > 0 && !saved();
  if (!path_.empty()) {
    if (keep) {
      // An earlier save's mark no longer holds.
      ::unlinkat(flusher_->folder.get(), savedMarkName(name_).c_str(), 0);
    } else {
      removeFiles();
    }
  }
  // A journal kept gets its last flush; one removed does not need it.
  letGo(keep);
}

// --- Journals left behind --------------------------------------------------------------------

std::string StrandedJournal::keptPath() const {
  return folderOf(path) + "/" + std::string(kKeptPrefix) + baseName(path);
}

void StrandedJournal::retire() {
  if (whole()) {
    discard();
    return;
  }
  ::rename(path.c_str(), keptPath().c_str());
  ::unlink(savedMarkName(path).c_str());
  lock.reset();
}

void StrandedJournal::discard() {
  removeJournalFiles(path);
  lock.reset();
}

namespace {

// The journal named `name` in `folder` when its program no longer runs; its lock is then
// held by the result. Nothing is changed here.
std::optional<StrandedJournal> strandedJournalAt(int dir, const std::string &folder,
                                                 const std::string &name,
                                                 std::vector<std::string> &tookOver) {
  OwnedFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NONBLOCK | kNoFollow));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;  // its program runs
  StrandedJournal journal;
  journal.path = folder + "/" + name;
  journal.lastWritten = st.st_mtime;
  const std::optional<std::string> bytes = readWholeFile(fd.get());
  if (!bytes) return std::nullopt;
  journal.lock = std::move(fd);
  const JournalContents contents = readJournal(*bytes, journal.readings);
  journal.unreadable = contents.unreadable;
  journal.tornTail = contents.tornTail;
  tookOver = contents.tookOver;
  // The mark counts only when it ends on a line end within the file: rows up to it were
  // saved. Any other mark is stale and says nothing.
  if (const auto mark = readSavedMark(journal.path); mark && mark->length > 0 &&
                                                     mark->length <= bytes->size() &&
                                                     (*bytes)[mark->length - 1] == '\n') {
    ReadingTable before;
    readJournal(std::string_view(*bytes).substr(0, mark->length), before);
    journal.savedRows = std::min(before.rowCount(), journal.rows());
  }
  return journal;
}

// Hidden files that programs no longer running left: a journal killed before it took its
// name, a saved mark killed before it took its own.
void removeLeftovers(int dir, const std::vector<std::string> &names) {
  for (const std::string &name : names) {
    const bool hiddenJournal = name.starts_with("." + std::string(kJournalPrefix));
    const bool newMark = name.starts_with(kJournalPrefix) &&
                         name.ends_with(std::string(kSavedMarkSuffix) + std::string(kNewSuffix));
    if (!hiddenJournal && !newMark) continue;
    const auto pid = journalProcess(name);
    if (!pid || !processEnded(*pid)) continue;
    // A hidden journal is locked from its first moment: a lock held means a program runs.
    const OwnedFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NONBLOCK | kNoFollow));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    ::unlinkat(dir, name.c_str(), 0);
  }
}

}  // namespace

std::vector<StrandedJournal> findStrandedJournals(const std::string &folder,
                                                  const std::string &ownPath) {
  std::vector<StrandedJournal> found;
  std::string why;
  const OwnedFd dir = openJournalFolder(folder, false, why);
  if (dir.get() < 0) return found;
  DIR *listing = ::fdopendir(::dup(dir.get()));
  if (!listing) return found;
  std::vector<std::string> names;
  while (const dirent *entry = ::readdir(listing)) names.emplace_back(entry->d_name);
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  removeLeftovers(dir.get(), names);

  std::vector<std::vector<std::string>> tookOver;  // by each journal found
  for (const std::string &name : names) {
    if (!isJournalName(name) || folder + "/" + name == ownPath) continue;
    std::vector<std::string> took;
    if (auto journal = strandedJournalAt(dir.get(), folder, name, took)) {
      found.push_back(std::move(*journal));
      tookOver.push_back(std::move(took));
    }
  }

  // A journal whose rows another one took over whole goes, once that one is on the disk.
  std::set<std::string> taken;
  for (std::size_t i = 0; i < found.size(); ++i)
    for (const std::string &name : tookOver[i])
      if (std::any_of(found.begin(), found.end(),
                      [&](const StrandedJournal &j) { return baseName(j.path) == name; }) &&
          ::fdatasync(found[i].lock.get()) == 0)
        taken.insert(name);
  std::erase_if(found, [&](StrandedJournal &journal) {
    const bool savedWhole =
        journal.whole() && (journal.rows() == 0 || journal.savedRows == journal.rows());
    if (taken.count(baseName(journal.path)))
      journal.retire();
    else if (savedWhole)
      journal.discard();
    else
      return false;
    return true;
  });
  std::stable_sort(found.begin(), found.end(),
                   [](const auto &a, const auto &b) { return a.lastWritten < b.lastWritten; });
  return found;
}

}  // namespace vexal
