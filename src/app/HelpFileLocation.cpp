#include "app/HelpFileLocation.h"

#include <filesystem>
#include <system_error>

namespace vexal {

namespace {

namespace fs = std::filesystem;

bool isFile(const fs::path &path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The data folder relative to the program's folder, from the install layout ("../share/vexal").
constexpr std::string_view kDataDirFromProgram = VEXAL_DATA_DIR_FROM_PROGRAM;

}  // namespace

std::string helpFilePath(const std::string &appDir) {
  const std::string beside = appDir + std::string(kHelpFileName);
  if (isFile(beside)) return beside;
  const fs::path installed =
      (fs::path(appDir) / kDataDirFromProgram / kHelpFileName).lexically_normal();
  if (isFile(installed)) return installed.string();
  return beside;
}

}  // namespace vexal
