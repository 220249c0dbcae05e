#include "common/ErrorText.h"

namespace vexal {

std::string withFullStop(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

bool RepeatedErrorFilter::shouldShow(std::string_view message) {
  if (last_ && *last_ == message) return false;
  last_ = std::string(message);
  return true;
}

}  // namespace vexal
