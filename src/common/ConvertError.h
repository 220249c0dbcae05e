#pragma once
// The error of a text that does not convert to a number ("'%s' is not a valid integer
// value"): raised by the decoder for a frame character that is no hexadecimal digit and by
// the recorder for an interval box text that is no whole number.

#include <stdexcept>

namespace vexal {

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vexal
