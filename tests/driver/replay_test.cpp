// Replaying repeat bodies: every pass counts against the run's line
// budget, and a body recorded anew is read anew.
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

// The second body is recorded where the first was given back; names read
// in the first must not be taken for the second's. A faulty expression
// gets its message at every pass.
TEST(ReplayedBody, ABodyRecordedWhereAnotherWasIsReadAnew) {
  MemoryPlatform platform;
  platform.files["TEST.INP"] = "%SET AB=1;\r\n%SET AC=2;\r\n%RPTN 1;\r\n"
                               "%INT:AB;\r\n%REND\r\n%RPTN 2;\r\n"
                               "%INT:AC;%INT:AC+;\r\n%REND\r\n";
  EXPECT_EQ(runVeldran(platform, std::vector<std::string>{}, RunLimits{}), 0);
  EXPECT_EQ(platform.files["TEST.OUT"], "1\r\n20\r\n20\r\n");
  EXPECT_EQ(platform.console, "8/1 in Ausdruck kein Operator gefunden\n"
                              "8/1 in Ausdruck kein Operator gefunden\n");
}

} // namespace
} // namespace veldran
