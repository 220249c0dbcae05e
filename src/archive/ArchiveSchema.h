#pragma once
// The archive's schema: its text for both engines, its version, and the one place where an
// archive is created and brought forward to the current version.

#include "archive/ArchiveEngine.h"

namespace vexal {

inline constexpr int kFirstArchiveVersion = 1;
// 2: every change of an asset's particulars kept with its date.
inline constexpr int kArchiveVersion = 2;

// Creates the schema of `version` (kFirstArchiveVersion … kArchiveVersion) in an empty
// archive, as that version of the program did; tests make older archives this way.
void createArchiveSchema(ArchiveEngine &engine, int version);

// Makes the archive ready: creates the schema in an empty one, migrates an older one forward
// in one transaction, and refuses (leaving it as it is) a newer one or a database that is not
// an archive. Returns the version.
int prepareArchiveSchema(ArchiveEngine &engine);

// The current time in UTC, "YYYY-MM-DDTHH:MM:SSZ".
std::string utcNow();

}  // namespace vexal
