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

TEST_F(PosixPlatformTest, OpenErrors) {
  writeFile(path("file"), "x");
  const std::string withNul = path("file") + std::string(1, '\0') + "x";
  const std::pair<std::string, int> rows[] = {
      {path("missing"), 2}, {dir_.path().string(), 21}, {withNul, 2}};
  for (const auto &[name, error] : rows) {
    EXPECT_EQ(platform_.openInput(name, error_), nullptr) << name;
    EXPECT_EQ(error_, error) << name;
  }
  EXPECT_EQ(platform_.createOutput(withNul, error_), nullptr);
  EXPECT_EQ(platform_.createOutput(dir_.path().string(), error_), nullptr);
  EXPECT_EQ(error_, 21);
}

// Also through links, and without truncating the input.
TEST_F(PosixPlatformTest, OutputAndInputAreNeverTheSameFile) {
  writeFile(path("in"), "keep me");
  ASSERT_EQ(::symlink(path("in").c_str(), path("sym").c_str()), 0);
  ASSERT_EQ(::link(path("in").c_str(), path("hard").c_str()), 0);
  auto in = platform_.openInput(path("hard"), error_);
  ASSERT_NE(in, nullptr);
  for (const char *name : {"in", "sym", "hard"}) {
    error_ = 0;
    EXPECT_EQ(platform_.createOutput(path(name), error_), nullptr) << name;
    EXPECT_EQ(error_, 16) << name;
  }
  EXPECT_EQ(readFile(path("in")), "keep me");
  in.reset();

  auto out = platform_.createOutput(path("sym"), error_);
  ASSERT_NE(out, nullptr) << "allowed once the input is closed";
  EXPECT_EQ(platform_.openInput(path("hard"), error_), nullptr);
  EXPECT_EQ(error_, 16);
  out.reset();
  EXPECT_NE(platform_.openInput(path("in"), error_), nullptr);
}

// Until the output is committed, the file it replaces need not exist: its
// name, also through a link, is the output's all the same.
TEST_F(PosixPlatformTest, AnOutputNotYetCommittedIsNoInput) {
  ASSERT_EQ(::symlink(path("new").c_str(), path("sym").c_str()), 0);
  auto out = platform_.createOutput(path("new"), error_);
  ASSERT_NE(out, nullptr);
  for (const char *name : {"new", "sym"}) {
    error_ = 0;
    EXPECT_EQ(platform_.openInput(path(name), error_), nullptr) << name;
    EXPECT_EQ(error_, 16) << name;
  }
  ASSERT_TRUE(out->commit(error_));
  out.reset();
  EXPECT_NE(platform_.openInput(path("sym"), error_), nullptr);
}

// A run that never finished leaves the file as it was, and nothing else.
TEST_F(PosixPlatformTest, AnOutputNeverCommittedLeavesNoTrace) {
  writeFile(path("out"), "old");
  for (const char *name : {"out", "new"}) {
    auto out = platform_.createOutput(path(name), error_);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->write(bytesOf(std::string(100000, 'x')), 100000, error_));
  }
  EXPECT_EQ(readFile(path("out")), "old");
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(dir_.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"out"});
}

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
