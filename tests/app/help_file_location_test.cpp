// Where F1 finds lusk.hlp: beside the program (a build folder), else in the installed data
// folder <prefix>/share/vexal beside <prefix>/bin, else the place beside the program, where
// the viewer then reports it missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/HelpFileLocation.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

// A scratch prefix laid out as an installed program: <root>/usr/bin and <root>/usr/share/vexal.
struct InstalledTree {
  InstalledTree() {
    root = fs::temp_directory_path() / ("vexal-help-location-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "usr" / "bin");
    fs::create_directories(root / "usr" / "share" / "vexal");
  }
  ~InstalledTree() { fs::remove_all(root); }
  std::string programDir() const { return (root / "usr" / "bin").string() + "/"; }
  std::string beside() const { return (root / "usr" / "bin" / "lusk.hlp").string(); }
  std::string installed() const { return (root / "usr" / "share" / "vexal" / "lusk.hlp").string(); }
  fs::path root;
};

enum class Entry { None, File, Folder };

void make(const std::string &path, Entry entry) {
  if (entry == Entry::File) std::ofstream(path) << "<html><body><h1>Vexal</h1></body></html>";
  if (entry == Entry::Folder) fs::create_directory(path);
}

TEST(HelpFileLocation, BesideTheProgramFirstThenTheInstalledDataFolder) {
  enum class Found { Beside, Installed };
  struct Case {
    const char *what;
    Entry beside;
    Entry installed;
    Found found;
  };
  const Case cases[] = {
      {"a build folder: only beside", Entry::File, Entry::None, Found::Beside},
      {"an installed program: only in the data folder", Entry::None, Entry::File, Found::Installed},
      {"both: the one beside wins", Entry::File, Entry::File, Found::Beside},
      {"neither: beside, for the viewer to report", Entry::None, Entry::None, Found::Beside},
      {"a folder of that name beside is no help file", Entry::Folder, Entry::File,
       Found::Installed},
      {"a folder of that name in the data folder neither", Entry::None, Entry::Folder,
       Found::Beside},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const InstalledTree tree;
    make(tree.beside(), c.beside);
    make(tree.installed(), c.installed);
    const std::string path = helpFilePath(tree.programDir());
    EXPECT_EQ(path, c.found == Found::Beside ? tree.beside() : tree.installed());
    EXPECT_EQ(path.find("/../"), std::string::npos) << path;
  }
}

}  // namespace
}  // namespace vexal
