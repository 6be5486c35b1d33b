#include "platform/posix_platform.h"

#include "binary_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace veldran {
namespace {

using testing::readFile;
using testing::writeFile;

// Bytes of every value, CR, LF and NUL included.
std::string sampleBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i * 131 + i / 256);
  return bytes;
}

const std::uint8_t *bytesOf(const std::string &s) {
  return reinterpret_cast<const std::uint8_t *>(s.data());
}

// Points a standard descriptor at a file for the lifetime of the object.
// Nothing may be printed by the test while stdout is redirected.
class Redirect {
public:
  Redirect(int fd, const std::string &path, int flags) : fd_(fd) {
    std::fflush(stdout);
    saved_ = ::dup(fd);
    int file = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    ::dup2(file, fd);
    ::close(file);
  }
  ~Redirect() {
    ::dup2(saved_, fd_);
    ::close(saved_);
  }
  Redirect(const Redirect &) = delete;
  Redirect &operator=(const Redirect &) = delete;

private:
  int fd_;
  int saved_;
};

class PosixPlatformTest : public ::testing::Test {
protected:
  std::string path(const std::string &name) const {
    return (dir_.path() / name).string();
  }

  testing::TempDir dir_{"posix"};
  PosixPlatform platform_;
  int error_ = 0;
};

TEST_F(PosixPlatformTest, OutputReplacesTheFileAndKeepsEveryByte) {
  writeFile(path("out"), std::string(100000, 'z'));
  const std::string content = sampleBytes(250000);
  auto out = platform_.createOutput(path("out"), error_);
  ASSERT_NE(out, nullptr);
  // Writes below, at and above the buffer's limits, then small ones.
  std::size_t at = 0;
  for (std::size_t size : {1, 255, 16383, 16384, 100000, 7}) {
    ASSERT_TRUE(out->write(bytesOf(content) + at, size, error_));
    at += size;
  }
  for (; at < content.size(); at += 256)
    ASSERT_TRUE(out->write(bytesOf(content) + at,
                           std::min<std::size_t>(256, content.size() - at),
                           error_));
  out->flush(error_);
  EXPECT_EQ(readFile(path("out")), std::string(100000, 'z'));
  EXPECT_TRUE(out->commit(error_));
  EXPECT_EQ(readFile(path("out")), content);
}

TEST_F(PosixPlatformTest, ConsoleKeepsEveryByteInOrder) {
  const std::string large = sampleBytes(150000);
  {
    Redirect redirect(1, path("console"), O_WRONLY | O_CREAT | O_TRUNC);
    PosixPlatform platform;
    platform.writeConsole("one\0\r\n", 6);
    platform.writeConsole(large.data(), large.size());
    platform.writeConsole("<", 1);
  }
  EXPECT_EQ(readFile(path("console")),
            std::string("one\0\r\n", 6) + large + "<");
}

// As scanf("%80s") reads them; the end of the input is final.
TEST_F(PosixPlatformTest, ConsoleWords) {
  writeFile(path("stdin"), std::string(" \t\n\v\f\rfirst second\n") +
                               std::string(80, 'a') + "bcdef\r\nx\xff" +
                               std::string("\0y", 2) + "  \nlast");
  std::vector<std::string> words;
  bool stillAtEnd = false;
  {
    Redirect redirect(0, path("stdin"), O_RDONLY);
    PosixPlatform platform;
    std::string word;
    while (platform.readConsoleWord(word))
      words.push_back(word);
    EXPECT_EQ(word, "");
    stillAtEnd = !platform.readConsoleWord(word);
  }
  EXPECT_EQ(words, (std::vector<std::string>{
                       "first", "second", std::string(80, 'a'), "bcdef",
                       std::string("x\xff\0y", 4), "last"}));
  EXPECT_TRUE(stillAtEnd);
}

} // namespace
} // namespace veldran
