#pragma once
// Running a command-line tool from a test: its exit status, what it wrote on standard
// output, and its standard error when that was sent to a file.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vexal::test_tools {

struct ToolRun {
  int status = -1;
  std::string out, err;
};

inline std::string readFile(const std::filesystem::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `commandLine` through the shell and reads its standard output back; `errFile`, where
// the command line sends standard error, is read into `err` when given.
inline ToolRun runShell(const std::string &commandLine, const std::filesystem::path &errFile = {}) {
  ToolRun run;
  FILE *p = popen(commandLine.c_str(), "r");
  if (!p) return run;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.out.append(buf, n);
  const int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!errFile.empty()) run.err = readFile(errFile);
  return run;
}

}  // namespace vexal::test_tools
