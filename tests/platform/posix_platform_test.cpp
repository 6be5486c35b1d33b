#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace veldran {
namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::string &path, const std::string &content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Bytes of every value, CR, LF and NUL included, in no regular pattern.
std::string sampleBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char &c : bytes) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 23);
  }
  return bytes;
}

// Reads to the end with requests of the given sizes, in turn.
std::string readAll(InputFile &file, std::vector<std::size_t> pieces) {
  std::string content;
  std::vector<std::uint8_t> buffer(
      *std::max_element(pieces.begin(), pieces.end()));
  int error = 0;
  long n;
  for (std::size_t i = 0;
       (n = file.read(buffer.data(), pieces[i % pieces.size()], error)) > 0;
       ++i)
    content.append(reinterpret_cast<char *>(buffer.data()),
                   static_cast<std::size_t>(n));
  EXPECT_EQ(n, 0) << "error " << error;
  return content;
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
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "veldran-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(const std::string &name) const { return dir_ + "/" + name; }

  std::string dir_;
  PosixPlatform platform_;
  int error_ = 0;
};

// Input files

TEST_F(PosixPlatformTest, ReadingGivesTheFileBackExactly) {
  const std::string content = sampleBytes(300000);
  writeFile(path("in"), content);
  auto in = platform_.openInput(path("in"), error_);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(readAll(*in, {256}), content);
  std::uint8_t byte;
  EXPECT_EQ(in->read(&byte, 1, error_), 0) << "the end stays the end";

  // Pieces smaller and larger than the buffer, in turn.
  in = platform_.openInput(path("in"), error_);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(readAll(*in, {1, 256, 100000, 3, 65536, 70000, 7}), content);
}

TEST_F(PosixPlatformTest, OpenErrors) {
  EXPECT_EQ(platform_.openInput(path("missing"), error_), nullptr);
  EXPECT_EQ(error_, 2);
  EXPECT_EQ(platform_.openInput(dir_, error_), nullptr);
  EXPECT_EQ(error_, 21);
  EXPECT_EQ(platform_.createOutput(dir_, error_), nullptr);
  EXPECT_EQ(error_, 21);
  EXPECT_EQ(platform_.createOutput(path("no/such/dir"), error_), nullptr);
  EXPECT_EQ(error_, 2);
}

// The output file against open input files

TEST_F(PosixPlatformTest, OutputOverAnOpenInputIsRefusedWithoutTruncating) {
  writeFile(path("in"), "keep me");
  ASSERT_EQ(::symlink(path("in").c_str(), path("sym").c_str()), 0);
  ASSERT_EQ(::link(path("in").c_str(), path("hard").c_str()), 0);
  auto in = platform_.openInput(path("in"), error_);
  auto other = platform_.openInput(path("hard"), error_);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(other, nullptr);
  other.reset(); // the file stays open through `in`
  for (const char *name : {"in", "sym", "hard"}) {
    error_ = 0;
    EXPECT_EQ(platform_.createOutput(path(name), error_), nullptr) << name;
    EXPECT_EQ(error_, 16) << name;
  }
  EXPECT_EQ(readFile(path("in")), "keep me");
  EXPECT_EQ(readAll(*in, {256}), "keep me");

  in.reset();
  auto out = platform_.createOutput(path("sym"), error_);
  ASSERT_NE(out, nullptr) << "allowed once the input is closed";
  EXPECT_EQ(readFile(path("in")), "");
}

TEST_F(PosixPlatformTest, OpeningTheOutputForReadingIsRefused) {
  ASSERT_EQ(::symlink(path("out").c_str(), path("sym").c_str()), 0);
  auto out = platform_.createOutput(path("out"), error_);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(
      out->write(reinterpret_cast<const std::uint8_t *>("data"), 4, error_));
  for (const char *name : {"out", "sym"}) {
    error_ = 0;
    EXPECT_EQ(platform_.openInput(path(name), error_), nullptr) << name;
    EXPECT_EQ(error_, 16) << name;
  }
  out.reset();
  auto in = platform_.openInput(path("sym"), error_);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(readAll(*in, {256}), "data");
}

// Output files

TEST_F(PosixPlatformTest, OutputReplacesTheFileAndKeepsEveryByte) {
  writeFile(path("out"), std::string(100000, 'z'));
  const std::string content = sampleBytes(250000);
  auto out = platform_.createOutput(path("out"), error_);
  ASSERT_NE(out, nullptr);
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(content.data());
  // Small writes, one larger than the buffer, and small ones again.
  std::size_t at = 0;
  for (std::size_t size : {1, 255, 256, 100000, 7}) {
    ASSERT_TRUE(out->write(bytes + at, size, error_));
    at += size;
  }
  while (at < content.size()) {
    std::size_t size = std::min<std::size_t>(256, content.size() - at);
    ASSERT_TRUE(out->write(bytes + at, size, error_));
    at += size;
  }
  ASSERT_TRUE(out->flush(error_));
  EXPECT_EQ(readFile(path("out")), content);
}

TEST_F(PosixPlatformTest, OutputIsWrittenOnlyWhenFlushedOrDestroyed) {
  auto out = platform_.createOutput(path("out"), error_);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(
      out->write(reinterpret_cast<const std::uint8_t *>("abc"), 3, error_));
  EXPECT_EQ(readFile(path("out")), "");
  ASSERT_TRUE(
      out->write(reinterpret_cast<const std::uint8_t *>("def"), 3, error_));
  out.reset();
  EXPECT_EQ(readFile(path("out")), "abcdef");
}

