// The end-to-end case format. A case file holds any number of cases:
//
//   === name of the case
//   args: IN.TXT OUT.TXT        (optional: the first two arguments)
//   real                        (optional: run the real binary in a
//                                temporary directory instead of in-process)
//   --- cmd                     the command string (third argument)
//   --- run                     a shell script run instead of the binary,
//                               in a real case: the binary is "$VELDRAN",
//                               the script's output the console; exit 77
//                               skips the case
//   --- file NAME [raw]         an input file; each line gets CR LF
//                               (nothing with "raw")
//   --- stdin                   console input; each line gets LF
//   --- output [NAME [raw]]     expected bytes of an output file (default
//                               the output file of the run); CR LF lines
//                               (nothing with "raw")
//   --- missing NAME            the file must not exist after the run
//   --- console                 expected console bytes (standard output);
//                               each line gets LF
//   --- stderr                  expected standard error; each line gets LF
//   --- exit N                  expected exit code (default 0)
//
// In every section and in file names `\r`, `\n`, `\t`, `\\` and `\xHH` stand
// for those bytes,
// and a backslash at the very end of a line drops the line's terminator.
// Blank lines at the end of a section are not part of it.
// Lines starting with '#' outside sections are comments.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veldran::testing {

struct ExpectedFile {
  std::string name;
  std::string bytes;
};

struct Case {
  std::string name;
  std::string source; // file:line for messages
  std::vector<std::string> args;
  std::optional<std::string> commandString;
  std::optional<std::string> script;
  bool real = false;
  std::vector<std::pair<std::string, std::string>> files;
  std::string stdinText;
  std::vector<ExpectedFile> outputs;
  std::vector<std::string> missing;
  std::optional<std::string> console;
  std::optional<std::string> errors;
  int exitCode = 0;

  // The arguments the run gets: args, with defaults filled
  // in when a command string follows.
  std::vector<std::string> runArgs() const;
  std::string outputName() const;
};

std::vector<Case> parseCaseFile(const std::string &path);
std::string unescape(const std::string &text, bool &terminated);

} // namespace veldran::testing
