// The --analysis object as a library gives it to every tool: a temperature outside -50 to
// 200 °C corrects nothing.
#include "analysis/AnalysisJson.h"

#include <gtest/gtest.h>

#include "support/RunTables.h"

namespace vexal {
namespace {

TEST(AnalysisJsonTest, ATemperatureOutOfRangeIsAsNoneGiven) {
  test_rows::RunSpec shape;
  shape.value = test_rows::steady(8.0);
  const InsulationRun run = test_rows::runOf(shape);
  const std::string none = analysisJson(run, std::nullopt);
  EXPECT_TRUE(none.ends_with("\"r60_40c\":null,\"pi_applicable\":null}")) << none;
  EXPECT_EQ(analysisJson(run, 300.0), none);
  EXPECT_EQ(analysisJson(run, -50.5), none);
  EXPECT_TRUE(analysisJson(run, 20.0).ends_with("\"r60_40c\":2e+09,\"pi_applicable\":true}"));
}

}  // namespace
}  // namespace vexal
