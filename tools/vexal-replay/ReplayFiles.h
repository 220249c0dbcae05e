#pragma once
// The replay tool's use of the data files: open before the replay, save or print after it.

#include <functional>
#include <string>

#include "record/ByteSink.h"

#include "record/ReadingTable.h"

namespace vexal {

// Loads a data file into the table (text files add rows, XML files replace them). On
// failure says "Failed to Load File!" on stderr, then the reason, and returns false.
bool openDataFile(const std::string &path, ReadingTable &table);

// Saves the table; on failure prints the program's message on stderr and returns false.
// Success messages are not printed.
bool saveDataFile(const std::string &path, const ReadingTable &table);

// The table as tab-separated text on standard output; false, after saying why on stderr,
// when a write fails. The caller still checks the final flush.
bool writeTableToStdout(const ReadingTable &table);

// Anything written through `produce` on standard output; false, after saying why on stderr,
// when a write fails.
bool writeToStdout(const std::function<void(ByteSink &)> &produce);

}  // namespace vexal
