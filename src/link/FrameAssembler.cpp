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
    appendBytes(data + 1, n);
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

void FrameAssembler::appendBytes(const std::uint8_t *bytes, unsigned n) {
  for (unsigned k = 0; k < n && frameBuffer_.size() < kFrameTextLimit; ++k)
    appendHexByte(frameBuffer_, bytes[k]);
  // Past character 44 without the line end in place, no later byte can make this a frame.
  if (frameBuffer_.size() >= 44 && frameBuffer_.compare(40, 4, "0D0A") != 0) frameBuffer_.clear();
}

}  // namespace vexal
