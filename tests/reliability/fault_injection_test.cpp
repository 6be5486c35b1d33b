// Failures of the system services, injected through the in-memory
// platform: writes to the output file, reads of input files, opening an
// include, starting a program.
#include "driver/run.h"
#include "platform/memory_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace veldran {
namespace {

constexpr const char *kWriteFailed = "VELDRAN-l00870-W WriteFile() Error 28.\n";
constexpr const char *kReadFailed = "l00750 ReadFile() returned error 5\n";

struct Result {
  int exitCode = -1;
  std::string output;
  std::string console;
};

Result run(MemoryPlatform &platform, const std::string &input) {
  platform.files["TEST.INP"] = input;
  Result r;
  r.exitCode = runVeldran(platform, {});
  r.output = platform.files["TEST.OUT"];
  r.console = platform.console;
  return r;
}

// The program of "%CALL:fill" fills the disk: every later write fails.
void diskFillsAtCall(MemoryPlatform &platform) {
  platform.program = [&platform](const std::string &) {
    platform.writeError = 28;
    ProgramResult r;
    r.started = true;
    return r;
  };
}

// The console with every ReadFile warning taken out, and their count.
std::string withoutReadWarnings(std::string console, int &warnings) {
  warnings = 0;
  for (std::size_t at; (at = console.find(kReadFailed)) != std::string::npos;
       ++warnings)
    console.erase(at, std::string(kReadFailed).size());
  return console;
}

TEST(WriteFailure, IsReportedOnceAndTheRunGoesOn) {
  MemoryPlatform platform;
  diskFillsAtCall(platform);
  Result r = run(platform, "a\r\n%CALL:fill\r\nb\r\n%DISP:shown\r\nc\r\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "a\r\n");
  EXPECT_EQ(r.console, std::string(kWriteFailed) + "shown\n");
}

TEST(WriteFailure, ThatOnlyTheLastFlushMeetsEndsWithOne) {
  MemoryPlatform platform;
  diskFillsAtCall(platform);
  Result r = run(platform, "a\r\n%CALL:fill\r\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "a\r\n");
  EXPECT_EQ(r.console, kWriteFailed);
}

TEST(WriteFailure, EndsWithOneAlsoWhenTheRunIsCancelled) {
  MemoryPlatform platform;
  diskFillsAtCall(platform);
  Result r = run(platform, "a\r\n%CALL:fill\r\nb\r\n%IF EQ 0;\r\n%CANCEL\r\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "a\r\n");
  EXPECT_EQ(r.console, kWriteFailed);
}

TEST(WriteFailure, EndsWithOneAlsoWhenStorageRunsOut) {
  // Each pass keeps 256 more bytes of text until the text storage is full.
  MemoryPlatform platform;
  platform.writeError = 28;
  Result r = run(platform, "a\r\n%RPT\r\n%DEFT T:%TAB:256;x\r\n%REND\r\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.console, std::string(kWriteFailed) +
                           "4/1 Text-Speicher nicht gro\xE1 genug - Abbruch\n");
}

TEST(ReadFailure, AtTheStartEndsTheIncludeAtOnce) {
  MemoryPlatform platform;
  platform.files["INC"] = "never\r\n";
  platform.readFaults.push_back({"INC", 0, 5});
  Result r = run(platform, "%INCLUDE INC\r\nback %INT:$COPYC;\r\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "back 0\r\n");
  EXPECT_EQ(r.console, kReadFailed);
}

TEST(ReadFailure, InsideALineEndsTheIncludeWithWhatWasRead) {
  // The bytes read end inside the third line: it is written as far as it
  // came, without line end, and the including file goes on behind it.
  MemoryPlatform platform;
  platform.files["INC"] = "one\r\ntwo\r\nthree\r\n";
  platform.readFaults.push_back({"INC", 12, 5});
  Result r = run(platform, "%INCLUDE INC\r\nback %INT:$COPYC;\r\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "one\r\ntwo\r\nthback 0\r\n");
  int warnings = 0;
  EXPECT_EQ(withoutReadWarnings(r.console, warnings),
            "4/3 Eingabe-Zeile zu lang\n");
  // At most one for each of the four reads of the file.
  EXPECT_GE(warnings, 1);
  EXPECT_LE(warnings, 4);
}

TEST(ReadFailure, DeepInALargeFileKeepsEveryLineBeforeIt) {
  std::string input;
  for (int i = 0; i < 20000; ++i) {
    char line[16];
    std::snprintf(line, sizeof line, "l%07d\r\n", i);
    input += line;
  }
  MemoryPlatform platform;
  platform.readFaults.push_back({"TEST.INP", 100000, 5});
  Result r = run(platform, input);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.output == input.substr(0, 100000));
  int warnings = 0;
  EXPECT_EQ(withoutReadWarnings(r.console, warnings), "");
  // Reads are made only when less than a line's worth of 256 bytes is
  // left: at most once for each of the last 25 lines and once at the end.
  EXPECT_GE(warnings, 1);
  EXPECT_LE(warnings, 27);
}

TEST(OpenFailure, AnUnreadableIncludeIsReportedAndSkipped) {
  MemoryPlatform platform;
  platform.files["SECRET"] = "never\r\n";
  platform.unreadable.insert("SECRET");
  Result r = run(platform, "a\r\n%INCLUDE SECRET\r\nb %INT:$COPYC;\r\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "a\r\nb 0\r\n");
  EXPECT_EQ(r.console, "Include:SECRET DosOpen Error: return code = 13.\n");
}

TEST(ProgramStart, AFailedStartClearsTheResultsOfTheCallBefore) {
  MemoryPlatform platform;
  platform.tickStep = 2; // milliseconds at the default 1000 per second
  platform.program = [](const std::string &command) {
    ProgramResult r;
    r.started = command == "good";
    r.exitCode = 5;
    r.error = 13;
    return r;
  };
  const std::string show = "%INT:$RC_LAST;/%INT:$RC_OS;/%INT:$TIME_E;\r\n";
  Result r = run(platform, "%CALL:good\r\n" + show + "%CALL:bad\r\n" + show);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "5/0/2\r\n0/13/0\r\n");
  EXPECT_EQ(r.console, "VELDRAN-l01091-W CreateProcessA( bad ) returned "
                       "GetLastError=13.\n");
}

} // namespace
} // namespace veldran
