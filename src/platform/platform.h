// The services the processor needs from the operating system: files,
// console, clock, counter and program start. Everything above this layer
// is written against this interface, so a test can run a whole processor
// over an in-memory implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace veldran {

// A file opened for reading. Callers read in large blocks of their own.
class InputFile {
public:
  virtual ~InputFile() = default;
  // Reads up to `count` bytes into `dest`; fewer may come before the end of
  // the file. Returns the number of bytes read (0 only at the end of the
  // file). On failure returns -1 and sets `error` to the system error code.
  virtual long read(std::uint8_t *dest, std::size_t count, int &error) = 0;
  // True when the last read came short just where the file ended when it
  // was opened: a read at once would return nothing (a later one may find
  // bytes added since). Files that cannot tell say false.
  virtual bool endReached() const { return false; }
};

// The output file. Writes are buffered inside the implementation.
//
// An output that replaces a file is written into a temporary file beside it,
// and the file named keeps its old content (or stays absent) until commit()
// puts the new one in its place whole. Outputs that cannot be replaced that
// way (a pipe, a terminal, a device) are written in place.
class OutputFile {
public:
  // Without commit(), an output written through a temporary file removes it
  // and leaves the file named untouched: a run that never finished never
  // replaces its output. An output written in place writes out what is
  // buffered.
  virtual ~OutputFile() = default;
  // Returns false and sets `error` when the bytes could not be written
  // (possibly bytes of an earlier call that were still buffered).
  virtual bool write(const std::uint8_t *bytes, std::size_t count,
                     int &error) = 0;
  // Where the output takes large writes best: at offsets from its start
  // that are multiples of this size. 0 where it makes no difference.
  virtual std::size_t writeAlignment() const { return 0; }
  // Writes out everything buffered; same result convention as write.
  virtual bool flush(int &error) = 0;
  // Ends the output, once, as its last call: writes out what is buffered,
  // closes the file and puts a temporary file in place of the file named.
  // Returns false and sets `error` when the output is not whole: a write
  // or flush failed (also one already reported), or the close or the
  // replacement did. The file named is then left as it was before the run.
  virtual bool commit(int &error) = 0;
};

struct LocalDate {
  int day = 1;   // 1..31
  int month = 1; // 1..12
  int year = 1970;
};

// Outcome of starting a program and waiting for its end.
struct ProgramResult {
  bool started = false;    // false: the program could not be started
  std::uint32_t error = 0; // system error code of a failed start
  std::uint32_t exitCode = 0;
};

class Platform {
public:
  virtual ~Platform() = default;

  // Opens an existing file for reading, shared with other readers. On
  // failure returns null and sets `error` (2 missing, 13 permission,
  // 21 directory, 16 the output file, also while the output is not yet
  // committed and the file named does not exist). An output refused that
  // way is not committed where it would replace an existing file: its
  // commit() fails with 16, and the file that was to be read stays as it
  // was.
  virtual std::unique_ptr<InputFile> openInput(const std::string &name,
                                               int &error) = 0;
  // Opens the output file, which replaces an existing one at commit(). Fails
  // with 16 when the name designates a file that is open for reading, 21 for
  // a directory.
  virtual std::unique_ptr<OutputFile> createOutput(const std::string &name,
                                                   int &error) = 0;
  // Standard input as the input file, and standard output as the output
  // file (written in place).
  virtual std::unique_ptr<InputFile> openStandardInput(int &error) = 0;
  virtual std::unique_ptr<OutputFile> createStandardOutput(int &error) = 0;
  // The error code of a name that does not exist.
  static constexpr int kNotFound = 2;

  // The monotonic counter and its ticks per second.
  virtual bool counterFrequency(std::int64_t &ticksPerSecond, int &error) = 0;
  virtual bool counter(std::int64_t &ticks, int &error) = 0;

  virtual LocalDate today() = 0;

  // The console sink: every message of the processor goes through here.
  virtual void writeConsole(const char *bytes, std::size_t count) = 0;
  virtual void flushConsole() = 0;
  // Standard error for the opt-in help to find mistakes (where messages
  // come from, traces, warnings), never mixed into the console's bytes
  // unless the console is standard error itself. Written out with the
  // console.
  virtual void writeDiagnostics(const char *bytes, std::size_t count) = 0;
  // A text of the processor's own (a message format, in code page 850) as
  // the console shows it: `text` itself, or a conversion kept in
  // `storage`. User bytes that a message carries are written as they are.
  virtual const char *systemText(const char *text, std::string &) {
    return text;
  }

  // Reads the next whitespace-separated word of at most 80 bytes from the
  // console input, as scanf("%80s") does. Returns false at the end of the
  // input.
  virtual bool readConsoleWord(std::string &word) = 0;

  // Starts a program from a command line, waits for its end and returns
  // its exit code. The console and output file are flushed by the caller.
  virtual ProgramResult runProgram(const std::string &commandLine) = 0;
};

} // namespace veldran
