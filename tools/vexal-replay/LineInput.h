#pragma once
// Lines of a capture read from a file descriptor, with read errors told apart from the end.

#include <string>

namespace vexal {

class LineInput {
 public:
  // Takes `fd` (not closed here).
  explicit LineInput(int fd) : fd_(fd) {}

  // The next line without its LF; false at the end or on a read error (see error()).
  bool next(std::string &line);
  // The errno of the read that failed, or 0.
  int error() const { return error_; }

 private:
  bool fill();

  int fd_;
  int error_ = 0;
  bool eof_ = false;
  std::string buffer_;
  std::size_t pos_ = 0;
};

// Opens a capture for reading: "-" is standard input; a folder, or anything that cannot be
// opened, gives -1 with errno set.
int openCapture(const std::string &path);

}  // namespace vexal
