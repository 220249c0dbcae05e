#include "record/DataFiles.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "record/FileDescriptor.h"
#include "record/TableDatapacket.h"
#include "record/TableTextFile.h"
#include "record/TextFileLoad.h"

namespace vexal {

namespace {

// The XML parser works markedly faster on larger pieces.
constexpr std::size_t kXmlReadPiece = 4 << 20;

std::string reason(int err) {
  return std::generic_category().message(err);
}

// A load failure with its reason, for the user.
class ELoadFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

ELoadFailed loadFailure(std::string_view path, const std::string &what) {
  return ELoadFailed(std::string(path) + ": " + what);
}

// Opens a regular file for reading; other kinds (folders, pipes, devices) are refused so
// that reading can neither block nor run forever.
int openRegularFile(const std::string &path, struct stat &st) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw loadFailure(path, "cannot open the file: " + reason(errno));
  int err = 0;
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;
  if (err != 0) {
    ::close(fd);
    throw loadFailure(path, "cannot open the file: " + reason(err));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw loadFailure(path, "not a regular file");
  }
  return fd;
}

ELoadFailed readFailure(std::string_view path, int err) {
  return loadFailure(path, "cannot read the file: " + reason(err));
}

// A UTF-8 byte-order mark at the start is passed over, as the text reader's header line
// takes it.
void skipByteOrderMark(int fd) {
  char head[3];
  if (::pread(fd, head, sizeof head, 0) == 3 && std::string_view(head, 3) == kUtf8ByteOrderMark)
    ::lseek(fd, 3, SEEK_SET);
}

void loadDatapacket(const std::string &path, ReadingTable &table, FileProgress *progress) {
  struct stat st;
  FileDescriptor fd(openRegularFile(path, st));
  skipByteOrderMark(fd.get());
  DatapacketReader reader;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t done = 0;
  for (bool last = false; !last;) {
    reportProgress(progress, done, size);
    char *buffer = reader.bufferToFill(kXmlReadPiece);
    if (!buffer) throw loadFailure(path, "out of memory");
    ssize_t n = ::read(fd.get(), buffer, kXmlReadPiece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw readFailure(path, errno);
    last = n == 0;
    done += static_cast<std::uint64_t>(n);
    if (!reader.feedFilled(static_cast<std::size_t>(n), last)) break;
  }
  if (!reader.finishInto(table)) throw loadFailure(path, reader.failure());
}

// Reads the file piece by piece (see TextFileLoad.h): no copy of the whole file is ever held.
void loadText(const std::string &path, ReadingTable &table, FileProgress *progress) {
  struct stat st;
  FileDescriptor fd(openRegularFile(path, st));
  const TextLoadResult loaded =
      loadTextRows(fd.get(), static_cast<std::uint64_t>(st.st_size), table, progress);
  if (loaded.readError != 0) throw readFailure(path, loaded.readError);
  const TextReadResult &r = loaded.lines;
  if (!r.ok) throw loadFailure(path, "line " + std::to_string(r.failedLine) + ": " + r.why);
}

}  // namespace

std::string_view fileExtension(std::string_view path) {
  std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

DataFileFormat dataFileFormatFor(std::string_view path) {
  std::string_view ext = fileExtension(path);
  constexpr std::string_view kXml = ".xml";
  if (ext.size() != kXml.size()) return DataFileFormat::Text;
  for (std::size_t i = 0; i < ext.size(); ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kXml[i]) return DataFileFormat::Text;
  }
  return DataFileFormat::Datapacket;
}

std::string saveSucceededText(std::string_view path) {
  return "Save table to specified file: " + std::string(path) + " Scuss!";
}

std::string saveFailedText(std::string_view path) {
  return "Could not save table to specified file: " + std::string(path);
}

bool SaveTableToFile(const ReadingTable &table, const std::string &path, DataFileReporter &reporter,
                     FileProgress *progress) {
  if (dataFileFormatFor(path) == DataFileFormat::Datapacket) {
    // A failure travels as EFileError to whoever shows errors; no message here.
    try {
      writeFileAtomically(path,
                          [&](ByteSink &sink) { writeTableDatapacket(table, sink, progress); });
    } catch (const EFileCancelled &) {
      return false;
    }
    reporter.showMessage(saveSucceededText(path));
    return true;
  }
  bool written = true;
  try {
    writeFileAtomically(path, [&](ByteSink &sink) { writeTableText(table, sink, progress); });
  } catch (const EFileCancelled &) {
    return false;
  } catch (const std::exception &) {
    written = false;
  }
  reporter.showMessage(written ? saveSucceededText(path) : saveFailedText(path));
  return written;
}

bool LoadFileToTable(const std::string &path, ReadingTable &table, DataFileReporter &reporter,
                     FileProgress *progress) {
  const std::size_t rowsBefore = table.rowCount();
  try {
    if (dataFileFormatFor(path) == DataFileFormat::Datapacket)
      loadDatapacket(path, table, progress);
    else
      loadText(path, table, progress);
    return true;
  } catch (const EFileCancelled &) {
    table.removeRowsFrom(rowsBefore);
  } catch (const ELoadFailed &e) {
    reporter.showLoadFailed(e.what());
  } catch (const std::bad_alloc &) {
    reporter.showLoadFailed(path + ": out of memory");
  } catch (const std::exception &e) {
    reporter.showLoadFailed(path + ": " + e.what());
  }
  return false;
}

void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string> &parts) {
  // Built apart first: `text` may be one of the former parts.
  std::vector<std::string> pieces;
  // An empty delimiter occurs nowhere (searching for it would never advance).
  std::size_t at;
  while (!delimiter.empty() && (at = text.find(delimiter)) != std::string_view::npos) {
    pieces.emplace_back(text.substr(0, at));
    text.remove_prefix(at + delimiter.size());
  }
  pieces.emplace_back(text);
  parts = std::move(pieces);
}

}  // namespace vexal
