#pragma once
// Meter frames the tests share, and how the cable delivers them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexal {

// The worked example: "12.34" GΩ on the 1000 V test ("IR:1000V 40GΩ"), continuous.
inline constexpr const char *kWorkedExampleFrame = "FFC0000000000000000006EBA7368057D7DFD0EF0D0A";

// A frame's hexadecimal text as the cable sends it: reports of seven serial bytes (the last
// one shorter) behind their count byte, then a report without data that closes it.
inline std::vector<std::vector<std::uint8_t>> cableReportsFor(std::string_view hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(
        static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t at = 0; at < bytes.size(); at += 7) {
    const std::size_t n = std::min<std::size_t>(7, bytes.size() - at);
    std::vector<std::uint8_t> report{static_cast<std::uint8_t>(n)};
    report.insert(report.end(), bytes.begin() + at, bytes.begin() + at + n);
    reports.push_back(std::move(report));
  }
  reports.push_back({0x00});
  return reports;
}

}  // namespace vexal
