#pragma once
// What the file benchmarks share: the folder their large files go to ($VEXAL_BENCH_DIR, else
// /tmp/vexal-bench) and a data-file reporter that shows nothing.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "record/DataFiles.h"

namespace vexal::bench {

class QuietReporter : public DataFileReporter {
 public:
  void showMessage(const std::string &) override {}
  void showLoadFailed(const std::string &) override { failed = true; }
  bool failed = false;
};

inline std::string benchDir() {
  const char *env = std::getenv("VEXAL_BENCH_DIR");
  std::string dir = env && *env ? env : "/tmp/vexal-bench";
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace vexal::bench
