// Every pass of a repeat body counts against the run's line budget.
#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

TEST(ReplayBudget, AnEmptyEndlessBodyEndsTheRunAndShortOnesFit) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] =
      "%RPTN 100;\r\n%REND\r\na\r\n%RPT\r\n%REND\r\nb\r\n";
  EXPECT_EQ(runVeldran(platform, std::vector<std::string>{}, RunLimits{1000}),
            4);
  EXPECT_EQ(platform.files["TEST.OUT"], "a\r\n");
}

} // namespace
} // namespace veldran
