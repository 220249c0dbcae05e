#pragma once
// A test's readings as one compact blob: a few bytes per reading (the step of elapsed time,
// the value text, the unit only where it changes), the run's function, mode and start.

#include <string>
#include <string_view>

#include "archive/ArchiveTypes.h"

namespace vexal {

std::string encodeReadings(const TestReadings &readings);
// Throws EArchiveError for bytes that are not such a blob.
TestReadings decodeReadings(std::string_view blob);
// A fingerprint of the blob (16 hex digits) that finds a test stored before.
std::string readingsDigest(std::string_view blob);

}  // namespace vexal
