// The built binary under conditions only a real process meets: standard
// streams closed by the caller, the descriptor limit, large pipes. Peak
// memory is that of the whole shell command, of which the processor is by
// far the largest part.
#include "binary_run.h"
#include "reliability/sanitized.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace veldran::testing {
namespace {

struct ShellRun {
  int status = -1;    // exit status of the command
  long peakKb = 0;    // largest resident set of the command's processes
  double seconds = 0; // wall-clock time
};

ShellRun runShell(const std::filesystem::path &dir,
                  const std::string &command) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGPIPE, SIG_DFL);
    if (::chdir(dir.c_str()) == 0)
      ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    ::_exit(127);
  }
  ShellRun run;
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKb = usage.ru_maxrss;
  run.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  return run;
}

// The sanitizers' shadow memory is not the processor's.
void expectSmallPeak(const ShellRun &r) {
  if (!kSanitized) {
    EXPECT_LT(r.peakKb, 16 * 1024);
  }
}

std::string binary() { return std::string("'") + VELDRAN_BINARY + "'"; }

void writeFile(const std::filesystem::path &p, const std::string &bytes) {
  FILE *f = std::fopen(p.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string repeat(const std::string &text, std::size_t times) {
  std::string s;
  for (std::size_t i = 0; i < times; ++i)
    s += text;
  return s;
}

TEST(RealBinary, ClosedStandardInputIsTheEndOfTheConsoleInput) {
  // The input file is larger than what one read takes in, so that a
  // console read from its descriptor would find words in it.
  TempDir dir("closed-stdin");
  writeFile(dir.path() / "IN",
            "first\r\n%ACC: X A20;\r\n" + repeat("line\r\n", 1000));
  ShellRun r = runShell(dir.path(), binary() + " IN OUT <&- >console");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "console"),
            "2/2 ACC - Ende der Konsoleneingabe - Abbruch\n");
  EXPECT_EQ(readFile(dir.path() / "OUT"), "first\r\n");
}

TEST(RealBinary, ClosedStandardOutputKeepsMessagesOutOfTheOutput) {
  // CALL writes the console out before the program starts.
  TempDir dir("closed-stdout");
  writeFile(dir.path() / "IN",
            "one\r\n%DISP:shown\r\n%CALL:true\r\n%DISP:again\r\ntwo\r\n");
  ShellRun r = runShell(dir.path(), binary() + " IN OUT <&- >&-");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "OUT"), "one\r\ntwo\r\n");
}

TEST(RealBinary, AConsoleReaderThatGoesAwayCostsNoOutput) {
  // Far more messages than a pipe holds; each line with a message is
  // written as an empty line.
  std::string input;
  for (int i = 0; i < 20000; ++i)
    input += "%NOSUCH\r\nline\r\n";
  TempDir dir("console-reader-gone");
  writeFile(dir.path() / "IN", input);
  ShellRun r = runShell(dir.path(), "{ " + binary() +
                                        " IN OUT; echo $? >rc; } | head -c 10 "
                                        ">/dev/null");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "rc"), "0\n");
  EXPECT_TRUE(readFile(dir.path() / "OUT") == repeat("\r\nline\r\n", 20000));
}

TEST(RealBinary, AnOutputReaderThatGoesAwayIsAFailedWrite) {
  TempDir dir("output-reader-gone");
  writeFile(dir.path() / "IN", repeat("line\r\n", 100000));
  ShellRun r = runShell(dir.path(), "{ " + binary() +
                                        " IN /dev/fd/3 3>&1 >console; echo $? "
                                        ">rc; } | head -c 10 >/dev/null");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "rc"), "1\n");
  EXPECT_EQ(readFile(dir.path() / "console"),
            "VELDRAN-l00870-W WriteFile() Error 32.\n");
}

TEST(RealBinary, IncludeRecursionEndsWhenNoFileCanBeOpened) {
  // Standard input, output and error, the input and the output file take
  // five of the 1024 descriptors; every other one holds a level of the
  // recursion until the open fails with EMFILE.
  TempDir dir("include-recursion");
  writeFile(dir.path() / "SELF", "a\r\n%INCLUDE SELF\r\nb\r\n");
  ShellRun r = runShell(dir.path(),
                        "ulimit -n 1024 && " + binary() + " SELF OUT >console");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "console"),
            "Include:SELF DosOpen Error: return code = 24.\n");
  std::string out = readFile(dir.path() / "OUT");
  std::size_t levels = out.find('b') / 3;
  EXPECT_GT(levels, 1000u);
  EXPECT_LE(levels, 1020u);
  EXPECT_EQ(out, repeat("a\r\n", levels) + repeat("b\r\n", levels));
  expectSmallPeak(r);
  EXPECT_LT(r.seconds, 10);
}

TEST(RealBinary, IncludeRecursionOfALargeFileKeepsMemorySmall) {
  // Every level holds the block it reads its file in while the levels
  // below it run; 124 levels of a 600 KB file.
  TempDir dir("large-include-recursion");
  writeFile(dir.path() / "BIG",
            repeat("a line of a file larger than the largest read\r\n", 12800) +
                "%INCLUDE BIG\r\n");
  ShellRun r = runShell(dir.path(), "ulimit -n 128 && " + binary() +
                                        " BIG /dev/null >console");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "console"),
            "Include:BIG DosOpen Error: return code = 24.\n");
  expectSmallPeak(r);
}

TEST(RealBinary, TenMegabyteLineWithoutLineEnd) {
  constexpr std::size_t kSize = 10 << 20;
  TempDir dir("long-line");
  ShellRun r = runShell(dir.path(), "head -c " + std::to_string(kSize) +
                                        " /dev/zero | tr '\\0' x | " +
                                        binary() + " /dev/stdin OUT >console");
  EXPECT_EQ(r.status, 0);
  std::string expected;
  for (std::size_t piece = 1; piece <= kSize / 256; ++piece) {
    std::string n = std::to_string(piece);
    expected += n + "/" + n + " Eingabe-Zeile zu lang\n";
  }
  EXPECT_TRUE(readFile(dir.path() / "console") == expected);
  EXPECT_TRUE(readFile(dir.path() / "OUT") == std::string(kSize, 'x'));
  expectSmallPeak(r);
}

// 100 MB by default; VELDRAN_LARGE_INPUT_MB asks for another size (1024
// takes some four seconds, most of it in the pipes).
TEST(RealBinary, LargeInputStreamsThrough) {
  std::size_t megabytes = 100;
  if (const char *size = std::getenv("VELDRAN_LARGE_INPUT_MB"))
    megabytes = std::strtoul(size, nullptr, 10);
  // 62 characters, CR and the LF of yes: 64-byte lines.
  const std::string lines = "yes " + repeat("x", 62) +
                            "$(printf '\\r') | head -c " +
                            std::to_string(megabytes << 20);
  TempDir dir("large-input");
  ShellRun r =
      runShell(dir.path(),
               lines + " | cksum >expected && " + lines + " | { " + binary() +
                   " /dev/stdin /dev/fd/3 3>&1 >console; echo $? >rc; } "
                   "| cksum >actual");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(dir.path() / "rc"), "0\n");
  EXPECT_EQ(readFile(dir.path() / "console"), "");
  EXPECT_EQ(readFile(dir.path() / "actual"), readFile(dir.path() / "expected"));
  expectSmallPeak(r);
}

} // namespace
} // namespace veldran::testing
