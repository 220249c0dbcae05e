#pragma once
// The one place where the archive turns a test's readings into results and a verdict: the
// run is found in its readings as in a recorded table, and judged with the asset's
// particulars and the test's winding temperature.

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/InsulationAssessment.h"
#include "archive/ArchiveTypes.h"
#include "record/ReadingTable.h"

namespace vexal {

struct InsulationRun;

// The judgement's terms for an asset's kind, class and winding, and back.
EquipmentKind equipmentKindOf(AssetKind kind);
AssetKind assetKindOf(EquipmentKind kind);
InsulationClass insulationClassOf(ArchiveClass c);
WindingKind windingKindOf(ArchiveWinding winding);
ArchiveClass archiveClassOf(InsulationClass c);
ArchiveWinding archiveWindingOf(WindingKind kind);

// Whether the readings are one insulation run (as a table of them would show).
bool isOneRun(const TestReadings &readings);

// The results of a test's readings for `asset` with the winding temperature.
TestResults judgeTest(const TestReadings &readings, const Asset &asset,
                      std::optional<double> windingTemperatureC);

// The insulation runs of a data file's table (as `vexal-replay --analysis --open FILE` finds
// them), each as a test's readings.
std::vector<TestReadings> testReadingsOfTable(const ReadingTable &table, std::int64_t runGapMs);

}  // namespace vexal
