#include "ReplayFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "record/DataFiles.h"
#include "record/TableTextFile.h"

namespace vexal {

namespace {

// Command-line form of the program's message boxes: only failures are said, on stderr.
class StderrReporter : public DataFileReporter {
 public:
  explicit StderrReporter(std::string successText) : successText_(std::move(successText)) {}
  void showMessage(const std::string &text) override {
    if (text != successText_) std::cerr << text << "\n";
  }
  void showLoadFailed(const std::string &reason) override {
    std::cerr << kLoadFailedText << "\n" << reason << "\n";
  }

 private:
  std::string successText_;
};

class StdoutSink : public ByteSink {
 public:
  void write(std::string_view bytes) override {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
      throw EFileError(std::string("cannot write to standard output: ") + std::strerror(errno));
  }
};

}  // namespace

bool openDataFile(const std::string &path, ReadingTable &table) {
  StderrReporter reporter("");
  return LoadFileToTable(path, table, reporter);
}

bool saveDataFile(const std::string &path, const ReadingTable &table) {
  StderrReporter reporter(saveSucceededText(path));
  try {
    return SaveTableToFile(table, path, reporter);
  } catch (const EFileError &e) {
    std::cerr << e.what() << "\n";
    return false;
  }
}

bool writeTableToStdout(const ReadingTable &table) {
  return writeToStdout([&](ByteSink &sink) { writeTableText(table, sink); });
}

bool writeToStdout(const std::function<void(ByteSink &)> &produce) {
  StdoutSink sink;
  try {
    produce(sink);
  } catch (const EFileError &e) {
    std::cerr << "vexal-replay: " << e.what() << "\n";
    return false;
  }
  return true;
}

}  // namespace vexal
