#include "link/FrameAssembler.h"

namespace vexal {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}

void FrameAssembler::ReadLusk(std::uint8_t /*reportId*/, const std::uint8_t *data,
                              std::uint16_t size) {
  const unsigned count = size > 0 ? (data[0] & 0x0F) : 0;
  if (count >= 1 && count <= 9) {
    frameInProgress_ = true;
    const unsigned available = size - 1u;
    const unsigned n = count < available ? count : available;
    for (unsigned k = 1; k <= n; ++k) {
      frameBuffer_.push_back(kHex[data[k] >> 4]);
      frameBuffer_.push_back(kHex[data[k] & 0x0F]);
    }
    return;
  }
  if (!frameInProgress_) return;
  frameInProgress_ = false;
  // Hand over a copy and empty the buffer first, so the buffer is clean even when the
  // receiver throws.
  std::string frame;
  frame.swap(frameBuffer_);
  frameBuffer_.reserve(48);
  if (frame.size() >= 44 && frame.compare(40, 4, "0D0A") == 0) sink_(frame);
}

}  // namespace vexal
