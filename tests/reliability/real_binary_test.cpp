// The built binary under conditions only a real process meets: standard
// streams closed by the caller, readers that go away, the descriptor
// limit, large pipes.
#include "binary_run.h"
#include "reliability/sanitized.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/wait.h>

namespace veldran::testing {
namespace {

// Runs `command` in `dir`, each of its processes limited to 16 MB of data
// (the sanitizers' shadow memory is not the processor's), and expects it
// to end with `exitCode`.
void runShell(const std::filesystem::path &dir, const std::string &command,
              int exitCode = 0) {
  std::string limit = kSanitized ? "" : "ulimit -d 16384 && ";
  EXPECT_EQ(shellIn(dir, limit + command), exitCode) << command;
}

const std::string kBinary = std::string("'") + VELDRAN_BINARY + "'";

std::string repeat(const std::string &text, std::size_t times) {
  std::string s;
  for (std::size_t i = 0; i < times; ++i)
    s += text;
  return s;
}

TEST(RealBinary, ClosedStandardStreamsAreTakenByNoFile) {
  // Else the input file, larger than a read, would be the standard input of
  // ACC and the output file the console, which CALL writes out.
  TempDir dir("closed-streams");
  writeFile(dir.path() / "IN", "one\r\n%DISP:shown\r\n%CALL:true\r\n"
                               "%ACC: X A20;\r\n" +
                                   repeat("line\r\n", 1000));
  // ACC meets the end of the console input: the run stops with 4.
  runShell(dir.path(), kBinary + " IN OUT <&- >&-", 4);
  EXPECT_EQ(readFile(dir.path() / "OUT"), "one\r\n");
  runShell(dir.path(), kBinary + " IN OUT <&- >console", 4);
  EXPECT_EQ(readFile(dir.path() / "console"),
            "shown\n4/4 ACC - Ende der Konsoleneingabe - Abbruch\n");
  // Standard error closed: the output, the first file opened here, does
  // not take its place, and the line --where writes before the CALL goes
  // nowhere.
  writeFile(dir.path() / "IN2", "%INT:UNDEFINED;\r\n%CALL:true\r\nend\r\n");
  runShell(dir.path(), kBinary + " --where - OUT <IN2 2>&- >console");
  EXPECT_EQ(readFile(dir.path() / "OUT"), "0\r\nend\r\n");
}

TEST(RealBinary, APromptIsShownBeforeAccWaitsAndDateIsToday) {
  // The answer is written only when the prompt has come through the pipe.
  TempDir dir("prompt");
  writeFile(dir.path() / "IN",
            "%DISP:number?\r\n%ACC: N N5;\r\n%INT:N*2; %INT:$DATE;\r\n");
  runShell(dir.path(), "mkfifo answer && timeout 20 " + kBinary +
                           " IN OUT <>answer | { read -r prompt || exit; "
                           "echo 21 >answer; echo \"$prompt\" >seen; }");
  EXPECT_EQ(readFile(dir.path() / "seen"), "number?\n");
  std::time_t now = std::time(nullptr);
  std::tm *t = std::localtime(&now);
  std::string date = std::to_string(t->tm_mday * 10000 + (t->tm_mon + 1) * 100 +
                                    t->tm_year % 100);
  EXPECT_EQ(readFile(dir.path() / "OUT"), "42 " + date + "\r\n");
}

TEST(RealBinary, OutOfMemoryIsReportedAndKeepsTheOutput) {
  if (kSanitized)
    GTEST_SKIP() << "the sanitizers need memory of their own";
  // Every call of a recursive macro takes an input-source record: they use
  // up 16 MB before the storage area is full.
  TempDir dir("out-of-memory");
  writeFile(dir.path() / "IN", "before\r\n%MACRO:R;\r\n%MEND\r\n"
                               "%MACRO:R;\r\n%R;\r\n%MEND\r\n%R;\r\n");
  runShell(dir.path(), kBinary + " IN OUT >console", 4);
  EXPECT_EQ(readFile(dir.path() / "console"), "7/1 out of memory - abend\n");
  EXPECT_EQ(readFile(dir.path() / "OUT"), "before\r\n");
  // Too little memory for the storage area: the run cannot begin.
  runShell(dir.path(), "ulimit -d 1000 && " + kBinary + " IN OUT >console", 4);
  EXPECT_EQ(readFile(dir.path() / "console"), "out of memory - abend\n");
}

TEST(RealBinary, ConsoleOrOutputReaderThatGoesAway) {
  // Far more messages than a pipe holds; each line with a message is
  // written as an empty line.
  TempDir dir("reader-gone");
  writeFile(dir.path() / "IN", repeat("%NOSUCH\r\nline\r\n", 20000));
  runShell(dir.path(),
           "{ " + kBinary + " IN OUT; echo $? >rc; } | head -c 1 >/dev/null");
  EXPECT_EQ(readFile(dir.path() / "rc"), "0\n");
  EXPECT_TRUE(readFile(dir.path() / "OUT") == repeat("\r\nline\r\n", 20000));
  // The output of that run is the input of this one.
  runShell(dir.path(), "{ " + kBinary +
                           " OUT /dev/fd/3 3>&1 >console; echo $? >rc; } | "
                           "head -c 1 >/dev/null");
  EXPECT_EQ(readFile(dir.path() / "rc"), "1\n");
  EXPECT_EQ(readFile(dir.path() / "console"),
            "VELDRAN-l00870-W WriteFile() Error 32.\n");
}

TEST(RealBinary, IncludesCloseTheirFileAndRecursionEndsWhenNoFileCanBeOpened) {
  // Standard input, output and error, the input and the output file take
  // five of the 128 descriptors; every level of the recursion holds one
  // and the block it reads its 600 KB in. INCLUDEs one after another hold
  // one at a time.
  TempDir dir("include-recursion");
  writeFile(dir.path() / "BIG",
            repeat("a line of a file larger than the largest read\r\n", 12800) +
                "%INCLUDE BIG\r\n");
  writeFile(dir.path() / "SEQ",
            "%SET N=0;\r\n%RPTN 200;\r\n%INCLUDE ONE\r\n%REND\r\n%INT:N;\r\n");
  writeFile(dir.path() / "ONE", "%SET N=N+1;\r\n");
  runShell(dir.path(), "ulimit -n 128 && " + kBinary +
                           " BIG /dev/null >console && " + kBinary +
                           " SEQ OUT >>console");
  EXPECT_EQ(readFile(dir.path() / "console"),
            "Include:BIG DosOpen Error: return code = 24.\n");
  EXPECT_EQ(readFile(dir.path() / "OUT"), "200\r\n");
}

// A 10 MB line without line end, then 32 MB of 64-byte lines (62
// characters, CR and the LF of yes).
TEST(RealBinary, LargePipedInputStreamsThrough) {
  const std::string input = "{ head -c 10485760 /dev/zero | tr '\\0' x; yes " +
                            std::string(62, 'x') +
                            "$(printf '\\r') | head -c 33554432; }";
  TempDir dir("large-input");
  runShell(dir.path(), input + " | cksum >expected && " + input + " | { " +
                           kBinary +
                           " /dev/stdin /dev/fd/3 3>&1 >console; echo $? "
                           ">rc; } | cksum >actual");
  EXPECT_EQ(readFile(dir.path() / "rc"), "0\n");
  std::string pieces;
  for (int piece = 1; piece <= 40960; ++piece)
    pieces += std::to_string(piece) + "/" + std::to_string(piece) +
              " Eingabe-Zeile zu lang\n";
  EXPECT_TRUE(readFile(dir.path() / "console") == pieces);
  EXPECT_EQ(readFile(dir.path() / "actual"), readFile(dir.path() / "expected"));
}

} // namespace
} // namespace veldran::testing
