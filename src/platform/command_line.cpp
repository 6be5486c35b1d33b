#include "platform/command_line.h"

#include <utility>

namespace veldran {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::vector<std::string> splitCommandLine(const std::string &commandLine) {
  std::vector<std::string> arguments;
  const std::size_t end = commandLine.size();
  std::size_t i = 0;
  for (;;) {
    while (i < end && isBlank(commandLine[i]))
      ++i;
    if (i == end)
      break;

    std::string argument;
    bool quoted = false;
    while (i < end && (quoted || !isBlank(commandLine[i]))) {
      std::size_t backslashes = 0;
      while (i < end && commandLine[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < end && commandLine[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument += '"';
          ++i;
        } else if (quoted && i + 1 < end && commandLine[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      argument.append(backslashes, '\\');
      // The character after the backslashes (if any) is ordinary text unless
      // it is a separating blank, which the loop condition handles.
      if (i < end && (quoted || !isBlank(commandLine[i]))) {
        argument += commandLine[i];
        ++i;
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

} // namespace veldran