TEST_F(PosixPlatformTest, WriteErrorsAreReported) {
  auto out = platform_.createOutput("/dev/full", error_);
  ASSERT_NE(out, nullptr);
  const std::string line = "a line\n";
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(line.data());
  EXPECT_TRUE(out->write(bytes, line.size(), error_)) << "still buffered";
  EXPECT_FALSE(out->flush(error_));
  EXPECT_EQ(error_, 28);

  const std::string big(200000, 'x');
  error_ = 0;
  EXPECT_FALSE(out->write(reinterpret_cast<const std::uint8_t *>(big.data()),
                          big.size(), error_));
  EXPECT_EQ(error_, 28);
}

// Clock

TEST_F(PosixPlatformTest, CounterCountsNanoseconds) {
  std::int64_t frequency = 0, before = 0, after = 0;
  ASSERT_TRUE(platform_.counterFrequency(frequency, error_));
  EXPECT_EQ(frequency, 1000000000);
  ASSERT_TRUE(platform_.counter(before, error_));
  ::usleep(20000);
  ASSERT_TRUE(platform_.counter(after, error_));
  EXPECT_GE(after - before, 20000000);
  EXPECT_LT(after - before, 20000000000);
}

// Console

TEST_F(PosixPlatformTest, ConsoleOutputIsBufferedUntilFlushed) {
  const std::string large = sampleBytes(150000);
  std::string beforeFlush, afterFlush, atEnd;
  {
    Redirect redirect(1, path("console"), O_WRONLY | O_CREAT | O_TRUNC);
    {
      PosixPlatform platform;
      platform.writeConsole("one ", 4);
      beforeFlush = readFile(path("console"));
      platform.flushConsole();
      afterFlush = readFile(path("console"));
      platform.writeConsole("two\0\r\n", 6);
      platform.writeConsole(large.data(), large.size());
      platform.writeConsole("<", 1);
    }
    atEnd = readFile(path("console"));
  }
  EXPECT_EQ(beforeFlush, "");
  EXPECT_EQ(afterFlush, "one ");
  EXPECT_EQ(atEnd, std::string("one two\0\r\n", 10) + large + "<");
}

TEST_F(PosixPlatformTest, ConsoleWordsAreReadLikeScanf) {
  const std::string longWord = std::string(80, 'a') + "bcdef";
  writeFile(path("stdin"), std::string(" \t\n\v\f\rfirst second\n") + longWord +
                               "\r\nx\xff" + std::string("\0y", 2) +
                               "  \nlast");
  std::vector<std::string> words;
  bool atEnd = true, stillAtEnd = true;
  {
    Redirect redirect(0, path("stdin"), O_RDONLY);
    PosixPlatform platform;
    std::string word;
    while (platform.readConsoleWord(word))
      words.push_back(word);
    atEnd = word.empty();
    stillAtEnd = !platform.readConsoleWord(word);
  }
  EXPECT_EQ(words, (std::vector<std::string>{
                       "first", "second", std::string(80, 'a'), "bcdef",
                       std::string("x\xff\0y", 4), "last"}));
  EXPECT_TRUE(atEnd);
  EXPECT_TRUE(stillAtEnd);
}

// Programs

TEST_F(PosixPlatformTest, ProgramExitCode) {
  ProgramResult result = platform_.runProgram("sh -c \"exit 3\"");
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 3u);

  // Exits 7 only when the arguments arrive as split.
  result = platform_.runProgram(
      R"(sh -c "[ \"$0|$1|$2\" = 'a b||q\"\\' ] && exit 7" "a b" "" q\"\\)");
  EXPECT_EQ(result.exitCode, 7u);

  result = platform_.runProgram("sh -c \"kill -9 $$\"");
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 137u) << "128 + SIGKILL";
}

TEST_F(PosixPlatformTest, ProgramThatCannotBeStarted) {
  ProgramResult missing =
      platform_.runProgram("veldran-no-such-program-anywhere x");
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(missing.error, 2u);

  writeFile(path("script"), "#!/bin/sh\nexit 0\n");
  ::chmod(path("script").c_str(), 0644);
  ProgramResult notExecutable = platform_.runProgram(path("script"));
  EXPECT_FALSE(notExecutable.started);
  EXPECT_EQ(notExecutable.error, 13u);

  for (const char *blank : {"", " \t "}) {
    ProgramResult empty = platform_.runProgram(blank);
    EXPECT_FALSE(empty.started);
    EXPECT_EQ(empty.error, 2u);
  }
}

TEST_F(PosixPlatformTest, ProgramDoesNotInheritOurFiles) {
  writeFile(path("in"), "x");
  auto in = platform_.openInput(path("in"), error_);
  auto out = platform_.createOutput(path("out"), error_);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  // Exits 1 when one of its descriptors designates a file of the temp dir.
  ProgramResult result = platform_.runProgram(
      "sh -c \"for f in /proc/$$/fd/*; do case $(readlink $f) in " + dir_ +
      "/*) exit 1;; esac; done\"");
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
}

TEST_F(PosixPlatformTest, ConsoleIsFlushedBeforeTheProgramRuns) {
  std::string got;
  {
    Redirect redirect(1, path("console"), O_WRONLY | O_CREAT | O_TRUNC);
    PosixPlatform platform;
    platform.writeConsole("before ", 7);
    platform.runProgram("sh -c \"printf after\"");
    platform.flushConsole();
    got = readFile(path("console"));
  }
  EXPECT_EQ(got, "before after");
}

} // namespace
} // namespace veldran
