#include "app/MeterPipeline.h"

namespace vexal {

MeterPipeline::MeterPipeline(Clock &clock)
    : recorder(cds1, reading, clock),
      decoder(panel, reading, *this),
      assembler([this](const std::string &frame) { decodeFrame(frame); }) {}

void MeterPipeline::decodeFrame(const std::string &frameText) {
  recordedThisFrame_ = false;
  decoder.ShowDataKorv(frameText);
  if (onFrameDecoded) onFrameDecoded(recordedThisFrame_);
}

void MeterPipeline::restartWatchdog() {
  if (onRestartWatchdog) onRestartWatchdog();
}

void MeterPipeline::requestLinkHold() {
  if (onLinkHold) onLinkHold();
}

void MeterPipeline::INDataToTable(std::int32_t source) {
  recordedThisFrame_ = recorder.INDataToTable(source);
}

}  // namespace vexal
