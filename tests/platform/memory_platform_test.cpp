#include "memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

// The in-memory output replaces its file only at a commit of a whole
// output; a failure already reported still counts at the commit.
TEST(MemoryPlatform, TheOutputReplacesItsFileOnlyWhenCommittedWhole) {
  const struct {
    const char *what;
    int writeError, closeError; // injected while writing, at the commit
    bool readOutput;            // an input of the output's name is tried
    bool commit;
    const char *content;
    int error;
  } rows[] = {
      {"committed", 0, 0, false, true, "new", 0},
      {"never committed", 0, 0, false, false, "old", 0},
      {"a write failed", 28, 0, false, true, "old", 28},
      {"the close failed", 0, 5, false, true, "old", 5},
      {"the output was to be read", 0, 0, true, true, "old", 16},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.what);
    MemoryPlatform platform;
    platform.files["OUT"] = "old";
    int error = 0;
    auto out = platform.createOutput("OUT", error);
    ASSERT_NE(out, nullptr);
    platform.writeError = row.writeError;
    out->write(reinterpret_cast<const std::uint8_t *>("new"), 3, error);
    platform.writeError = 0;
    platform.closeError = row.closeError;
    if (row.readOutput) {
      EXPECT_EQ(platform.openInput("OUT", error), nullptr);
      EXPECT_EQ(error, 16);
    }
    EXPECT_EQ(platform.files["OUT"], "old");
    error = 0;
    if (row.commit) {
      EXPECT_EQ(out->commit(error), row.error == 0);
    }
    out.reset();
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(platform.files["OUT"], row.content);
  }
}

} // namespace
} // namespace veldran
