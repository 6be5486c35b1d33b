// A platform held entirely in memory, for tests: files are strings in a
// map, the console is a string, and faults are injected through public
// fields. The files it opens must not outlive it.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace veldran {

class MemoryPlatform : public Platform {
public:
  MemoryPlatform() = default;
  MemoryPlatform(const MemoryPlatform &) = delete;
  MemoryPlatform &operator=(const MemoryPlatform &) = delete;

  // Name to content. The output file's bytes appear here at its commit();
  // until then the file keeps its old content or stays absent.
  std::map<std::string, std::string> files;

  // When non-zero, every write and flush of the output fails with this
  // error and writes nothing.
  int writeError = 0;
  // The disk fills up when an output would grow beyond this many bytes:
  // from then on writeError is 28.
  std::size_t diskSpace = SIZE_MAX;
  // What the output gives as its writeAlignment.
  std::size_t writeAlignment = 0;
  // When non-zero, the commit of the output fails with this error, as a
  // close that reports lost bytes does.
  int closeError = 0;

  // Reading the file `name` stops short of `offset`; the read that starts
  // there and every later one fails with `error`. An offset past the end
  // acts at the end.
  // When non-zero, a read delivers at most this many bytes, as a pipe
  // may.
  std::size_t readChunk = 0;

  struct ReadFault {
    std::string name;
    std::size_t offset = 0;
    int error = 0;
  };
  std::vector<ReadFault> readFaults;

  std::string console;      // everything written to the console
  std::string diagnostics;  // everything written to standard error
  std::string consoleInput; // read by readConsoleWord, consumed as read

  LocalDate date{6, 12, 2026};

  // counter() returns `ticks`, then advances it by `tickStep`.
  std::int64_t frequency = 1000;
  std::int64_t ticks = 0;
  std::int64_t tickStep = 0;
  int frequencyError = 0; // non-zero: counterFrequency fails with it
  int counterError = 0;   // non-zero: counter fails with it

  // Stands in for the started program; when empty, no program can be
  // started (error 2). Every command line passed is recorded.
  std::function<ProgramResult(const std::string &)> program;
  std::vector<std::string> commandLines;

  std::unique_ptr<InputFile> openInput(const std::string &name,
                                       int &error) override;
  std::unique_ptr<OutputFile> createOutput(const std::string &name,
                                           int &error) override;
  std::unique_ptr<InputFile> openStandardInput(int &error) override;
  std::unique_ptr<OutputFile> createStandardOutput(int &error) override;
  bool counterFrequency(std::int64_t &ticksPerSecond, int &error) override;
  bool counter(std::int64_t &value, int &error) override;
  LocalDate today() override;
  void writeConsole(const char *bytes, std::size_t count) override;
  void flushConsole() override;
  void writeDiagnostics(const char *bytes, std::size_t count) override;
  bool readConsoleWord(std::string &word) override;
  ProgramResult runProgram(const std::string &commandLine) override;

private:
  class Input;
  class Output;
};

} // namespace veldran
