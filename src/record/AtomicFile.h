#pragma once
// Writing a whole file so that a failure never destroys what was there: the data files,
// the graph snapshots and the report exports all save through here.

#include <functional>
#include <stdexcept>
#include <string>

#include "record/ByteSink.h"

namespace vexal {

// A file that could not be created or written, with the system's reason.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the file at `path` through `produce`.
//
// A regular file (or a name not yet taken) is written into a temporary file beside it,
// which replaces it only once everything was written and flushed to disk; on any failure
// the old file stays and no temporary file remains, also when SIGINT or SIGTERM ends the
// process meanwhile (see TempFileCleanup.h). A symbolic link is followed: the temporary
// file goes beside the file it points to, which is the one replaced. An existing file keeps
// its permissions and, where the process may set it, its owner.
//
// Anything else that exists at `path` (a character or block device, a FIFO, a socket, or
// /dev/stdout on a pipe) is written straight through: it is never replaced by a file.
//
// Throws EFileError ("Cannot create file "<path>". <reason>" or "Cannot write file ...");
// any exception from `produce` passes through.
void writeFileAtomically(const std::string &path, const std::function<void(ByteSink &)> &produce);

}  // namespace vexal
