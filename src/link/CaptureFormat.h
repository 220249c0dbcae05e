#pragma once
// The capture file: the cable's input reports as text, one item per line, for replaying a
// session and for bug reports. Keep it stable.
//
//   R 00  F7 11 22 33        one input report: report ID, two blanks, the data bytes
//   W 250                    250 ms pass
//   # comment                ignored, as are blank lines

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vexal {

struct CaptureReport {
  std::uint8_t reportId = 0;
  std::vector<std::uint8_t> data;  // the bytes after the report ID
};
struct CaptureWait {
  std::uint64_t ms = 0;
};
struct CaptureNothing {};  // blank line or comment
struct CaptureError {
  std::string what;
};

using CaptureItem = std::variant<CaptureNothing, CaptureReport, CaptureWait, CaptureError>;

// Reads one line (without its line end; a trailing CR is allowed).
CaptureItem parseCaptureLine(std::string_view line);

// "R %.2X  " then "%.2X " per data byte: the form the replay reads.
std::string formatCaptureReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size);

}  // namespace vexal
