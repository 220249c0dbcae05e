#include "record/GraphSnapshot.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "record/DataFiles.h"

namespace vexal {

namespace {

EFileError cannotCreate(std::string_view path, int err) {
  return EFileError("Cannot create file \"" + std::string(path) + "\". " + std::strerror(err));
}

std::string homeFolder() {
  if (const char *home = std::getenv("HOME"); home && *home) return home;
  if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

// A new file beside `target` that no one else has opened; the umask applies.
int createTempBeside(const std::string &target, std::string &tempPath) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
               std::to_string(seed() % 1000000) + ".tmp";
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
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

}  // namespace

LocalDateTime SystemDateTimeClock::now() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&t, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

std::string SnapshotStamp(const LocalDateTime &when) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d", ((when.year % 100) + 100) % 100,
                when.month % 100, when.day % 100, when.hour % 100, when.minute % 100);
  return text;
}

std::string snapshotFolderIn(std::string_view home) {
  std::string folder(home);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + "TestGraph/";
}

std::string snapshotFolder() {
#ifdef _WIN32
  return "c:\\TestGraph\\";
#else
  return snapshotFolderIn(homeFolder());
#endif
}

std::string activeSnapshotPath(std::string_view folder, std::string_view stamp,
                               std::string_view pageCaption) {
  return std::string(folder) + std::string(stamp) + "page" + std::string(pageCaption) + ".bmp";
}

std::string wholeSnapshotPath(std::string_view folder, std::string_view stamp) {
  return std::string(folder) + std::string(stamp) + "Fullpage.bmp";
}

std::string snapshotSavedText(std::string_view path) {
  return "graphic has saved on " + std::string(path);
}

void writeFileReplacing(const std::string &path, std::string_view bytes) {
  std::string temp;
  const int fd = createTempBeside(path, temp);
  if (fd < 0) throw cannotCreate(path, errno);
  int err = 0;
  if (!writeAll(fd, bytes))
    err = errno ? errno : EIO;
  else if (::fsync(fd) != 0 && errno != EINVAL)
    err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    throw cannotCreate(path, err);
  }
}

}  // namespace vexal
