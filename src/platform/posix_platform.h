// The platform on Linux: POSIX files, the monotonic clock, the standard
// streams as console and posix_spawnp for programs.
#pragma once

#include "platform/platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace veldran {

class PosixPlatform : public Platform {
public:
  struct Options {
    bool lfLineEnds = false;      // files have LF line ends (text_mode.h)
    bool consoleOnStderr = false; // the console is standard error
    bool utf8Messages = false;    // the processor's texts go out in UTF-8
    // Console input comes from the terminal (standard input is the input
    // file); without one it is at its end at once.
    bool consoleInputFromTerminal = false;
  };

  // Sets SIGPIPE to be ignored, SIGCHLD to its default action, and for
  // SIGINT, SIGTERM and SIGHUP (unless ignored) a handler that removes the
  // temporary output files and ends the process by the same signal.
  PosixPlatform();
  explicit PosixPlatform(const Options &options);
  // Writes out what is left in the console buffer and restores the signal
  // actions.
  ~PosixPlatform() override;
  PosixPlatform(const PosixPlatform &) = delete;
  PosixPlatform &operator=(const PosixPlatform &) = delete;

  // Fails with 16 when the file (under any name) is the open output file,
  // or the file it replaces.
  std::unique_ptr<InputFile> openInput(const std::string &name,
                                       int &error) override;
  // Fails with 16, without truncating anything, when the name designates a
  // file open for reading through this platform, also through a hard or
  // symbolic link. A regular file, or a name that does not exist yet, is
  // written into ".NAME.veldran-XXXXXX" in the directory of the file the
  // name leads to through symbolic links; commit() renames it over that
  // file, and the new file gets the old one's permission bits (a new one
  // 0666 under the umask). Written in place, as opened with O_TRUNC: what
  // is not a regular file, a name under /dev or /proc (/dev/stdout may
  // lead to a file the shell opened for appending), and a file whose
  // directory refuses new files.
  std::unique_ptr<OutputFile> createOutput(const std::string &name,
                                           int &error) override;
  // Through descriptors of their own, so that the standard streams stay
  // open for the console and for programs.
  std::unique_ptr<InputFile> openStandardInput(int &error) override;
  std::unique_ptr<OutputFile> createStandardOutput(int &error) override;

  // Nanoseconds of CLOCK_MONOTONIC.
  bool counterFrequency(std::int64_t &ticksPerSecond, int &error) override;
  bool counter(std::int64_t &ticks, int &error) override;

  LocalDate today() override;

  // Standard output (or error), buffered; written out after every call
  // when it is a terminal, otherwise when the buffer fills and on
  // flushConsole.
  void writeConsole(const char *bytes, std::size_t count) override;
  void flushConsole() override;
  void writeDiagnostics(const char *bytes, std::size_t count) override;
  const char *systemText(const char *text, std::string &storage) override;

  // Reads standard input through its own buffer (not through stdio).
  bool readConsoleWord(std::string &word) override;

  // Splits the command line with splitCommandLine and starts the program,
  // searched on PATH, without a shell. The exit code of a program ended by
  // a signal is 128 plus the signal number. Its standard output is the
  // console.
  ProgramResult runProgram(const std::string &commandLine) override;

private:
  struct OpenFiles;
  class Input;
  class Output;
  class StandardInput;

  void installTerminationHandler();
  std::unique_ptr<InputFile> inputOf(int fd, const struct stat &st,
                                     const std::string &name, int &error);
  std::unique_ptr<InputFile> textInput(std::unique_ptr<InputFile> file);
  std::unique_ptr<OutputFile> textOutput(std::unique_ptr<OutputFile> file);

  Options options_;
  int consoleFd_ = 1;
  int consoleInputFd_ = 0; // -1: the console input is at its end
  // Shared with the open files, which may outlive the platform.
  std::shared_ptr<OpenFiles> openFiles_;
  std::string console_;
  bool consoleIsTerminal_ = false;
  std::string diagnostics_; // for standard error, when it is not the console
  bool diagnosticsToTerminal_ = false;
  std::vector<std::uint8_t> stdin_;
  std::size_t stdinPosition_ = 0;
  std::size_t stdinEnd_ = 0;
  bool stdinEnded_ = false;
  void (*previousPipeAction_)(int) = nullptr;
  void (*previousChildAction_)(int) = nullptr;
  std::array<struct sigaction, 3> previousTerminationActions_{};
};

} // namespace veldran
