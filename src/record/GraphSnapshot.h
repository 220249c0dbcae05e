#pragma once
// Pictures of the trend chart: the file names made from the date and time, the folder they
// go to, the message that tells the user where, and a write that never leaves half a file.

#include <string>
#include <string_view>

namespace vexal {

struct LocalDateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0;
};

// The local date and time as the chart pictures see it; tests supply their own.
class DateTimeClock {
 public:
  virtual ~DateTimeClock() = default;
  virtual LocalDateTime now() = 0;
};

class SystemDateTimeClock : public DateTimeClock {
 public:
  LocalDateTime now() override;
};

// "yymmddhhnn": two digits each for year, month, day, hour (24-hour clock) and minute.
std::string SnapshotStamp(const LocalDateTime &when);

// The pictures' folder with a trailing separator: "c:\TestGraph\" on Windows, elsewhere
// "TestGraph" in the user's home folder. The folder is not created.
std::string snapshotFolder();
std::string snapshotFolderIn(std::string_view home);

// Save Active Graphic names the picture after the page-number caption, Save Whole not.
std::string activeSnapshotPath(std::string_view folder, std::string_view stamp,
                               std::string_view pageCaption);
std::string wholeSnapshotPath(std::string_view folder, std::string_view stamp);
std::string snapshotSavedText(std::string_view path);

// Writes `bytes` to a temporary file beside `path`, flushes it and renames it over `path`.
// On any failure nothing is left behind and EFileError "Cannot create file "<path>".
// <reason>" is thrown.
void writeFileReplacing(const std::string &path, std::string_view bytes);

}  // namespace vexal
