#pragma once
// Base of the guest tests that run Vexal against the virtual meter: skips where there is no
// uhid, guards against hangs, starts sims and stops them after the test, once the program
// under test has been closed (closeProgram).

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "GuiLoop.h"
#include "SimProcess.h"

namespace vexal::e2e {

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveUhid()) GTEST_SKIP() << "needs /dev/uhid (run through tests/e2e/run-e2e.sh)";
    guard_ = std::make_unique<HangGuard>(std::chrono::seconds(60));
  }
  void TearDown() override {
    closeProgram();
    for (auto &sim : sims_) EXPECT_EQ(sim->stop(), 0) << "the sim's exit status";
    guard_.reset();
  }
  // Ends what the test runs against the sims (the controller, the window).
  virtual void closeProgram() = 0;

  SimProcess &startSim(const std::vector<std::string> &args) {
    sims_.push_back(std::make_unique<SimProcess>(args));
    EXPECT_TRUE(sims_.back()->started()) << sims_.back()->why();
    return *sims_.back();
  }

  std::vector<std::unique_ptr<SimProcess>> sims_;
  std::unique_ptr<HangGuard> guard_;
};

}  // namespace vexal::e2e
