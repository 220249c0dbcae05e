#include "record/GraphSnapshot.h"

#include "record/AtomicFile.h"
#include "record/ByteSink.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "record/DataFiles.h"

namespace vexal {

namespace {

std::string homeFolder() {
  if (const char *home = std::getenv("HOME"); home && *home) return home;
  if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
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
  try {
    writeFileAtomically(path, [&](ByteSink &sink) { sink.write(bytes); });
  } catch (const EFileError &error) {
    // A picture that could not be written all the way is a file that could not be created.
    constexpr std::string_view kWriteFailed = "Cannot write file ";
    const std::string_view message = error.what();
    if (message.substr(0, kWriteFailed.size()) != kWriteFailed) throw;
    throw EFileError("Cannot create file " + std::string(message.substr(kWriteFailed.size())));
  }
}

}  // namespace vexal
