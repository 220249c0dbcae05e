#include "record/DataFiles.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "record/TableDatapacket.h"
#include "record/TableTextFile.h"

namespace vexal {

namespace {

constexpr std::size_t kReadPiece = 1 << 20;
// The XML parser works markedly faster on larger pieces.
constexpr std::size_t kXmlReadPiece = 4 << 20;

std::string reason(int err) {
  return std::generic_category().message(err);
}

EFileError createError(std::string_view path, int err) {
  return EFileError("Cannot create file \"" + std::string(path) + "\". " + reason(err));
}
EFileError writeError(std::string_view path, int err) {
  return EFileError("Cannot write file \"" + std::string(path) + "\". " + reason(err));
}
EFileError openError(std::string_view path, int err) {
  return EFileError("Cannot open file \"" + std::string(path) + "\". " + reason(err));
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result (a write error may only show here).
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

class FileSink : public ByteSink {
 public:
  FileSink(int fd, std::string_view path) : fd_(fd), path_(path) {}
  void write(std::string_view bytes) override {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw writeError(path_, n < 0 ? errno : ENOSPC);
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string_view path_;
};

// The file a save replaces: the path itself, or where a symbolic link at it points.
std::string saveTarget(const std::string &path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char *real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      ::free(real);
      return resolved;
    }
  }
  return path;
}

std::string folderOf(const std::string &path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Creates a new, uniquely named file beside `target`; the umask applies as for any new file.
int createTempBeside(const std::string &target, std::string &tempPath) {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  std::string stem = folderOf(target) + "/." + fileNameOf(target).substr(0, 100) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
               std::to_string(seed() % 100000) + ".tmp";
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes, flushes and closes the temporary file; throws on the first failure.
void fillTemp(Descriptor &fd, const std::string &path,
              const std::function<void(ByteSink &)> &produce) {
  FileSink sink(fd.get(), path);
  produce(sink);
  if (::fsync(fd.get()) != 0 && errno != EINVAL) throw writeError(path, errno);
  if (fd.close() != 0) throw writeError(path, errno);
}

// Opens a regular file for reading; other kinds (folders, pipes, devices) are refused so
// that reading can neither block nor run forever.
int openRegularFile(const std::string &path, struct stat &st) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw openError(path, errno);
  int err = 0;
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;
  else if (!S_ISREG(st.st_mode))
    err = EINVAL;
  if (err != 0) {
    ::close(fd);
    throw openError(path, err);
  }
  return fd;
}

bool loadDatapacket(const std::string &path, ReadingTable &table) {
  struct stat st;
  Descriptor fd(openRegularFile(path, st));
  DatapacketReader reader;
  for (bool last = false; !last;) {
    char *buffer = reader.bufferToFill(kXmlReadPiece);
    if (!buffer) return false;
    ssize_t n = ::read(fd.get(), buffer, kXmlReadPiece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    last = n == 0;
    if (!reader.feedFilled(static_cast<std::size_t>(n), last)) return false;
  }
  return reader.finishInto(table);
}

// Reads the file piece by piece into one buffer that holds at most the unfinished line and
// the next piece, so no copy of the whole file is ever held.
bool loadText(const std::string &path, ReadingTable &table) {
  struct stat st;
  Descriptor fd(openRegularFile(path, st));
  TextTableReader reader(table);
  std::string buffer;
  std::size_t have = 0;  // bytes of an unfinished line at the start of the buffer
  std::size_t left = static_cast<std::size_t>(st.st_size);  // expected, for sizing only
  for (bool last = false; !last;) {
    // A line longer than a piece makes the pieces grow with it, so it is scanned a
    // bounded number of times; near the file's end, no more room than needed is taken.
    std::size_t room = std::max(kReadPiece, have);
    room = std::min(room, std::max(left + 1, kReadPiece));
    if (buffer.size() < have + room) buffer.resize(have + room);
    ssize_t n = ::read(fd.get(), buffer.data() + have, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    have += static_cast<std::size_t>(n);
    left -= std::min(left, static_cast<std::size_t>(n));
    last = n == 0;
    std::size_t used = reader.feed(std::string_view(buffer.data(), have), last);
    if (!reader.result().ok) return false;
    std::memmove(buffer.data(), buffer.data() + used, have - used);
    have -= used;
  }
  return true;
}

}  // namespace

std::string_view fileExtension(std::string_view path) {
  std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

DataFileFormat dataFileFormatFor(std::string_view path) {
  std::string_view ext = fileExtension(path);
  constexpr std::string_view kXml = ".xml";
  if (ext.size() != kXml.size()) return DataFileFormat::Text;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kXml[i]) return DataFileFormat::Text;
  }
  return DataFileFormat::Datapacket;
}

std::string saveSucceededText(std::string_view path) {
  return "Save table to specified file: " + std::string(path) + " Scuss!";
}

std::string saveFailedText(std::string_view path) {
  return "Could not save table to specified file: " + std::string(path);
}

void writeFileAtomically(const std::string &path, const std::function<void(ByteSink &)> &produce) {
  if (path.empty()) throw createError(path, ENOENT);
  std::string target = saveTarget(path);
  std::string temp;
  Descriptor fd(createTempBeside(target, temp));
  if (fd.get() < 0) throw createError(path, errno);
  try {
    struct stat old;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
      ::fchmod(fd.get(), old.st_mode & 07777);
    fillTemp(fd, path, produce);
    if (::rename(temp.c_str(), target.c_str()) != 0) throw createError(path, errno);
  } catch (...) {
    if (fd.get() >= 0) fd.close();
    ::unlink(temp.c_str());
    throw;
  }
}

bool SaveTableToFile(const ReadingTable &table, const std::string &path,
                     DataFileReporter &reporter) {
  if (dataFileFormatFor(path) == DataFileFormat::Datapacket) {
    // A failure travels as EFileError to whoever shows errors; no message here.
    writeFileAtomically(path, [&](ByteSink &sink) { writeTableDatapacket(table, sink); });
    reporter.showMessage(saveSucceededText(path));
    return true;
  }
  bool written = true;
  try {
    writeFileAtomically(path, [&](ByteSink &sink) { writeTableText(table, sink); });
  } catch (const std::exception &) {
    written = false;
  }
  reporter.showMessage(written ? saveSucceededText(path) : saveFailedText(path));
  return written;
}

bool LoadFileToTable(const std::string &path, ReadingTable &table, DataFileReporter &reporter) {
  bool loaded = false;
  try {
    loaded = dataFileFormatFor(path) == DataFileFormat::Datapacket ? loadDatapacket(path, table)
                                                                   : loadText(path, table);
  } catch (const std::exception &) {
    loaded = false;
  }
  if (!loaded) reporter.showLoadFailed();
  return loaded;
}

void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string> &parts) {
  // Built apart first: `text` may be one of the former parts.
  std::vector<std::string> pieces;
  // An empty delimiter occurs nowhere (searching for it would never advance).
  std::size_t at;
  while (!delimiter.empty() && (at = text.find(delimiter)) != std::string_view::npos) {
    pieces.emplace_back(text.substr(0, at));
    text.remove_prefix(at + delimiter.size());
  }
  pieces.emplace_back(text);
  parts = std::move(pieces);
}

}  // namespace vexal
