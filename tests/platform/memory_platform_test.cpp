#include "platform/memory_platform.h"

#include <gtest/gtest.h>

namespace veldran {
namespace {

const std::uint8_t *bytesOf(const std::string &s) {
  return reinterpret_cast<const std::uint8_t *>(s.data());
}

TEST(MemoryPlatform, OutputGoesIntoFilesAndExcludesOpenInputs) {
  MemoryPlatform platform;
  platform.files["out"] = "old content";
  platform.files["in"] = "input";
  int error = 0;
  auto in = platform.openInput("in", error);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(platform.createOutput("in", error), nullptr);
  EXPECT_EQ(error, 16);

  auto out = platform.createOutput("out", error);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(platform.files["out"], "");
  ASSERT_TRUE(out->write(bytesOf("new"), 3, error));
  EXPECT_EQ(platform.openInput("out", error), nullptr);
  EXPECT_EQ(error, 16);
  out.reset();
  EXPECT_EQ(platform.files["out"], "new");
  EXPECT_NE(platform.openInput("out", error), nullptr);
}

TEST(MemoryPlatform, ReadFaultStopsAtItsOffset) {
  MemoryPlatform platform;
  platform.files["f"] = "0123456789";
  platform.readFaults.push_back({"f", 4, 5});
  int error = 0;
  auto in = platform.openInput("f", error);
  ASSERT_NE(in, nullptr);
  std::uint8_t buffer[16];
  EXPECT_EQ(in->read(buffer, 3, error), 3);
  EXPECT_EQ(in->read(buffer, 3, error), 1) << "the bytes before the offset";
  EXPECT_EQ(buffer[0], '3');
  EXPECT_EQ(in->read(buffer, 3, error), -1);
  EXPECT_EQ(error, 5);
  error = 0;
  EXPECT_EQ(in->read(buffer, 3, error), -1) << "and every later read";
  EXPECT_EQ(error, 5);
}

TEST(MemoryPlatform, ConsoleWordsAreConsumedFromTheInput) {
  MemoryPlatform platform;
  platform.consoleInput = "\r\n one " + std::string(82, 'w') + "\v";
  std::string word;
  ASSERT_TRUE(platform.readConsoleWord(word));
  EXPECT_EQ(word, "one");
  ASSERT_TRUE(platform.readConsoleWord(word));
  EXPECT_EQ(word, std::string(80, 'w'));
  EXPECT_EQ(platform.consoleInput, "ww\v");
  ASSERT_TRUE(platform.readConsoleWord(word));
  EXPECT_EQ(word, "ww");
  EXPECT_FALSE(platform.readConsoleWord(word));
}

} // namespace
} // namespace veldran
