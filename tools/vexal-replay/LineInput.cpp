#include "LineInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vexal {

bool LineInput::fill() {
  if (pos_ > 0) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  constexpr std::size_t kPiece = 1 << 16;
  const std::size_t have = buffer_.size();
  buffer_.resize(have + kPiece);
  ssize_t n;
  do n = ::read(fd_, buffer_.data() + have, kPiece);
  while (n < 0 && errno == EINTR);
  buffer_.resize(have + (n > 0 ? static_cast<std::size_t>(n) : 0));
  if (n < 0) error_ = errno;
  if (n == 0) eof_ = true;
  return n > 0;
}

bool LineInput::next(std::string &line) {
  if (error_) return false;
  for (std::size_t scanned = pos_;;) {
    std::size_t lf = buffer_.find('\n', scanned);
    if (lf != std::string::npos) {
      line.assign(buffer_, pos_, lf - pos_);
      pos_ = lf + 1;
      return true;
    }
    scanned = buffer_.size() - pos_;  // offset after fill() moves the rest to the front
    if (eof_ || !fill()) break;
  }
  if (error_ || pos_ == buffer_.size()) return false;
  line.assign(buffer_, pos_, std::string::npos);  // a last line without LF
  pos_ = buffer_.size();
  return true;
}

int openCapture(const std::string &path) {
  int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

}  // namespace vexal
