// Parameter lists are read once and kept by where their text is stored:
// macros whose lists have the same length but lie elsewhere each bind
// their own parameters, at the first call and at every later one.
#include "driver/program.h"
#include "memory_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace veldran {
namespace {

TEST(ParameterLists, EachMacroBindsItsOwnParameters) {
  // More macros than lists are kept, so that some share a place.
  std::string input;
  std::string calls;
  std::string expected;
  for (int i = 10; i < 30; ++i) {
    std::string n = std::to_string(i);
    input +=
        "%MACRO:M" + n + "(MINT:P" + n + ")\r\n%INT:P" + n + ";\r\n%MEND\r\n";
    calls += "%M" + n + "(" + n + ")\r\n";
    expected += n + "\r\n";
  }
  MemoryPlatform platform;
  platform.files["TEST.INP"] = input + calls + calls;
  runVeldran(platform, RunOptions{});
  EXPECT_EQ(platform.files["TEST.OUT"], expected + expected);
  EXPECT_EQ(platform.console, "");
}

} // namespace
} // namespace veldran
