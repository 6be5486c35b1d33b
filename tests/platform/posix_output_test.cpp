// The output file on disk: however the writes are cut, small and large,
// joined or flushed between, the file holds the bytes in their order.
#include "binary_run.h"
#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace veldran {
namespace {

std::string fileContent(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

TEST(PosixOutput, PiecesOfEverySizeArriveWholeAndInOrder) {
  testing::TempDir dir("posix-output");
  PosixPlatform platform;
  std::mt19937 random(5);
  std::string source(700000, '\0');
  for (char &c : source)
    c = static_cast<char>('a' + random() % 26);
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(source.data());
  int error = 0;
  std::string path = (dir.path() / "out").string();
  std::unique_ptr<OutputFile> out = platform.createOutput(path, error);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->writeAlignment(), 262144u);
  std::string expected;
  for (int i = 0; i < 600; ++i) {
    std::size_t limits[] = {300, 16384, 300000};
    std::size_t count = random() % limits[random() % 3];
    std::size_t at = random() % (source.size() - count);
    ASSERT_TRUE(out->write(bytes + at, count, error));
    expected.append(source, at, count);
    if (random() % 20 == 0) {
      ASSERT_TRUE(out->flush(error));
    }
  }
  ASSERT_TRUE(out->commit(error));
  EXPECT_TRUE(fileContent(path) == expected);
}

} // namespace
} // namespace veldran
