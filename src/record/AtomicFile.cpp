#include "record/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <string_view>
#include <system_error>

#include "record/FileDescriptor.h"
#include "record/TempFileCleanup.h"
#include "record/WriteBehindSink.h"

namespace vexal {

namespace {

std::string reason(int err) {
  return std::generic_category().message(err);
}

EFileError createError(std::string_view path, int err) {
  return EFileError("Cannot create file \"" + std::string(path) + "\". " + reason(err));
}
EFileError writeError(std::string_view path, int err) {
  return EFileError("Cannot write file \"" + std::string(path) + "\". " + reason(err));
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

// The file a save replaces: the path itself, or where the chain of symbolic links at it
// ends (also when that file does not exist yet).
std::string saveTarget(const std::string &path) {
  std::string target = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    char link[PATH_MAX];
    ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
    if (n <= 0) return target;
    std::string next(link, static_cast<std::size_t>(n));
    target = next.front() == '/' ? next : folderOf(target) + "/" + next;
  }
  return target;
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

// Writes, flushes and closes; throws on the first failure. Pipes, terminals and character
// devices cannot be synced (EINVAL, ENOTSUP): for them the close is what counts.
void fill(FileDescriptor &fd, const std::string &path,
          const std::function<void(ByteSink &)> &produce) {
  WriteBehindSink sink(fd.get(), [&path](int err) { throw writeError(path, err); });
  produce(sink);
  sink.finish();
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS)
    throw writeError(path, errno);
  if (fd.close() != 0) throw writeError(path, errno);
}

// The existing file's owner and permissions for the new one; an owner the process may not
// give is left as it is.
void keepOwnerAndMode(int fd, const struct stat &old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0)
    (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  ::fchmod(fd, old.st_mode & 07777);
}

void writeStraightThrough(const std::string &path, const std::function<void(ByteSink &)> &produce) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) throw createError(path, errno);
  fill(fd, path, produce);
}

void writeViaTemporary(const std::string &path, const std::string &target,
                       const std::function<void(ByteSink &)> &produce) {
  std::string temp;
  FileDescriptor fd(createTempBeside(target, temp));
  if (fd.get() < 0) throw createError(path, errno);
  TempFileGuard guard(temp);
  try {
    struct stat old;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) keepOwnerAndMode(fd.get(), old);
    fill(fd, path, produce);
    if (::rename(temp.c_str(), target.c_str()) != 0) throw createError(path, errno);
  } catch (...) {
    if (fd.get() >= 0) fd.close();
    ::unlink(temp.c_str());
    throw;
  }
}

}  // namespace

void writeFileAtomically(const std::string &path, const std::function<void(ByteSink &)> &produce) {
  if (path.empty()) throw createError(path, ENOENT);
  struct stat st;
  // Follows every link, also /dev/stdout's to a pipe that has no name to put a file beside.
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw createError(path, EISDIR);
    if (!S_ISREG(st.st_mode)) return writeStraightThrough(path, produce);
  }
  writeViaTemporary(path, saveTarget(path), produce);
}

}  // namespace vexal
