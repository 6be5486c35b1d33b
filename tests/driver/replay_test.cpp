// Replay sources under a line budget: the budget that bounds runs over
// untrusted input also counts the passes of a repeat body.
#include "driver/run.h"
#include "platform/memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

TEST(ReplayBudget, EmptyEndlessRepeatBodyEndsTheRun) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] = "a\r\n%RPT\r\n%REND\r\nb\r\n";
  RunLimits limits;
  limits.lineBudget = 1000;
  EXPECT_EQ(runVeldran(platform, {}, limits), 0);
  EXPECT_EQ(platform.files["TEST.OUT"], "a\r\n");
  EXPECT_EQ(platform.console, "");
}

TEST(ReplayBudget, PassesOfAShortRepeatFitTheBudget) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] = "%RPTN 100;\r\n%REND\r\nb\r\n";
  RunLimits limits;
  limits.lineBudget = 1000;
  EXPECT_EQ(runVeldran(platform, {}, limits), 0);
  EXPECT_EQ(platform.files["TEST.OUT"], "b\r\n");
}

} // namespace
} // namespace veldran
