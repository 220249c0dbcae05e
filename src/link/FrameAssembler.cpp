#include "link/FrameAssembler.h"

#include "common/Hex.h"

namespace vexal {

std::optional<std::string> FrameAssembler::ReadLusk(std::uint8_t /*reportId*/,
                                                    const std::uint8_t *data, std::uint16_t size) {
  const unsigned count = size > 0 ? (data[0] & 0x0F) : 0;
  if (count >= 1 && count <= 9) {
    frameInProgress_ = true;
    const unsigned available = size - 1u;
    const unsigned n = count < available ? count : available;
    for (unsigned k = 1; k <= n; ++k) appendHexByte(frameBuffer_, data[k]);
    return std::nullopt;
  }
  if (!frameInProgress_) return std::nullopt;
  frameInProgress_ = false;
  // The buffer is empty before the frame is handed on, whatever its receiver does.
  std::string frame;
  frame.swap(frameBuffer_);
  frameBuffer_.reserve(48);
  if (frame.size() >= 44 && frame.compare(40, 4, "0D0A") == 0) return frame;
  return std::nullopt;
}

}  // namespace vexal
