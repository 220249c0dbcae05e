#pragma once
// Texts of the error boxes that the message loop and the main window show.

#include <optional>
#include <string>
#include <string_view>

namespace vexal {

// The application title: the title of every error box and the task-bar text.
inline constexpr std::string_view kAppTitle = "Vexal";

// The message as the error box shows it: a full stop is appended when the last character
// sorts after "." in character order (so "x" gets one, "done." and "(1)" do not). Bytes
// compare unsigned, so a message ending in a non-ASCII character gets one too.
std::string withFullStop(std::string_view message);

// Lets a repeated error through only once. The recorder fails the same way for every frame
// while its interval box holds a text that does not convert; the user is told once per
// distinct message, not twice a second.
class RepeatedErrorFilter {
 public:
  // True when `message` differs from the last one let through (or none was).
  bool shouldShow(std::string_view message);
  // Forget the last message, e.g. once the box holds a valid number again.
  void reset() { last_.reset(); }

 private:
  std::optional<std::string> last_;
};

}  // namespace vexal
