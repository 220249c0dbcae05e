#pragma once
// Opening a text data file with two threads: one reads the file and converts its lines into
// rows, while the caller's thread puts the rows of the lines before into the table and
// hears the progress. The rows arrive in file order, exactly as one thread would add them.

#include <cstdint>

#include "record/FileProgress.h"
#include "record/ReadingTable.h"
#include "record/TableTextFile.h"

namespace vexal {

struct TextLoadResult {
  int readError = 0;     // the system's error code when reading the file failed
  TextReadResult lines;  // how the lines read; rows up to a failing line are in the table
};

// Reads the open regular file `fd`, of `size` bytes as far as is known (for the progress and
// the size of the pieces only), into `table`. `progress` is told the bytes read, before
// each piece, on the caller's thread; when it stops the load (EFileCancelled), the rows
// added so far stay for the caller to take back.
TextLoadResult loadTextRows(int fd, std::uint64_t size, ReadingTable &table,
                            FileProgress *progress);

}  // namespace vexal
