// Feeds any bytes to the road of a reading: cable reports into the frame assembler, frames
// into the decoder, readings into the recorder. With the first byte odd, the rest goes to
// the decoder directly as frame text instead (texts the assembler would never build).
// Nothing may crash; every recorded row must hold a number and texts of at most 20 bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MeterSession.h"

namespace {

using namespace vexal;

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "frame_fuzz: %s\n", what);
  std::abort();
}

class SteppingClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override { return now_ = (now_ + 700) % kMsPerDay; }

 private:
  std::int32_t now_ = 0;
};

// The whole road of a frame, as the program runs it.
struct Road {
  SteppingClock clock;
  MeterSession session{clock};
  ReadingTable &table = session.cds1;

  void decode(std::string_view frameText) { session.decodeFrame(std::string(frameText)); }
};

// Reports: a length byte (up to 64), then that many bytes of the report.
void feedReports(Road &road, const std::uint8_t *data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    std::size_t length = data[at++] % 65;
    if (length > size - at) length = size - at;
    road.session.ReadLusk(0, data + at, static_cast<std::uint16_t>(length));
    at += length;
  }
  std::uint8_t idle = 0;
  road.session.ReadLusk(0, &idle, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) return 0;
  Road road;
  if (data[0] & 1)
    road.decode(std::string_view(reinterpret_cast<const char *>(data + 1), size - 1));
  else
    feedReports(road, data + 1, size - 1);
  for (std::size_t i = 0; i < road.table.rowCount(); ++i) {
    check(road.table.no(i).has_value(), "a recorded row without a number");
    for (Field f : {Field::Value, Field::Unit, Field::VRange, Field::IRange}) {
      auto text = road.table.text(i, f);
      check(!text || text->size() <= kTextWidth, "a recorded text longer than 20 bytes");
    }
  }
  return 0;
}
