#include "CaptureFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace vexal::sim {
namespace {

bool parseHexByte(const std::string &token, std::uint8_t &out) {
  if (token.empty() || token.size() > 2) return false;
  unsigned value = 0;
  for (char c : token) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    value = value * 16 + (std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  out = static_cast<std::uint8_t>(value);
  return true;
}

CaptureItem parseReport(std::istringstream &fields, int lineNo) {
  CaptureItem item;
  std::string token;
  if (!(fields >> token) || !parseHexByte(token, item.reportId))
    throw CaptureError("line " + std::to_string(lineNo) + ": report ID must be a hex byte");
  while (fields >> token) {
    std::uint8_t b;
    if (!parseHexByte(token, b))
      throw CaptureError("line " + std::to_string(lineNo) + ": '" + token + "' is not a hex byte");
    item.data.push_back(b);
  }
  return item;
}

CaptureItem parseWait(std::istringstream &fields, int lineNo) {
  CaptureItem item;
  item.kind = CaptureItem::Wait;
  std::string token, extra;
  if (!(fields >> token) || fields >> extra)
    throw CaptureError("line " + std::to_string(lineNo) + ": W takes one number of ms");
  std::size_t used = 0;
  try {
    item.waitMs = std::stol(token, &used);
  } catch (const std::exception &) {
    used = 0;
  }
  if (used != token.size() || item.waitMs < 0)
    throw CaptureError("line " + std::to_string(lineNo) + ": '" + token +
                       "' is not a number of ms");
  return item;
}

}  // namespace

std::vector<CaptureItem> parseCapture(std::istream &in) {
  std::vector<CaptureItem> items;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    std::string tag;
    if (!(fields >> tag) || tag[0] == '#') continue;
    if (tag == "R")
      items.push_back(parseReport(fields, lineNo));
    else if (tag == "W")
      items.push_back(parseWait(fields, lineNo));
    else
      throw CaptureError("line " + std::to_string(lineNo) + ": expected R, W or #");
  }
  return items;
}

std::vector<CaptureItem> loadCapture(const std::string &path) {
  std::ifstream in(path);
  if (!in) throw CaptureError("cannot open " + path);
  return parseCapture(in);
}

}  // namespace vexal::sim
