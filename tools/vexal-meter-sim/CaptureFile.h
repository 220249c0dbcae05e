#pragma once
// Capture files in the replay format: one item per line.
//   R hh  hh hh ...   one input report: the report ID, two blanks, then the data bytes
//   W ms              the time between the reports around it, in milliseconds
//   # ...             comment; blank lines are ignored too

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexal::sim {

struct CaptureItem {
  enum Kind { Report, Wait } kind = Report;
  std::uint8_t reportId = 0;
  std::vector<std::uint8_t> data;  // Report: the bytes after the report ID
  long waitMs = 0;                 // Wait
};

class CaptureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a whole capture. Throws CaptureError "line N: <what is wrong>".
std::vector<CaptureItem> parseCapture(std::istream &in);
std::vector<CaptureItem> loadCapture(const std::string &path);

}  // namespace vexal::sim
