#pragma once
// Reassembles the meter's transmissions from the cable's input reports. Byte 0 of each
// report holds in its low nibble the number of serial bytes that follow (1 to 9 = data
// report); any other report closes the transmission in progress, which is handed on only
// when its characters 41 to 44 read "0D0A". Feedable from any source: the cable, a capture
// file or a test.

#include <cstdint>
#include <functional>
#include <string>

namespace vexal {

class FrameAssembler {
 public:
  using FrameSink = std::function<void(const std::string &frameText)>;

  explicit FrameAssembler(FrameSink sink) : sink_(std::move(sink)) {}

  // One input report: `data` holds the `size` bytes after the report-ID byte. The report ID
  // never matters. Calls the sink at most once, before returning.
  void ReadLusk(std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size);

  const std::string &FrameBuffer() const { return frameBuffer_; }
  bool FrameInProgress() const { return frameInProgress_; }

 private:
  FrameSink sink_;
  std::string frameBuffer_;
  bool frameInProgress_ = false;
};

}  // namespace vexal
