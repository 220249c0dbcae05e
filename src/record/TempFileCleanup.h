#pragma once
// Temporary files that a save is writing right now, removed if the process is ended by
// SIGINT or SIGTERM in the middle of it. The handler only unlinks the registered paths and
// then ends the process as the signal's previous action would, so an interrupted save
// leaves the old file as it was and no temporary file beside it.

#include <string>

namespace vexal {

// Installs the handler for SIGINT and SIGTERM once; later calls do nothing. Programs call
// it at start-up; saves register their files whether or not it was installed.
void installTempFileCleanup();

// Registers a path for removal on those signals for as long as the object lives. A path
// that does not fit a slot (all taken, or too long) is simply not registered.
class TempFileGuard {
 public:
  explicit TempFileGuard(const std::string &path);
  ~TempFileGuard();
  TempFileGuard(const TempFileGuard &) = delete;
  TempFileGuard &operator=(const TempFileGuard &) = delete;

 private:
  int slot_ = -1;
};

}  // namespace vexal
