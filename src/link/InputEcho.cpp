#include "link/InputEcho.h"

namespace vexal {

std::string echoInput(std::string_view text, std::size_t limit) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  const std::size_t kept = text.size() < limit ? text.size() : limit;
  for (std::size_t i = 0; i < kept; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (kept < text.size()) out += "...";
  return out;
}

}  // namespace vexal
