#pragma once
// The road of a reading without a screen or a device: cable reports in, frames assembled,
// decoded into the LCD mirror and the current reading, readings recorded into the table.
// The main window and the replay tool both drive this same object.

#include <cstdint>
#include <functional>
#include <string>

#include "decode/FrameDecoder.h"
#include "decode/PanelState.h"
#include "decode/Reading.h"
#include "link/FrameAssembler.h"
#include "record/ReadingTable.h"
#include "record/Recorder.h"
#include "record/TimeOfDay.h"

namespace vexal {

class MeterPipeline : private DecoderHooks {
 public:
  explicit MeterPipeline(Clock &clock);

  // One cable input report (the bytes after the report-ID byte).
  void ReadLusk(std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size) {
    assembler.ReadLusk(reportId, data, size);
  }

  // Hooks to the link and the window; each may be left empty.
  std::function<void()> onRestartWatchdog;
  std::function<void()> onLinkHold;
  // After every decoder call (also a frame that failed its line-end test); `recorded` says
  // whether it became a row.
  std::function<void(bool recorded)> onFrameDecoded;

  PanelState panel;
  Reading reading;
  ReadingTable cds1;
  Recorder recorder;
  FrameDecoder decoder;
  FrameAssembler assembler;

 private:
  void decodeFrame(const std::string &frameText);
  void restartWatchdog() override;
  void requestLinkHold() override;
  void INDataToTable(std::int32_t source) override;

  bool recordedThisFrame_ = false;
};

}  // namespace vexal
