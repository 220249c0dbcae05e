#pragma once
// Reassembles the meter's transmissions from the cable's input reports. Byte 0 of each
// report holds in its low nibble the number of serial bytes that follow (1 to 9 = data
// report); any other report closes the transmission in progress, which is handed on only
// when its characters 41 to 44 read "0D0A". Feedable from any source: the cable, a capture
// file or a test.
//
// A cable that never sends a report without data must not make the buffer grow without end:
// text that can no longer become a frame (44 characters or more without the line end at 41
// to 44) is dropped at once, as the next report without data would drop it, and a frame
// stops growing at kFrameTextLimit characters (the decoder reads only the first 44).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vexal {

// The longest frame text the assembler holds: a regular transmission is 44 characters.
inline constexpr std::size_t kFrameTextLimit = 1024;

class FrameAssembler {
 public:
  // One input report: `data` holds the `size` bytes after the report-ID byte. The report ID
  // never matters. Returns the frame text (`FrameText`) when this report closed a
  // transmission that holds the line end; the buffer is empty again by then.
  std::optional<std::string> ReadLusk(std::uint8_t reportId, const std::uint8_t *data,
                                      std::uint16_t size);

  const std::string &FrameBuffer() const { return frameBuffer_; }
  bool FrameInProgress() const { return frameInProgress_; }

 private:
  void appendBytes(const std::uint8_t *bytes, unsigned n);

  std::string frameBuffer_;
  bool frameInProgress_ = false;
};

}  // namespace vexal
