#include "link/CaptureFormat.h"

#include "common/Hex.h"
#include "link/InputEcho.h"

#include <charconv>

namespace vexal {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view nextToken(std::string_view &s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  std::size_t n = 0;
  while (n < s.size() && !isBlank(s[n])) ++n;
  std::string_view token = s.substr(0, n);
  s.remove_prefix(n);
  return token;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Exactly two hexadecimal digits.
bool hexByte(std::string_view token, std::uint8_t &out) {
  if (token.size() != 2) return false;
  int hi = hexValue(token[0]), lo = hexValue(token[1]);
  if (hi < 0 || lo < 0) return false;
  out = static_cast<std::uint8_t>(hi * 16 + lo);
  return true;
}

CaptureItem parseReport(std::string_view rest) {
  CaptureReport report;
  std::string_view id = nextToken(rest);
  if (id.empty()) return CaptureError{"report without a report ID"};
  if (!hexByte(id, report.reportId))
    return CaptureError{"report ID '" + echoInput(id) + "' is not two hex digits"};
  for (std::string_view token = nextToken(rest); !token.empty(); token = nextToken(rest)) {
    std::uint8_t byte;
    if (!hexByte(token, byte))
      return CaptureError{"data byte '" + echoInput(token) + "' is not two hex digits"};
    if (report.data.size() >= 0xFFFF) return CaptureError{"report longer than 65535 bytes"};
    report.data.push_back(byte);
  }
  return report;
}

CaptureItem parseWait(std::string_view rest) {
  std::string_view token = nextToken(rest);
  if (token.empty()) return CaptureError{"wait without milliseconds"};
  if (!nextToken(rest).empty()) return CaptureError{"wait takes one number"};
  CaptureWait wait;
  auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), wait.ms);
  if (ec != std::errc() || end != token.data() + token.size() || wait.ms > 86'400'000ull * 366)
    return CaptureError{"wait '" + echoInput(token) + "' is not a number of milliseconds"};
  return wait;
}

}  // namespace

CaptureItem parseCaptureLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = line;
  while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  if (rest.empty() || rest.front() == '#') return CaptureNothing{};
  std::string_view kind = nextToken(rest);
  if (kind == "R") return parseReport(rest);
  if (kind == "W") return parseWait(rest);
  return CaptureError{"unknown item '" + echoInput(kind) + "'"};
}

std::string formatCaptureReport(std::uint8_t reportId, const std::uint8_t *data, std::size_t size) {
  std::string out = "R ";
  appendHexByte(out, reportId);
  out += "  ";
  for (std::size_t i = 0; i < size; ++i) {
    appendHexByte(out, data[i]);
    out += ' ';
  }
  return out;
}

}  // namespace vexal
